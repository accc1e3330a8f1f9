#include "tests/common/ProcessLimits.h"

namespace testing_support {

bool LimitFileSize(uint64_t) {
  return false;
}
void RemoveFileSizeLimit() {}

bool UnsharedOpenLocksOthersOut() {
  return true;
}

}  // namespace testing_support
