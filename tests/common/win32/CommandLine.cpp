#include "tests/common/CommandLine.h"

#include <varn/framework/platform/win32/Win32.h>

namespace testing_support {

std::string ProcessCommandLine() {
  return GetCommandLineA();
}

}  // namespace testing_support
