// Decompress through its events on three corpora made here from fixed seeds, next to two
// byte-at-a-time decoders with the same events: a plain loop on local variables (the
// baseline) and one that goes through an object's fields for every byte. Also the encoder.
// Throughput is counted in bytes of decoded output (for the encoder: of input).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <varn/archive/PredictionEncoder.h>
#include <varn/archive/cmp_TVarnStreamCompress.h>
#include "bench/Corpora.h"

using namespace varn;

namespace {

using bench::Bytes;
constexpr size_t CorpusSize = 4 << 20;

struct Corpus {
  Bytes Original;
  Bytes Coded;
};

const Corpus& GetCorpus(int Kind) {
  static const Corpus Corpora[3] = {{bench::ExecutableLike(1, CorpusSize), {}},
                                    {bench::Text(2, CorpusSize), {}},
                                    {bench::Random(3, CorpusSize), {}}};
  static bool Coded = false;
  if (!Coded) {
    for (auto& C : const_cast<Corpus(&)[3]>(Corpora))
      C.Coded = varn::PredictionEncoder::EncodeAll(C.Original.data(), C.Original.size());
    Coded = true;
  }
  return Corpora[Kind];
}

const char* KindName(int Kind) {
  return Kind == 0 ? "binary" : Kind == 1 ? "text" : "random";
}

// The event handlers every decoder gets: input in 8192-byte blocks from memory, output
// copied into a buffer.
struct Endpoints {
  const Bytes* Input = nullptr;
  size_t InOffset = 0;
  Bytes Output;
  size_t OutOffset = 0;

  void Read(TVSCBuffer& Buf, int32_t& BIB) {
    const size_t N = std::min<size_t>(Buf.size(), Input->size() - InOffset);
    std::memcpy(Buf.data(), Input->data() + InOffset, N);
    InOffset += N;
    BIB = static_cast<int32_t>(N);
  }
  void Write(const TVSCBuffer& Buf, int32_t BIB) {
    std::memcpy(Output.data() + OutOffset, Buf.data(), static_cast<size_t>(BIB));
    OutOffset += static_cast<size_t>(BIB);
  }
};

// The baseline: the format's decoding loop as it reads, on local variables, checking for a refill
// at every literal and for a full block at every output byte.
class PlainDecoder {
 public:
  TReadBufferEvent OnReadBuffer;
  TWriteBufferEvent OnWriteBuffer;
  TVarnStreamCompress* Self = nullptr;  // passed to the handlers as VSC

  void Decompress() {
    std::fill(std::begin(Table), std::end(Table), 0);
    uint8_t Last = 0, Second = 0;
    int32_t InPos = 1, InCount = 0, OutCount = 0;
    const auto GetByte = [&](uint8_t& C) {
      if (InPos >= InCount) {
        InCount = 0;
        if (OnReadBuffer) OnReadBuffer(*Self, InBuffer, InCount);
        if (InCount == 0) return false;
        InPos = 0;
      }
      C = InBuffer[static_cast<size_t>(InPos++)];
      return true;
    };
    const auto PutByte = [&](uint8_t C) {
      if (OutCount >= 8192) {
        if (OnWriteBuffer) OnWriteBuffer(*Self, OutBuffer, OutCount);
        OutCount = 0;
      }
      OutBuffer[static_cast<size_t>(OutCount++)] = C;
    };
    const auto Flush = [&] {
      if (OutCount != 0 && OnWriteBuffer) OnWriteBuffer(*Self, OutBuffer, OutCount);
    };
    uint8_t Flag;
    while (GetByte(Flag)) {
      for (int Bit = 0; Bit < 8; ++Bit) {
        const unsigned Index = (static_cast<unsigned>(SecondOf(Second)) << 7) ^ Last;
        uint8_t C;
        if (Flag & (1 << Bit)) {
          C = Table[Index];
        } else {
          if (!GetByte(C)) return Flush();
          Table[Index] = C;
        }
        PutByte(C);
        Second = Last;
        Last = C;
      }
    }
    Flush();
  }

 private:
  static uint8_t SecondOf(uint8_t B) { return B; }
  uint8_t Table[32768];
  TVSCBuffer InBuffer, OutBuffer;
};

// The same steps through the object's fields for every byte.
class FieldDecoder {
 public:
  TReadBufferEvent OnReadBuffer;
  TWriteBufferEvent OnWriteBuffer;
  TVarnStreamCompress* Self = nullptr;

