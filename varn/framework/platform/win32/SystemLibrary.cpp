#include <varn/framework/platform/win32/SystemLibrary.h>

#include <vector>

namespace varn::platform::win32 {
namespace {

std::string SystemDirectory() {
  std::vector<wchar_t> Buffer(MAX_PATH);
  for (;;) {
    const UINT Length = GetSystemDirectoryW(Buffer.data(), static_cast<UINT>(Buffer.size()));
    if (Length == 0) return std::string();
    if (Length < Buffer.size()) return FromWide(std::wstring_view(Buffer.data(), Length));
    Buffer.resize(Length + 1);
  }
}

}  // namespace

HMODULE LoadSystemLibrary(const char* Name, std::string& Path) {
  const std::string Directory = SystemDirectory();
  Path.clear();
  if (Directory.empty()) return nullptr;
  Path = Directory + (Directory.back() == '\\' ? "" : "\\") + Name;
  // A full path names exactly one file; the altered search order makes the library's own
  // dependencies come from its directory too.
  return LoadLibraryExW(Wide(Path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace varn::platform::win32
