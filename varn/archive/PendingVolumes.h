#pragma once
// The volume files of a medium, written so that the medium is replaced whole or not at all.
// Each volume is written under a temporary name in the directory of its final name, and is
// flushed to the disk when its stream is closed. Only when every volume is complete does Commit
// put them in place; until then the old medium stays as it was, and whatever ends the writing
// early (an exception, a full disk) leaves no temporary file behind.
#include <cstdint>
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

  // Writes the archive into temporary files through Writer.Write. EArchiveWriter, naming the
  // final file, when a volume cannot be created or written whole.
  ArchivePlan Write(ArchiveWriter& Writer);

  struct Outcome {
    std::vector<std::string> Removed;     // volumes above the new last one that were removed
    std::vector<std::string> NotRemoved;  // such volumes that could not be removed
  };

  // Puts volumes 1 to Count in place of any files of their final names: the old ones are moved
  // aside first and only deleted once all new ones are in place, so a failure puts everything
  // back and throws EArchiveWriter. Then the files named as volumes Count + 1 to MaxVolumes of
  // the same medium, the rest of the medium just replaced, are removed. EArchiveWriter also
  // when a volume was not flushed to the disk.
  Outcome Commit(int32_t Count);

  // The final name of volume Number.
  std::string FinalName(int32_t Number) const;

 private:
  class VolumeStream;
  struct Pending {
    std::string Temporary;  // empty once it has been put in place
    bool Flushed = false;
  };
  std::unique_ptr<TStream> Create(int32_t Number);

  std::string FFirstVolume;
  std::vector<Pending> FVolumes;  // volume n at n - 1
};

// Writes the archive into files: volume 1 is FirstVolume, volume n VolumeFileName(n). The
// files replace a medium of that name whole or not at all, the old one's further volumes
// included.
ArchivePlan WriteArchiveFiles(ArchiveWriter& Writer, const std::string& FirstVolume);

}  // namespace varn
