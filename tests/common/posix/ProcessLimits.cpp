#include "tests/common/ProcessLimits.h"

#include <signal.h>
#include <sys/resource.h>

namespace testing_support {
namespace {
rlimit Saved;
}

bool LimitFileSize(uint64_t Bytes) {
  signal(SIGXFSZ, SIG_IGN);
  if (getrlimit(RLIMIT_FSIZE, &Saved) != 0) return false;
  rlimit Limit = Saved;
  Limit.rlim_cur = Bytes;
  return setrlimit(RLIMIT_FSIZE, &Limit) == 0;
}

void RemoveFileSizeLimit() {
  setrlimit(RLIMIT_FSIZE, &Saved);
}

bool UnsharedOpenLocksOthersOut() {
  return false;
}

}  // namespace testing_support
