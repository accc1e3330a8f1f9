#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include <varn/framework/AsciiCase.h>
#include <varn/framework/platform/Platform.h>
#include <varn/framework/platform/posix/PosixPaths.h>

namespace varn::platform {
namespace {

constexpr uint64_t TicksPerSecond = 10000000;
constexpr int64_t SecondsFrom1601To1970 = 11644473600;

FileTime FromTimespec(const timespec& Time) {
  const int64_t Seconds = static_cast<int64_t>(Time.tv_sec) + SecondsFrom1601To1970;
  if (Seconds < 0) return FileTime{0};
  return FileTime{static_cast<uint64_t>(Seconds) * TicksPerSecond +
                  static_cast<uint64_t>(Time.tv_nsec) / 100};
}

uint32_t AttributesOf(const struct stat& Status) {
  uint32_t Attributes = S_ISDIR(Status.st_mode) ? AttributeDirectory : AttributeArchive;
  if ((Status.st_mode & S_IWUSR) == 0) Attributes |= AttributeReadOnly;
  return Attributes;
}

// '*' matches any run of characters, '?' exactly one; letters compare without case, as the
// Windows search does.
bool MatchesWildcard(const char* Pattern, const char* Name) {
  const char* StarPattern = nullptr;
  const char* StarName = nullptr;
  while (*Name) {
    if (*Pattern == '*') {
      StarPattern = ++Pattern;
      StarName = Name;
    } else if (*Pattern == '?' || (*Pattern && UpperAscii(*Pattern) == UpperAscii(*Name))) {
      ++Pattern;
      ++Name;
    } else if (StarPattern) {
      Pattern = StarPattern;
      Name = ++StarName;
    } else {
      return false;
    }
  }
  while (*Pattern == '*')
    ++Pattern;
  return *Pattern == '\0';
}

}  // namespace

std::optional<DirectoryEntry> FindEntry(const std::string& Pattern) {
  const std::string Native = posix::ToNative(Pattern);
  const size_t Slash = Native.rfind('/');
  const std::string Directory = Slash == std::string::npos ? "" : Native.substr(0, Slash + 1);
  std::string Name = Slash == std::string::npos ? Native : Native.substr(Slash + 1);
  if (Name.empty()) return std::nullopt;

  if (Name.find_first_of("*?") != std::string::npos) {
    if (Name == "*.*") Name = "*";
    DIR* Dir = opendir(Directory.empty() ? "." : Directory.c_str());
    if (!Dir) return std::nullopt;
    // The directory order of the OS is arbitrary; the first name in byte order is taken, so
    // the result does not depend on it.
    std::string Best;
    bool Found = false;
    while (const dirent* Entry = readdir(Dir)) {
      if (MatchesWildcard(Name.c_str(), Entry->d_name) && (!Found || Entry->d_name < Best)) {
        Best = Entry->d_name;
        Found = true;
      }
    }
    closedir(Dir);
    if (!Found) return std::nullopt;
    Name = Best;
  }

  struct stat Status;
  if (stat((Directory + Name).c_str(), &Status) != 0) return std::nullopt;
  return DirectoryEntry{posix::FromNative(Name), AttributesOf(Status),
                        FromTimespec(Status.st_mtim)};
}

std::optional<uint32_t> FileAttributes(const std::string& Path) {
  struct stat Status;
  if (Path.empty() || stat(posix::ToNative(Path).c_str(), &Status) != 0) return std::nullopt;
  return AttributesOf(Status);
}

bool CreateDirectory(const std::string& Path) {
  return !Path.empty() && mkdir(posix::ToNative(Path).c_str(), 0777) == 0;
}

namespace {
// Of the status flags that F_SETFL changes, our opens set O_NONBLOCK alone: clearing all of them
// clears it without asking for the others first.
void ClearNonBlocking(int Fd) {
  fcntl(Fd, F_SETFL, 0);
}
}  // namespace

FileHandle OpenFile(const std::string& Path) {
  if (Path.empty() || Path.find('\0') != std::string::npos) return InvalidFileHandle;
  const int Fd = open(posix::ToNative(Path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (Fd < 0) return InvalidFileHandle;
  struct stat Status;
  // Only regular files are files here, as on Windows; a FIFO would block every read.
  if (fstat(Fd, &Status) != 0 || !S_ISREG(Status.st_mode)) {
    close(Fd);
    return InvalidFileHandle;
  }
  ClearNonBlocking(Fd);
  return Fd;
}

FileHandle CreateFile(const std::string& Path) {
  if (Path.empty() || Path.find('\0') != std::string::npos) return InvalidFileHandle;
  // O_NOFOLLOW: a symbolic link planted at the target is refused, never written through.
  // O_NONBLOCK and the check that follows: a FIFO or device there is refused, not opened.
  const int Fd = open(posix::ToNative(Path).c_str(),
                      O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666);
  if (Fd < 0) return InvalidFileHandle;
  struct stat Status;
  // A file without write permission is refused even for root, as Windows refuses to replace
  // a read-only file.
  if (fstat(Fd, &Status) != 0 || !S_ISREG(Status.st_mode) || (Status.st_mode & S_IWUSR) == 0 ||
      (Status.st_size != 0 && ftruncate(Fd, 0) != 0)) {
    close(Fd);
    return InvalidFileHandle;
  }
  ClearNonBlocking(Fd);
  return Fd;
}

int32_t ReadFile(FileHandle File, void* Buffer, int32_t Count) {
  if (File < 0 || Count < 0) return -1;
  auto* Bytes = static_cast<char*>(Buffer);
  int32_t Done = 0;
  while (Done < Count) {
    const ssize_t N = read(static_cast<int>(File), Bytes + Done, static_cast<size_t>(Count - Done));
    if (N < 0 && errno == EINTR) continue;
    if (N < 0) return Done > 0 ? Done : -1;
    if (N == 0) break;
    Done += static_cast<int32_t>(N);
  }
  return Done;
}

int32_t LastErrorCode() {
  return errno;
}

std::string ErrorText(int32_t Code) {
  return std::strerror(Code);
}

int32_t WriteFile(FileHandle File, const void* Buffer, int32_t Count) {
  if (File < 0 || Count < 0) return -1;
  const auto* Bytes = static_cast<const char*>(Buffer);
  int32_t Done = 0;
  while (Done < Count) {
    const ssize_t N =
        write(static_cast<int>(File), Bytes + Done, static_cast<size_t>(Count - Done));
    if (N < 0 && errno == EINTR) continue;
    if (N <= 0) return Done > 0 ? Done : -1;
    Done += static_cast<int32_t>(N);
  }
  return Done;
}

int64_t SeekFile(FileHandle File, int64_t Offset, SeekOrigin Origin) {
  if (File < 0) return -1;
  const int Whence = Origin == SeekOrigin::Current ? SEEK_CUR
                     : Origin == SeekOrigin::End   ? SEEK_END
                                                   : SEEK_SET;
  const off_t Result = lseek(static_cast<int>(File), static_cast<off_t>(Offset), Whence);
  return Result < 0 ? -1 : static_cast<int64_t>(Result);
}

void CloseFile(FileHandle File) {
  if (File >= 0) close(static_cast<int>(File));
}

bool DeleteFile(const std::string& Path) {
  if (Path.empty() || Path.find('\0') != std::string::npos) return false;
  return unlink(posix::ToNative(Path).c_str()) == 0;
}

bool GetFileLastWriteTime(FileHandle File, FileTime& Universal) {
  struct stat Status;
  if (File < 0 || fstat(static_cast<int>(File), &Status) != 0) return false;
  Universal = FromTimespec(Status.st_mtim);
  return true;
}

bool SetFileLastWriteTime(FileHandle File, const FileTime& Universal) {
  if (File < 0) return false;
  const auto Seconds =
      static_cast<int64_t>(Universal.Ticks / TicksPerSecond) - SecondsFrom1601To1970;
  timespec Times[2];
  Times[0].tv_sec = 0;
  Times[0].tv_nsec = UTIME_OMIT;
  Times[1].tv_sec = static_cast<time_t>(Seconds);
  Times[1].tv_nsec = static_cast<long>(Universal.Ticks % TicksPerSecond * 100);
  return futimens(static_cast<int>(File), Times) == 0;
}

}  // namespace varn::platform
