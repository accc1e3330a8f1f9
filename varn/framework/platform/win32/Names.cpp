// Names on Windows: the ANSI calls take the 8-bit text as it is, so nothing is converted but
// the UTF-8 that JSON wants.
#include <vector>

#include <varn/framework/platform/ByteEscapes.h>
#include <varn/framework/platform/Platform.h>
#include <varn/framework/platform/win32/Win32.h>

namespace varn::platform {
namespace {

UINT ChosenCodePage = CP_ACP;

}  // namespace

bool SetNameCodePage(uint32_t CodePage) {
  CPINFO Info;
  if (!IsValidCodePage(CodePage) || !GetCPInfo(CodePage, &Info) || Info.MaxCharSize != 1)
    return false;
  ChosenCodePage = CodePage;
  return true;
}

uint32_t NameCodePage() {
  return ChosenCodePage == CP_ACP ? GetACP() : ChosenCodePage;
}

std::string NativeText(const std::string& Text, ControlCharacters Controls) {
  if (Controls == ControlCharacters::Kept) return Text;
  std::string Out;
  for (const char C : Text) {
    if (IsControlCharacter(static_cast<uint8_t>(C)))
      AppendByteEscape(Out, static_cast<uint8_t>(C));
    else
      Out += C;
  }
  return Out;
}

std::optional<std::string> InternalText(const std::string& Native) {
  std::string Out;
  for (size_t I = 0; I < Native.size();) {
    const auto Escaped = ByteEscapeAt(Native, I);
    if (Escaped && IsControlCharacter(*Escaped)) {
      Out += static_cast<char>(*Escaped);
      I += 4;
    } else {
      Out += Native[I++];
    }
  }
  return Out;
}

std::string Utf8Text(const std::string& Text) {
  if (Text.empty()) return Text;
  const int Size = static_cast<int>(Text.size());
  const int WideCount = MultiByteToWideChar(ChosenCodePage, 0, Text.data(), Size, nullptr, 0);
  std::vector<wchar_t> Wide(static_cast<size_t>(WideCount > 0 ? WideCount : 1));
  MultiByteToWideChar(ChosenCodePage, 0, Text.data(), Size, Wide.data(), WideCount);
  const int Count =
      WideCharToMultiByte(CP_UTF8, 0, Wide.data(), WideCount, nullptr, 0, nullptr, nullptr);
  std::string Out(static_cast<size_t>(Count > 0 ? Count : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, Wide.data(), WideCount, Out.data(), Count, nullptr, nullptr);
  return Out;
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
  return Native.size();
}

}  // namespace varn::platform
