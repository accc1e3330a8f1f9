#include <cstdio>

#include <varn/framework/platform/Platform.h>
#include <varn/framework/platform/win32/Win32.h>

namespace varn::platform {
namespace {

volatile LONG Caught = 0;

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI NoteInterrupt(DWORD Event) {
  if (Event != CTRL_C_EVENT && Event != CTRL_BREAK_EVENT) return FALSE;
  InterlockedExchange(&Caught, 1);
  return TRUE;
}

}  // namespace

void CatchInterrupts() {
  // A process started with Ctrl-C disabled keeps it so: the handler is not called for it then.
  SetConsoleCtrlHandler(NoteInterrupt, TRUE);
}

bool Interrupted() {
  return InterlockedCompareExchange(&Caught, 0, 0) != 0;
}

void EndAsInterrupted() {
  std::fflush(nullptr);
  // What a console program ended by Ctrl-C exits with.
  ExitProcess(0xC000013AU);
}

bool LastWriteHadNoReader() {
  const DWORD Error = GetLastError();
  return Error == ERROR_NO_DATA || Error == ERROR_BROKEN_PIPE || Error == ERROR_PIPE_NOT_CONNECTED;
}

void EndAsOutputClosed() {
  ExitProcess(0);
}

}  // namespace varn::platform
