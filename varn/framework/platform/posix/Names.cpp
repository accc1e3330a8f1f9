// Names between the program's 8-bit code page text and the OS's UTF-8. The tables of a code page
// come from iconv, one byte at a time, when the code page is chosen.
#include <errno.h>
#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <array>
#include <map>
#include <string_view>

#include <varn/framework/platform/ByteEscapes.h>
#include <varn/framework/platform/Platform.h>
#include <varn/framework/platform/posix/PosixPaths.h>

namespace varn::platform {
namespace {

// Marks a path component that is carried as native bytes (see Platform.h).
constexpr char NativeMark = '\x01';

struct CodePageTables {
  std::array<std::string, 256> Utf8;     // per byte; empty where the code page defines none
  std::map<std::string, uint8_t> Bytes;  // the UTF-8 of each defined character to its byte
};

std::optional<CodePageTables> TablesFromIconv(uint32_t CodePage) {
  const iconv_t Converter = iconv_open("UTF-8", ("CP" + std::to_string(CodePage)).c_str());
  if (Converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  CodePageTables Tables;
  bool SingleByte = true;
  for (int Byte = 0; Byte < 256 && SingleByte; ++Byte) {
    iconv(Converter, nullptr, nullptr, nullptr, nullptr);
    char In = static_cast<char>(Byte);
    char Out[16];
    char* InPointer = &In;
    char* OutPointer = Out;
    size_t InLeft = 1, OutLeft = sizeof Out;
    if (iconv(Converter, &InPointer, &InLeft, &OutPointer, &OutLeft) == static_cast<size_t>(-1)) {
      // EILSEQ: a byte the code page leaves undefined. EINVAL: the lead byte of a longer
      // character, so no single-byte code page.
      SingleByte = errno == EILSEQ;
      continue;
    }
    iconv(Converter, nullptr, nullptr, &OutPointer, &OutLeft);
    Tables.Utf8[Byte].assign(Out, OutPointer);
    if (Tables.Utf8[Byte].empty()) SingleByte = false;
    Tables.Bytes.emplace(Tables.Utf8[Byte], static_cast<uint8_t>(Byte));
  }
  iconv_close(Converter);
  // Paths need the ASCII characters where they are: '\', '.', ':' and the letters.
  for (int Byte = 0; Byte < 128 && SingleByte; ++Byte)
    SingleByte = Tables.Utf8[Byte] == std::string(1, static_cast<char>(Byte));
  if (!SingleByte) return std::nullopt;
  return Tables;
}

// Where the system has no conversions (no gconv modules), ASCII is still ASCII, and every other
// byte shows as \xNN: each archived name keeps a native form that reads back as it.
CodePageTables AsciiTables() {
  CodePageTables Tables;
  for (int Byte = 0; Byte < 128; ++Byte) {
    Tables.Utf8[Byte] = std::string(1, static_cast<char>(Byte));
    Tables.Bytes.emplace(Tables.Utf8[Byte], static_cast<uint8_t>(Byte));
  }
  return Tables;
}

uint32_t CurrentCodePage = 1252;

CodePageTables& Current() {
  static CodePageTables Tables = TablesFromIconv(CurrentCodePage).value_or(AsciiTables());
  return Tables;
}

void AppendNative(std::string& Out, std::string_view Text, ControlCharacters Controls) {
  const CodePageTables& Tables = Current();
  for (const char C : Text) {
    const auto Byte = static_cast<uint8_t>(C);
    if (Tables.Utf8[Byte].empty() ||
        (Controls == ControlCharacters::Escaped && IsControlCharacter(Byte)))
      AppendByteEscape(Out, Byte);
    else
      Out += Tables.Utf8[Byte];
  }
}

// Controls: whether \xNN of a control character reads as the byte, as it does in what the user
// types; in a name the OS gives it is the four characters.
std::optional<std::string> ToInternal(std::string_view Native, ControlCharacters Controls) {
  const CodePageTables& Tables = Current();
  std::string Out;
  size_t I = 0;
  while (I < Native.size()) {
    const auto Escaped = ByteEscapeAt(Native, I);
    if (Escaped && (Tables.Utf8[*Escaped].empty() ||
                    (Controls == ControlCharacters::Escaped && IsControlCharacter(*Escaped)))) {
      Out += static_cast<char>(*Escaped);
      I += 4;
      continue;
    }
    const size_t Length = Utf8CharacterLength(Native, I);
    const auto Found = Tables.Bytes.find(std::string(Native.substr(I, Length)));
    if (Found == Tables.Bytes.end()) return std::nullopt;
    Out += static_cast<char>(Found->second);
    I += Length;
  }
  return Out;
}

// One character's code point from its UTF-8, or nothing when it is not one character.
std::optional<char32_t> CodePoint(const std::string& Utf8) {
  if (Utf8.empty()) return std::nullopt;
  const auto Lead = static_cast<uint8_t>(Utf8[0]);
  const size_t Length = Lead < 0x80 ? 1 : Lead < 0xE0 ? 2 : Lead < 0xF0 ? 3 : 4;
  if (Utf8.size() != Length) return std::nullopt;
  char32_t Code = Length == 1 ? Lead : Lead & (0x7F >> Length);
  for (size_t I = 1; I < Length; ++I)
    Code = (Code << 6) | (static_cast<uint8_t>(Utf8[I]) & 0x3F);
  return Code;
}

std::string Utf8Of(char32_t Code) {
  std::string Out;
  if (Code < 0x80) {
    Out += static_cast<char>(Code);
  } else if (Code < 0x800) {
    Out += static_cast<char>(0xC0 | (Code >> 6));
    Out += static_cast<char>(0x80 | (Code & 0x3F));
  } else if (Code < 0x10000) {
    Out += static_cast<char>(0xE0 | (Code >> 12));
    Out += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (Code & 0x3F));
  } else {
    Out += static_cast<char>(0xF0 | (Code >> 18));
    Out += static_cast<char>(0x80 | ((Code >> 12) & 0x3F));
    Out += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (Code & 0x3F));
  }
  return Out;
}

// The upper case of each byte of the current code page, through Unicode's simple case mapping,
// as Windows' table of upper-case letters has it.
std::array<uint8_t, 256> UpperCaseTable() {
  std::array<uint8_t, 256> Table;
  for (int Byte = 0; Byte < 256; ++Byte)
    Table[Byte] = static_cast<uint8_t>(Byte >= 'a' && Byte <= 'z' ? Byte - 32 : Byte);
  static const locale_t Unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  if (!Unicode) return Table;
  const CodePageTables& Tables = Current();
  for (int Byte = 128; Byte < 256; ++Byte) {
    const auto Code = CodePoint(Tables.Utf8[Byte]);
    if (!Code) continue;
    const auto Upper = static_cast<char32_t>(towupper_l(static_cast<wint_t>(*Code), Unicode));
    const auto Found = Tables.Bytes.find(Utf8Of(Upper));
    if (Found != Tables.Bytes.end()) Table[Byte] = Found->second;
  }
  return Table;
}

std::array<uint8_t, 256>& CurrentUpperCase() {
  static std::array<uint8_t, 256> Table = UpperCaseTable();
  return Table;
}

}  // namespace

