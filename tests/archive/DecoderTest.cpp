#include <varn/archive/cmp_TVarnStreamCompress.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <numeric>
#include <stdexcept>
#include <vector>

#include <varn/archive/PredictionEncoder.h>
#include "tests/common/ReferenceCoder.h"
#include "tests/common/TestSupport.h"

using namespace varn;

namespace {

using Bytes = std::vector<uint8_t>;

// What one Decompress did: the bytes delivered, the size of each delivery, the reads.
struct DecodeRun {
  Bytes Output;
  std::vector<int32_t> Deliveries;
  int32_t Reads = 0;
  int32_t ReadsAfterEnd = 0;
};

// Feeds Input in pieces of Piece bytes (the last one shorter), and checks the read contract:
// a read comes only when every byte of the previous block was consumed, never after the end.
DecodeRun Decode(TVarnStreamCompress& Decoder, const Bytes& Input, size_t Piece = 8192) {
  DecodeRun R;
  size_t Offset = 0;
  bool Ended = false;
  Decoder.OnReadBuffer = [&](TVarnStreamCompress&, TVSCBuffer& Buf, int32_t& BIB) {
    ++R.Reads;
    if (Ended) ++R.ReadsAfterEnd;
    const size_t N = std::min(Piece, Input.size() - Offset);
    std::copy_n(Input.begin() + static_cast<ptrdiff_t>(Offset), N, Buf.begin());
    Offset += N;
    BIB = static_cast<int32_t>(N);
    if (N == 0) Ended = true;
  };
  Decoder.OnWriteBuffer = [&](TVarnStreamCompress&, TVSCBuffer& Buf, int32_t BIB) {
    R.Deliveries.push_back(BIB);
    R.Output.insert(R.Output.end(), Buf.begin(), Buf.begin() + BIB);
  };
  Decoder.Decompress();
  return R;
}

DecodeRun Decode(const Bytes& Input, size_t Piece = 8192) {
  TVarnStreamCompress Decoder;
  return Decode(Decoder, Input, Piece);
}

std::vector<int32_t> ExpectedDeliveries(size_t OutputSize) {
  std::vector<int32_t> Sizes(OutputSize / 8192, 8192);
  if (OutputSize % 8192) Sizes.push_back(static_cast<int32_t>(OutputSize % 8192));
  return Sizes;
}

// A stream of whole literal groups: flag 0x00 and eight literals, until Count bytes.
Bytes LiteralStream(const Bytes& Data) {
  Bytes Stream;
  for (size_t I = 0; I < Data.size(); I += 8) {
    Stream.push_back(0);
    for (size_t J = I; J < std::min(I + 8, Data.size()); ++J)
      Stream.push_back(Data[J]);
  }
  return Stream;
}

TEST(Decoder, EmptyInputDeliversNothing) {
  const DecodeRun R = Decode({});
  EXPECT_TRUE(R.Deliveries.empty());
  EXPECT_EQ(R.Reads, 1);
  EXPECT_EQ(R.ReadsAfterEnd, 0);
}

TEST(Decoder, WithoutReadHandlerReturnsAtOnce) {
  TVarnStreamCompress Decoder;
  int Writes = 0;
  Decoder.OnWriteBuffer = [&](TVarnStreamCompress&, TVSCBuffer&, int32_t) { ++Writes; };
  Decoder.Decompress();
  EXPECT_EQ(Writes, 0);
}

TEST(Decoder, WithoutWriteHandlerStillConsumesTheWholeInput) {
  TVarnStreamCompress Decoder;
  const Bytes Input = LiteralStream(testing_support::RandomBytes(20000, 7));
  size_t Offset = 0;
  int Reads = 0;
  Decoder.OnReadBuffer = [&](TVarnStreamCompress&, TVSCBuffer& Buf, int32_t& BIB) {
    ++Reads;
    const size_t N = std::min<size_t>(8192, Input.size() - Offset);
    std::copy_n(Input.begin() + static_cast<ptrdiff_t>(Offset), N, Buf.begin());
    Offset += N;
    BIB = static_cast<int32_t>(N);
  };
  Decoder.Decompress();
  EXPECT_EQ(Offset, Input.size());
  EXPECT_EQ(Reads, 4);  // three blocks and the empty read
}

TEST(Decoder, SingleZeroByteGivesNothing) {
  EXPECT_TRUE(Decode({0x00}).Output.empty());
}

TEST(Decoder, SingleFFGivesEightZerosFromTheZeroedTable) {
  const DecodeRun R = Decode({0xFF});
  EXPECT_EQ(R.Output, Bytes(8, 0));
  EXPECT_EQ(R.Deliveries, std::vector<int32_t>{8});
}

TEST(Decoder, LiteralsOfOneGroup) {
  EXPECT_EQ(Decode({0x00, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68}).Output,
            (Bytes{0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68}));
  EXPECT_EQ(Decode({0x00, 0x61, 0x62, 0x63}).Output, (Bytes{0x61, 0x62, 0x63}));
}

TEST(Decoder, PredictsFromTheTableAsInTheF0Example) {
  const Bytes Expected = {0x61, 0x62, 0x61, 0x62, 0x61, 0x62, 0x61, 0x62};
  EXPECT_EQ(Decode({0xF0, 0x61, 0x62, 0x61, 0x62}).Output, Expected);
  EXPECT_EQ(Decode({0xF0, 0x61, 0x62, 0x61, 0x62}, 1).Output, Expected);
}

TEST(Decoder, ContextIndexShiftsBySevenSoPairsShareEntries) {
  // The pairs (0x01, 0x00) and (0x00, 0x80) share the index 0x80: the literal 0x55 stored
  // after the first pair is predicted (bit 5) after the second.
  const DecodeRun R = Decode({0x20, 0x01, 0x00, 0x55, 0x00, 0x80});
  EXPECT_EQ(R.Output, (Bytes{0x01, 0x00, 0x55, 0x00, 0x80, 0x55}));
  EXPECT_EQ(R.Output, reference_coder::Decode({0x20, 0x01, 0x00, 0x55, 0x00, 0x80}));
}

TEST(Decoder, DeliversFullBlocksOnlyWhenAFurtherByteArrives) {
  for (size_t Size : {1u, 8u, 8191u, 8192u, 8193u, 16383u, 16384u, 16385u, 40000u}) {
    const Bytes Data = testing_support::RandomBytes(Size, static_cast<uint32_t>(Size));
    const Bytes Input = LiteralStream(Data);
    for (size_t Piece : {size_t{1}, size_t{7}, size_t{8191}, size_t{8192}}) {
      SCOPED_TRACE(testing::Message() << "size " << Size << ", pieces of " << Piece);
      const DecodeRun R = Decode(Input, Piece);
      EXPECT_EQ(R.Output, Data);
      EXPECT_EQ(R.Deliveries, ExpectedDeliveries(Size));
      EXPECT_EQ(R.Reads, static_cast<int32_t>((Input.size() + Piece - 1) / Piece) + 1);
      EXPECT_EQ(R.ReadsAfterEnd, 0);
    }
  }
}

TEST(Decoder, PredictedRunsAlsoDeliverExactBlocks) {
  // 0xFF flags only: every byte predicted (zeros), 8 per input byte.
  for (size_t Groups : {1023u, 1024u, 1025u, 2048u, 2049u}) {
    const DecodeRun R = Decode(Bytes(Groups, 0xFF));
    EXPECT_EQ(R.Output, Bytes(Groups * 8, 0));
    EXPECT_EQ(R.Deliveries, ExpectedDeliveries(Groups * 8));
  }
}

TEST(Decoder, OneBytePerReadEqualsBlocksOverRandomStreams) {
  for (uint32_t Seed = 1; Seed <= 40; ++Seed) {
    SCOPED_TRACE(testing::Message() << "seed " << Seed);
    // Random bytes as a stream: flags of every kind, literals of every kind.
    const Bytes Input = testing_support::RandomBytes(Seed * 997 % 30000, Seed);
    const DecodeRun Blocks = Decode(Input, 8192);
    EXPECT_EQ(Blocks.Output, reference_coder::Decode(Input));
    EXPECT_EQ(Blocks.Deliveries, ExpectedDeliveries(Blocks.Output.size()));
    for (size_t Piece : {size_t{1}, size_t{3}, size_t{4097}}) {
      const DecodeRun Other = Decode(Input, Piece);
      EXPECT_EQ(Other.Output, Blocks.Output);
      EXPECT_EQ(Other.Deliveries, Blocks.Deliveries);
    }
  }
}

TEST(Decoder, AllPredictedGroupsFollowTheTableInAndOutOfRuns) {
  // Half the flags 0xFF and literals of two values only: contexts of one value repeat, with table
  // entries that continue the run and entries that break it; whole-block and 1- and 3-byte reads
  // cut the groups at different places.
  for (uint32_t Seed = 1; Seed <= 20; ++Seed) {
    SCOPED_TRACE(testing::Message() << "seed " << Seed);
    Bytes Input = testing_support::RandomBytes(20000 + Seed, Seed);
    for (size_t I = 0; I < Input.size();) {
      const uint8_t Flag = Input[I] & 1 ? 0xFF : Input[I];
      Input[I++] = Flag;
      for (int Literal = std::popcount(Flag); Literal < 8 && I < Input.size(); ++Literal, ++I)
        Input[I] = static_cast<uint8_t>(Input[I] >> 7);
    }
    const Bytes Expected = reference_coder::Decode(Input);
    for (size_t Piece : {size_t{8192}, size_t{1}, size_t{3}})
      EXPECT_EQ(Decode(Input, Piece).Output, Expected) << "reads of " << Piece;
  }
}

TEST(Decoder, TwoStreamsInARowAreIndependent) {
  TVarnStreamCompress Decoder;
  const Bytes First = LiteralStream(testing_support::RandomBytes(10000, 3));
  EXPECT_EQ(Decode(Decoder, First).Output.size(), 10000u);
  // The second stream must see a zeroed table and context: 0xFF gives eight zeros.
  EXPECT_EQ(Decode(Decoder, {0xFF}).Output, Bytes(8, 0));
  const Bytes Input = {0xF0, 0x61, 0x62, 0x61, 0x62};
  EXPECT_EQ(Decode(Decoder, Input).Output, reference_coder::Decode(Input));
}

TEST(Decoder, ExceptionFromWriteHandlerLeavesWithoutFlush) {
  TVarnStreamCompress Decoder;
  const Bytes Input = LiteralStream(testing_support::RandomBytes(20000, 11));
  size_t Offset = 0;
  int Writes = 0;
  Decoder.OnReadBuffer = [&](TVarnStreamCompress&, TVSCBuffer& Buf, int32_t& BIB) {
    const size_t N = std::min<size_t>(8192, Input.size() - Offset);
    std::copy_n(Input.begin() + static_cast<ptrdiff_t>(Offset), N, Buf.begin());
    Offset += N;
    BIB = static_cast<int32_t>(N);
  };
  Decoder.OnWriteBuffer = [&](TVarnStreamCompress&, TVSCBuffer&, int32_t) {
    ++Writes;
    throw std::runtime_error("stop");
  };
  EXPECT_THROW(Decoder.Decompress(), std::runtime_error);
  EXPECT_EQ(Writes, 1);  // no flush of the pending bytes afterwards

  // The next stream starts afresh.
  Writes = 0;
  DecodeRun R = Decode(Decoder, {0xFF});
  EXPECT_EQ(R.Output, Bytes(8, 0));
}

TEST(Decoder, ExceptionFromReadHandlerLeavesWithoutFlush) {
  TVarnStreamCompress Decoder;
  int Reads = 0, Writes = 0;
  Decoder.OnReadBuffer = [&](TVarnStreamCompress&, TVSCBuffer& Buf, int32_t& BIB) {
    if (++Reads == 2) throw std::runtime_error("stop");
    Buf.fill(0xFF);
    BIB = 8192;  // 65536 predicted bytes: seven full blocks delivered, one pending
  };
  Decoder.OnWriteBuffer = [&](TVarnStreamCompress&, TVSCBuffer&, int32_t BIB) {
    EXPECT_EQ(BIB, 8192);
    ++Writes;
  };
  EXPECT_THROW(Decoder.Decompress(), std::runtime_error);
  EXPECT_EQ(Writes, 7);
}

TEST(Decoder, TakesOutOfRangeCountsAtTheirBounds) {
  TVarnStreamCompress Decoder;
  int Reads = 0;
  size_t Output = 0;
  Decoder.OnReadBuffer = [&](TVarnStreamCompress&, TVSCBuffer& Buf, int32_t& BIB) {
    Buf.fill(0xFF);
    BIB = ++Reads == 1 ? 100000 : -5;
  };
  Decoder.OnWriteBuffer = [&](TVarnStreamCompress&, TVSCBuffer&, int32_t BIB) {
    Output += static_cast<size_t>(BIB);
  };
  Decoder.Decompress();
  EXPECT_EQ(Reads, 2);
  EXPECT_EQ(Output, 8192u * 8);
}

TEST(Encoder, RoundTripsEverySizeAndCodesPredictedBytes) {
  for (size_t Size = 0; Size <= 3 * 8192 + 17; Size += (Size < 100 ? 1 : 997)) {
    SCOPED_TRACE(testing::Message() << "size " << Size);
    Bytes Data = testing_support::RandomBytes(Size, static_cast<uint32_t>(Size + 1));
    // Half of it repetitive, so both kinds of bits occur.
    for (size_t I = Size / 2; I < Size; ++I)
      Data[I] = static_cast<uint8_t>("abcabd"[I % 6]);
    const Bytes Coded = varn::PredictionEncoder::EncodeAll(Data.data(), Data.size());
    EXPECT_LE(Coded.size(), varn::PredictionEncoder::MaxEncodedSize(Size));
    EXPECT_EQ(Decode(Coded).Output, Data);
    EXPECT_EQ(Decode(Coded, 1).Output, Data);
  }
}

TEST(Encoder, LastGroupHasItsUnusedBitsClear) {
  // Three zeros are all predicted from the zeroed table: flag 0x07 and nothing else.
  EXPECT_EQ(varn::PredictionEncoder::EncodeAll(Bytes(3, 0).data(), 3), Bytes{0x07});
  EXPECT_EQ(varn::PredictionEncoder::EncodeAll(Bytes(8, 0).data(), 8), Bytes{0xFF});
  const Bytes Abab = {0x61, 0x62, 0x61, 0x62, 0x61, 0x62, 0x61, 0x62};
  EXPECT_EQ(varn::PredictionEncoder::EncodeAll(Abab.data(), 8),
            (Bytes{0xF0, 0x61, 0x62, 0x61, 0x62}));
  EXPECT_TRUE(varn::PredictionEncoder::EncodeAll(nullptr, 0).empty());
}

TEST(Encoder, PiecesMakeTheSameBytesAsOneCall) {
  const Bytes Data = testing_support::RandomBytes(5000, 99);
  const Bytes Whole = varn::PredictionEncoder::EncodeAll(Data.data(), Data.size());
  for (size_t Piece : {size_t{1}, size_t{3}, size_t{8}, size_t{13}, size_t{4096}}) {
    varn::PredictionEncoder Encoder;
    Bytes Out;
    Bytes Buffer(varn::PredictionEncoder::MaxEncodedSize(Piece));
    for (size_t I = 0; I < Data.size(); I += Piece) {
      const size_t N = std::min(Piece, Data.size() - I);
      const size_t W = Encoder.Encode(Data.data() + I, N, Buffer.data());
      ASSERT_LE(W, Buffer.size());
      Out.insert(Out.end(), Buffer.begin(), Buffer.begin() + static_cast<ptrdiff_t>(W));
    }
    Out.resize(Out.size() + 9);
    Out.resize(Out.size() - 9 + Encoder.Finish(Out.data() + Out.size() - 9));
    EXPECT_EQ(Out, Whole) << "pieces of " << Piece;
  }
}

}  // namespace
