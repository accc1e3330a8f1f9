#pragma once
// A drive root for tests of paths at the root of a drive: while a TDriveRoot lives, "Q:\NAME"
// names Directory\NAME. Windows maps the drive letter (as subst does); POSIX, where "Q:\NAME"
// is the relative path "Q:/NAME", links "Q:" to Directory in a scratch directory and makes that
// the current directory. Backends: tests/common/posix/, tests/common/win32/.
#include <string>

namespace testing_support {

class TDriveRoot {
 public:
  explicit TDriveRoot(const std::string& Directory);
  ~TDriveRoot();
  TDriveRoot(const TDriveRoot&) = delete;
  TDriveRoot& operator=(const TDriveRoot&) = delete;

  // "Q:\" when the mapping is in place, empty when the platform refused it.
  const std::string& Root() const { return FRoot; }

 private:
  std::string FRoot;
  std::string FSaved;
};

}  // namespace testing_support
