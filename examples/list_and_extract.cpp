// Lists the catalogue of an archive, then extracts one file with a progress line.
//   list_and_extract ARCHIVE NAME DIRECTORY
// ARCHIVE names any volume of the archive; DIRECTORY must exist.
//
// Archived names are 8-bit Windows text (code page 1252 unless SetNameCodePage says otherwise),
// and the library works with paths in the Windows form. The platform layer converts between
// them and what the system uses (UTF-8 and '/' on Linux): NativeText for a name shown to the
// user, InternalText for a name the user typed, InternalPath for a path.
#include <cstdio>
#include <optional>
#include <string>

#include <varn/archive/cmp_TVarnCompress.h>
#include <varn/framework/Exceptions.h>
#include <varn/framework/platform/Platform.h>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: list_and_extract ARCHIVE NAME DIRECTORY\n");
    return 2;
  }
  varn::platform::InitializeProcess();
  try {
    varn::TVarnCompress Archive;
    Archive.SetCompressedFile(varn::platform::InternalPath(argv[1]));
    // Media that varn pack made carry a seal: with the check on, a damaged catalogue or file
    // is reported (EVCDamaged...) instead of extracted.
    Archive.CheckSeal = true;
    Archive.ReadHeaders();
    for (int32_t Index = 0; Index < Archive.FileCount(); ++Index) {
      const varn::TlzhFileStats Entry = Archive.GetFileStats(Index);
      std::printf("%10d bytes, %10d stored  %s\n", Entry.OriginalSize, Entry.CompressedSize,
                  varn::platform::NativeText(Entry.FileName).c_str());
    }

    // A name with a character the code page lacks cannot be in the archive.
    const std::optional<std::string> Name = varn::platform::InternalText(argv[2]);
    if (!Name) throw varn::EVCFHFileNotInArchive(argv[2]);
    Archive.ExtractDirectory = varn::platform::InternalPath(argv[3]);
    Archive.FilesToProcess().push_back(*Name);
    Archive.OnStatus = [](varn::TVarnCompress&, const varn::TlzhFileStats& Stats) {
      std::fprintf(stderr, "\r%s: %3d%%", varn::platform::NativeText(Stats.FileName).c_str(),
                   Stats.PercentDone);
      if (Stats.FileDone) std::fprintf(stderr, "\n");
    };
    // A name that is not in the catalogue raises EVCFHFileNotInArchive; the names before it in
    // FilesToProcess have been extracted by then.
    Archive.Extract();
  } catch (const varn::EVCFHFileNotInArchive&) {
    std::fprintf(stderr, "list_and_extract: %s is not in the archive\n", argv[2]);
    return 1;
  } catch (const varn::Exception& Error) {
    std::fprintf(stderr, "list_and_extract: %s\n",
                 varn::platform::NativeText(Error.Message()).c_str());
    return 1;
  }
  return 0;
}
