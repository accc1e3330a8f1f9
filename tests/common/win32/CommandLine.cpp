#include "tests/common/CommandLine.h"

#include <varn/framework/platform/win32/Win32.h>

using namespace varn;

namespace testing_support {

std::string ProcessCommandLine() {
  return platform::win32::Utf8FromWide(GetCommandLineW());
}

}  // namespace testing_support
