// Names on Windows. Inside the program a path is 8-bit text of the ANSI code page, as the
// system's ANSI functions took it; the backend hands it to the wide-character functions
// converted as those would convert it, so every path means what it meant to them. What the ANSI
// code page cannot write (a profile folder "Łukasz" on a Western Windows, a medium in C:\鬼) is
// carried component by component as UTF-8 behind the byte 0x01, as the POSIX backend carries
// names that have no form in its code page. Native text, for the command-line tools, is UTF-8.
#include <varn/framework/platform/ByteEscapes.h>
#include <varn/framework/platform/Platform.h>
#include <varn/framework/platform/win32/Win32.h>
#include <algorithm>

namespace varn::platform {
namespace {

// Marks a path component that is carried as UTF-8 (see Platform.h).
constexpr char NativeMark = '\x01';

UINT ChosenCodePage = CP_ACP;

// Text converted from the code page, appended to Out.
void AppendWide(std::wstring& Out, UINT CodePage, std::string_view Text, DWORD Flags = 0) {
  const int Size = static_cast<int>(Text.size());
  const int Count = Size ? MultiByteToWideChar(CodePage, Flags, Text.data(), Size, nullptr, 0) : 0;
  if (Count <= 0) return;
  const size_t Done = Out.size();
  Out.resize(Done + static_cast<size_t>(Count));
  MultiByteToWideChar(CodePage, Flags, Text.data(), Size, Out.data() + Done, Count);
}

std::wstring ToUtf16(UINT CodePage, std::string_view Text, DWORD Flags = 0) {
  std::wstring Out;
  AppendWide(Out, CodePage, Text, Flags);
  return Out;
}

// Text converted into the code page, appended to Out. Exact: false, and Out unchanged, when a
// character has no exact form there (the system would write a '?' or a look-alike in its place).
bool AppendNarrow(std::string& Out, UINT CodePage, std::wstring_view Text, bool Exact) {
  const int Size = static_cast<int>(Text.size());
  if (Size == 0) return true;
  // UTF-8 (also as the ANSI code page of a system set to it) takes neither the best-fit flag
  // nor the default character.
  const bool Utf8 = CodePage == CP_UTF8 || (CodePage == CP_ACP && GetACP() == CP_UTF8);
  const DWORD Flags = !Exact ? 0 : Utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL UsedDefault = FALSE;
  BOOL* const Default = Exact && !Utf8 ? &UsedDefault : nullptr;
  const int Count =
      WideCharToMultiByte(CodePage, Flags, Text.data(), Size, nullptr, 0, nullptr, Default);
  if (Count <= 0 || UsedDefault) return !Exact;
  const size_t Done = Out.size();
  Out.resize(Done + static_cast<size_t>(Count));
  WideCharToMultiByte(CodePage, Flags, Text.data(), Size, Out.data() + Done, Count, nullptr,
                      nullptr);
  return true;
}

std::optional<std::string> FromUtf16(UINT CodePage, std::wstring_view Text) {
  std::string Out;
  if (!AppendNarrow(Out, CodePage, Text, true)) return std::nullopt;
  return Out;
}

UINT NameCodePageOrAnsi() {
  return ChosenCodePage == CP_ACP ? GetACP() : ChosenCodePage;
}

// A byte that shows as \xNN: one the code page leaves undefined (Windows gives the five of
// Windows-1252 the C1 control characters).
bool UndefinedByte(uint8_t Byte) {
  if (Byte < 0x80 || IsDBCSLeadByteEx(NameCodePageOrAnsi(), Byte)) return false;
  const char In = static_cast<char>(Byte);
  wchar_t Out = 0;
  return MultiByteToWideChar(ChosenCodePage, MB_ERR_INVALID_CHARS, &In, 1, &Out, 1) != 1 ||
         (Out >= 0x80 && Out < 0xA0);
}

}  // namespace

namespace win32 {

std::wstring WideFromUtf8(std::string_view Utf8) {
  return ToUtf16(CP_UTF8, Utf8);
}

std::string Utf8FromWide(std::wstring_view Wide) {
  std::string Out;
  AppendNarrow(Out, CP_UTF8, Wide, false);
  return Out;
}

std::wstring Wide(std::string_view Internal) {
  // Text without a mark converts whole, exactly as the ANSI functions convert it (a double-byte
  // code page may have a '\' as the second byte of a character).
  std::wstring Out;
  size_t Done = 0;
  for (size_t Mark = Internal.find(NativeMark); Mark < Internal.size();
       Mark = Internal.find(NativeMark, Mark + 1)) {
    if (Mark > 0 && Internal[Mark - 1] != '\\') continue;
    const size_t End = std::min(Internal.find('\\', Mark), Internal.size());
    // Only what FromWide marks: valid UTF-8 that the ANSI code page cannot write. So an archived
    // name that happens to begin with the mark never turns into another name, such as "..".
    const std::wstring Component =
        ToUtf16(CP_UTF8, Internal.substr(Mark + 1, End - Mark - 1), MB_ERR_INVALID_CHARS);
    if (Component.empty() || FromUtf16(CP_ACP, Component)) continue;
    AppendWide(Out, CP_ACP, Internal.substr(Done, Mark - Done));
    Out += Component;
    Done = Mark = End;
  }
  AppendWide(Out, CP_ACP, Internal.substr(Done));
  return Out;
}

std::string FromWide(std::wstring_view Wide) {
  std::string Out;
  if (AppendNarrow(Out, CP_ACP, Wide, true)) return Out;
  for (size_t Start = 0;;) {
    const size_t End = std::min(Wide.find_first_of(L"\\/", Start), Wide.size());
    const std::wstring_view Component = Wide.substr(Start, End - Start);
    if (!AppendNarrow(Out, CP_ACP, Component, true)) {
      Out += NativeMark;
      AppendNarrow(Out, CP_UTF8, Component, false);
    }
    if (End == Wide.size()) return Out;
    Out += static_cast<char>(Wide[End]);
    Start = End + 1;
  }
}

std::string ErrorText(DWORD Error, const std::string& Name) {
  // Every insert a text may hold (%1 names the file) is the name.
  const std::wstring Insert = Wide(Name);
  DWORD_PTR Inserts[9];
  for (DWORD_PTR& Each : Inserts)
    Each = reinterpret_cast<DWORD_PTR>(Insert.c_str());
  wchar_t* Buffer = nullptr;
  DWORD Length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY,
      nullptr, Error, 0, reinterpret_cast<wchar_t*>(&Buffer), 0,
      reinterpret_cast<va_list*>(Inserts));
  while (Length > 0 && (Buffer[Length - 1] == L'\n' || Buffer[Length - 1] == L'\r' ||
                        Buffer[Length - 1] == L' ' || Buffer[Length - 1] == L'.'))
    --Length;
  std::string Text =
      Length ? FromWide(std::wstring_view(Buffer, Length)) : "error " + std::to_string(Error);
  LocalFree(Buffer);
  return Text;
}

}  // namespace win32

