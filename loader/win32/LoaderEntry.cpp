// loader.exe: a GUI program (-mwindows) that reads no command line.
#include <cstdlib>

#include "loader/LoaderStartup.h"

struct HINSTANCE__;

extern "C" int __stdcall WinMain(HINSTANCE__*, HINSTANCE__*, char*, int) {
  return RunLoaderProgram();
}

// The run-time's own terminate handler writes the exception's demangled type to a console the
// GUI program does not have, and brings the demangler (a sixth of the program) with it. Every
// exception is caught by the error display, so this only ever ends a broken process.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
  std::abort();
}
}  // namespace __gnu_cxx
