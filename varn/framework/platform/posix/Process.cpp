#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <varn/framework/platform/Platform.h>
#include <varn/framework/platform/posix/PosixPaths.h>

namespace varn::platform {

bool RandomBytes(void* Buffer, size_t Count) {
  auto* Bytes = static_cast<uint8_t*>(Buffer);
  while (Count > 0) {
    const ssize_t Got = getrandom(Bytes, Count, 0);
    if (Got < 0 && errno == EINTR) continue;
    if (Got <= 0) return false;
    Bytes += Got;
    Count -= static_cast<size_t>(Got);
  }
  return true;
}

std::string InternalPath(const std::string& Native) {
  return posix::FromNative(Native);
}
std::string NativePath(const std::string& Internal) {
  return posix::ToNative(Internal);
}
std::string NativeFileName(const std::string& Native) {
  return Native.substr(Native.rfind('/') + 1);
}

std::string CurrentDirectory() {
  std::vector<char> Buffer(PATH_MAX);
  while (!getcwd(Buffer.data(), Buffer.size())) {
    if (Buffer.size() > (1u << 20)) return std::string();
    Buffer.resize(Buffer.size() * 2);
  }
  return posix::FromNative(Buffer.data());
}

namespace {

std::optional<std::string> MakePrivateTemporaryDirectory() {
  const char* Variable = getenv("TMPDIR");
  std::string Template = (Variable && *Variable) ? Variable : "/tmp";
  if (Template.back() != '/') Template += '/';
  Template += "varn-setup.XXXXXX";
  // mkdtemp makes the directory anew, with mode 0700, under a name nobody could foresee.
  if (!mkdtemp(Template.data())) return std::nullopt;
  return posix::FromNative(Template + '/');
}

}  // namespace

std::optional<std::string> TemporaryPath() {
  static const std::optional<std::string> Private = MakePrivateTemporaryDirectory();
  return Private;
}

namespace {

// The command line's two parts: a part in double quotes runs to the closing quote; an unquoted
// program runs to the first blank and an unquoted argument to the end of the line, so that
// quotes inside an unquoted part are kept as they are.
struct ProgramAndArgument {
  std::string Program;
  std::optional<std::string> Argument;
};

ProgramAndArgument SplitCommandLine(const std::string& Line) {
  ProgramAndArgument Result;
  size_t Rest = 0;
  if (!Line.empty() && Line[0] == '"') {
    const size_t Close = Line.find('"', 1);
    Result.Program = Line.substr(1, Close == std::string::npos ? std::string::npos : Close - 1);
    Rest = Close == std::string::npos ? Line.size() : Close + 1;
  } else {
    Rest = std::min(Line.find_first_of(" \t"), Line.size());
    Result.Program = Line.substr(0, Rest);
  }
  if (Rest < Line.size()) {
    std::string Argument = Line.substr(Rest + 1);
    if (Argument.size() >= 2 && Argument.front() == '"' && Argument.back() == '"')
      Argument = Argument.substr(1, Argument.size() - 2);
    Result.Argument = Argument;
  }
  return Result;
}

}  // namespace

namespace {

// The system's text for an exec error. A program on a file system mounted noexec fails with
// EACCES, which reads as if the file were someone else's: the text says what is behind it.
std::string ExecFailure(int Error, const std::string& Program) {
  std::string Reason = strerror(Error);
  struct statvfs FileSystem;
  if ((Error == EACCES || Error == ENOEXEC) && statvfs(Program.c_str(), &FileSystem) == 0 &&
      (FileSystem.f_flag & ST_NOEXEC))
    Reason +=
        " (its directory is on a file system mounted noexec, where no program may run: set "
        "TMPDIR to a directory on another file system)";
  return Reason;
}

}  // namespace

StartResult StartProgram(const std::string& CommandLine, bool Wait) {
  const ProgramAndArgument Parts = SplitCommandLine(CommandLine);
  const std::string Program = posix::ToNative(Parts.Program);
  const std::string Argument = Parts.Argument ? posix::ToNative(*Parts.Argument) : std::string();
  struct stat Status;
  if (Program.empty() || stat(Program.c_str(), &Status) != 0)
    return StartResult{false, false, strerror(Program.empty() ? ENOENT : errno)};
  if ((Status.st_mode & S_IXUSR) == 0) chmod(Program.c_str(), (Status.st_mode & 07777) | S_IXUSR);

  std::vector<char*> Arguments{const_cast<char*>(Program.c_str())};
  if (Parts.Argument) Arguments.push_back(const_cast<char*>(Argument.c_str()));
  Arguments.push_back(nullptr);

  // The exec failure, if any, comes back through a pipe that a successful exec closes.
  int Report[2];
  if (pipe2(Report, O_CLOEXEC) != 0) return StartResult{false, false, strerror(errno)};
  // While we wait, an interrupt from the terminal is the program's to act on, as for system().
  struct sigaction Ignore = {}, OldInterrupt = {}, OldQuit = {};
  Ignore.sa_handler = SIG_IGN;
  if (Wait) {
    sigaction(SIGINT, &Ignore, &OldInterrupt);
    sigaction(SIGQUIT, &Ignore, &OldQuit);
  }
  const pid_t Child = fork();
  if (Child == 0) {
    close(Report[0]);
    // Not waited for, the program is the grandchild, so it is never left behind as our zombie
    // and goes on after the loader has ended.
    if (!Wait && fork() != 0) _exit(0);
    // What InitializeProcess ignores would otherwise stay ignored in the program.
    signal(SIGXFSZ, SIG_DFL);
    signal(SIGPIPE, SIG_DFL);
    if (Wait) {
      sigaction(SIGINT, &OldInterrupt, nullptr);
      sigaction(SIGQUIT, &OldQuit, nullptr);
    }
    execv(Program.c_str(), Arguments.data());
    const int Error = errno;
    [[maybe_unused]] const ssize_t Written = write(Report[1], &Error, sizeof Error);
    _exit(127);
  }
  const int ForkError = errno;
  close(Report[1]);
  int Error = 0;
  ssize_t Read = -1;
  if (Child > 0) {
    do
      Read = read(Report[0], &Error, sizeof Error);
    while (Read < 0 && errno == EINTR);
  }
  close(Report[0]);
  if (Child > 0) {
    // Without waiting only the short-lived middle child; waiting, the program itself.
    int ChildStatus = 0;
    while (waitpid(Child, &ChildStatus, 0) < 0 && errno == EINTR) {
    }
  }
  if (Wait) {
    sigaction(SIGINT, &OldInterrupt, nullptr);
    sigaction(SIGQUIT, &OldQuit, nullptr);
  }
  if (Child < 0) return StartResult{false, false, strerror(ForkError)};
  if (Read > 0) return StartResult{false, false, ExecFailure(Error, Program)};
  return StartResult{true, false, {}};
}

StartResult StartProgramElevated(const std::string&, const std::string&, std::uintptr_t) {
  return StartResult{false, false, strerror(ENOSYS)};
}

bool WriteText(StandardStream Stream, const std::string& Text, bool) {
  std::FILE* const File = Stream == StandardStream::Error ? stderr : stdout;
  return std::fwrite(Text.data(), 1, Text.size(), File) == Text.size();
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
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

int TerminalColumns(StandardStream Stream) {
  const int Descriptor = Stream == StandardStream::Input    ? STDIN_FILENO
                         : Stream == StandardStream::Output ? STDOUT_FILENO
                                                            : STDERR_FILENO;
  winsize Size{};
  if (ioctl(Descriptor, TIOCGWINSZ, &Size) != 0) return 0;
  return Size.ws_col;
}

void InitializeProcess() {
  // A file-size limit then shows as a short write (and so as a full disk), not as a kill.
  signal(SIGXFSZ, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
}

}  // namespace varn::platform
