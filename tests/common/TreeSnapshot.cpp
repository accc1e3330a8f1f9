#include "tests/common/TreeSnapshot.h"

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace testing_support {

TreeSnapshot SnapshotTree(const fs::path& Root) {
  TreeSnapshot Result;
  std::error_code Error;
  for (auto It = fs::recursive_directory_iterator(Root, Error);
       !Error && It != fs::recursive_directory_iterator(); It.increment(Error)) {
    const fs::file_status Status = It->symlink_status();
    TreeEntry Entry;
    Entry.Kind = Status.type();
    Entry.Permissions = Status.permissions();
    if (Entry.Kind == fs::file_type::regular) {
      std::ifstream In(It->path(), std::ios::binary);
      std::ostringstream Bytes;
      Bytes << In.rdbuf();
      Entry.Bytes = Bytes.str();
    } else if (Entry.Kind == fs::file_type::symlink) {
      Entry.LinkTarget = fs::read_symlink(It->path(), Error).generic_string();
    }
    Result[fs::relative(It->path(), Root).generic_string()] = Entry;
  }
  return Result;
}

std::vector<std::string> TreeDifferences(const TreeSnapshot& Before, const TreeSnapshot& After) {
  std::vector<std::string> Result;
  auto B = Before.begin();
  auto A = After.begin();
  while (B != Before.end() || A != After.end()) {
    if (A == After.end() || (B != Before.end() && B->first < A->first)) {
      Result.push_back("removed " + (B++)->first);
    } else if (B == Before.end() || A->first < B->first) {
      Result.push_back("added " + (A++)->first);
    } else {
      if (!(A->second == B->second)) Result.push_back("changed " + A->first);
      ++A;
      ++B;
    }
  }
  return Result;
}

std::vector<std::string> TreeDifferencesOutside(const TreeSnapshot& Before,
                                                const TreeSnapshot& After,
                                                const std::string& Directory) {
  std::vector<std::string> Result;
  for (const std::string& Difference : TreeDifferences(Before, After)) {
    const std::string Path = Difference.substr(Difference.find(' ') + 1);
    if (Path != Directory && Path.rfind(Directory + "/", 0) != 0) Result.push_back(Difference);
  }
  return Result;
}

}  // namespace testing_support
