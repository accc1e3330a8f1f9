// loader.exe: a GUI program (-mwindows) that reads no command line.
#include <cstdlib>

#include "loader/LoaderStartup.h"

struct HINSTANCE__;

extern "C" int __stdcall WinMain(HINSTANCE__*, HINSTANCE__*, char*, int) {
  // The system takes the window down with the process. Destroying it first, as the run-time's
  // clean-up would, hides it, and a display without a window manager (Wine on a bare X server)
  // then holds the hiding process for two seconds. Nothing else is left to clean up: every file
  // is closed by now.
  std::_Exit(RunLoaderProgram());
}

// The run-time's own terminate handler writes the exception's demangled type to a console the
// GUI program does not have, and brings the demangler (a sixth of the program) with it. Every
// exception is caught by the error display, so this only ever ends a broken process.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
  std::abort();
}
}  // namespace __gnu_cxx
