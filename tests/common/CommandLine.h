#pragma once
// The running process's command line as the system handed it over: on Windows the one string
// the program was started with (in UTF-8); on POSIX the arguments joined by blanks.
// Backends: tests/common/posix/, tests/common/win32/.
#include <string>

namespace testing_support {

std::string ProcessCommandLine();

}  // namespace testing_support
