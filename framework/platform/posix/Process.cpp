#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

#include "framework/platform/Platform.h"
#include "framework/platform/posix/PosixPaths.h"

namespace platform {

std::string InternalPath(const std::string& Native) {
  return posix::FromNative(Native);
}
std::string NativePath(const std::string& Internal) {
  return posix::ToNative(Internal);
}

std::string CurrentDirectory() {
  std::vector<char> Buffer(PATH_MAX);
  while (!getcwd(Buffer.data(), Buffer.size())) {
    if (Buffer.size() > (1u << 20)) return std::string();
    Buffer.resize(Buffer.size() * 2);
  }
  return posix::FromNative(Buffer.data());
}

std::optional<std::string> TemporaryPath() {
  const char* Variable = getenv("TMPDIR");
  std::string Path = (Variable && *Variable) ? Variable : "/tmp";
  if (Path.back() != '/') Path += '/';
  return posix::FromNative(Path);
}

std::string ModuleFileName() {
  std::vector<char> Buffer(PATH_MAX);
  for (;;) {
    const ssize_t N = readlink("/proc/self/exe", Buffer.data(), Buffer.size());
    if (N < 0) return std::string();
    if (static_cast<size_t>(N) < Buffer.size())
      return posix::FromNative(std::string(Buffer.data(), N));
    Buffer.resize(Buffer.size() * 2);
  }
}

bool IsTerminal(StandardStream Stream) {
  const int Descriptor = Stream == StandardStream::Input    ? STDIN_FILENO
                         : Stream == StandardStream::Output ? STDOUT_FILENO
                                                            : STDERR_FILENO;
  return isatty(Descriptor) == 1;
}

void InitializeProcess() {
  // A file-size limit then shows as a short write (and so as a full disk), not as a kill.
  signal(SIGXFSZ, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
}

}  // namespace platform
