#include "tests/versioninfo/SyntheticVersion.h"

#include <algorithm>

#include <varn/support/ByteReader.h>

using namespace varn;

namespace synthetic {
namespace {

void Align4(std::vector<uint8_t>& Out) {
  while (Out.size() % 4)
    Out.push_back(0);
}

void AppendU16(std::vector<uint8_t>& Out, uint16_t Value) {
  Out.push_back(static_cast<uint8_t>(Value));
  Out.push_back(static_cast<uint8_t>(Value >> 8));
}

void AppendUtf16(std::vector<uint8_t>& Out, const std::u16string& Text) {
  for (char16_t Unit : Text)
    AppendU16(Out, Unit);
  AppendU16(Out, 0);
}

// Nodes are written at offsets that are multiples of 4 from the block's start.
void Write(const Node& Item, std::vector<uint8_t>& Out) {
  const size_t Start = Out.size();
  AppendU16(Out, 0);
  AppendU16(Out, Item.ValueLength);
  AppendU16(Out, Item.Type);
  AppendUtf16(Out, Item.Key);
  Align4(Out);
  Out.insert(Out.end(), Item.Value.begin(), Item.Value.end());
  for (const Node& Child : Item.Children) {
    Align4(Out);
    Write(Child, Out);
  }
  bytes::StoreU16(Out.data() + Start, static_cast<uint16_t>(Out.size() - Start));
}

}  // namespace

Node Text(const std::u16string& Key, const std::u16string& Value) {
  Node Result;
  Result.Key = Key;
  Result.Type = 1;
  AppendUtf16(Result.Value, Value);
  Result.ValueLength = static_cast<uint16_t>(Value.size() + 1);
  return Result;
}

Node Fixed(const versioninfo::FixedFileInfoRecord& Record) {
  Node Result;
  Result.Key = u"VS_VERSION_INFO";
  const uint32_t Fields[] = {Record.Signature,     Record.StrucVersion,     Record.FileVersionMS,
                             Record.FileVersionLS, Record.ProductVersionMS, Record.ProductVersionLS,
                             Record.FileFlagsMask, Record.FileFlags,        Record.FileOS,
                             Record.FileType,      Record.FileSubtype,      Record.FileDateMS,
                             Record.FileDateLS};
  Result.Value.resize(sizeof Fields);
  for (size_t I = 0; I < std::size(Fields); ++I)
    bytes::StoreU32(Result.Value.data() + 4 * I, Fields[I]);
  Result.ValueLength = static_cast<uint16_t>(Result.Value.size());
  return Result;
}

std::vector<uint8_t> Serialize(const Node& Root) {
  std::vector<uint8_t> Out;
  Write(Root, Out);
  return Out;
}

Node VersionInfoNode(const versioninfo::FixedFileInfoRecord& Record,
                     const std::vector<StringTable>& Tables) {
  Node Root = Fixed(Record);
  Node StringFileInfo;
  StringFileInfo.Key = u"StringFileInfo";
  StringFileInfo.Type = 1;
  for (const StringTable& Table : Tables) {
    Node TableNode;
    TableNode.Key = Table.Key;
    TableNode.Type = 1;
    for (const auto& [Key, Value] : Table.Strings)
      TableNode.Children.push_back(Text(Key, Value));
    StringFileInfo.Children.push_back(TableNode);
  }
  Root.Children.push_back(StringFileInfo);
  Node VarFileInfo;
  VarFileInfo.Key = u"VarFileInfo";
  VarFileInfo.Type = 1;
  Node Translation;
  Translation.Key = u"Translation";
  Translation.Value = {0x09, 0x04, 0xE4, 0x04};
  Translation.ValueLength = 4;
  VarFileInfo.Children.push_back(Translation);
  Root.Children.push_back(VarFileInfo);
  return Root;
}

versioninfo::FixedFileInfoRecord Record(uint32_t FileMS, uint32_t FileLS, uint32_t OS,
                                        uint32_t Type, uint32_t SubType) {
  versioninfo::FixedFileInfoRecord Result;
  Result.Signature = 0xFEEF04BD;
  Result.StrucVersion = 0x10000;
  Result.FileVersionMS = FileMS;
  Result.FileVersionLS = FileLS;
  Result.ProductVersionMS = FileMS;
  Result.ProductVersionLS = FileLS;
  Result.FileOS = OS;
  Result.FileType = Type;
  Result.FileSubtype = SubType;
  return Result;
}

PeFile MakePe(const std::vector<uint8_t>& Block, bool Pe32Plus, bool Crowded) {
  constexpr uint32_t SectionAddress = 0x1000;
  constexpr size_t ResourceOffset = 0x200;
  constexpr uint32_t Subdirectory = 0x80000000u;
  constexpr uint32_t Nowhere = Subdirectory | 0x7FFF0;  // fails if it is ever followed
  PeFile Pe;
  Pe.PeOffset = 0x40;
  const size_t OptionalSize = Pe32Plus ? 240 : 224;
  Pe.OptionalOffset = Pe.PeOffset + 24;
  Pe.SectionTableOffset = Pe.OptionalOffset + OptionalSize;
  Pe.ResourceOffset = ResourceOffset;
  // Each directory has one entry, or in the crowded layout decoys around the one to take.
  const size_t Entries = Crowded ? 3 : 1;
  Pe.NameDirectory = 16 + 8 * Entries;
  Pe.LanguageDirectory = Pe.NameDirectory + 16 + 8 * (Crowded ? 2 : 1);
  Pe.DataEntry = Pe.LanguageDirectory + 16 + 8 * (Crowded ? 2 : 1);
  const size_t NameString = Pe.DataEntry + 16;
  const size_t BlockInArea = NameString + 16;
  Pe.BlockOffset = ResourceOffset + BlockInArea;
  const size_t AreaSize = BlockInArea + Block.size();
  const size_t RawSize = (AreaSize + 0x1FF) & ~size_t{0x1FF};

  std::vector<uint8_t>& B = Pe.Bytes;
  B.assign(ResourceOffset + RawSize, 0);
  B[0] = 'M';
  B[1] = 'Z';
  bytes::StoreU32(&B[0x3C], static_cast<uint32_t>(Pe.PeOffset));
  bytes::StoreU32(&B[Pe.PeOffset], 0x00004550);
  bytes::StoreU16(&B[Pe.PeOffset + 4], Pe32Plus ? 0x8664 : 0x14C);
  bytes::StoreU16(&B[Pe.PeOffset + 6], 1);
  bytes::StoreU16(&B[Pe.PeOffset + 20], static_cast<uint16_t>(OptionalSize));
  bytes::StoreU16(&B[Pe.PeOffset + 22], Pe32Plus ? 0x0022 : 0x0102);
  uint8_t* Optional = &B[Pe.OptionalOffset];
  bytes::StoreU16(Optional, Pe32Plus ? 0x20B : 0x10B);
  bytes::StoreU32(Optional + 32, 0x1000);  // section alignment
  bytes::StoreU32(Optional + 36, 0x200);   // file alignment
  bytes::StoreU32(Optional + 56, static_cast<uint32_t>(SectionAddress + RawSize));  // image size
  bytes::StoreU32(Optional + 60, static_cast<uint32_t>(ResourceOffset));            // headers size
  bytes::StoreU16(Optional + 68, 2);  // subsystem: GUI
  const size_t Directories = Pe32Plus ? 108 : 92;
  Pe.DirectoryCount = Pe.OptionalOffset + Directories;
  Pe.ResourceDirectory = Pe.DirectoryCount + 4 + 2 * 8;
  bytes::StoreU32(Optional + Directories, 16);
  bytes::StoreU32(Optional + Directories + 4 + 2 * 8, SectionAddress);
  bytes::StoreU32(Optional + Directories + 4 + 2 * 8 + 4, static_cast<uint32_t>(AreaSize));

  uint8_t* SectionHeader = &B[Pe.SectionTableOffset];
  std::copy_n(".rsrc", 5, SectionHeader);
  bytes::StoreU32(SectionHeader + 8, static_cast<uint32_t>(AreaSize));
  bytes::StoreU32(SectionHeader + 12, SectionAddress);
  bytes::StoreU32(SectionHeader + 16, static_cast<uint32_t>(RawSize));
  bytes::StoreU32(SectionHeader + 20, static_cast<uint32_t>(ResourceOffset));
  bytes::StoreU32(SectionHeader + 36, 0x40000040);  // initialised data, readable

  uint8_t* Area = &B[ResourceOffset];
  auto Directory = [&](size_t At, uint16_t Named,
                       std::initializer_list<std::pair<uint32_t, uint32_t>> List) {
    bytes::StoreU16(Area + At + 12, Named);
    bytes::StoreU16(Area + At + 14, static_cast<uint16_t>(List.size() - Named));
    size_t Entry = At + 16;
    for (const auto& [Name, Target] : List) {
      bytes::StoreU32(Area + Entry, Name);
      bytes::StoreU32(Area + Entry + 4, Target);
      Entry += 8;
    }
  };
  const uint32_t Names = Subdirectory | static_cast<uint32_t>(Pe.NameDirectory);
  const uint32_t Languages = Subdirectory | static_cast<uint32_t>(Pe.LanguageDirectory);
  const uint32_t Data = static_cast<uint32_t>(Pe.DataEntry);
  if (Crowded) {
    // A named type called "16", an icon type, then RT_VERSION; the names list the one to take
    // first, the languages put German before the US English that the resource loader prefers.
    bytes::StoreU16(Area + NameString, 2);
    bytes::StoreU16(Area + NameString + 2, '1');
    bytes::StoreU16(Area + NameString + 4, '6');
    Directory(
        0, 1,
        {{0x80000000u | static_cast<uint32_t>(NameString), Nowhere}, {3, Nowhere}, {16, Names}});
    Directory(Pe.NameDirectory, 0, {{1, Languages}, {2, Nowhere}});
    Directory(Pe.LanguageDirectory, 0, {{0x0407, Nowhere & 0x7FFFFFFF}, {0x0409, Data}});
  } else {
    Directory(0, 0, {{16, Names}});
    Directory(Pe.NameDirectory, 0, {{1, Languages}});
    Directory(Pe.LanguageDirectory, 0, {{0x0409, Data}});
  }
  bytes::StoreU32(Area + Pe.DataEntry, static_cast<uint32_t>(SectionAddress + BlockInArea));
  bytes::StoreU32(Area + Pe.DataEntry + 4, static_cast<uint32_t>(Block.size()));
  std::copy(Block.begin(), Block.end(), Area + BlockInArea);
  return Pe;
}

}  // namespace synthetic
