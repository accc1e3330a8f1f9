#pragma once
// Text tests of the system: a "blank" text has only characters of codes 0 to 32, and names are
// compared folding only the ASCII letters (AsciiCase.h).
#include <algorithm>
#include <string>

#include <varn/framework/AsciiCase.h>

namespace varn {

inline bool IsBlank(const std::string& Text) {
  return std::all_of(Text.begin(), Text.end(),
                     [](char C) { return static_cast<unsigned char>(C) <= 32; });
}

}  // namespace varn
