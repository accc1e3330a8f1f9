#include <varn/versioninfo/ResourceVersionBlock.h>

#include <algorithm>
#include <charconv>

#include <varn/framework/AsciiCase.h>
#include <varn/support/ByteReader.h>
#include <varn/versioninfo/PeImage.h>

namespace varn::versioninfo {
namespace {

constexpr size_t NodeHeaderSize = 6;
constexpr uint16_t TextType = 1;

size_t AlignUp4(size_t Offset) {
  return (Offset + 3) & ~static_cast<size_t>(3);
}

// One node, as offsets into the block; End is where the node's declared length ends.
struct Node {
  size_t Start = 0;
  size_t End = 0;
  size_t KeyStart = 0;  // UTF-16 units up to the terminator at KeyEnd
  size_t KeyEnd = 0;
  size_t ValueStart = 0;
  size_t ValueEnd = 0;  // clipped to End
  size_t ChildrenStart = 0;
  uint16_t ValueLength = 0;
  uint16_t Type = 0;
};

// The node at Offset, which must lie within [Offset, Limit); nothing when it does not or when
// its key is not terminated within it.
std::optional<Node> ReadNode(const std::vector<uint8_t>& Bytes, size_t Offset, size_t Limit) {
  bytes::ByteReader Reader(Bytes.data(), Limit);
  uint16_t Length = 0;
  Node Result;
  if (!Reader.Seek(Offset) || !Reader.ReadU16(Length) || !Reader.ReadU16(Result.ValueLength) ||
      !Reader.ReadU16(Result.Type))
    return std::nullopt;
  if (Length < NodeHeaderSize || Length > Limit - Offset) return std::nullopt;
  Result.Start = Offset;
  Result.End = Offset + Length;
  Result.KeyStart = Offset + NodeHeaderSize;
  bytes::ByteReader Key(Bytes.data(), Result.End);
  Key.Seek(Result.KeyStart);
  for (uint16_t Unit = 1; Unit != 0;)
    if (!Key.ReadU16(Unit)) return std::nullopt;
  Result.KeyEnd = Key.Position() - 2;
  Result.ValueStart = std::min(AlignUp4(Key.Position()), Result.End);
  const size_t ValueBytes =
      Result.Type == TextType ? size_t{Result.ValueLength} * 2 : size_t{Result.ValueLength};
  Result.ValueEnd = std::min(Result.ValueStart + ValueBytes, Result.End);
  Result.ChildrenStart = std::min(AlignUp4(Result.ValueStart + ValueBytes), Result.End);
  return Result;
}

bool KeyMatches(const std::vector<uint8_t>& Bytes, const Node& Item, const std::string& Name) {
  if ((Item.KeyEnd - Item.KeyStart) / 2 != Name.size()) return false;
  for (size_t I = 0; I < Name.size(); ++I) {
    const uint16_t Unit = bytes::LoadU16(Bytes.data() + Item.KeyStart + 2 * I);
    if (Unit > 0x7F || UpperAscii(static_cast<char>(Unit)) != UpperAscii(Name[I])) return false;
  }
  return true;
}

std::optional<Node> FindChild(const std::vector<uint8_t>& Bytes, const Node& Parent,
                              const std::string& Name) {
  // Every child is at least a header long, so the walk always moves forward.
  for (size_t Offset = Parent.ChildrenStart; Offset < Parent.End;) {
    const std::optional<Node> Child = ReadNode(Bytes, Offset, Parent.End);
    if (!Child) return std::nullopt;
    if (KeyMatches(Bytes, *Child, Name)) return Child;
    Offset = AlignUp4(Child->End);
  }
  return std::nullopt;
}

std::optional<Node> FindPath(const std::vector<uint8_t>& Bytes, const std::string& KeyPath) {
  std::optional<Node> Current = ReadNode(Bytes, 0, Bytes.size());
  size_t Position = 0;
  while (Current && Position < KeyPath.size()) {
    const size_t Separator = std::min(KeyPath.find('\\', Position), KeyPath.size());
    if (Separator > Position)
      Current = FindChild(Bytes, *Current, KeyPath.substr(Position, Separator - Position));
    Position = Separator + 1;
  }
  return Current;
}

// 8-bit text from UTF-16 units up to a terminator or End, whichever comes first.
std::string NarrowText(const std::vector<uint8_t>& Bytes, size_t Start, size_t End) {
  std::string Text;
  bool AfterHighSurrogate = false;
  for (size_t Offset = Start; Offset + 2 <= End; Offset += 2) {
    const uint16_t Unit = bytes::LoadU16(Bytes.data() + Offset);
    if (Unit == 0) break;
    const bool LowSurrogate = Unit >= 0xDC00 && Unit <= 0xDFFF;
    // A surrogate pair is one character, so it gives one '?'.
    if (!(LowSurrogate && AfterHighSurrogate)) Text += Unit <= 0xFF ? static_cast<char>(Unit) : '?';
    AfterHighSurrogate = Unit >= 0xD800 && Unit <= 0xDBFF;
  }
  return Text;
}

}  // namespace

std::optional<FixedFileInfoRecord> ResourceVersionBlock::FixedFileInfo() const {
  const std::optional<Node> Root = ReadNode(FBytes, 0, FBytes.size());
  if (!Root) return std::nullopt;
  return FixedFileInfoRecord::Decode(FBytes.data() + Root->ValueStart,
                                     Root->ValueEnd - Root->ValueStart);
}

std::optional<std::string> ResourceVersionBlock::QueryString(const std::string& KeyPath) const {
  const std::optional<Node> Found = FindPath(FBytes, KeyPath);
  if (!Found) return std::nullopt;
  if (Found->ValueLength == 0) return std::string();
  // Writers disagree on whether a text's length counts bytes or characters, so the text runs
  // to its terminator within the node rather than to the declared length.
  return NarrowText(FBytes, Found->ValueStart, Found->End);
}

}  // namespace varn::versioninfo

namespace varn::versioninfo {

std::vector<std::string> ResourceVersionBlock::StringTables() const {
  std::vector<std::string> Keys;
  const std::optional<Node> Tables = FindPath(FBytes, "\\StringFileInfo");
  if (!Tables) return Keys;
  for (size_t Offset = Tables->ChildrenStart; Offset < Tables->End;) {
    const std::optional<Node> Table = ReadNode(FBytes, Offset, Tables->End);
    if (!Table) break;
    Keys.push_back(NarrowText(FBytes, Table->KeyStart, Table->KeyEnd));
    Offset = AlignUp4(Table->End);
  }
  return Keys;
}

std::optional<std::string> ResourceVersionBlock::PreferredStringTable(uint16_t UserLanguage) const {
  const std::vector<std::string> Keys = StringTables();
  // A key whose language is no hexadecimal number gets one that no resource language has.
  std::vector<uint32_t> Languages;
  for (const std::string& Key : Keys) {
    uint32_t Language = 0xFFFFFFFF;
    unsigned Value = 0;
    const char* End = Key.data() + std::min<size_t>(Key.size(), 4);
    const auto [Stop, Error] = std::from_chars(Key.data(), End, Value, 16);
    if (Key.size() >= 4 && Error == std::errc() && Stop == End) Language = Value;
    Languages.push_back(Language);
  }
  const std::optional<size_t> Chosen = PeImage::PreferredLanguage(
      Languages.size(), [&](size_t I) { return Languages[I]; }, UserLanguage);
  if (!Chosen) return std::nullopt;
  return Keys[*Chosen];
}

}  // namespace varn::versioninfo
