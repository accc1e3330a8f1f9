#include "tests/common/CommandLine.h"

#include <fstream>
#include <iterator>

namespace testing_support {

std::string ProcessCommandLine() {
  std::ifstream In("/proc/self/cmdline", std::ios::binary);
  std::string Text((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
  if (!Text.empty() && Text.back() == '\0') Text.pop_back();
  for (char& C : Text)
    if (C == '\0') C = ' ';
  return Text;
}

}  // namespace testing_support
