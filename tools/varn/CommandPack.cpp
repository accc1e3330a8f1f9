// varn pack: builds an archive from files (ArchiveWriter).
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <varn/archive/ArchiveWriter.h>
#include <varn/archive/PendingVolumes.h>
#include <varn/archive/SigningKeys.h>
#include <varn/framework/platform/Platform.h>
#include <varn/support/PathHelpers.h>
#include <varn/versioninfo/cmp_TVersion.h>
#include "tools/varn/Commands.h"
#include "tools/varn/Safeguards.h"

namespace varn::cli {
namespace {

// The Version of each archived file: the file version of a Windows executable in dotted
// form, empty for any other file.
std::string ReadFileVersion(const std::string& Path) {
  static TVersionResource Reader(nullptr);
  Reader.SetFileName(Path);
  return Reader.VersionInfo().FileVersion;
}

std::string NativeList(const std::vector<std::string>& Names) {
  std::string List;
  for (size_t I = 0; I < Names.size(); ++I)
    List += (I == 0 ? "" : I + 1 == Names.size() ? " and " : ", ") + platform::NativePath(Names[I]);
  return List;
}

// What was removed is said on stderr, terminal or not: a deletion must reach the log.
void NoteStaleVolumes(const PendingVolumes::Outcome& Replaced, bool Quiet) {
  if (!Quiet && !Replaced.Removed.empty())
    Note("removed " + NativeList(Replaced.Removed) + ", the rest of the medium replaced");
  if (!Replaced.NotRemoved.empty())
    Note("warning: could not remove " + NativeList(Replaced.NotRemoved) +
         ", the rest of the medium replaced");
}

void NoteRecovery(const PendingVolumes::Recovery& Done, const std::string& Output, bool Quiet) {
  if (!Quiet && (!Done.Restored.empty() || !Done.Removed.empty())) {
    std::string Line = "an earlier pack into " + Output + " was interrupted: ";
    if (!Done.Restored.empty())
      Line += "put back " + NativeList(Done.Restored) + " of the old medium";
    if (!Done.Removed.empty())
      Line += (Done.Restored.empty() ? "removed " : "; removed ") + NativeList(Done.Removed);
    Note(Line);
  }
  if (!Done.Failed.empty())
    Note("warning: could neither put back nor remove " + NativeList(Done.Failed) +
         ", left by an earlier pack into " + Output);
}

// packed 2 files into media.1 to media.3 (3 volumes), 2.0 KiB stored in 2.2 KiB (112%)
std::string Summary(const ArchivePlan& Plan, const std::string& Output,
                    const std::string& FirstVolume) {
  int64_t Original = 0, Stored = 0;
  for (const TFileHeaderRecord& Header : Plan.Headers) {
    Original += Header.OriginalSize();
    Stored += Header.CompressedSize();
  }
  const size_t Files = Plan.Headers.size();
  std::string Volumes = Output;
  if (Plan.VolumeCount > 1)
    Volumes += " to " + platform::NativePath(VolumeFileName(FirstVolume, Plan.VolumeCount));
  return "packed " + std::to_string(Files) + (Files == 1 ? " file" : " files") + " into " +
         Volumes + " (" + std::to_string(Plan.VolumeCount) +
         (Plan.VolumeCount == 1 ? " volume), " : " volumes), ") + HumanSize(Original) +
         " stored in " + HumanSize(Stored) + " (" +
         std::to_string(PercentOf(static_cast<double>(Stored), static_cast<double>(Original))) +
         "%)\n";
}

int RunPack(const ParsedArguments& Parsed) {
  UseCodePage(Parsed);
  const std::string Output = Parsed.Value("--output").value_or("setup.1");
  if (Output.empty()) throw UsageError("option --output needs a file name");
  const std::optional<std::string> Size = Parsed.Value("--volume-size");
  const int64_t VolumeSize = Size ? ParseSize("--volume-size", *Size) : 0;
  const bool Seal = !Parsed.Has("--no-seal"), Quiet = Parsed.Has("--quiet");
  const std::string KeyFile = Parsed.Value("--sign").value_or("");
  if (Parsed.Has("--sign") && KeyFile.empty()) throw UsageError("option --sign needs a key file");
  std::vector<std::pair<std::string, std::string>> Renames;  // archived name, path
  for (const std::string& Rename : Parsed.Values("--name")) {
    const size_t Equals = Rename.find('=');
    if (Equals == std::string::npos)
      throw UsageError("option --name needs ARCHIVED=PATH, not \"" + Rename + "\"");
    Renames.emplace_back(Rename.substr(0, Equals), Rename.substr(Equals + 1));
  }
  const std::vector<std::string>& Paths = Parsed.Operands;
  if (Paths.empty()) throw UsageError("no file to pack");
  if (!KeyFile.empty() && !Seal)
    throw UsageError("--sign signs the seal: it needs one, not --no-seal");

  const std::string FirstVolume = platform::InternalPath(Output);
  if (ReplaceExtension(FirstVolume, ".1") != FirstVolume)
    throw UsageError("the output file must have the extension .1 (volume n gets .n), not \"" +
                     Output + "\"");

  std::vector<std::string> Names(Paths.size());
  std::vector<bool> Renamed(Paths.size(), false);
  for (const auto& [Archived, Path] : Renames) {
    bool Found = false;
    for (size_t I = 0; I < Paths.size(); ++I) {
      if (Paths[I] != Path) continue;
      if (Renamed[I]) throw UsageError("option --name given twice for " + Path);
      Names[I] = ArchivedName(Archived);
      Renamed[I] = Found = true;
    }
    if (!Found)
      throw UsageError("option --name names " + Path + ", which is not among the files to pack");
  }
  for (size_t I = 0; I < Paths.size(); ++I)
    if (!Renamed[I]) Names[I] = OwnFileName(Paths[I]);
  // Written under temporary names; the old medium is replaced only when all is done. What an
  // interrupted pack left is put right first, so that the volumes below are the medium's own.
  PendingVolumes Pending(FirstVolume);
  NoteRecovery(Pending.Recover(), Output, Quiet);
  RefuseOutputVolumes(Paths, FirstVolume);
  // The key before anything is written: a wrong one is found at once.
  std::optional<TSigningKey> Key;
  if (!KeyFile.empty()) Key = ReadPrivateKeyPem(ReadKeyText(KeyFile), KeyFile);

  platform::CatchInterrupts();
  ArchiveWriter Writer;
  Writer.VolumeSize = VolumeSize;
  Writer.Seal = Seal;
  if (Key)
    Writer.Sign = [&Key](const std::vector<uint8_t>& SealBytes) {
      return SignSeal(*Key, SealBytes);
    };
  Writer.OnWarning = [](const std::string& Message) { Note("warning: " + Message); };
  // Nothing is made, the directory included, before the layout has passed every check.
  Writer.OnPlanned = [&](const ArchivePlan& Plan) {
    RefuseVolumeNames(Writer.Members, Plan, FirstVolume);
    CreateOutputDirectory(FirstVolume.substr(0, FirstVolume.find_last_of("\\/") + 1));
  };
  for (size_t I = 0; I < Paths.size(); ++I) {
    ArchiveMember Member =
        MemberFromFile(platform::InternalPath(Paths[I]), Names[I], ReadFileVersion);
    Member.OpenData = Interruptible(std::move(Member.OpenData));
    Writer.Members.push_back(std::move(Member));
  }
  const ArchivePlan Plan = Pending.Write(Writer);
  EndIfInterrupted();
  const PendingVolumes::Outcome Replaced = Pending.Commit(Plan.VolumeCount);

  NoteStaleVolumes(Replaced, Quiet);
  if (!Quiet) Print(Summary(Plan, Output, FirstVolume));
  return 0;
}

}  // namespace

const Command PackCommand = {
    "pack",
    {{.Long = "--output",
      .Short = 'o',
      .Value = "FILE",
      .Help = "volume 1 of the archive (default setup.1; the extension must be .1); further "
              "volumes get the extensions .2, .3, ...; missing directories are created"},
     {.Long = "--volume-size",
      .Value = "SIZE",
      .Help = "bytes per volume, with an optional suffix k, m or g (either case; 1024, 1024k, "
              "1024m); every volume but the last is filled to exactly SIZE bytes (default: one "
              "volume)"},
     {.Long = "--name",
      .Value = "ARCHIVED=PATH",
      .Help = "archive the listed PATH under the name ARCHIVED, which may have a directory part "
              "before a \\ (extraction drops it); repeat it for each PATH to rename",
      .Repeatable = true},
     {.Long = "--no-seal", .Help = "leave the seal out"},
     {.Long = "--sign",
      .Value = "KEY",
      .Help = "sign the seal with the private key KEY (see keygen): a loader stamped with its "
              "public key installs the medium (see stamp)"},
     {.Long = "--quiet", .Short = 'q', .Help = "no summary line"},
     {.Long = "--codepage",
      .Value = "N",
      .Help = "the Windows code page of the archived names (default 1252): a name with a "
              "character it lacks is refused"}},
    "PATH...",
    "Packs the files PATH... into an archive and ends with one summary line on stdout. The\n"
    "first PATH becomes catalogue entry 0, the installation program. Each file is archived\n"
    "under its base name, with its modification time and, for a Windows executable with\n"
    "version information, its file version. Directories are not packed, nor entered: list the\n"
    "files, e.g. varn pack setup.exe $(find data -type f). Names must differ in more than case\n"
    "(of every letter of the code page, as Windows folds it) and directory. A name that\n"
    "extraction could never write on Windows (a device name such as CON, \"..\", a control\n"
    "character, \"/\", \";\", one of < > \" | ? *, a dot or a blank at its end, or the name of a\n"
    "volume of the medium) is refused.\n"
    "The volumes are written under temporary names and replace an existing medium of the same\n"
    "name only when all are complete, volume 1 last; the old medium's further volumes (those its\n"
    "catalogue names, no other file) are then removed, and named on stderr. A failure or an\n"
    "interrupt leaves the old medium as it was; what a crash leaves, the next pack into the same\n"
    "place puts right, and says so. Volume 1 carries a seal: the SHA-256 of the\n"
    "catalogue and of every file, which the loader, varn test and varn extract check, so that\n"
    "damaged or mixed-up volumes are found before anything runs. Readers that do not know the\n"
    "seal read the archive as before.\n",
    "Exit status: 0 when the medium was written; 1 on a failure (the old medium, if any, is\n"
    "left as it was); 2 on a usage error.\n",
    RunPack};

}  // namespace varn::cli
