#include <varn/archive/PendingVolumes.h>

#include <algorithm>
#include <utility>

#include <varn/archive/ArchiveSeal.h>
#include <varn/archive/cmp_TFileHeaders.h>
#include <varn/framework/platform/Platform.h>
#include <varn/support/PathHelpers.h>

namespace varn {
namespace {

const char* const NewSuffix = ".varn-new";
const char* const OldSuffix = ".varn-old";
const char* const CommitSuffix = ".varn-commit";

bool Exists(const std::string& Path) {
  return platform::FileAttributes(Path).has_value();
}

bool IsFile(const std::string& Path) {
  const auto Attributes = platform::FileAttributes(Path);
  return Attributes && !(*Attributes & platform::AttributeDirectory);
}

std::string Native(const std::string& Path) {
  return platform::NativePath(Path);
}

}  // namespace

int32_t VolumesOfMedium(const std::string& Path) {
  if (!IsFile(Path)) return 0;
  try {
    TFileStream Volume(Path, TFileMode::fmOpenReadShared);
    TFileHeaders Headers;
    Headers.ReadFromStream(Volume);
    try {
      ReadArchiveSeal(Volume, Path);
    } catch (const EVCCannotCheckSeal&) {
      // The catalogue alone then: it was read whole.
    }
    int32_t Count = 1;
    for (int32_t I = 0; I < Headers.Count(); ++I) {
      const TFileHeaderRecord& Header = Headers.GetFileHeaders(I).Record;
      Count = std::max<int32_t>({Count, Header.FirstDisk(), Header.LastDisk()});
    }
    return Count;
  } catch (const std::exception&) {
    return 0;
  }
}

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

std::string PendingVolumes::Directory() const {
  return RemoveBackslash(DirectoryPart(FFirstVolume));
}

void PendingVolumes::Step() const {
  if (BeforeEachStep) BeforeEachStep();
}

PendingVolumes::Recovery PendingVolumes::Recover() {
  Recovery Done;
  const auto Remove = [&](const std::string& Path) {
    (platform::DeleteFile(Path) ? Done.Removed : Done.Failed).push_back(Path);
  };
  // An old file back under its name. Where both names are links to one file, the rename leaves
  // both: the old name then goes.
  const auto Restore = [&](const std::string& Old, const std::string& Final) {
    if (!platform::RenameFile(Old, Final)) {
      Done.Failed.push_back(Old);
      return;
    }
    if (Exists(Old)) platform::DeleteFile(Old);
    Done.Restored.push_back(Final);
  };
  const std::string Marker = FinalName(1) + CommitSuffix;
  if (IsFile(Marker)) {
    // Volume 1 was not replaced yet: the old medium comes back. A volume of the new one that
    // is in place with neither its temporary file nor an old file beside it was put where no
    // file had been.
    const int32_t NewCount = VolumesOfMedium(Marker);
    for (int32_t Number = 1; Number <= MaxVolumes; ++Number) {
      const std::string Final = FinalName(Number);
      const bool Placed = !Exists(Final + NewSuffix);
      if (IsFile(Final + OldSuffix))
        Restore(Final + OldSuffix, Final);
      else if (Number >= 2 && Number <= NewCount && Placed && IsFile(Final))
        Remove(Final);
      if (IsFile(Final + NewSuffix)) Remove(Final + NewSuffix);
    }
    Remove(Marker);
  } else {
    for (int32_t Number = 1; Number <= MaxVolumes; ++Number)
      if (IsFile(FinalName(Number) + NewSuffix)) Remove(FinalName(Number) + NewSuffix);
    // Volume 1 was replaced: the clean-up after it is finished.
    const std::string OldFirst = FinalName(1) + OldSuffix;
    if (IsFile(OldFirst) && IsFile(FinalName(1))) {
      const int32_t OldCount = VolumesOfMedium(OldFirst);
      for (int32_t Number = VolumesOfMedium(FinalName(1)) + 1; Number <= OldCount; ++Number)
        if (IsFile(FinalName(Number))) Remove(FinalName(Number));
    }
    for (int32_t Number = MaxVolumes; Number >= 1; --Number) {
      const std::string Old = FinalName(Number) + OldSuffix;
      if (!IsFile(Old)) continue;
      if (IsFile(FinalName(Number)))
        Remove(Old);
      else
        Restore(Old, FinalName(Number));  // no new file took its place
    }
  }
  if (!Done.Empty()) platform::FlushDirectory(Directory());
  return Done;
}

std::unique_ptr<TStream> PendingVolumes::Create(int32_t Number) {
  if (Number != static_cast<int32_t>(FVolumes.size()) + 1 || Number > MaxVolumes)
    throw EArchiveWriter("Volume " + std::to_string(Number) + " created out of turn");
  FVolumes.emplace_back();
  const std::string Temporary = FinalName(Number) + NewSuffix;
  std::unique_ptr<TFileStream> File;
  try {
    File = std::make_unique<TFileStream>(Temporary, TFileMode::fmCreateNew);
  } catch (const EFCreateError&) {
    throw EArchiveWriter("Cannot create file " + Native(Temporary));
  }
  FVolumes.back().Temporary = Temporary;
  return std::make_unique<VolumeStream>(std::move(File), *this, FVolumes.size() - 1);
}

ArchivePlan PendingVolumes::Write(ArchiveWriter& Writer) {
  try {
    return Writer.Write([this](int32_t Number) { return Create(Number); });
  } catch (const EArchiveVolumeWrite& E) {
    throw EArchiveWriter("Could not write all bytes of " + Native(FinalName(E.Volume)) +
                         "; the disk may be full");
  }
}

PendingVolumes::Outcome PendingVolumes::Commit(int32_t Count) {
  if (Count < 1 || Count > static_cast<int32_t>(FVolumes.size()))
    throw EArchiveWriter("Commit of " + std::to_string(Count) + " volumes out of turn");
  for (int32_t Number = 1; Number <= Count; ++Number)
    if (!FVolumes[static_cast<size_t>(Number - 1)].Flushed)
      throw EArchiveWriter("Could not write all bytes of " + Native(FinalName(Number)) +
                           "; the disk may be full");
  const auto Unchanged = [&](int32_t Number) {
    return EArchiveWriter("Cannot replace " + Native(FinalName(Number)) +
                          "; the old medium was left as it was");
  };
  for (int32_t Number = 1; Number <= Count; ++Number) {
    const std::string Final = FinalName(Number);
    if ((Exists(Final) && !IsFile(Final)) || Exists(Final + OldSuffix)) throw Unchanged(Number);
  }
  const int32_t OldCount = VolumesOfMedium(FinalName(1));

  // From here on a crash leaves the marker, and Recover puts the old medium back.
  platform::FlushDirectory(Directory());
  const std::string Marker = FinalName(1) + CommitSuffix;
  Step();
  if (!platform::RenameFile(FVolumes[0].Temporary, Marker)) throw Unchanged(1);
  FVolumes[0].Temporary = Marker;
  for (int32_t Number = Count; Number >= 1; --Number) {
    Pending& Volume = FVolumes[static_cast<size_t>(Number - 1)];
    const std::string Final = FinalName(Number);
    bool Kept = true;  // the old file, if any, has its second name
    if (IsFile(Final)) {
      Step();
      // Without hard links (FAT), the old file moves aside: the name is missing for a moment.
      if (!platform::LinkFile(Final, Final + OldSuffix)) {
        Step();
        Kept = platform::RenameFile(Final, Final + OldSuffix);
      }
    }
    if (Kept) Step();
    if (!Kept || !platform::RenameFile(Volume.Temporary, Final)) {
      const Recovery Back = Recover();
      for (Pending& Left : FVolumes)
        Left.Temporary.clear();
      if (Back.Failed.empty()) throw Unchanged(Number);
      std::string Left;
      for (const std::string& Path : Back.Failed)
        Left += (Left.empty() ? "" : ", ") + Native(Path);
      throw EArchiveWriter("Cannot replace " + Native(Final) +
                           ", and the old medium could not be put back whole: " + Left +
                           " could be neither put back nor removed; the next pack into " +
                           Native(FinalName(1)) + " tries again");
    }
    Volume.Temporary.clear();
  }
  platform::FlushDirectory(Directory());

  Outcome Result;
  for (int32_t Number = Count + 1; Number <= OldCount; ++Number) {
    const std::string Stale = FinalName(Number);
    if (!IsFile(Stale)) continue;
    Step();
    (platform::DeleteFile(Stale) ? Result.Removed : Result.NotRemoved).push_back(Stale);
  }
  // Volume 1's last: until it goes, a crash can still be cleaned up after from its catalogue.
  for (int32_t Number = Count; Number >= 1; --Number) {
    if (!Exists(FinalName(Number) + OldSuffix)) continue;
    Step();
    platform::DeleteFile(FinalName(Number) + OldSuffix);
  }
  platform::FlushDirectory(Directory());
  return Result;
}

ArchivePlan WriteArchiveFiles(ArchiveWriter& Writer, const std::string& FirstVolume) {
  PendingVolumes Volumes(FirstVolume);
  Volumes.Recover();
  const ArchivePlan Plan = Volumes.Write(Writer);
  Volumes.Commit(Plan.VolumeCount);
  return Plan;
}

}  // namespace varn
