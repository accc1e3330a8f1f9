#include <varn/framework/platform/Platform.h>
#include <varn/framework/platform/win32/Win32.h>

namespace varn::platform {

using win32::FromWin32;
using win32::ToWin32;
namespace {

HANDLE ToHandle(FileHandle File) {
  return reinterpret_cast<HANDLE>(File);
}
FileHandle FromHandle(HANDLE Handle) {
  return reinterpret_cast<FileHandle>(Handle);
}

}  // namespace

std::optional<DirectoryEntry> FindEntry(const std::string& Pattern) {
  // A plain name needs no directory search: its attributes come from one look-up, several
  // times faster (under Wine a search reads the directory). Wildcards, including the DOS ones,
  // and the names a search treats in its own way ("." and "..", nothing after the last
  // separator) still go through FindFirstFileW.
  const size_t Separator = Pattern.find_last_of("\\/:");
  const std::string Last = Pattern.substr(Separator == std::string::npos ? 0 : Separator + 1);
  if (!Last.empty() && Last != "." && Last != ".." &&
      Last.find_first_of("*?<>\"") == std::string::npos &&
      Pattern.find('\0') == std::string::npos) {
    WIN32_FILE_ATTRIBUTE_DATA Data;
    if (!GetFileAttributesExW(win32::Wide(Pattern).c_str(), GetFileExInfoStandard, &Data))
      return std::nullopt;
    return DirectoryEntry{Last, Data.dwFileAttributes, FromWin32(Data.ftLastWriteTime)};
  }
  WIN32_FIND_DATAW Data;
  const HANDLE Search = FindFirstFileW(win32::Wide(Pattern).c_str(), &Data);
  if (Search == INVALID_HANDLE_VALUE) return std::nullopt;
  FindClose(Search);
  return DirectoryEntry{win32::FromWide(Data.cFileName), Data.dwFileAttributes,
                        FromWin32(Data.ftLastWriteTime)};
}

std::optional<uint32_t> FileAttributes(const std::string& Path) {
  const DWORD Attributes = GetFileAttributesW(win32::Wide(Path).c_str());
  if (Attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return Attributes;
}

bool CreateDirectory(const std::string& Path) {
  return CreateDirectoryW(win32::Wide(Path).c_str(), nullptr) != 0;
}

FileHandle OpenFile(const std::string& Path) {
  if (Path.find('\0') != std::string::npos) return InvalidFileHandle;
  const HANDLE Handle =
      CreateFileW(win32::Wide(Path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return Handle == INVALID_HANDLE_VALUE ? InvalidFileHandle : FromHandle(Handle);
}

FileHandle CreateFile(const std::string& Path) {
  if (Path.find('\0') != std::string::npos) return InvalidFileHandle;
  // A symbolic link or junction planted at the target is refused, never written through. A
  // read-only file is refused here as well as by CreateFileW: Wine running as root would
  // replace it.
  const DWORD Existing = GetFileAttributesW(win32::Wide(Path).c_str());
  if (Existing != INVALID_FILE_ATTRIBUTES &&
      (Existing & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY)))
    return InvalidFileHandle;
  const HANDLE Handle = CreateFileW(win32::Wide(Path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return Handle == INVALID_HANDLE_VALUE ? InvalidFileHandle : FromHandle(Handle);
}

int32_t ReadFile(FileHandle File, void* Buffer, int32_t Count) {
  DWORD Done = 0;
  if (Count < 0 || !::ReadFile(ToHandle(File), Buffer, static_cast<DWORD>(Count), &Done, nullptr))
    return -1;
  return static_cast<int32_t>(Done);
}

int32_t LastErrorCode() {
  return static_cast<int32_t>(GetLastError());
}

std::string ErrorText(int32_t Code) {
  char Text[512];
  const DWORD Length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     static_cast<DWORD>(Code), 0, Text, sizeof Text, nullptr);
  std::string Result(Text, Length);
  // The system's text ends in a full stop and a line break; a message goes on after it.
  while (!Result.empty() &&
         (Result.back() == '\n' || Result.back() == '\r' || Result.back() == '.'))
    Result.pop_back();
  return Result.empty() ? "error " + std::to_string(Code) : Result;
}

int32_t WriteFile(FileHandle File, const void* Buffer, int32_t Count) {
  DWORD Done = 0;
  if (Count < 0) return -1;
  if (!::WriteFile(ToHandle(File), Buffer, static_cast<DWORD>(Count), &Done, nullptr))
    return Done > 0 ? static_cast<int32_t>(Done) : -1;
  return static_cast<int32_t>(Done);
}

int64_t SeekFile(FileHandle File, int64_t Offset, SeekOrigin Origin) {
  const DWORD Method = Origin == SeekOrigin::Current ? FILE_CURRENT
                       : Origin == SeekOrigin::End   ? FILE_END
                                                     : FILE_BEGIN;
  LARGE_INTEGER Distance, Result;
  Distance.QuadPart = Offset;
  if (!SetFilePointerEx(ToHandle(File), Distance, &Result, Method)) return -1;
  return Result.QuadPart;
}

void CloseFile(FileHandle File) {
  if (File != InvalidFileHandle) CloseHandle(ToHandle(File));
}

bool DeleteFile(const std::string& Path) {
  if (Path.find('\0') != std::string::npos) return false;
  return DeleteFileW(win32::Wide(Path).c_str()) != 0;
}

bool GetFileLastWriteTime(FileHandle File, FileTime& Universal) {
  FILETIME LastWrite;
  if (!GetFileTime(ToHandle(File), nullptr, nullptr, &LastWrite)) return false;
  Universal = FromWin32(LastWrite);
  return true;
}

bool SetFileLastWriteTime(FileHandle File, const FileTime& Universal) {
  const FILETIME LastWrite = ToWin32(Universal);
  return SetFileTime(ToHandle(File), nullptr, nullptr, &LastWrite) != 0;
}

}  // namespace varn::platform
