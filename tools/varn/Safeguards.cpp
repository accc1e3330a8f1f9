#include "tools/varn/Safeguards.h"

#include <cstdio>
#include <optional>
#include <utility>

#include <varn/archive/ArchiveWriter.h>
#include <varn/archive/TargetPath.h>
#include <varn/framework/platform/Platform.h>
#include <varn/support/PathHelpers.h>
#include "tools/varn/Cli.h"

namespace varn::cli {
namespace {

class InterruptibleStream : public TStream {
 public:
  explicit InterruptibleStream(std::unique_ptr<TStream> Inner) : FInner(std::move(Inner)) {}
  int32_t Read(void* Buffer, int32_t Count) override {
    return platform::Interrupted() ? 0 : FInner->Read(Buffer, Count);
  }
  int32_t Write(const void* Buffer, int32_t Count) override { return FInner->Write(Buffer, Count); }
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override { return FInner->Seek(Offset, Origin); }

 private:
  std::unique_ptr<TStream> FInner;
};

}  // namespace

std::function<std::unique_ptr<TStream>()> Interruptible(
    std::function<std::unique_ptr<TStream>()> Open) {
  return [Open = std::move(Open)]() -> std::unique_ptr<TStream> {
    return std::make_unique<InterruptibleStream>(Open());
  };
}

void EndIfInterrupted() {
  if (!platform::Interrupted()) return;
  std::fprintf(stderr, "varn: interrupted\n");
  platform::EndAsInterrupted();
}

static std::string CodePageName() {
  return "Windows code page " + std::to_string(platform::NameCodePage());
}

std::string OwnFileName(const std::string& NativePath) {
  const std::string Name = platform::NativeFileName(NativePath);
  // As text of the code page first: a \xNN there is one byte, not a separator.
  const auto Archived = platform::InternalText(Name);
  if (!Archived)
    throw Exception("Cannot pack " + NativePath + " under its own name: it holds characters that " +
                    CodePageName() + " lacks, and archived names are text of that code page; " +
                    "give it a name with --name, or choose the code page with --codepage");
  const size_t Separator = Archived->find_first_of("\\:");
  if (Separator != std::string::npos)
    throw Exception("Cannot pack " + NativePath + " under its own name: it holds a " +
                    (*Archived)[Separator] +
                    ", after which extraction would cut it; give it a name with --name");
  return *Archived;
}

std::string ArchivedName(const std::string& Native) {
  const auto Archived = platform::InternalText(Native);
  if (!Archived)
    throw Exception("The archived name \"" + Native + "\" holds characters that " + CodePageName() +
                    " lacks, and archived names are text of that code page; choose another "
                    "name, or the code page with --codepage");
  return *Archived;
}

void RefuseOutputVolumes(const std::vector<std::string>& NativePaths,
                         const std::string& FirstVolume) {
  std::vector<std::pair<int32_t, platform::FileIdentity>> Volumes;
  for (int32_t Number = 1; Number <= MaxVolumes; ++Number)
    if (const auto Identity = platform::IdentifyFile(VolumeFileName(FirstVolume, Number)))
      Volumes.emplace_back(Number, *Identity);
  for (const std::string& Path : NativePaths) {
    const auto Identity = platform::IdentifyFile(platform::InternalPath(Path));
    if (!Identity) continue;
    for (const auto& [Number, Volume] : Volumes)
      if (*Identity == Volume)
        throw Exception("Cannot pack " + Path + ": it is " +
                        platform::NativePath(VolumeFileName(FirstVolume, Number)) +
                        ", which writing the medium would replace or remove");
  }
}

void RefuseVolumeNames(const std::vector<ArchiveMember>& Members, const ArchivePlan& Plan,
                       const std::string& FirstVolume) {
  for (int32_t Number = 1; Number <= Plan.VolumeCount; ++Number) {
    const std::string Volume = FileNamePart(VolumeFileName(FirstVolume, Number));
    for (const ArchiveMember& Member : Members)
      if (platform::UpperCaseName(TargetFileName(Member.Name)) == platform::UpperCaseName(Volume))
        throw Exception("The archived name \"" + ShownName(Member.Name) + "\" of " + Member.Origin +
                        " is the name of volume " + std::to_string(Number) + " of the medium, " +
                        platform::NativePath(VolumeFileName(FirstVolume, Number)) +
                        ": extracted beside it, the file would replace that volume");
  }
}

TExtractingArchive::~TExtractingArchive() {
  if (!FTemporary.empty()) platform::DeleteFile(FTemporary);
}

void TExtractingArchive::CleanUp(bool Keep, const char* What) {
  if (FTemporary.empty()) return;
  if (!Keep) {
    // Nothing of the user's changed: the file never had a name of theirs.
    if (!platform::DeleteFile(FTemporary))
      Note("warning: could not remove the temporary file " + platform::NativePath(FTemporary));
  } else if (platform::RenameFile(FTemporary, FTarget)) {
    Note(std::string("kept the ") + What + " file " + platform::NativePath(FTarget));
  } else {
    Note(std::string("kept the ") + What + " file " + platform::NativePath(FTarget) + ", as " +
         platform::NativePath(FTemporary));
  }
  FTemporary.clear();
  FTarget.clear();
}

void TExtractingArchive::DiscardTemporary(const std::string& Temporary, const std::string& Target) {
  if (!FTemporary.empty()) platform::DeleteFile(FTemporary);
  FTemporary = Temporary;
  FTarget = Target;
}

}  // namespace varn::cli