std::string InternalPath(const std::string& Native) {
  // Windows takes '/' for a separator as well, the program's path rules take only '\'.
  std::string Internal = win32::FromWide(win32::WideFromUtf8(Native));
  std::replace(Internal.begin(), Internal.end(), '/', '\\');
  return Internal;
}

std::string NativePath(const std::string& Internal) {
  return win32::Utf8FromWide(win32::Wide(Internal));
}

std::string NativeFileName(const std::string& Native) {
  const size_t Separator = Native.find_last_of("\\/");
  if (Separator != std::string::npos) return Native.substr(Separator + 1);
  return Native.size() >= 2 && Native[1] == ':' ? Native.substr(2) : Native;
}

bool SetNameCodePage(uint32_t CodePage) {
  CPINFO Info;
  if (!IsValidCodePage(CodePage) || !GetCPInfo(CodePage, &Info) || Info.MaxCharSize != 1)
    return false;
  ChosenCodePage = CodePage;
  return true;
}

uint32_t NameCodePage() {
  return NameCodePageOrAnsi();
}

std::string NativeText(const std::string& Text, ControlCharacters Controls) {
  std::string Out;
  size_t Run = 0;
  const auto Flush = [&](size_t End) {
    Out +=
        win32::Utf8FromWide(ToUtf16(ChosenCodePage, std::string_view(Text).substr(Run, End - Run)));
  };
  for (size_t I = 0; I < Text.size(); ++I) {
    const auto Byte = static_cast<uint8_t>(Text[I]);
    if (IsDBCSLeadByteEx(NameCodePageOrAnsi(), Byte)) {
      ++I;
      continue;
    }
    if (UndefinedByte(Byte) ||
        (Controls == ControlCharacters::Escaped && IsControlCharacter(Byte))) {
      Flush(I);
      AppendByteEscape(Out, Byte);
      Run = I + 1;
    }
  }
  Flush(Text.size());
  return Out;
}

std::optional<std::string> InternalText(const std::string& Native) {
  std::string Out;
  size_t I = 0;
  while (I < Native.size()) {
    const auto Escaped = ByteEscapeAt(Native, I);
    if (Escaped && (IsControlCharacter(*Escaped) || UndefinedByte(*Escaped))) {
      Out += static_cast<char>(*Escaped);
      I += 4;
      continue;
    }
    const size_t Length = Utf8CharacterLength(Native, I);
    const std::wstring Character =
        ToUtf16(CP_UTF8, std::string_view(Native).substr(I, Length), MB_ERR_INVALID_CHARS);
    const auto Bytes = Character.empty() ? std::nullopt : FromUtf16(ChosenCodePage, Character);
    if (!Bytes) return std::nullopt;
    Out += *Bytes;
    I += Length;
  }
  return Out;
}

std::string Utf8Text(const std::string& Text) {
  return NativeText(Text);
}

std::string UpperCaseName(const std::string& Name) {
  std::string Out = Name;
  for (char& C : Out) {
    if (C >= 'a' && C <= 'z') {
      C = static_cast<char>(C - 32);
      continue;
    }
    if (static_cast<uint8_t>(C) < 0x80) continue;
    // One character at a time: one whose upper case the code page lacks stays as it is.
    wchar_t Wide = 0;
    if (MultiByteToWideChar(ChosenCodePage, MB_ERR_INVALID_CHARS, &C, 1, &Wide, 1) != 1) continue;
    CharUpperBuffW(&Wide, 1);
    char Back = 0;
    BOOL Lossy = FALSE;
    if (WideCharToMultiByte(ChosenCodePage, WC_NO_BEST_FIT_CHARS, &Wide, 1, &Back, 1, nullptr,
                            &Lossy) == 1 &&
        !Lossy)
      C = Back;
  }
  return Out;
}

size_t NativeTextWidth(const std::string& Native) {
  size_t Width = 0;
  for (const char C : Native)
    if ((static_cast<uint8_t>(C) & 0xC0) != 0x80) ++Width;
  return Width;
}

}  // namespace varn::platform
