// Checks a built loader.exe as a file, with no Windows at hand: built for the build machine and
// run there, so the 32-bit loader is checked also where no 32-bit program can run.
//   LoaderImageCheck FILE i386|amd64 MAX_BYTES VERSION
// Checks the image type, the GUI subsystem, that it imports only DLLs every Windows has, its
// manifest (for its own architecture) and its version resource, its key block for a publisher's
// key (one, holding none), that its header has no time stamp and a right CheckSum (as varn stamp
// computes it), and that it is no larger than MAX_BYTES. Prints a line per check and the size;
// exit 1 when any check fails.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <varn/archive/ArchiveSignature.h>
#include <varn/framework/AsciiCase.h>
#include <varn/support/ByteReader.h>
#include <varn/versioninfo/PeImage.h>
#include <varn/versioninfo/ResourceVersionBlock.h>

namespace {

using varn::versioninfo::PeImage;

// The system DLLs of every Windows the loader runs on. Anything else would have to travel
// with the loader, or be found (or planted) beside it.
const char* const AllowedModules[] = {"kernel32.dll", "user32.dll",   "gdi32.dll",   "comctl32.dll",
                                      "shell32.dll",  "advapi32.dll", "version.dll", "msvcrt.dll"};

int Failures = 0;

void Check(bool Passed, const std::string& What) {
  std::printf("%s: %s\n", Passed ? "ok" : "FAIL", What.c_str());
  if (!Passed) ++Failures;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: LoaderImageCheck FILE i386|amd64 MAX_BYTES VERSION\n");
    return 2;
  }
  const std::string Path = argv[1];
  const bool Wide = std::string(argv[2]) == "amd64";
  const unsigned long long Budget = std::strtoull(argv[3], nullptr, 10);
  const std::string Version = argv[4];

  std::ifstream In(Path, std::ios::binary);
  const std::vector<uint8_t> File((std::istreambuf_iterator<char>(In)),
                                  std::istreambuf_iterator<char>());
  const auto Image = PeImage::Open(
      File.size(), [&File](uint64_t Offset, size_t Count, std::vector<uint8_t>& Bytes) {
        Bytes.assign(File.begin() + static_cast<std::ptrdiff_t>(Offset),
                     File.begin() + static_cast<std::ptrdiff_t>(Offset + Count));
        return true;
      });
  if (!Image) {
    Check(false, Path + " is a PE image");
    return 1;
  }

  Check(Image->Machine() == (Wide ? PeImage::MachineAmd64 : PeImage::MachineI386) &&
            Image->IsPe32Plus() == Wide,
        Wide ? "PE32+ image for x86-64" : "PE32 image for i386");
  Check(Image->Subsystem() == PeImage::SubsystemWindowsGui, "GUI subsystem");

  const auto Modules = Image->ImportedModules();
  Check(Modules.has_value(), "import directory readable");
  for (const std::string& Module : Modules.value_or(std::vector<std::string>{})) {
    const bool Allowed = std::find(std::begin(AllowedModules), std::end(AllowedModules),
                                   varn::LowerAsciiText(Module)) != std::end(AllowedModules);
    Check(Allowed, "imports " + Module + (Allowed ? "" : ", which not every Windows has"));
  }

  const auto Manifest = Image->ReadResource(PeImage::ResourceManifest, 1 << 20);
  const std::string ManifestText = Manifest ? std::string(Manifest->begin(), Manifest->end()) : "";
  const std::string Architecture =
      std::string("processorArchitecture=\"") + (Wide ? "amd64" : "x86") + "\"";
  Check(ManifestText.find("Microsoft.Windows.Common-Controls") != std::string::npos &&
            ManifestText.find(Architecture) != std::string::npos,
        "manifest asks for the common controls, " + Architecture);

  const auto Block = Image->ReadResource(PeImage::ResourceVersion, 0xFFFF);
  const varn::versioninfo::ResourceVersionBlock Resource(Block.value_or(std::vector<uint8_t>{}));
  const auto Fixed = Resource.FixedFileInfo();
  Check(Fixed && Fixed->Signature == 0xFEEF04BD, "version resource with fixed file information");
  const auto FileVersion = Resource.QueryString("\\StringFileInfo\\040904E4\\FileVersion");
  Check(FileVersion == Version, "FileVersion is " + Version);
  Check(Resource.QueryString("\\StringFileInfo\\040904E4\\OriginalFilename") == "loader.exe",
        "OriginalFilename is loader.exe");

  const auto Marker = [&File](std::vector<uint8_t>::const_iterator From) {
    return std::search(From, File.end(), std::begin(varn::key_block::Marker),
                       std::end(varn::key_block::Marker));
  };
  const auto KeyBlock = Marker(File.begin());
  Check(KeyBlock != File.end() && Marker(KeyBlock + 1) == File.end() &&
            File.end() - KeyBlock >= static_cast<std::ptrdiff_t>(varn::key_block::Size) &&
            varn::bytes::LoadU32(&*KeyBlock + varn::key_block::LengthOffset) == 0,
        "one key block for a publisher's key, holding none");
  Check(Image->TimeDateStamp() == 0, "no time stamp in the header (reproducible)");
  Check(varn::bytes::LoadU32(File.data() + Image->CheckSumOffset()) ==
            PeImage::CheckSum(File, Image->CheckSumOffset()),
        "CheckSum matches the file");

  Check(File.size() <= Budget,
        "size " + std::to_string(File.size()) + " bytes, at most " + std::to_string(Budget));
  return Failures ? 1 : 0;
}
