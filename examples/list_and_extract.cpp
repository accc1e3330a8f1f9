// Lists the catalogue of an archive, then extracts one file with a progress line.
//   list_and_extract ARCHIVE NAME DIRECTORY
// ARCHIVE names any volume of the archive; DIRECTORY must exist.
#include <cstdio>

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
    // The library works with Windows paths; InternalPath turns a native path into one.
    Archive.SetCompressedFile(varn::platform::InternalPath(argv[1]));
    // Media that varn pack made carry a seal: with the check on, a damaged catalogue or file
    // is reported (EVCDamaged...) instead of extracted.
    Archive.CheckSeal = true;
    Archive.ReadHeaders();
    for (int32_t Index = 0; Index < Archive.FileCount(); ++Index) {
      const varn::TlzhFileStats Entry = Archive.GetFileStats(Index);
      std::printf("%-32s %10d bytes, %10d stored\n", Entry.FileName.c_str(), Entry.OriginalSize,
                  Entry.CompressedSize);
    }

    Archive.ExtractDirectory = varn::platform::InternalPath(argv[3]);
    Archive.FilesToProcess().push_back(argv[2]);
    Archive.OnStatus = [](varn::TVarnCompress&, const varn::TlzhFileStats& Stats) {
      std::fprintf(stderr, "\r%s: %3d%%", Stats.FileName.c_str(), Stats.PercentDone);
      if (Stats.FileDone) std::fprintf(stderr, "\n");
    };
    // A name that is not in the catalogue is no error: nothing is extracted for it.
    Archive.Extract();
  } catch (const varn::Exception& Error) {
    std::fprintf(stderr, "list_and_extract: %s\n", Error.Message().c_str());
    return 1;
  }
  return 0;
}
