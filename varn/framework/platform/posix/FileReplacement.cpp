#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <varn/framework/platform/Platform.h>
#include <varn/framework/platform/posix/PosixPaths.h>

namespace varn::platform {

FileHandle CreateNewFile(const std::string& Path, bool OwnerOnly) {
  if (Path.empty() || Path.find('\0') != std::string::npos) return InvalidFileHandle;
  // O_EXCL: an entry of that name, a symbolic link or a dangling one included, fails the call.
  const int Fd = open(posix::ToNative(Path).c_str(),
                      O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, OwnerOnly ? 0600 : 0666);
  return Fd < 0 ? InvalidFileHandle : Fd;
}

bool CopyPermissions(const std::string& From, FileHandle To) {
  struct stat Status;
  return !From.empty() && stat(posix::ToNative(From).c_str(), &Status) == 0 &&
         fchmod(static_cast<int>(To), Status.st_mode & 0777) == 0;
}

bool FlushFile(FileHandle File) {
  return File >= 0 && fsync(static_cast<int>(File)) == 0;
}

bool RenameFile(const std::string& From, const std::string& To) {
  if (From.empty() || To.empty()) return false;
  return rename(posix::ToNative(From).c_str(), posix::ToNative(To).c_str()) == 0;
}

bool CanReplaceFile(const std::string& Path) {
  if (Path.empty() || Path.find('\0') != std::string::npos) return false;
  struct stat Status;
  if (lstat(posix::ToNative(Path).c_str(), &Status) != 0) return errno == ENOENT;
  // Without write permission it is refused even for root, as CreateFile refuses it.
  return S_ISREG(Status.st_mode) && (Status.st_mode & S_IWUSR) != 0;
}

bool LinkFile(const std::string& Existing, const std::string& Link) {
  if (Existing.empty() || Link.empty()) return false;
  return link(posix::ToNative(Existing).c_str(), posix::ToNative(Link).c_str()) == 0;
}

bool FlushDirectory(const std::string& Directory) {
  const int Fd = open(Directory.empty() ? "." : posix::ToNative(Directory).c_str(),
                      O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Fd < 0) return false;
  const bool Flushed = fsync(Fd) == 0;
  close(Fd);
  return Flushed;
}

std::optional<FileIdentity> IdentifyFile(const std::string& Path) {
  struct stat Status;
  if (Path.empty() || stat(posix::ToNative(Path).c_str(), &Status) != 0) return std::nullopt;
  return FileIdentity{static_cast<uint64_t>(Status.st_dev), static_cast<uint64_t>(Status.st_ino)};
}

}  // namespace varn::platform
