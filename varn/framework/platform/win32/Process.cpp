#include <cstdio>
#include <vector>

#include <varn/framework/platform/Platform.h>
#include <varn/framework/platform/win32/Win32.h>

#include <sddl.h>
#include <shellapi.h>

// RtlGenRandom: the system's random numbers, in advapi32 on every Windows.
extern "C" BOOLEAN WINAPI SystemFunction036(PVOID Buffer, ULONG Length);

namespace varn::platform {

bool RandomBytes(void* Buffer, size_t Count) {
  return SystemFunction036(Buffer, static_cast<ULONG>(Count));
}

std::string CurrentDirectory() {
  const DWORD Needed = GetCurrentDirectoryW(0, nullptr);
  if (Needed == 0) return std::string();
  std::vector<wchar_t> Buffer(Needed + 1);
  const DWORD Length = GetCurrentDirectoryW(static_cast<DWORD>(Buffer.size()), Buffer.data());
  return win32::FromWide(std::wstring_view(Buffer.data(), Length < Buffer.size() ? Length : 0));
}

namespace {

std::optional<std::string> MakePrivateTemporaryDirectory() {
  // GetTempPathW gives at most MAX_PATH + 1 characters.
  wchar_t Path[MAX_PATH + 32];
  const DWORD Length = GetTempPathW(MAX_PATH + 2, Path);
  if (Length == 0 || Length > MAX_PATH + 1) return std::nullopt;
  // Full access for the user, SYSTEM and Administrators, inherited by what is made inside;
  // protected, so nothing comes from the access list of TEMP.
  union {
    TOKEN_USER User;
    BYTE Space[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } Token;
  HANDLE TokenHandle;
  DWORD Size = 0;
  wchar_t* Sid = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &TokenHandle)) return std::nullopt;
  const bool Known = GetTokenInformation(TokenHandle, TokenUser, &Token, sizeof Token, &Size) &&
                     ConvertSidToStringSidW(Token.User.User.Sid, &Sid);
  CloseHandle(TokenHandle);
  if (!Known) return std::nullopt;
  // A SID as text has at most 184 characters.
  wchar_t Rights[256];
  lstrcatW(lstrcatW(lstrcpyW(Rights, L"D:P(A;OICI;FA;;;"), Sid),
           L")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
  LocalFree(Sid);
  SECURITY_ATTRIBUTES Attributes{sizeof Attributes, nullptr, FALSE};
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
          Rights, SDDL_REVISION_1, &Attributes.lpSecurityDescriptor, nullptr))
    return std::nullopt;
  std::optional<std::string> Made;
  // A name nobody can foresee, and a directory that did not exist before: one that someone made
  // under the name beforehand is never taken.
  wchar_t* const Name = Path + Length + (Path[Length - 1] != L'\\');
  Name[-1] = L'\\';
  for (int Attempt = 0; Attempt < 100 && !Made; ++Attempt) {
    unsigned char Random[6];
    if (!RandomBytes(Random, sizeof Random)) break;
    lstrcpyW(Name, L"varn-setup.");
    for (int I = 0; I < 6; ++I)
      Name[11 + I] = L"abcdefghijklmnopqrstuvwxyz0123456789"[Random[I] % 36];
    Name[17] = L'\0';
    if (CreateDirectoryW(Path, &Attributes)) {
      lstrcatW(Name, L"\\");
      Made = win32::FromWide(Path);
    } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
      break;
    }
  }
  LocalFree(Attributes.lpSecurityDescriptor);
  return Made;
}

// ERROR_ELEVATION_REQUIRED, which MinGW's headers lack.
constexpr DWORD ElevationRequired = 740;

// Program: the program's path, or a command line that begins with it.
StartResult StartFailure(DWORD Error, const std::string& Program) {
  const bool Quoted = !Program.empty() && Program[0] == '"';
  std::string Path = Program.substr(Quoted, Program.find(Quoted ? '"' : ' ', Quoted) - Quoted);
  return StartResult{false, Error == ElevationRequired,
                     win32::ErrorText(Error, Path.substr(Path.find_last_of("\\:") + 1))};
}

}  // namespace

std::optional<std::string> TemporaryPath() {
  static const std::optional<std::string> Private = MakePrivateTemporaryDirectory();
  return Private;
}

