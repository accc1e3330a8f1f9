#pragma once
// The fifteen strings a component gives for a block, for comparing whole results at once.
#include <array>
#include <ostream>
#include <string>

#include <varn/versioninfo/cmp_TVersion.h>

namespace versiontest {

using Strings = std::array<std::string, 15>;

inline Strings StringsOf(const varn::TVersionInfo& Info) {
  Strings Result;
  const auto& Properties = varn::versioninfo::VersionInfoProperties();
  for (size_t I = 0; I < Properties.size(); ++I)
    Result[I] = Info.*(Properties[I].Field);
  return Result;
}

// Cleared, then parsed with the given table selection; a null block gives fifteen empty strings.
inline Strings Parse(const varn::versioninfo::VersionBlock* Block,
                     varn::TLanguage Language = varn::lnUSEnglish,
                     varn::TCharacterSet CharacterSet = varn::csMultilingual) {
  varn::TVersionResource Resource(nullptr);
  Resource.SetLanguage(Language);
  Resource.SetCharacterSet(CharacterSet);
  Resource.ClearVersionInfo();
  if (Block) Resource.ParseVersionBlock(*Block);
  return StringsOf(Resource.VersionInfo());
}

inline std::string Describe(const Strings& Values) {
  std::string Text;
  const auto& Properties = varn::versioninfo::VersionInfoProperties();
  for (size_t I = 0; I < Values.size(); ++I)
    Text += std::string(Properties[I].Name) + "=\"" + Values[I] + "\" ";
  return Text;
}

}  // namespace versiontest
