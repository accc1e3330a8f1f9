#include <varn/framework/platform/Platform.h>
#include <varn/framework/platform/win32/Win32.h>

namespace varn::platform {

FileHandle CreateNewFile(const std::string& Path, bool) {
  if (Path.find('\0') != std::string::npos) return InvalidFileHandle;
  const HANDLE Handle = CreateFileW(win32::Wide(Path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  return Handle == INVALID_HANDLE_VALUE ? InvalidFileHandle : reinterpret_cast<FileHandle>(Handle);
}

bool CopyPermissions(const std::string&, FileHandle) {
  return true;
}

bool FlushFile(FileHandle File) {
  return FlushFileBuffers(reinterpret_cast<HANDLE>(File)) != 0;
}

bool RenameFile(const std::string& From, const std::string& To) {
  return MoveFileExW(win32::Wide(From).c_str(), win32::Wide(To).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool CanReplaceFile(const std::string& Path) {
  if (Path.find('\0') != std::string::npos) return false;
  const DWORD Attributes = GetFileAttributesA(Path.c_str());
  if (Attributes == INVALID_FILE_ATTRIBUTES) return true;  // nothing there, or the rename says
  return (Attributes &
          (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
           FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
}

bool LinkFile(const std::string& Existing, const std::string& Link) {
  return CreateHardLinkA(Link.c_str(), Existing.c_str(), nullptr) != 0;
}

bool FlushDirectory(const std::string&) {
  return true;
}

std::optional<FileIdentity> IdentifyFile(const std::string& Path) {
  // No access asked for: the identity of a file that others hold open can still be read.
  const HANDLE Handle = CreateFileW(win32::Wide(Path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (Handle == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION Information;
  const bool Known = GetFileInformationByHandle(Handle, &Information) != 0;
  CloseHandle(Handle);
  if (!Known) return std::nullopt;
  return FileIdentity{
      Information.dwVolumeSerialNumber,
      (static_cast<uint64_t>(Information.nFileIndexHigh) << 32) | Information.nFileIndexLow};
}

}  // namespace varn::platform
