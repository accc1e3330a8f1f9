#pragma once
// The system's one case fold: the ASCII letters, and nothing else, as Windows compares archived
// names, wildcard patterns and version-resource keys. Every other byte stays itself, whatever
// the code page.
#include <algorithm>
#include <string>
#include <string_view>

namespace varn {

constexpr char UpperAscii(char C) {
  return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 'a' + 'A') : C;
}

constexpr char LowerAscii(char C) {
  return (C >= 'A' && C <= 'Z') ? static_cast<char>(C - 'A' + 'a') : C;
}

inline std::string UpperAsciiText(std::string Text) {
  std::transform(Text.begin(), Text.end(), Text.begin(), UpperAscii);
  return Text;
}

inline std::string LowerAsciiText(std::string Text) {
  std::transform(Text.begin(), Text.end(), Text.begin(), LowerAscii);
  return Text;
}

inline bool SameTextAscii(std::string_view A, std::string_view B) {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) {
           return UpperAscii(X) == UpperAscii(Y);
         });
}

}  // namespace varn
