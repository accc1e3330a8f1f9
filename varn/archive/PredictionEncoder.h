#pragma once
// The coding direction of the prediction format (the system itself only decodes): keeps the
// decoder's table and context, and codes a byte as predicted (flag bit set, no literal)
// whenever the table entry for the current context equals it, which is optimal for this
// format; otherwise as a literal that updates the table. A stream is started by Reset (or
// construction), fed by Encode in pieces of any size, and completed by Finish; the pieces make
// the same bytes as one call would.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace varn {

class PredictionEncoder {
 public:
  PredictionEncoder() { Reset(); }

  // Room enough for what one Encode(Count) writes, and for a whole stream of Count bytes
  // (Encode then Finish on a fresh encoder).
  static constexpr size_t MaxEncodedSize(size_t Count) { return Count + Count / 8 + 9; }

  // Starts a new stream: zeroed table and context, no open group.
  void Reset();

  // Codes Count bytes into Out, which must have room for MaxEncodedSize(Count) bytes, and
  // returns how many it wrote. A group that is not yet complete is held back until more
  // bytes or Finish arrive.
  size_t Encode(const uint8_t* Data, size_t Count, uint8_t* Out);

  // Writes the open group, if any, with its unused flag bits clear (the decoder stops at the
  // first clear bit that has no literal), and returns how many bytes it wrote (at most 9).
  // The encoder is then ready for a new stream.
  size_t Finish(uint8_t* Out);

  // A whole stream in one call.
  static std::vector<uint8_t> EncodeAll(const uint8_t* Data, size_t Count);

 private:
  std::array<uint8_t, 32768> FTable;
  uint32_t FLast = 0, FSecond = 0;
  std::array<uint8_t, 9> FGroup{};  // flag byte, then the group's literals
  uint32_t FGroupBits = 0, FGroupLength = 0;

  void AddToGroup(uint8_t C);
};

}  // namespace varn
