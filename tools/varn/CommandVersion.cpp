// varn version: the fifteen version strings of a Windows executable.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <varn/framework/Exceptions.h>
#include <varn/framework/Streams.h>
#include <varn/framework/platform/Platform.h>
#include <varn/framework/platform/VersionInfo.h>
#include <varn/support/PathHelpers.h>
#include <varn/versioninfo/LoadVersionBlock.h>
#include <varn/versioninfo/PeImage.h>
#include <varn/versioninfo/ResourceVersionBlock.h>
#include <varn/versioninfo/cmp_TVersion.h>
#include "tools/varn/Commands.h"

namespace varn::cli {
namespace {

constexpr int LanguageCount = lnSwissFrench + 1;
constexpr int CharacterSetCount = csArabic + 1;

// "0409", "0x04b0": a 16-bit code in hexadecimal; nothing for anything else.
std::optional<uint16_t> HexCode(std::string Text) {
  if (Text.rfind("0x", 0) == 0 || Text.rfind("0X", 0) == 0) Text.erase(0, 2);
  if (Text.empty() || Text.size() > 4) return std::nullopt;
  unsigned Value = 0;
  const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value, 16);
  if (Error != std::errc() || End != Text.data() + Text.size()) return std::nullopt;
  return static_cast<uint16_t>(Value);
}

std::optional<TLanguage> ParseLanguage(const std::string& Text) {
  if (const auto Named = versioninfo::LanguageFromName(Text)) return Named;
  if (const auto Code = HexCode(Text))
    for (int L = 0; L < LanguageCount; ++L)
      if (GetLanguageID(static_cast<TLanguage>(L)) == *Code) return static_cast<TLanguage>(L);
  return std::nullopt;
}

std::optional<TCharacterSet> ParseCharacterSet(const std::string& Text) {
  if (const auto Named = versioninfo::CharacterSetFromName(Text)) return Named;
  if (const auto Code = HexCode(Text))
    for (int C = 0; C < CharacterSetCount; ++C)
      if (GetCodePage(static_cast<TCharacterSet>(C)) == *Code) return static_cast<TCharacterSet>(C);
  return std::nullopt;
}

// "040904B0 (lnUSEnglish, csUnicode)": a string table's key, with the names of its parts where
// they have one.
std::string DescribeTable(const std::string& Key) {
  std::string Names;
  if (Key.size() == 8) {
    const auto Language = ParseLanguage(Key.substr(0, 4));
    const auto CharacterSet = ParseCharacterSet(Key.substr(4));
    Names = std::string(" (") + (Language ? versioninfo::LanguageName(*Language) : "?") + ", " +
            (CharacterSet ? versioninfo::CharacterSetName(*CharacterSet) : "?") + ")";
  }
  return Key + Names;
}

bool IsPeFile(const std::string& File) {
  try {
    TFileStream Stream(File, TFileMode::fmOpenReadShared);
    const auto Read = [&Stream](uint64_t Offset, size_t Count, std::vector<uint8_t>& Bytes) {
      Bytes.assign(Count, 0);
      return Stream.Seek(static_cast<int64_t>(Offset), TSeekOrigin::soBeginning) ==
                 static_cast<int64_t>(Offset) &&
             Stream.Read(Bytes.data(), static_cast<int32_t>(Count)) == static_cast<int32_t>(Count);
    };
    return versioninfo::PeImage::Open(static_cast<uint64_t>(std::max<int64_t>(Stream.Size(), 0)),
                                      Read)
        .has_value();
  } catch (const EStreamError&) {
    return false;
  }
}

bool SameKey(const std::string& A, const std::string& B) {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) {
           return std::toupper(static_cast<unsigned char>(X)) ==
                  std::toupper(static_cast<unsigned char>(Y));
         });
}

// "040904E4": the key of the string table the component reads for Language and CharacterSet.
std::string TableKey(TLanguage Language, TCharacterSet CharacterSet) {
  const std::string Prefix = versioninfo::StringTablePrefix(Language, CharacterSet);
  return Prefix.substr(Prefix.size() - 9, 8);
}

std::string TablePrefix(const std::string& Key) {
  return "\\StringFileInfo\\" + Key + "\\";
}

// A block whose string table From reads as table To: the component asks for the table of its
// Language and CharacterSet, and so reads one that no enumerator names (000004B0) too.
class RedirectedTable : public versioninfo::VersionBlock {
 public:
  RedirectedTable(const VersionBlock& Block, const std::string& From, const std::string& To)
      : FBlock(Block), FFrom(TablePrefix(From)), FTo(TablePrefix(To)) {}
  std::optional<versioninfo::FixedFileInfoRecord> FixedFileInfo() const override {
    return FBlock.FixedFileInfo();
  }
  std::optional<std::string> QueryString(const std::string& KeyPath) const override {
    if (KeyPath.rfind(FFrom, 0) == 0) return FBlock.QueryString(FTo + KeyPath.substr(FFrom.size()));
    return FBlock.QueryString(KeyPath);
  }

 private:
  const VersionBlock& FBlock;
  std::string FFrom, FTo;
};

// The keys of FILE's string tables and, of them, the one the Windows resource loader's choice
// of language leads to (nothing when it has none).
struct FileTables {
  std::vector<std::string> Keys;
  std::optional<std::string> Preferred;
};

FileTables StringTablesOf(const std::string& File) {
  FileTables Tables;
  if (const auto Block = versioninfo::LoadVersionBlockFromFile(File))
    if (const auto* Resource =
            dynamic_cast<const versioninfo::ResourceVersionBlock*>(Block.get())) {
      Tables.Keys = Resource->StringTables();
      Tables.Preferred = Resource->PreferredStringTable(platform::UserDefaultLanguage());
    }
  return Tables;
}

