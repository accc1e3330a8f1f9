#pragma once
// The backend's one way to <windows.h>: it drops the macros that would rename the platform
// layer's own CreateFile and CreateDirectory.
#include <windows.h>
#undef CreateFile
#undef CreateDirectory
#undef DeleteFile

#include <varn/framework/platform/Platform.h>

namespace varn::platform::win32 {

// FILETIME and the backend's FileTime are the same count.
inline FileTime FromWin32(const FILETIME& Time) {
  return FileTime{(static_cast<uint64_t>(Time.dwHighDateTime) << 32) | Time.dwLowDateTime};
}

inline FILETIME ToWin32(const FileTime& Time) {
  FILETIME Result;
  Result.dwLowDateTime = static_cast<DWORD>(Time.Ticks & 0xFFFFFFFFu);
  Result.dwHighDateTime = static_cast<DWORD>(Time.Ticks >> 32);
  return Result;
}

}  // namespace varn::platform::win32
