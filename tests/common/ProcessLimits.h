#pragma once
// Test-only OS calls the platform layer has no role for.
#include <cstdint>

namespace testing_support {

// Limits the size of files this process writes (a full disk in miniature); false where the
// platform has no such limit. RemoveFileSizeLimit restores what was there before.
bool LimitFileSize(uint64_t Bytes);
void RemoveFileSizeLimit();

// Whether a file opened without sharing keeps every other open of it out, as on Windows; POSIX
// has no such lock.
bool UnsharedOpenLocksOthersOut();

}  // namespace testing_support
