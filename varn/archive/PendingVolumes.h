#pragma once
// The volume files of a medium, written so that the medium is replaced whole or not at all, and
// so that a crash at any point leaves what the next run can put right.
//
// Each volume is written under the temporary name FINAL.varn-new beside its final name and is
// flushed to the disk when its stream is closed. Commit then marks the medium as being replaced
// (volume 1's file becomes FINAL.varn-commit) and replaces each volume by one rename of the new
// file over the old one, the last volume first and volume 1 last, after giving the old file a
// second name FINAL.varn-old; so a reader finds either the old catalogue or the new one with all
// its volumes in place. Once volume 1 is in place, the old medium's further volumes and the old
// files go. Whatever ends the writing early (an exception, a full disk) leaves no temporary file
// behind; a crash leaves these names, which Recover reads.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <varn/archive/ArchiveWriter.h>
#include <varn/framework/Streams.h>

namespace varn {

class PendingVolumes {
 public:
  // FirstVolume is the final name of volume 1, in the program's form.
  explicit PendingVolumes(std::string FirstVolume);
  // Removes the temporary files that Commit has not put in place.
  ~PendingVolumes();
  PendingVolumes(const PendingVolumes&) = delete;
  PendingVolumes& operator=(const PendingVolumes&) = delete;

  struct Recovery {
    std::vector<std::string> Restored;  // old volumes put back under their names
    std::vector<std::string> Removed;   // files of the interrupted run, or old ones it replaced
    std::vector<std::string> Failed;    // such files that could be neither put back nor removed
    bool Empty() const { return Restored.empty() && Removed.empty() && Failed.empty(); }
  };

  // Puts right what an interrupted run left beside FirstVolume. Before volume 1 was replaced
  // (FINAL.varn-commit still there): the old volumes are put back from FINAL.varn-old, and the
  // new volumes already placed where no old file was are removed, as are the temporary files.
  // After it: what was left of the clean-up is done (the old medium's further volumes, as its
  // catalogue in FINAL.varn-old names them, and the old files). Temporary files of a run that
  // never began to replace anything are removed. Call it before Write.
  Recovery Recover();

  // Writes the archive into temporary files through Writer.Write. EArchiveWriter, naming the
  // final file, when a volume cannot be created or written whole.
  ArchivePlan Write(ArchiveWriter& Writer);

  struct Outcome {
    std::vector<std::string> Removed;     // volumes of the old medium above the new last one
    std::vector<std::string> NotRemoved;  // such volumes that could not be removed
  };

  // Puts volumes 1 to Count in place of any files of their final names (see above), then
  // removes the old medium's volumes above Count: exactly those that its catalogue (and seal)
  // in the old volume 1 says it used, when the old volume 1 was sound. No other file is
  // removed. EArchiveWriter when a volume was not flushed to the disk, or one cannot be put in
  // place; the message says whether the old medium is whole again.
  Outcome Commit(int32_t Count);

  // The final name of volume Number.
  std::string FinalName(int32_t Number) const;

  // For tests of what a crash leaves: called before each change that Commit makes in the
  // directory (a link, a rename, a removal), so that a test can end the process there.
  std::function<void()> BeforeEachStep;

 private:
  class VolumeStream;
  struct Pending {
    std::string Temporary;  // empty once it has been put in place
    bool Flushed = false;
  };
  std::unique_ptr<TStream> Create(int32_t Number);
  void Step() const;
  std::string Directory() const;

  std::string FFirstVolume;
  std::vector<Pending> FVolumes;  // volume n at n - 1
};

// Writes the archive into files: volume 1 is FirstVolume, volume n VolumeFileName(n). The
// files replace a medium of that name whole or not at all, the old one's further volumes
// included, after what an interrupted run left there is put right (Recover).
ArchivePlan WriteArchiveFiles(ArchiveWriter& Writer, const std::string& FirstVolume);

// The number of volumes that the medium whose volume 1 is Path uses: the highest volume its
// catalogue entries name. 0 when Path is no sound volume 1 (no file, a catalogue that cannot be
// read, a seal that does not match it).
int32_t VolumesOfMedium(const std::string& Path);

}  // namespace varn