  void Decompress() {
    std::fill(std::begin(Table), std::end(Table), 0);
    Last = Second = 0;
    OutCount = 0;
    InPos = 1;
    InCount = 0;
    uint8_t Flag;
    while (GetByte(Flag)) {
      for (int Bit = 0; Bit < 8; ++Bit) {
        const unsigned Index = (static_cast<unsigned>(Second) << 7) ^ Last;
        uint8_t C;
        if (Flag & (1 << Bit)) {
          C = Table[Index];
        } else {
          if (!GetByte(C)) return Flush();
          Table[Index] = C;
        }
        PutByte(C);
        Second = Last;
        Last = C;
      }
    }
    Flush();
  }

 private:
  bool GetByte(uint8_t& C) {
    if (InPos >= InCount) {
      InCount = 0;
      if (OnReadBuffer) OnReadBuffer(*Self, InBuffer, InCount);
      if (InCount == 0) return false;
      InPos = 0;
    }
    C = InBuffer[static_cast<size_t>(InPos++)];
    return true;
  }
  void PutByte(uint8_t C) {
    if (OutCount >= 8192) {
      if (OnWriteBuffer) OnWriteBuffer(*Self, OutBuffer, OutCount);
      OutCount = 0;
    }
    OutBuffer[static_cast<size_t>(OutCount++)] = C;
  }
  void Flush() {
    if (OutCount != 0 && OnWriteBuffer) OnWriteBuffer(*Self, OutBuffer, OutCount);
    OutCount = 0;
  }
  uint8_t Second = 0, Last = 0;
  uint8_t Table[32768];
  TVSCBuffer InBuffer, OutBuffer;
  int32_t InCount = 0, OutCount = 0, InPos = 0;
};

template <typename Decoder>
void RunDecoder(benchmark::State& State, Decoder& D, TVarnStreamCompress& Self) {
  const Corpus& C = GetCorpus(static_cast<int>(State.range(0)));
  Endpoints E;
  E.Input = &C.Coded;
  E.Output.resize(C.Original.size());
  D.OnReadBuffer = [&](TVarnStreamCompress&, TVSCBuffer& Buf, int32_t& BIB) { E.Read(Buf, BIB); };
  D.OnWriteBuffer = [&](TVarnStreamCompress&, TVSCBuffer& Buf, int32_t BIB) { E.Write(Buf, BIB); };
  for (auto _ : State) {
    E.InOffset = 0;
    E.OutOffset = 0;
    D.Decompress();
    benchmark::DoNotOptimize(E.Output.data());
  }
  (void)Self;
  if (E.OutOffset != C.Original.size() || E.Output != C.Original)
    State.SkipWithError("decoded output differs from the corpus");
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) *
                          static_cast<int64_t>(C.Original.size()));
  State.SetLabel(std::string(KindName(static_cast<int>(State.range(0)))) + ", coded to " +
                 std::to_string(C.Coded.size() * 100 / C.Original.size()) + "%");
}

void BM_Decompress(benchmark::State& State) {
  auto D = std::make_unique<TVarnStreamCompress>();
  RunDecoder(State, *D, *D);
}

void BM_PlainLoop(benchmark::State& State) {
  auto Self = std::make_unique<TVarnStreamCompress>();
  auto D = std::make_unique<PlainDecoder>();
  D->Self = Self.get();
  RunDecoder(State, *D, *Self);
}

void BM_FieldsPerByte(benchmark::State& State) {
  auto Self = std::make_unique<TVarnStreamCompress>();
  auto D = std::make_unique<FieldDecoder>();
  D->Self = Self.get();
  RunDecoder(State, *D, *Self);
}

void BM_Encode(benchmark::State& State) {
  const Corpus& C = GetCorpus(static_cast<int>(State.range(0)));
  auto Encoder = std::make_unique<varn::PredictionEncoder>();
  constexpr size_t Chunk = 64 * 1024;
  Bytes Out(varn::PredictionEncoder::MaxEncodedSize(Chunk));
  size_t Total = 0;
  for (auto _ : State) {
    Total = 0;
    for (size_t I = 0; I < C.Original.size(); I += Chunk)
      Total += Encoder->Encode(C.Original.data() + I, std::min(Chunk, C.Original.size() - I),
                               Out.data());
    Total += Encoder->Finish(Out.data());
    benchmark::DoNotOptimize(Out.data());
  }
  if (Total != C.Coded.size()) State.SkipWithError("coded size differs");
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) *
                          static_cast<int64_t>(C.Original.size()));
  State.SetLabel(KindName(static_cast<int>(State.range(0))));
}

BENCHMARK(BM_Decompress)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainLoop)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FieldsPerByte)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
