// Extraction of a payload of a few hundred mixed files (about 100 MiB) from a multi-volume
// archive into a directory on tmpfs, next to Decompress alone on the same coded data held in
// memory. The ratio shows what the component adds: volumes, events, the message pump and
// file output. The same payload sealed and extracted with the seal checked (SHA-256 of every
// file's output) shows what the check costs. Throughput is counted in bytes of decoded output.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <varn/archive/ArchiveWriter.h>
#include <varn/archive/PendingVolumes.h>
#include <varn/archive/PredictionEncoder.h>
#include <varn/archive/cmp_TVarnCompress.h>
#include <varn/framework/platform/Hash.h>
#include <varn/framework/platform/Platform.h>
#include "bench/Corpora.h"

using namespace varn;

namespace {

namespace fs = std::filesystem;
using bench::Bytes;

constexpr size_t TargetTotal = 100u << 20;
constexpr int64_t VolumeSize = 16 << 20;

struct Payload {
  std::vector<std::string> Names;
  std::vector<Bytes> Originals;
  std::vector<Bytes> Coded;
  int64_t TotalOriginal = 0;
  fs::path Directory;  // holds setup.1, setup.2, ..., sealed/setup.1, ... and out/

  Payload() {
    // Slices of three large corpora, so the files are as varied as real media.
    const Bytes Sources[3] = {bench::ExecutableLike(11, 16 << 20), bench::Text(12, 16 << 20),
                              bench::Random(13, 16 << 20)};
    std::mt19937 G(42);
    std::uniform_real_distribution<double> LogSize(std::log(16.0), std::log(6.0 * (1 << 20)));
    while (TotalOriginal < static_cast<int64_t>(TargetTotal)) {
      const Bytes& Source = Sources[G() % 3];
      const size_t Size = static_cast<size_t>(std::exp(LogSize(G)));
      const size_t Offset = G() % (Source.size() - Size);
      Originals.emplace_back(Source.begin() + static_cast<std::ptrdiff_t>(Offset),
                             Source.begin() + static_cast<std::ptrdiff_t>(Offset + Size));
      Names.push_back("file" + std::to_string(Names.size()) + ".bin");
      TotalOriginal += static_cast<int64_t>(Size);
    }
    for (const Bytes& B : Originals)
      Coded.push_back(varn::PredictionEncoder::EncodeAll(B.data(), B.size()));

    const fs::path Base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    Directory = Base / ("varn-bench-" + std::to_string(std::random_device{}()));
    fs::create_directories(Directory / "out");
    fs::create_directories(Directory / "sealed");
    varn::ArchiveWriter Writer;
    Writer.VolumeSize = VolumeSize;
    for (size_t I = 0; I < Originals.size(); ++I) {
      varn::ArchiveMember M;
      M.Name = Names[I];
      M.FileDate = 45000.5;
      M.Origin = Names[I];
      const Bytes* Data = &Originals[I];
      M.OpenData = [Data] { return std::make_unique<TMemoryStream>(*Data); };
      Writer.Members.push_back(std::move(M));
    }
    varn::WriteArchiveFiles(Writer, platform::InternalPath((Directory / "setup.1").string()));
    Writer.Seal = true;
    varn::WriteArchiveFiles(Writer,
                            platform::InternalPath((Directory / "sealed" / "setup.1").string()));
  }
  ~Payload() {
    std::error_code Ignored;
    fs::remove_all(Directory, Ignored);
  }
};

Payload& GetPayload() {
  static Payload P;
  return P;
}

void BM_DecompressInMemory(benchmark::State& State) {
  Payload& P = GetPayload();
  TVarnStreamCompress Decoder;
  const Bytes* Input = nullptr;
  size_t Offset = 0;
  int64_t Written = 0;
  Decoder.OnReadBuffer = [&](TVarnStreamCompress&, TVSCBuffer& Buf, int32_t& BIB) {
    const size_t N = std::min<size_t>(Buf.size(), Input->size() - Offset);
    std::memcpy(Buf.data(), Input->data() + Offset, N);
    Offset += N;
    BIB = static_cast<int32_t>(N);
  };
  Decoder.OnWriteBuffer = [&](TVarnStreamCompress&, TVSCBuffer& Buf, int32_t BIB) {
    benchmark::DoNotOptimize(Buf.data());
    Written += BIB;
  };
  for (auto _ : State) {
    for (const Bytes& Coded : P.Coded) {
      Input = &Coded;
      Offset = 0;
      Decoder.Decompress();
    }
  }
  if (Written != P.TotalOriginal * static_cast<int64_t>(State.iterations()))
    State.SkipWithError("decoded size differs");
  State.SetBytesProcessed(Written);
  State.counters["files"] = static_cast<double>(P.Names.size());
}

void Extract(benchmark::State& State, const fs::path& Volume1, bool CheckSeal) {
  Payload& P = GetPayload();
  TVarnCompress Archive;
  Archive.CheckSeal = CheckSeal;
  const std::string First = platform::InternalPath(Volume1.string());
  Archive.ExtractDirectory = platform::InternalPath((P.Directory / "out").string());
  for (auto _ : State) {
    // After a run CompressedFile names the last volume; another name in between brings back
    // volume 1.
    Archive.SetCompressedFile(First + "x.1");
    Archive.SetCompressedFile(First);
    std::vector<std::string> Names = P.Names;
    Archive.SetFilesToProcess(Names);
    Archive.Extract();
  }
  if (fs::file_size(P.Directory / "out" / P.Names.back()) != P.Originals.back().size())
    State.SkipWithError("extracted size differs");
  if (CheckSeal && Archive.Seal().State != TSealState::Present)
    State.SkipWithError("the seal was not checked");
  State.SetBytesProcessed(P.TotalOriginal * static_cast<int64_t>(State.iterations()));
  State.counters["files"] = static_cast<double>(P.Names.size());
}

void BM_Extract(benchmark::State& State) {
  Extract(State, GetPayload().Directory / "setup.1", false);
}

void BM_ExtractSealed(benchmark::State& State) {
  Extract(State, GetPayload().Directory / "sealed" / "setup.1", true);
}

// The system's SHA-256 alone over the decoded bytes, in the blocks the extraction hashes: what
// the seal check cannot do without, and so the bound of sealed extraction's share.
void BM_Sha256Only(benchmark::State& State) {
  Payload& P = GetPayload();
  for (auto _ : State) {
    for (const Bytes& B : P.Originals) {
      platform::Sha256 Hash;
      for (size_t Offset = 0; Offset < B.size(); Offset += 8192)
        Hash.Update(B.data() + Offset, std::min<size_t>(8192, B.size() - Offset));
      platform::Sha256Digest Digest{};
      if (!Hash.Finish(Digest)) State.SkipWithError("no SHA-256");
      benchmark::DoNotOptimize(Digest);
    }
  }
  State.SetBytesProcessed(P.TotalOriginal * static_cast<int64_t>(State.iterations()));
}

// The file output alone: the decoded bytes written in 8192-byte blocks to new files, as the
// extraction writes them. What extraction costs beyond decoding plus this is the component's.
void BM_WriteOnly(benchmark::State& State) {
  Payload& P = GetPayload();
  for (auto _ : State) {
    for (size_t I = 0; I < P.Originals.size(); ++I) {
      TFileStream Out(platform::InternalPath((P.Directory / "out" / P.Names[I]).string()),
                      TFileMode::fmCreate);
      const Bytes& B = P.Originals[I];
      for (size_t Offset = 0; Offset < B.size(); Offset += 8192)
        Out.Write(B.data() + Offset,
                  static_cast<int32_t>(std::min<size_t>(8192, B.size() - Offset)));
    }
  }
  State.SetBytesProcessed(P.TotalOriginal * static_cast<int64_t>(State.iterations()));
}

BENCHMARK(BM_DecompressInMemory)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_Extract)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_ExtractSealed)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_Sha256Only)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_WriteOnly)->Unit(benchmark::kMillisecond)->MinTime(3);

