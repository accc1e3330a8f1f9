#pragma once
// The backend's one way to <windows.h>: it drops the macros that would rename the platform
// layer's own CreateFile and CreateDirectory.
#include <windows.h>
#undef CreateFile
#undef CreateDirectory
#undef DeleteFile

#include <string>
#include <string_view>

#include <varn/framework/platform/Platform.h>

namespace varn::platform::win32 {

// A path or text in the program's form as the wide-character functions take it, converted from
// the ANSI code page as the system's ANSI functions convert it (a component carried as UTF-8
// behind 0x01 from its UTF-8), and back. Names.cpp.
std::wstring Wide(std::string_view Internal);
std::string FromWide(std::wstring_view Wide);

// UTF-8 and UTF-16, both ways; invalid sequences become U+FFFD.
std::wstring WideFromUtf8(std::string_view Utf8);
std::string Utf8FromWide(std::wstring_view Wide);

// The system's own text for an error code, without the full stop and line end at its end, in
// the program's form; Name stands for the %1 that some of the texts hold.
std::string ErrorText(DWORD Error, const std::string& Name);

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
