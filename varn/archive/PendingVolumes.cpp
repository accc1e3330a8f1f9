#include <varn/archive/PendingVolumes.h>

#include <utility>

#include <varn/framework/platform/Platform.h>

namespace varn {
namespace {

// A file of a new name beside Name (Name with Suffix, then with a number after it), created
// here, so that it was surely nobody else's.
std::unique_ptr<TFileStream> CreateBeside(const std::string& Name, const std::string& Suffix,
                                          std::string& Created) {
  for (int Attempt = 1; Attempt <= 100; ++Attempt) {
    Created = Name + Suffix + (Attempt == 1 ? std::string() : std::to_string(Attempt));
    try {
      return std::make_unique<TFileStream>(Created, TFileMode::fmCreateNew);
    } catch (const EFCreateError&) {
      if (platform::FileAttributes(Created)) continue;  // taken: try the next name
      break;
    }
  }
  throw EArchiveWriter("Cannot create file " + platform::NativePath(Name));
}

bool IsFile(const std::string& Path) {
  const auto Attributes = platform::FileAttributes(Path);
  return Attributes && !(*Attributes & platform::AttributeDirectory);
}

}  // namespace

// Writes into the temporary file, and flushes it to the disk when it is done with.
class PendingVolumes::VolumeStream : public TStream {
 public:
  VolumeStream(std::unique_ptr<TFileStream> File, PendingVolumes& Owner, size_t Index)
      : FFile(std::move(File)), FOwner(Owner), FIndex(Index) {}
  ~VolumeStream() override {
    FOwner.FVolumes[FIndex].Flushed = platform::FlushFile(FFile->Handle());
  }
  int32_t Read(void* Buffer, int32_t Count) override { return FFile->Read(Buffer, Count); }
  int32_t Write(const void* Buffer, int32_t Count) override { return FFile->Write(Buffer, Count); }
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override { return FFile->Seek(Offset, Origin); }

 private:
  std::unique_ptr<TFileStream> FFile;
  PendingVolumes& FOwner;
  size_t FIndex;
};

PendingVolumes::PendingVolumes(std::string FirstVolume) : FFirstVolume(std::move(FirstVolume)) {}

PendingVolumes::~PendingVolumes() {
  for (const Pending& Volume : FVolumes)
    if (!Volume.Temporary.empty()) platform::DeleteFile(Volume.Temporary);
}

std::string PendingVolumes::FinalName(int32_t Number) const {
  return Number == 1 ? FFirstVolume : VolumeFileName(FFirstVolume, Number);
}

std::unique_ptr<TStream> PendingVolumes::Create(int32_t Number) {
  if (Number != static_cast<int32_t>(FVolumes.size()) + 1 || Number > MaxVolumes)
    throw EArchiveWriter("Volume " + std::to_string(Number) + " created out of turn");
  FVolumes.emplace_back();
  auto File = CreateBeside(FinalName(Number), ".varn-new", FVolumes.back().Temporary);
  return std::make_unique<VolumeStream>(std::move(File), *this, FVolumes.size() - 1);
}

ArchivePlan PendingVolumes::Write(ArchiveWriter& Writer) {
  try {
    return Writer.Write([this](int32_t Number) { return Create(Number); });
  } catch (const EArchiveVolumeWrite& E) {
    throw EArchiveWriter("Could not write all bytes of " +
                         platform::NativePath(FinalName(E.Volume)) + "; the disk may be full");
  }
}

PendingVolumes::Outcome PendingVolumes::Commit(int32_t Count) {
  if (Count < 1 || Count > static_cast<int32_t>(FVolumes.size()))
    throw EArchiveWriter("Commit of " + std::to_string(Count) + " volumes out of turn");
  for (int32_t Number = 1; Number <= Count; ++Number)
    if (!FVolumes[static_cast<size_t>(Number - 1)].Flushed)
      throw EArchiveWriter("Could not write all bytes of " +
                           platform::NativePath(FinalName(Number)) + "; the disk may be full");

  std::vector<std::pair<std::string, std::string>> Aside;  // final name, where it went
  const auto PutBack = [&] {
    for (auto It = Aside.rbegin(); It != Aside.rend(); ++It)
      platform::RenameFile(It->second, It->first);
  };
  const auto Refuse = [&](int32_t Number) {
    return EArchiveWriter("Cannot replace " + platform::NativePath(FinalName(Number)) +
                          "; the old medium was left as it was");
  };
  for (int32_t Number = 1; Number <= Count; ++Number) {
    const std::string Final = FinalName(Number);
    if (!platform::FileAttributes(Final)) continue;
    std::string Old;
    try {
      CreateBeside(Final, ".varn-old", Old);
    } catch (const EArchiveWriter&) {
      PutBack();
      throw Refuse(Number);
    }
    if (!platform::RenameFile(Final, Old)) {
      platform::DeleteFile(Old);
      PutBack();
      throw Refuse(Number);
    }
    Aside.emplace_back(Final, Old);
  }
  for (int32_t Number = 1; Number <= Count; ++Number) {
    Pending& Volume = FVolumes[static_cast<size_t>(Number - 1)];
    if (!platform::RenameFile(Volume.Temporary, FinalName(Number))) {
      for (int32_t Placed = 1; Placed < Number; ++Placed)
        platform::DeleteFile(FinalName(Placed));
      PutBack();
      throw Refuse(Number);
    }
    Volume.Temporary.clear();
  }
  for (const auto& [Final, Old] : Aside)
    platform::DeleteFile(Old);

  Outcome Result;
  for (int32_t Number = Count + 1; Number <= MaxVolumes; ++Number) {
    const std::string Stale = FinalName(Number);
    if (!IsFile(Stale)) continue;
    (platform::DeleteFile(Stale) ? Result.Removed : Result.NotRemoved).push_back(Stale);
  }
  return Result;
}

ArchivePlan WriteArchiveFiles(ArchiveWriter& Writer, const std::string& FirstVolume) {
  PendingVolumes Volumes(FirstVolume);
  const ArchivePlan Plan = Volumes.Write(Writer);
  Volumes.Commit(Plan.VolumeCount);
  return Plan;
}

}  // namespace varn
