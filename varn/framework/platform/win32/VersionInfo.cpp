#include <varn/framework/platform/VersionInfo.h>

#include <vector>

#include <varn/framework/platform/win32/SystemLibrary.h>

namespace varn::platform {
namespace {

using win32::Lookup;

// The file by its wide name; the block and its strings as ever, through VerQueryValueA.
using GetFileVersionInfoSizeWFunction = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
using GetFileVersionInfoWFunction = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
using VerQueryValueAFunction = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);

struct VersionLibrary {
  HMODULE Module = nullptr;
  std::string Path;
  GetFileVersionInfoSizeWFunction GetSize = nullptr;
  GetFileVersionInfoWFunction GetInfo = nullptr;
  VerQueryValueAFunction Query = nullptr;
  bool Available() const { return GetSize && GetInfo && Query; }
};

VersionLibrary LoadVersionLibrary() {
  VersionLibrary Library;
  Library.Module = win32::LoadSystemLibrary("version.dll", Library.Path);
  if (!Library.Module) {
    Library.Path.clear();
    return Library;
  }
  Library.GetSize =
      Lookup<GetFileVersionInfoSizeWFunction>(Library.Module, "GetFileVersionInfoSizeW");
  Library.GetInfo = Lookup<GetFileVersionInfoWFunction>(Library.Module, "GetFileVersionInfoW");
  Library.Query = Lookup<VerQueryValueAFunction>(Library.Module, "VerQueryValueA");
  return Library;
}

// Loaded on first use and kept for the life of the process.
const VersionLibrary& Library() {
  static const VersionLibrary Instance = LoadVersionLibrary();
  return Instance;
}

}  // namespace

bool VersionInfoApiAvailable() {
  return Library().Available();
}

uint16_t UserDefaultLanguage() {
  return GetUserDefaultLangID();
}

uint32_t GetVersionInfoSize(const std::string& FileName, uint32_t& Handle) {
  Handle = 0;
  if (!Library().Available()) return 0;
  DWORD Value = 0;
  const DWORD Size = Library().GetSize(win32::Wide(FileName).c_str(), &Value);
  Handle = Value;
  return Size;
}

bool GetVersionInfo(const std::string& FileName, uint32_t Handle, uint32_t Size, void* Block) {
  if (!Library().Available()) return false;
  return Library().GetInfo(win32::Wide(FileName).c_str(), Handle, Size, Block) != 0;
}

bool QueryVersionValue(const void* Block, const std::string& KeyPath, const void*& Value,
                       uint32_t& Length) {
  Value = nullptr;
  Length = 0;
  if (!Library().Available()) return false;
  LPVOID Pointer = nullptr;
  UINT Reported = 0;
  if (!Library().Query(Block, KeyPath.c_str(), &Pointer, &Reported)) return false;
  Value = Pointer;
  Length = Reported;
  return true;
}

std::string VersionInfoLibraryPath() {
  if (!Library().Available()) return std::string();
  std::vector<wchar_t> Buffer(MAX_PATH);
  for (;;) {
    const DWORD Length =
        GetModuleFileNameW(Library().Module, Buffer.data(), static_cast<DWORD>(Buffer.size()));
    if (Length == 0) return std::string();
    if (Length < Buffer.size()) return win32::FromWide(std::wstring_view(Buffer.data(), Length));
    Buffer.resize(Buffer.size() * 2);
  }
}

}  // namespace varn::platform