int RunVersion(const ParsedArguments& Parsed) {
  TLanguage Language = lnUSEnglish;
  TCharacterSet CharacterSet = csMultilingual;
  const bool AsJson = Parsed.Has("--json");
  if (const auto Value = Parsed.Value("--language")) {
    const auto Found = ParseLanguage(*Value);
    if (!Found)
      throw UsageError("unknown language \"" + *Value +
                       "\" (a name such as lnUSEnglish, or a code such as 0409; see "
                       "varn help version)");
    Language = *Found;
  }
  if (const auto Value = Parsed.Value("--charset")) {
    const auto Found = ParseCharacterSet(*Value);
    if (!Found)
      throw UsageError("unknown character set \"" + *Value +
                       "\" (a name such as csUnicode, or a code such as 04b0; see varn help "
                       "version)");
    CharacterSet = *Found;
  }
  if (Parsed.Operands.size() != 1) throw UsageError("give exactly one FILE");
  const std::string& Shown = Parsed.Operands[0];
  const std::string File = platform::InternalPath(Shown);
  // The reader treats a missing file as one without version information; here it is a mistake.
  if (!platform::FindEntry(File) || IsExistingDirectory(File))
    throw Exception("Cannot open file " + Shown);
  // Fifteen empty lines would look like a file whose strings are all empty.
  if (!versioninfo::LoadVersionBlock(File))
    throw Exception(IsPeFile(File) ? Shown + " carries no version information"
                                   : Shown + " is no Windows executable (PE file)");

  // Without --language and --charset, a file that lacks the default table is read in its own.
  const std::string Asked = TableKey(Language, CharacterSet);
  const FileTables Tables = StringTablesOf(File);
  const bool HasAsked = std::any_of(Tables.Keys.begin(), Tables.Keys.end(),
                                    [&](const std::string& Key) { return SameKey(Key, Asked); });
  const bool Chosen =
      !HasAsked && Tables.Preferred && !Parsed.Has("--language") && !Parsed.Has("--charset");

  TVersionResource Resource(nullptr);
  Resource.SetLanguage(Language);
  Resource.SetCharacterSet(CharacterSet);
  Resource.SetFileName(File);
  if (Chosen) {
    Resource.ClearVersionInfo();
    if (const auto Block = versioninfo::LoadVersionBlock(File))
      Resource.ParseVersionBlock(RedirectedTable(*Block, Asked, *Tables.Preferred));
    Note(Shown + " has no string table " + DescribeTable(Asked) + "; read " +
         DescribeTable(*Tables.Preferred) + " instead");
  } else if (!HasAsked) {
    // Empty strings are easily taken for a file without them.
    std::string Have;
    for (const std::string& Key : Tables.Keys)
      Have += (Have.empty() ? "" : ", ") + DescribeTable(Key);
    Note(Shown + " has no string table " + DescribeTable(Asked) + "; " +
         (Have.empty() ? "it has none" : "it has " + Have));
  }
  std::string Out;
  for (const auto& Property : versioninfo::VersionInfoProperties()) {
    const std::string& Value = Resource.VersionInfo().*Property.Field;
    if (AsJson)
      Out += (Out.empty() ? "{" : ",") + JsonString(Property.Name) + ":" + JsonString(Value);
    else
      Out += std::string(Property.Name) + ": " + ShownName(Value) + "\n";
  }
  if (AsJson) Out += "}\n";
  Print(Out, AsJson);
  return 0;
}

// The names and codes of --language and --charset, eight to a line.
std::string CodeList() {
  std::string Text = "Languages (--language, name or code):\n";
  std::string Line;
  const auto Add = [&](const std::string& Item) {
    if (Line.size() + Item.size() + 2 > 90) {
      Text += Line + "\n";
      Line.clear();
    }
    Line += "  " + Item;
  };
  char Code[8];
  for (int L = 0; L < LanguageCount; ++L) {
    std::snprintf(Code, sizeof Code, "%04x", GetLanguageID(static_cast<TLanguage>(L)));
    Add(std::string(versioninfo::LanguageName(static_cast<TLanguage>(L))) + " " + Code);
  }
  Text += Line + "\nCharacter sets (--charset, name or code):\n";
  Line.clear();
  for (int C = 0; C < CharacterSetCount; ++C) {
    std::snprintf(Code, sizeof Code, "%04x", GetCodePage(static_cast<TCharacterSet>(C)));
    Add(std::string(versioninfo::CharacterSetName(static_cast<TCharacterSet>(C))) + " " + Code);
  }
  return Text + Line + "\n";
}

}  // namespace

const Command VersionCommand = {
    "version",
    {{.Long = "--language",
      .Value = "LANG",
      .Help = "the string table's language, by name or code (default lnUSEnglish)"},
     {.Long = "--charset",
      .Value = "SET",
      .Help = "the string table's character set, by name or code (default csMultilingual)"},
     {.Long = "--json", .Help = "one JSON object instead of the lines"}},
    "FILE",
    "Prints the version information of the Windows executable FILE: fifteen lines \"Name: value\"\n"
    "or one JSON object keyed by the names. The strings come from the string table of LANG and\n"
    "SET; when FILE has no such table they are empty, and varn names the tables FILE has on\n"
    "stderr. Without --language and --charset, a FILE that has no table 040904E4 is read in one\n"
    "of its own: of several, the one the Windows resource loader chooses (language neutral, the\n"
    "user's language, US English, else the first), and a line on stderr names it. A file that\n"
    "is no Windows executable, or carries no version information, is a failure.\n",
    "Exit status: 0 when the strings were printed; 1 when FILE cannot be read, is no Windows\n"
    "executable or carries no version information; 2 on a usage error.\n" +
        CodeList(),
    RunVersion};

}  // namespace varn::cli
