// A stand-in installation program for the loader's end-to-end test under Wine: it writes the
// command line it was started with into "commandline.txt" beside itself, and ends. On the way it
// loads varnplant.dll by its plain name if there is one where the system looks (Plant.cpp).
#include <varn/framework/Streams.h>
#include <varn/framework/platform/Platform.h>
#include <varn/framework/platform/win32/Win32.h>
#include <varn/support/PathHelpers.h>
#include "tests/common/CommandLine.h"

using namespace varn;

int main() {
  LoadLibraryW(L"varnplant.dll");
  const std::string Line = testing_support::ProcessCommandLine();
  const std::string Record = DirectoryPart(platform::ModuleFileName()) + "commandline.txt";
  try {
    TFileStream Out(Record, TFileMode::fmCreate);
    Out.Write(Line.data(), static_cast<int32_t>(Line.size()));
  } catch (...) {
    return 1;
  }
  return 0;
}
