#include <varn/versioninfo/VersionBlock.h>

#include <varn/support/ByteReader.h>

namespace varn::versioninfo {

std::optional<FixedFileInfoRecord> FixedFileInfoRecord::Decode(const uint8_t* Data, size_t Length) {
  if (!Data || Length < Size) return std::nullopt;
  bytes::ByteReader Reader(Data, Size);
  FixedFileInfoRecord Record;
  for (uint32_t* Field :
       {&Record.Signature, &Record.StrucVersion, &Record.FileVersionMS, &Record.FileVersionLS,
        &Record.ProductVersionMS, &Record.ProductVersionLS, &Record.FileFlagsMask,
        &Record.FileFlags, &Record.FileOS, &Record.FileType, &Record.FileSubtype,
        &Record.FileDateMS, &Record.FileDateLS})
    Reader.ReadU32(*Field);
  return Record;
}

}  // namespace varn::versioninfo