std::string UpperCaseName(const std::string& Name) {
  const std::array<uint8_t, 256>& Table = CurrentUpperCase();
  std::string Out = Name;
  for (char& C : Out)
    C = static_cast<char>(Table[static_cast<uint8_t>(C)]);
  return Out;
}

bool SetNameCodePage(uint32_t CodePage) {
  auto Tables = TablesFromIconv(CodePage);
  if (!Tables) return false;
  Current() = std::move(*Tables);
  CurrentCodePage = CodePage;
  CurrentUpperCase() = UpperCaseTable();
  return true;
}

uint32_t NameCodePage() {
  return CurrentCodePage;
}

std::string NativeText(const std::string& Text, ControlCharacters Controls) {
  std::string Out;
  AppendNative(Out, Text, Controls);
  return Out;
}

std::optional<std::string> InternalText(const std::string& Native) {
  return ToInternal(Native, ControlCharacters::Escaped);
}

std::string Utf8Text(const std::string& Text) {
  return NativeText(Text);
}

size_t NativeTextWidth(const std::string& Native) {
  size_t Width = 0;
  for (const char C : Native)
    if ((static_cast<uint8_t>(C) & 0xC0) != 0x80) ++Width;
  return Width;
}

namespace posix {

std::string ToNative(const std::string& Path) {
  std::string Out;
  const std::string_view View(Path);
  size_t Start = 0;
  for (;;) {
    const size_t End = std::min(View.find('\\', Start), View.size());
    const std::string_view Component = View.substr(Start, End - Start);
    // Only what FromNative marks: a name with no form in the code page, or one holding a '\'
    // (there carried as the mark). So an archived name that happens to begin with the mark
    // never turns into another name, such as "..".
    const std::string_view Rest = Component.empty() ? Component : Component.substr(1);
    if (!Component.empty() && Component[0] == NativeMark &&
        (Rest.find(NativeMark) != std::string_view::npos ||
         !ToInternal(Rest, ControlCharacters::Kept))) {
      for (const char C : Rest)
        Out += C == NativeMark ? '\\' : C;
    } else {
      AppendNative(Out, Component, ControlCharacters::Kept);
    }
    if (End == View.size()) return Out;
    Out += '/';
    Start = End + 1;
  }
}

std::string FromNative(const std::string& Path) {
  std::string Out;
  const std::string_view View(Path);
  size_t Start = 0;
  for (;;) {
    const size_t End = std::min(View.find('/', Start), View.size());
    const std::string_view Component = View.substr(Start, End - Start);
    // A '\' is a character of a POSIX name (unless it begins the \xNN of a byte); inside it
    // would split the name in two.
    const auto Internal = ToInternal(Component, ControlCharacters::Kept);
    if (Internal && Internal->find('\\') == std::string::npos) {
      Out += *Internal;
    } else {
      Out += NativeMark;
      for (const char C : Component)
        Out += C == '\\' ? NativeMark : C;
    }
    if (End == View.size()) return Out;
    Out += '\\';
    Start = End + 1;
  }
}

}  // namespace posix
}  // namespace varn::platform
