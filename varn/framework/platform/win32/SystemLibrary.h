#pragma once
// Libraries of the system directory, loaded by their full path and never through the DLL
// search path: a library of the same name planted beside the program is never used.
#include <string>

#include <varn/framework/platform/win32/Win32.h>

namespace varn::platform::win32 {

// The library Name (such as "version.dll") from the system directory, kept for the life of the
// process; nullptr when it cannot be loaded. Path receives the full path tried.
HMODULE LoadSystemLibrary(const char* Name, std::string& Path);

// The function Name of Module as a pointer of type Function; nullptr when it has none.
template <typename Function>
Function Lookup(HMODULE Module, const char* Name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(Module, Name)));
}

}  // namespace varn::platform::win32
