#pragma once
// Version blocks and PE files laid out byte by byte, for inputs that no resource compiler would
// write: other languages, odd lengths, bad offsets.
#include <cstdint>
#include <string>
#include <vector>

#include <varn/versioninfo/VersionBlock.h>

namespace synthetic {

// One node of the version-resource format; its length fields are computed when serialised
// unless overridden.
struct Node {
  std::u16string Key;
  uint16_t Type = 0;  // 1 for text
  std::vector<uint8_t> Value;
  uint16_t ValueLength = 0;  // as written: characters for text, bytes otherwise
  std::vector<Node> Children;
};

Node Text(const std::u16string& Key, const std::u16string& Value);
Node Fixed(const varn::versioninfo::FixedFileInfoRecord& Record);
std::vector<uint8_t> Serialize(const Node& Root);

struct StringTable {
  std::u16string Key;  // "040904E4"
  std::vector<std::pair<std::u16string, std::u16string>> Strings;
};

// VS_VERSION_INFO with the record and the string tables under StringFileInfo.
Node VersionInfoNode(const varn::versioninfo::FixedFileInfoRecord& Record,
                     const std::vector<StringTable>& Tables);

varn::versioninfo::FixedFileInfoRecord Record(uint32_t FileMS, uint32_t FileLS, uint32_t OS,
                                              uint32_t Type, uint32_t SubType);

// A PE file with one section holding the resource directory RT_VERSION / 1 / 0x0409 and Block;
// Crowded adds decoy types, names and languages around the path to the block.
struct PeFile {
  std::vector<uint8_t> Bytes;
  size_t PeOffset = 0;
  size_t OptionalOffset = 0;
  size_t DirectoryCount = 0;     // file offset of NumberOfRvaAndSizes
  size_t ResourceDirectory = 0;  // file offset of the resource data directory's address
  size_t SectionTableOffset = 0;
  size_t ResourceOffset = 0;  // file offset of the root directory
  size_t NameDirectory = 0;   // offsets within the resource area
  size_t LanguageDirectory = 0;
  size_t DataEntry = 0;
  size_t BlockOffset = 0;  // file offset of the block
};
PeFile MakePe(const std::vector<uint8_t>& Block, bool Pe32Plus, bool Crowded = false);

}  // namespace synthetic