// Prints the ratios of extraction to decoding alone and of checked sealed extraction to plain
// extraction after the table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& Runs) override {
    ConsoleReporter::ReportRuns(Runs);
    for (const Run& R : Runs) {
      const auto It = R.counters.find("bytes_per_second");
      if (It != R.counters.end()) Rates[R.run_name.function_name] = It->second.value;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    if (Rates.count("BM_Extract") && Rates.count("BM_DecompressInMemory"))
      std::printf("extraction keeps %.1f%% of the decoder's own throughput\n",
                  100.0 * Rates["BM_Extract"] / Rates["BM_DecompressInMemory"]);
    if (Rates.count("BM_Extract") && Rates.count("BM_ExtractSealed"))
      std::printf(
          "sealed extraction, checked, keeps %.1f%% of the unsealed one's throughput "
          "(target: 85%%)\n",
          100.0 * Rates["BM_ExtractSealed"] / Rates["BM_Extract"]);
    // Hashing after each block, on the one thread, adds 1 / hash rate to each byte's time.
    if (Rates.count("BM_Extract") && Rates.count("BM_Sha256Only"))
      std::printf("with this machine's SHA-256 the most sealed extraction can keep is %.1f%%\n",
                  100.0 / (1.0 + Rates["BM_Extract"] / Rates["BM_Sha256Only"]));
  }

 private:
  std::map<std::string, double> Rates;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter Reporter;
  benchmark::RunSpecifiedBenchmarks(&Reporter);
  benchmark::Shutdown();
  return 0;
}