StartResult StartProgram(const std::string& CommandLine, bool Wait) {
  // As WinExec with SW_SHOW, but with the whole line, however long.
  std::wstring Line = win32::Wide(CommandLine);
  STARTUPINFOW Startup{};
  Startup.cb = sizeof Startup;
  Startup.dwFlags = STARTF_USESHOWWINDOW;
  Startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION Process{};
  if (!CreateProcessW(nullptr, Line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup,
                      &Process))
    return StartFailure(GetLastError(), CommandLine);
  if (Wait) WaitForSingleObject(Process.hProcess, INFINITE);
  CloseHandle(Process.hThread);
  CloseHandle(Process.hProcess);
  return StartResult{true, false, {}};
}

StartResult StartProgramElevated(const std::string& Program, const std::string& Parameters,
                                 std::uintptr_t OwnerWindow) {
  const std::wstring File = win32::Wide(Program), Arguments = win32::Wide(Parameters);
  SHELLEXECUTEINFOW Execute{};
  Execute.cbSize = sizeof Execute;
  // The class of programs, whatever the file's extension: a document is never opened through
  // its association. No dialog of the shell's own: the failure comes back to be reported.
  Execute.fMask = SEE_MASK_CLASSNAME | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  Execute.lpClass = L"exefile";
  Execute.hwnd = reinterpret_cast<HWND>(OwnerWindow);
  Execute.lpVerb = L"open";
  Execute.lpFile = File.c_str();
  Execute.lpParameters = Arguments.c_str();
  Execute.nShow = SW_SHOW;
  if (!ShellExecuteExW(&Execute)) {
    const DWORD Error = GetLastError();
    return StartFailure(Error, '"' + Program + '"');
  }
  return StartResult{true, false, {}};
}

std::string ModuleFileName() {
  std::vector<wchar_t> Buffer(MAX_PATH);
  for (;;) {
    const DWORD Length =
        GetModuleFileNameW(nullptr, Buffer.data(), static_cast<DWORD>(Buffer.size()));
    if (Length == 0) return std::string();
    if (Length < Buffer.size()) return win32::FromWide(std::wstring_view(Buffer.data(), Length));
    Buffer.resize(Buffer.size() * 2);
  }
}

bool WriteText(StandardStream Stream, const std::string& Text, bool Utf8) {
  std::FILE* const File = Stream == StandardStream::Error ? stderr : stdout;
  const HANDLE Handle =
      GetStdHandle(Stream == StandardStream::Error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD Mode;
  if (Handle != nullptr && Handle != INVALID_HANDLE_VALUE && GetConsoleMode(Handle, &Mode)) {
    // Whatever went before through the C library comes first.
    std::fflush(File);
    const std::wstring Wide = win32::WideFromUtf8(Text);
    DWORD Written = 0;
    return Wide.empty() ||
           WriteConsoleW(Handle, Wide.data(), static_cast<DWORD>(Wide.size()), &Written, nullptr);
  }
  UINT CodePage = Utf8 ? CP_UTF8 : GetConsoleOutputCP();
  if (CodePage == 0) CodePage = GetACP();
  std::string Out = Text;
  if (CodePage != CP_UTF8) {
    const std::wstring Wide = win32::WideFromUtf8(Text);
    const int Size = static_cast<int>(Wide.size());
    const int Count =
        Size ? WideCharToMultiByte(CodePage, 0, Wide.data(), Size, nullptr, 0, nullptr, nullptr)
             : 0;
    Out.assign(static_cast<size_t>(Count > 0 ? Count : 0), '\0');
    if (Count > 0)
      WideCharToMultiByte(CodePage, 0, Wide.data(), Size, Out.data(), Count, nullptr, nullptr);
  }
  return std::fwrite(Out.data(), 1, Out.size(), File) == Out.size();
}

std::vector<std::string> CommandLineArguments(int, char**) {
  int Count = 0;
  wchar_t** const Arguments = CommandLineToArgvW(GetCommandLineW(), &Count);
  std::vector<std::string> Result;
  for (int Index = 1; Arguments && Index < Count; ++Index)
    Result.push_back(win32::Utf8FromWide(Arguments[Index]));
  LocalFree(Arguments);
  return Result;
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
  if (const HMODULE Kernel = GetModuleHandleW(L"kernel32.dll")) {
    const auto SetDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(GetProcAddress(Kernel, "SetDefaultDllDirectories")));
    if (SetDefault) SetDefault(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
  }
  SetDllDirectoryW(L"");
  // A missing or ejected disk fails the access quietly instead of showing the system's dialog.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

}  // namespace varn::platform
