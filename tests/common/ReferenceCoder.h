#pragma once
// The prediction coder as the format defines it, transcribed step by step: the decoder the
// tests and fuzz targets compare the library's against, and the plainest encoder, which makes
// streams without the library's. Header only, so fuzz targets can use it without the tests'
// support library.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace reference_coder {

using Bytes = std::vector<uint8_t>;

// The table index of the context: the byte before last shifted by 7, XOR the last byte.
inline size_t Context(uint8_t SecondLast, uint8_t Last) {
  return (static_cast<size_t>(SecondLast) << 7) ^ Last;
}

// Decodes one stream from a zeroed table and context. A set flag bit (bit 0 first) repeats the
// table's byte for the context; a clear one takes the next literal and stores it there. The
// output ends where the input does, also inside a group.
inline Bytes Decode(const uint8_t* Data, size_t Size) {
  Bytes Table(32768, 0), Out;
  uint8_t Last = 0, SecondLast = 0;
  size_t In = 0;
  while (In < Size) {
    const uint8_t Flags = Data[In++];
    for (int Bit = 0; Bit < 8; ++Bit) {
      const size_t Index = Context(SecondLast, Last);
      uint8_t C;
      if (Flags & (1u << Bit)) {
        C = Table[Index];
      } else {
        if (In == Size) return Out;
        C = Table[Index] = Data[In++];
      }
      Out.push_back(C);
      SecondLast = Last;
      Last = C;
    }
  }
  return Out;
}

inline Bytes Decode(const Bytes& Stream) {
  return Decode(Stream.data(), Stream.size());
}

// A set flag bit wherever the table already predicts the byte, a literal elsewhere.
inline Bytes Encode(const Bytes& Input) {
  Bytes Table(32768, 0), Out;
  uint8_t Last = 0, SecondLast = 0;
  for (size_t Group = 0; Group < Input.size(); Group += 8) {
    const size_t FlagAt = Out.size();
    Out.push_back(0);
    for (size_t Bit = 0; Bit < 8 && Group + Bit < Input.size(); ++Bit) {
      const uint8_t C = Input[Group + Bit];
      const size_t Index = Context(SecondLast, Last);
      if (Table[Index] == C) {
        Out[FlagAt] |= static_cast<uint8_t>(1u << Bit);
      } else {
        Out.push_back(C);
        Table[Index] = C;
      }
      SecondLast = Last;
      Last = C;
    }
  }
  return Out;
}

}  // namespace reference_coder
