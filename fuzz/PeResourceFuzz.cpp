// The PE resource reader over arbitrary files, and the block it finds through the parser.
#include <cstdint>
#include <vector>

#include <varn/versioninfo/PeVersionResource.h>
#include <varn/versioninfo/ResourceVersionBlock.h>
#include "fuzz/FuzzCheck.h"

using namespace varn;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
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
