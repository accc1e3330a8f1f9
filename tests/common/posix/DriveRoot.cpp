#include "tests/common/DriveRoot.h"

#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/common/TestSupport.h"

namespace testing_support {

TDriveRoot::TDriveRoot(const std::string& Directory) {
  std::vector<char> Here(4096);
  if (!getcwd(Here.data(), Here.size())) return;
  std::string Scratch = Native(Directory).string() + ".drive-XXXXXX";
  if (!mkdtemp(Scratch.data())) return;
  if (symlink(Native(Directory).c_str(), (Scratch + "/Q:").c_str()) != 0 ||
      chdir(Scratch.c_str()) != 0)
    return;
  FSaved = Here.data();
  FRoot = "Q:\\";
}

TDriveRoot::~TDriveRoot() {
  if (FRoot.empty()) return;
  std::vector<char> Scratch(4096);
  const bool Known = getcwd(Scratch.data(), Scratch.size()) != nullptr;
  if (chdir(FSaved.c_str()) != 0) return;
  if (!Known) return;
  unlink((std::string(Scratch.data()) + "/Q:").c_str());
  rmdir(Scratch.data());
}

}  // namespace testing_support
