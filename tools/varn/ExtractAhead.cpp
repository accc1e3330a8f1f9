#include "tools/varn/ExtractAhead.h"

#include <algorithm>
#include <chrono>
#include <set>
#include <system_error>
#include <utility>

#include <varn/archive/TargetPath.h>
#include <varn/framework/platform/Platform.h>
#include <varn/support/PathHelpers.h>

namespace varn::cli {

namespace {

// Below this many bytes (read and written) a run costs more in a second catalogue read and a
// thread than it saves.
constexpr int64_t MinimumRun = int64_t{1} << 20;

int64_t Weight(const TFileHeaderRecord& Record) {
  return std::max<int64_t>(Record.OriginalSize(), 0) +
         std::max<int64_t>(Record.CompressedSize(), 0);
}

// What an entry of the selection weighs in Main's catalogue: nothing when it is not there.
int64_t WeightOf(TVarnCompress& Main, const std::string& Entry) {
  const int32_t Index = Main.Headers().IndexOfName(Entry);
  return Index < 0 ? 0 : Weight(Main.Headers().GetFileHeaders(Index).Record);
}

// Keeps each finished file under its temporary name, for the hand-over to put in place.
class TAheadArchive : public TVarnCompress {
 public:
  std::string Kept;

 protected:
  bool PutInPlace(const std::string& Temporary, const std::string&) override {
    Kept = Temporary;
    return true;
  }
};

}  // namespace

struct ExtractAhead::Run {
  std::vector<std::string> Entries;
  // What Main's catalogue holds for each entry: its index, and its record when it has one.
  std::vector<std::pair<int32_t, TFileHeaderRecord>> Expected;
  TAheadArchive Archive;
  std::vector<File> Files;               // extracted, in order
  std::vector<std::string> Temporaries;  // each file's, until it is put in place
  bool Finished = false;                 // under FLock
  std::thread Thread;
};

int ExtractAhead::Runs(TVarnCompress& Main, int Threads) {
  const std::vector<std::string>& Selected = Main.FilesToProcess();
  if (Threads < 2 || Selected.size() < 2) return 1;
  std::set<std::string> Targets;
  int64_t Total = 0;
  for (const std::string& Entry : Selected) {
    const int32_t Index = Main.Headers().IndexOfName(Entry);
    if (Index < 0) continue;
    const TFileHeaderRecord& Record = Main.Headers().GetFileHeaders(Index).Record;
    if (!Targets.insert(platform::UpperCaseName(TargetFileName(FileNamePart(Record.FileName()))))
             .second)
      return 1;
    Total += Weight(Record);
  }
  return static_cast<int>(std::clamp<int64_t>(
      Total / MinimumRun, 1, std::min<int64_t>(Threads, static_cast<int64_t>(Selected.size()))));
}

ExtractAhead::ExtractAhead(TVarnCompress& Main, int Runs,
                           std::function<void(TVarnCompress&)> Configure)
    : FMain(Main) {
  std::vector<std::string>& Selected = Main.FilesToProcess();
  int64_t Total = 0;
  for (const std::string& Entry : Selected)
    Total += WeightOf(Main, Entry);
  Runs = static_cast<int>(std::clamp<size_t>(static_cast<size_t>(std::max(Runs, 1)), 1,
                                             std::max<size_t>(Selected.size(), 1)));

  // Cut where the sum passes each Runs-th of the whole, leaving every run one entry at least.
  std::vector<std::vector<std::string>> Parts(static_cast<size_t>(Runs));
  int64_t Sum = 0;
  size_t Part = 0;
  for (size_t I = 0; I < Selected.size(); ++I) {
    Parts[Part].push_back(Selected[I]);
    Sum += WeightOf(Main, Selected[I]);
    const size_t After = Selected.size() - 1 - I, Left = Parts.size() - 1 - Part;
    if (Left > 0 && (After == Left || Sum * Runs >= Total * static_cast<int64_t>(Part + 1))) ++Part;
  }
  Selected = std::move(Parts[0]);

  for (size_t P = 1; P < Parts.size(); ++P) {
    auto R = std::make_unique<Run>();
    R->Entries = std::move(Parts[P]);
    for (const std::string& Entry : R->Entries) {
      const int32_t Index = Main.Headers().IndexOfName(Entry);
      R->Expected.emplace_back(
          Index, Index < 0 ? TFileHeaderRecord{} : Main.Headers().GetFileHeaders(Index).Record);
    }
    TVarnCompress& A = R->Archive;
    A.SetCompressedFile(Main.CompressedFile());
    A.ExtractDirectory = Main.ExtractDirectory;
    A.Overwrite = Main.Overwrite;
    A.CheckSeal = true;
    A.SafeReplace = true;
    Configure(A);
    FRuns.push_back(std::move(R));
  }
  for (auto& R : FRuns) {
    try {
      R->Thread = std::thread([this, &R = *R] { Extract(R); });
    } catch (const std::system_error&) {
      R->Finished = true;  // with nothing done: the caller extracts it all
    }
  }
}

ExtractAhead::~ExtractAhead() {
  Stop();
}

void ExtractAhead::Extract(Run& R) {
  TAheadArchive& A = R.Archive;
  File Current;
  int64_t Reported = 0;
  A.OnBeforeExtracting = [&](TVarnCompress& V, const TlzhFileStats& Stats) {
    Current = File{};
    Current.Name = Stats.FileName;
    Current.Target = AddBackslash(V.ExtractDirectory) + TargetFileName(V.TargetName);
    Current.Existed = IsExistingFile(Current.Target);
    Current.CompressedSize = Stats.CompressedSize;
    Reported = 0;
  };
  A.OnReplace = [&](TVarnCompress&, const TlzhFileStats&) { Current.Replaced = true; };
  A.OnStatus = [&](TVarnCompress& V, const TlzhFileStats& Stats) {
    if (FStop.load(std::memory_order_relaxed) || platform::Interrupted()) V.Abort = true;
    FBytesAhead.fetch_add(Stats.BytesDone - Reported, std::memory_order_relaxed);
    Reported = Stats.BytesDone;
  };
  A.OnAfterExtracting = [&](TVarnCompress&, const TlzhFileStats&) {
    Current.Written = !A.Kept.empty();
    R.Temporaries.push_back(std::exchange(A.Kept, std::string()));
    R.Files.push_back(Current);
  };
  try {
    A.ReadHeaders();
    // The medium read again must be the one Main read, or nothing is extracted ahead.
    bool Same = A.Seal().State == FMain.Seal().State &&
                A.Seal().Seal.CatalogueHash == FMain.Seal().Seal.CatalogueHash &&
                A.Seal().Seal.FileHashes == FMain.Seal().Seal.FileHashes;
    for (size_t I = 0; Same && I < R.Entries.size(); ++I) {
      const int32_t Index = A.Headers().IndexOfName(R.Entries[I]);
      Same = Index == R.Expected[I].first &&
             (Index < 0 ||
              A.Headers().GetFileHeaders(Index).Record.Bytes == R.Expected[I].second.Bytes);
    }
    if (Same) {
      A.FilesToProcess() = R.Entries;
      A.Extract();
    }
  } catch (...) {
    // Said by the caller's own run, which extracts this file again.
  }
  // A file put "in place" whose date could not be set after all.
  if (!A.Kept.empty()) platform::DeleteFile(std::exchange(A.Kept, std::string()));
  // The handlers refer to this frame.
  A.OnBeforeExtracting = A.OnReplace = A.OnStatus = A.OnAfterExtracting = nullptr;
  {
    std::lock_guard<std::mutex> Lock(FLock);
    R.Finished = true;
  }
  FChanged.notify_all();
}

std::vector<std::string> ExtractAhead::HandOver(const std::function<void(const File&)>& Each,
                                                const std::function<void()>& Waiting) {
  for (size_t P = 0; P < FRuns.size(); ++P) {
    Run& R = *FRuns[P];
    {
      std::unique_lock<std::mutex> Lock(FLock);
      while (!FChanged.wait_for(Lock, std::chrono::milliseconds(100), [&] { return R.Finished; })) {
        Lock.unlock();
        Waiting();
        Lock.lock();
      }
    }
    size_t Done = 0;
    // After an interrupt nothing more is put in place: the caller stops as at a file's start.
    for (; Done < R.Files.size() && !platform::Interrupted(); ++Done) {
      const File& F = R.Files[Done];
      if (F.Written && !platform::RenameFile(R.Temporaries[Done], F.Target)) break;
      R.Temporaries[Done].clear();
      FBytesAhead.fetch_sub(F.CompressedSize, std::memory_order_relaxed);
      Each(F);
    }
    if (Done < R.Entries.size()) {
      std::vector<std::string> Rest(R.Entries.begin() + static_cast<ptrdiff_t>(Done),
                                    R.Entries.end());
      for (size_t Later = P + 1; Later < FRuns.size(); ++Later)
        Rest.insert(Rest.end(), FRuns[Later]->Entries.begin(), FRuns[Later]->Entries.end());
      Stop();
      return Rest;
    }
  }
  return {};
}

void ExtractAhead::Stop() {
  FStop = true;
  for (auto& R : FRuns) {
    if (R->Thread.joinable()) R->Thread.join();
    for (std::string& Temporary : R->Temporaries)
      if (!Temporary.empty()) platform::DeleteFile(std::exchange(Temporary, std::string()));
  }
  FBytesAhead = 0;
}

}  // namespace varn::cli
