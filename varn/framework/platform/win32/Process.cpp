#include <algorithm>
#include <vector>

#include <varn/framework/platform/Platform.h>
#include <varn/framework/platform/win32/Win32.h>

namespace varn::platform {

std::string InternalPath(const std::string& Native) {
  // Windows takes '/' for a separator as well, the program's path rules take only '\'.
  std::string Internal = Native;
  std::replace(Internal.begin(), Internal.end(), '/', '\\');
  return Internal;
}
std::string NativePath(const std::string& Internal) {
  return Internal;
}
std::string NativeFileName(const std::string& Native) {
  const size_t Separator = Native.find_last_of("\\/");
  if (Separator != std::string::npos) return Native.substr(Separator + 1);
  return Native.size() >= 2 && Native[1] == ':' ? Native.substr(2) : Native;
}

std::string CurrentDirectory() {
  const DWORD Needed = GetCurrentDirectoryA(0, nullptr);
  if (Needed == 0) return std::string();
  std::vector<char> Buffer(Needed + 1);
  const DWORD Length = GetCurrentDirectoryA(static_cast<DWORD>(Buffer.size()), Buffer.data());
  return std::string(Buffer.data(), Length < Buffer.size() ? Length : 0);
}

std::optional<std::string> TemporaryPath() {
  // Asked for its length first, so that a path of any length is read whole.
  const DWORD Needed = GetTempPathA(0, nullptr);
  if (Needed == 0) return std::nullopt;
  std::vector<char> Buffer(Needed + 1);
  const DWORD Length = GetTempPathA(static_cast<DWORD>(Buffer.size()), Buffer.data());
  if (Length == 0 || Length >= Buffer.size()) return std::nullopt;
  return std::string(Buffer.data(), Length);
}

bool StartProgram(const std::string& CommandLine) {
  // As WinExec with SW_SHOW, but with the whole line, however long.
  std::vector<char> Line(CommandLine.begin(), CommandLine.end());
  Line.push_back('\0');
  STARTUPINFOA Startup{};
  Startup.cb = sizeof Startup;
  Startup.dwFlags = STARTF_USESHOWWINDOW;
  Startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION Process{};
  if (!CreateProcessA(nullptr, Line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup,
                      &Process))
    return false;
  CloseHandle(Process.hThread);
  CloseHandle(Process.hProcess);
  return true;
}

std::string ModuleFileName() {
  std::vector<char> Buffer(MAX_PATH);
  for (;;) {
    const DWORD Length =
        GetModuleFileNameA(nullptr, Buffer.data(), static_cast<DWORD>(Buffer.size()));
    if (Length == 0) return std::string();
    if (Length < Buffer.size()) return std::string(Buffer.data(), Length);
    Buffer.resize(Buffer.size() * 2);
  }
}

bool IsTerminal(StandardStream Stream) {
  const DWORD Which = Stream == StandardStream::Input    ? STD_INPUT_HANDLE
                      : Stream == StandardStream::Output ? STD_OUTPUT_HANDLE
                                                         : STD_ERROR_HANDLE;
  DWORD Mode;
  const HANDLE Handle = GetStdHandle(Which);
  return Handle != nullptr && Handle != INVALID_HANDLE_VALUE && GetConsoleMode(Handle, &Mode);
}

int TerminalColumns(StandardStream Stream) {
  const DWORD Which = Stream == StandardStream::Input    ? STD_INPUT_HANDLE
                      : Stream == StandardStream::Output ? STD_OUTPUT_HANDLE
                                                         : STD_ERROR_HANDLE;
  CONSOLE_SCREEN_BUFFER_INFO Info;
  if (!GetConsoleScreenBufferInfo(GetStdHandle(Which), &Info)) return 0;
  return Info.srWindow.Right - Info.srWindow.Left + 1;
}

void InitializeProcess() {
  // First of all: DLLs come from the system directory only, never from the program's own
  // directory or the current directory, where a planted DLL could sit beside the program.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  if (const HMODULE Kernel = GetModuleHandleA("kernel32.dll")) {
    const auto SetDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(GetProcAddress(Kernel, "SetDefaultDllDirectories")));
    if (SetDefault) SetDefault(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
  }
  SetDllDirectoryA("");
  // A missing or ejected disk fails the access quietly instead of showing the system's dialog.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

}  // namespace varn::platform
