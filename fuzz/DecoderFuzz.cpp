// The decoder over arbitrary streams, read in blocks of fuzzed sizes, against a plain
// byte-at-a-time decoder of the same format, with the events' delivery contract checked.
//
// Input: two bytes choosing the read sizes, one byte choosing a write call that throws, then
// the stream.
#include <cstdint>
#include <stdexcept>
#include <vector>

#include <varn/archive/cmp_TVarnStreamCompress.h>
#include "fuzz/FuzzCheck.h"
#include "tests/common/ReferenceCoder.h"

using namespace varn;

namespace {

constexpr int32_t Block = 8192;

// Read sizes from 1 to 8192, mostly small or near the block size, from a fixed generator.
class ReadSizes {
 public:
  explicit ReadSizes(uint16_t Seed) : FState(Seed * 2654435761u + 1) {}
  int32_t Next() {
    FState = FState * 1103515245u + 12345u;
    const uint32_t R = FState >> 8;
    switch (R % 4) {
      case 0:
        return 1 + static_cast<int32_t>(R / 4 % 16);
      case 1:
        return Block - static_cast<int32_t>(R / 4 % 16);
      case 2:
        return 1 + static_cast<int32_t>(R / 4 % Block);
      default:
        return Block;
    }
  }

 private:
  uint32_t FState;
};

struct Run {
  std::vector<uint8_t> Output;
  std::vector<int32_t> Writes;
  int Reads = 0;
  int EmptyReads = 0;
};

// Decodes Stream with reads of the given sizes (0: always a whole block); ThrowAt > 0 makes
// that write call throw.
Run Decode(TVarnStreamCompress& Decoder, const uint8_t* Data, size_t Size, uint16_t Sizes,
           int ThrowAt) {
  Run R;
  size_t Fed = 0;
  ReadSizes Generator(Sizes);
  bool Thrown = false;
  Decoder.OnReadBuffer = [&](TVarnStreamCompress&, TVSCBuffer& Buf, int32_t& BIB) {
    FUZZ_CHECK(!Thrown);
    FUZZ_CHECK(R.EmptyReads == 0);  // no read after the input said it was exhausted
    ++R.Reads;
    const int32_t Want = Sizes == 0 ? Block : Generator.Next();
    BIB = static_cast<int32_t>(std::min<size_t>(static_cast<size_t>(Want), Size - Fed));
    std::copy(Data + Fed, Data + Fed + BIB, Buf.begin());
    Fed += static_cast<size_t>(BIB);
    if (BIB == 0) ++R.EmptyReads;
  };
  Decoder.OnWriteBuffer = [&](TVarnStreamCompress&, TVSCBuffer& Buf, int32_t BIB) {
    FUZZ_CHECK(!Thrown);
    FUZZ_CHECK(BIB >= 1 && BIB <= Block);
    FUZZ_CHECK(R.Writes.empty() || R.Writes.back() == Block);
    R.Writes.push_back(BIB);
    R.Output.insert(R.Output.end(), Buf.begin(), Buf.begin() + BIB);
    if (static_cast<int>(R.Writes.size()) == ThrowAt) {
      Thrown = true;
      throw std::runtime_error("stop");
    }
  };
  try {
    Decoder.Decompress();
    FUZZ_CHECK(ThrowAt == 0 || static_cast<int>(R.Writes.size()) < ThrowAt);
  } catch (const std::runtime_error&) {
    FUZZ_CHECK(Thrown);
  }
  return R;
}

void CheckComplete(const Run& R, const std::vector<uint8_t>& Expected) {
  FUZZ_CHECK(R.Output == Expected);
  FUZZ_CHECK(R.EmptyReads == 1);
  FUZZ_CHECK(R.Writes.size() == (Expected.size() + Block - 1) / Block);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 3) return 0;
  const uint16_t Sizes = static_cast<uint16_t>(Data[0] | Data[1] << 8);
  const int ThrowAt = Data[2] % 4;
  const uint8_t* Stream = Data + 3;
  const size_t StreamSize = Size - 3;
  const std::vector<uint8_t> Expected = reference_coder::Decode(Stream, StreamSize);

  // One decoder for all runs: each Decompress must start from a fresh predictor, also after a
  // handler threw in the middle of the previous one.
  TVarnStreamCompress Decoder;
  if (ThrowAt > 0) {
    const Run Stopped = Decode(Decoder, Stream, StreamSize, Sizes, ThrowAt);
    const std::vector<uint8_t> Prefix(
        Expected.begin(), Expected.begin() + static_cast<std::ptrdiff_t>(
                                                 std::min(Expected.size(), Stopped.Output.size())));
    FUZZ_CHECK(Stopped.Output == Prefix);
  }
  const Run Whole = Decode(Decoder, Stream, StreamSize, 0, 0);
  CheckComplete(Whole, Expected);
  FUZZ_CHECK(Whole.Reads == static_cast<int>((StreamSize + Block - 1) / Block) + 1);
  CheckComplete(Decode(Decoder, Stream, StreamSize, Sizes, 0), Expected);

  // Without handlers there is nothing to read: the call returns at once.
  TVarnStreamCompress Bare;
  Bare.Decompress();
  return 0;
}
