#pragma once
// What keeps varn from damaging what the user has: interrupts that let a command clean up,
// the checks of pack's inputs, and extraction that knows the file it has left incomplete.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <varn/archive/ArchiveWriter.h>
#include <varn/archive/cmp_TVarnCompress.h>
#include <varn/framework/Streams.h>

namespace varn::cli {

// The data of a file to pack, read so that an interrupt ends it: once one has come, every read
// returns nothing, and the writer fails on the missing bytes.
std::function<std::unique_ptr<TStream>()> Interruptible(
    std::function<std::unique_ptr<TStream>()> Open);

// After a failure: when an interrupt caused it, says so and ends the process as the interrupt
// would have; otherwise returns.
void EndIfInterrupted();

// The name a file is packed under by default: the last part of its native path, as 8-bit text.
// Exception when that holds a '\' or ':', which extraction would take for separators and cut,
// or a character that the code page of names lacks.
std::string OwnFileName(const std::string& NativePath);

// A name the user gave for the archive (native text) as 8-bit text; exception, naming it, when
// a character of it is one the code page of names lacks. Never stores the native bytes as if
// they were that code page's.
std::string ArchivedName(const std::string& Native);

// Exception when one of the files to pack (native paths) is one of the files that writing the
// medium whose volume 1 is FirstVolume (program's form) would replace or remove: packing it
// would destroy it.
void RefuseOutputVolumes(const std::vector<std::string>& NativePaths,
                         const std::string& FirstVolume);

// Exception when the name that extraction writes of one of the members is, Windows' case folding
// aside, the name of one of the Plan's volumes of the medium whose volume 1 is FirstVolume:
// extracted beside the medium, it would replace that volume.
void RefuseVolumeNames(const std::vector<ArchiveMember>& Members, const ArchivePlan& Plan,
                       const std::string& FirstVolume);

// The archive component as varn extract uses it, with SafeReplace: the temporary file of a file
// that was not completed stays in hand until CleanUp says what becomes of it.
class TExtractingArchive : public TVarnCompress {
 public:
  ~TExtractingArchive() override;
  // The target of the file that was left incomplete, in the program's form; empty when none.
  const std::string& Incomplete() const { return FTarget; }
  // Removes the incomplete file, which never took the target's place; or, with Keep, puts it in
  // place of its target and says so in one line on stderr, calling it What ("incomplete",
  // "damaged").
  void CleanUp(bool Keep, const char* What);

 protected:
  void DiscardTemporary(const std::string& Temporary, const std::string& Target) override;

 private:
  std::string FTemporary, FTarget;
};

}  // namespace varn::cli
