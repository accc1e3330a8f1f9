#pragma once
// The two things the version logic needs of a loaded version-information block: the fixed file
// information record (key path "\") and the lookup of a string by key path
// ("\StringFileInfo\040904E4\CompanyName"). Implemented over the platform's own interface and
// over our reader of the published format, so the logic runs, and is tested, on either.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace varn::versioninfo {

// The platform's VS_FIXEDFILEINFO, 52 bytes little-endian, decoded field by field.
struct FixedFileInfoRecord {
  static constexpr size_t Size = 52;

  uint32_t Signature = 0;
  uint32_t StrucVersion = 0;
  uint32_t FileVersionMS = 0;
  uint32_t FileVersionLS = 0;
  uint32_t ProductVersionMS = 0;
  uint32_t ProductVersionLS = 0;
  uint32_t FileFlagsMask = 0;
  uint32_t FileFlags = 0;
  uint32_t FileOS = 0;
  uint32_t FileType = 0;
  uint32_t FileSubtype = 0;
  uint32_t FileDateMS = 0;
  uint32_t FileDateLS = 0;

  // Nothing when fewer than Size bytes are given; extra bytes are ignored.
  static std::optional<FixedFileInfoRecord> Decode(const uint8_t* Data, size_t Length);
};

class VersionBlock {
 public:
  virtual ~VersionBlock() = default;

  // The fixed file information; nothing when the block has no complete record.
  virtual std::optional<FixedFileInfoRecord> FixedFileInfo() const = 0;
  // The 8-bit text of a string value; nothing when the key path is not found. Never reads
  // outside the block, also when the value is not terminated.
  virtual std::optional<std::string> QueryString(const std::string& KeyPath) const = 0;
};

}  // namespace varn::versioninfo
