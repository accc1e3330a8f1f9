#include "tests/common/DriveRoot.h"

#include <varn/framework/platform/win32/Win32.h>

using namespace varn;

namespace testing_support {

TDriveRoot::TDriveRoot(const std::string& Directory) {
  if (GetDriveTypeA("Q:\\") != DRIVE_NO_ROOT_DIR) return;  // taken already
  if (!DefineDosDeviceA(0, "Q:", Directory.c_str())) return;
  // Wine accepts the definition but does not resolve files through it.
  const DWORD Attributes = GetFileAttributesA("Q:\\");
  if (Attributes == INVALID_FILE_ATTRIBUTES || !(Attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DefineDosDeviceA(DDD_REMOVE_DEFINITION, "Q:", nullptr);
    return;
  }
  FRoot = "Q:\\";
}

TDriveRoot::~TDriveRoot() {
  if (!FRoot.empty()) DefineDosDeviceA(DDD_REMOVE_DEFINITION, "Q:", nullptr);
}

}  // namespace testing_support
