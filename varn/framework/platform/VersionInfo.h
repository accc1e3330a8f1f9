#pragma once
// The operating system's own version-information interface (GetFileVersionInfoSizeA,
// GetFileVersionInfoA, VerQueryValueA), where the platform has one. Where it has none,
// VersionInfoApiAvailable() is false and every call reports failure; callers then read the
// file's version resource themselves.
//
// On Windows the interface's library is loaded once, by its full path in the system directory,
// never through the DLL search path: a version.dll planted beside the program is never used.
// No function here throws.
#include <cstdint>
#include <string>

namespace varn::platform {

bool VersionInfoApiAvailable();

// The user's default language identifier (GetUserDefaultLangID), by which the resource loader
// chooses among the language entries of a resource; 0 where the platform has no such setting.
uint16_t UserDefaultLanguage();

// The size in bytes of the file's version-information block; 0 when the file has none, cannot
// be read, or the interface is unavailable. Handle is to be passed on unchanged to
// GetVersionInfo.
uint32_t GetVersionInfoSize(const std::string& FileName, uint32_t& Handle);

// Loads the block into Block, which holds Size bytes; false on failure.
bool GetVersionInfo(const std::string& FileName, uint32_t Handle, uint32_t Size, void* Block);

// Looks a key path up in a block loaded by GetVersionInfo. On success Value addresses the value
// as the interface returns it and Length is the length it reports; neither is checked here.
bool QueryVersionValue(const void* Block, const std::string& KeyPath, const void*& Value,
                       uint32_t& Length);

// The full path of the library that serves the interface; empty when it is unavailable.
std::string VersionInfoLibraryPath();

}  // namespace varn::platform
