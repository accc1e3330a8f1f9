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

// Says, on a terminal, which string tables FILE has when the one asked for is not among them:
// its strings are then empty, which is easily taken for a file without them.
void NoteMissingTable(const std::string& File, const std::string& Shown, TLanguage Language,
                      TCharacterSet CharacterSet) {
  const std::string Prefix = versioninfo::StringTablePrefix(Language, CharacterSet);
  const std::string Wanted = Prefix.substr(Prefix.size() - 9, 8);
  std::vector<std::string> Tables;
  if (const auto Block = versioninfo::LoadVersionBlockFromFile(File))
    if (const auto* Resource = dynamic_cast<const versioninfo::ResourceVersionBlock*>(Block.get()))
      Tables = Resource->StringTables();
  for (const std::string& Table : Tables)
    if (Table.size() == Wanted.size() &&
        std::equal(Table.begin(), Table.end(), Wanted.begin(), [](char A, char B) {
          return std::toupper(static_cast<unsigned char>(A)) ==
                 std::toupper(static_cast<unsigned char>(B));
        }))
      return;
  std::string Have;
  for (const std::string& Table : Tables)
    Have += (Have.empty() ? "" : ", ") + DescribeTable(Table);
  Note(Shown + " has no string table " + DescribeTable(Wanted) + "; " +
       (Have.empty() ? "it has none" : "it has " + Have));
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

  TVersionResource Resource(nullptr);
  Resource.SetLanguage(Language);
  Resource.SetCharacterSet(CharacterSet);
  Resource.SetFileName(File);
  std::string Out;
  for (const auto& Property : versioninfo::VersionInfoProperties()) {
    const std::string& Value = Resource.VersionInfo().*Property.Field;
    if (AsJson)
      Out += (Out.empty() ? "{" : ",") + JsonString(Property.Name) + ":" + JsonString(Value);
    else
      Out += std::string(Property.Name) + ": " + Value + "\n";
  }
  if (AsJson) Out += "}\n";
  NoteMissingTable(File, Shown, Language, CharacterSet);
  Print(Out);
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
    "SET; when FILE has no such table they are empty, and on a terminal varn names the tables\n"
    "FILE has. A file that is no Windows executable, or carries no version information, is a\n"
    "failure.\n",
    "Exit status: 0 when the strings were printed; 1 when FILE cannot be read, is no Windows\n"
    "executable or carries no version information; 2 on a usage error.\n" +
        CodeList(),
    RunVersion};

}  // namespace varn::cli
