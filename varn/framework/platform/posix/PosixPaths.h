#pragma once
// Path form translation at the boundary of the POSIX backend: the program's paths use '\',
// the OS uses '/'.
#include <algorithm>
#include <string>

namespace varn::platform::posix {

inline std::string ToNative(std::string Path) {
  std::replace(Path.begin(), Path.end(), '\\', '/');
  return Path;
}

inline std::string FromNative(std::string Path) {
  std::replace(Path.begin(), Path.end(), '/', '\\');
  return Path;
}

}  // namespace varn::platform::posix
