#pragma once
// A reader of the published version-resource format, 32-bit layout: nodes of
//   wLength, wValueLength, wType (16 bits each), a zero-terminated UTF-16 key, padding to
//   32 bits, the value (wValueLength bytes, or characters when wType is 1), padding, children
// with VS_VERSIONINFO at the root, its value the fixed file information, and the children
// StringFileInfo (string tables of strings) and VarFileInfo.
//
// Bounds: every node must lie within its parent and the root within the bytes given; a node
// that does not ends the walk of its level. Nothing outside the bytes is ever read, whatever
// lengths they declare. Keys match without regard to ASCII letter case. Text is turned into
// 8-bit text one UTF-16 unit at a time, units above 0xFF (a surrogate pair as a whole) becoming
// '?'. A fixed-info value shorter than the 52-byte record counts as absent.
#include <cstdint>
#include <string>
#include <vector>

#include <varn/versioninfo/VersionBlock.h>

namespace varn::versioninfo {

class ResourceVersionBlock : public VersionBlock {
 public:
  explicit ResourceVersionBlock(std::vector<uint8_t> Bytes) : FBytes(std::move(Bytes)) {}

  std::optional<FixedFileInfoRecord> FixedFileInfo() const override;
  std::optional<std::string> QueryString(const std::string& KeyPath) const override;

  // The keys of the string tables under StringFileInfo ("040904E4", ...), in their order.
  std::vector<std::string> StringTables() const;
  // The string table that the Windows resource loader's choice of language leads to: the first
  // table of the language it picks among the tables' languages (their first four hexadecimal
  // digits) for a user of UserLanguage; nothing when there is no table.
  std::optional<std::string> PreferredStringTable(uint16_t UserLanguage) const;

  const std::vector<uint8_t>& Bytes() const { return FBytes; }

 private:
  std::vector<uint8_t> FBytes;
};

}  // namespace varn::versioninfo
