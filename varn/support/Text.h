#pragma once
// Text tests of the system: a "blank" text has only characters of codes 0 to 32, and names are
// compared folding only the ASCII letters.
#include <algorithm>
#include <string>
#include <string_view>

namespace varn {

inline bool IsBlank(const std::string& Text) {
  return std::all_of(Text.begin(), Text.end(),
                     [](char C) { return static_cast<unsigned char>(C) <= 32; });
}

inline char UpperAscii(char C) {
  return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 32) : C;
}

inline bool SameTextAscii(std::string_view A, std::string_view B) {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) {
           return UpperAscii(X) == UpperAscii(Y);
         });
}

}  // namespace varn
