// The PE resource reader over arbitrary files, and the block it finds through the parser; and
// the image headers and import list, as the build's checks of loader.exe read them.
#include <cstdint>
#include <vector>

#include <varn/versioninfo/PeImage.h>
#include <varn/versioninfo/PeVersionResource.h>
#include <varn/versioninfo/ResourceVersionBlock.h>
#include "fuzz/FuzzCheck.h"

using namespace varn;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const auto Image = versioninfo::PeImage::Open(
      Size, [&](uint64_t Offset, size_t Count, std::vector<uint8_t>& Bytes) {
        FUZZ_CHECK(Offset <= Size && Count <= Size - Offset);
        Bytes.assign(Data + Offset, Data + Offset + Count);
        return true;
      });
  if (Image) {
    const auto Modules = Image->ImportedModules();
    for (const std::string& Module : Modules.value_or(std::vector<std::string>{}))
      FUZZ_CHECK(Module.size() < 260);
  }
  TMemoryStream File(std::vector<uint8_t>(Data, Data + Size));
  const auto Found = versioninfo::ReadVersionResource(File);
  if (!Found) return 0;
  FUZZ_CHECK(Found->size() <= 65535 && Found->size() <= Size);
  const versioninfo::ResourceVersionBlock Block(*Found);
  Block.FixedFileInfo();
  const auto Text = Block.QueryString("\\StringFileInfo\\040904E4\\FileVersion");
  FUZZ_CHECK(!Text || Text->size() <= Found->size() / 2);
  return 0;
}
