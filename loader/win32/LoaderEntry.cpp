// loader.exe: a GUI program (-mwindows) that reads no command line.
#include "loader/LoaderStartup.h"

struct HINSTANCE__;

extern "C" int __stdcall WinMain(HINSTANCE__*, HINSTANCE__*, char*, int) {
  return RunLoaderProgram();
}
