// The version-resource block parser over arbitrary blocks, through the queries the version
// reader makes and a few odd key paths.
//
// Input: a byte choosing the language, one choosing the character set, then the block.
#include <cstdint>
#include <string>
#include <vector>

#include <varn/versioninfo/ResourceVersionBlock.h>
#include <varn/versioninfo/cmp_TVersion.h>
#include "fuzz/FuzzCheck.h"

using namespace varn;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 2) return 0;
  // Made once: its constructor reads the running program's own file.
  static TVersionResource Reader(nullptr);
  const auto Language = static_cast<TLanguage>(Data[0] % (lnSwissFrench + 1));
  const auto CharacterSet = static_cast<TCharacterSet>(Data[1] % (csArabic + 1));
  const versioninfo::ResourceVersionBlock Block(std::vector<uint8_t>(Data + 2, Data + Size));

  const std::string Prefix = versioninfo::StringTablePrefix(Language, CharacterSet);
  for (const std::string& KeyPath :
       {std::string("\\"), std::string(), Prefix + "CompanyName", Prefix + "FileVersion",
        std::string("\\StringFileInfo"), std::string("\\StringFileInfo\\"),
        std::string("\\VarFileInfo\\Translation"), Prefix, std::string("\\\\\\"),
        std::string("\\stringfileinfo\\040904e4\\companyname")}) {
    const auto Text = Block.QueryString(KeyPath);
    // One 8-bit character per UTF-16 unit of the block at most.
    FUZZ_CHECK(!Text || Text->size() <= (Size - 2) / 2);
  }
  Block.FixedFileInfo();

  // Each setter reads the program's file again, so only on a change.
  if (Reader.Language() != Language) Reader.SetLanguage(Language);
  if (Reader.CharacterSet() != CharacterSet) Reader.SetCharacterSet(CharacterSet);
  Reader.ClearVersionInfo();
  Reader.ParseVersionBlock(Block);
  const TVersionInfo& Info = Reader.VersionInfo();
  for (const auto& Property : versioninfo::VersionInfoProperties())
    FUZZ_CHECK((Info.*Property.Field).size() <= Size + 64);
  return 0;
}
