#pragma once
// Translation at the boundary of the POSIX backend: the program's paths use '\' and 8-bit text
// in the code page of names, the OS uses '/' and UTF-8 (Names.cpp).
#include <string>

namespace varn::platform::posix {

std::string ToNative(const std::string& Path);
std::string FromNative(const std::string& Path);

}  // namespace varn::platform::posix
