#pragma once
// A record of everything under a directory (kind, permissions, bytes, link target), so a test
// can prove which entries an operation added, removed or changed, and that nothing else moved.
// Needs no test framework: the fuzz targets use it too.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

struct TreeEntry {
  std::filesystem::file_type Kind = std::filesystem::file_type::none;
  std::filesystem::perms Permissions = std::filesystem::perms::none;
  std::string Bytes;       // regular files only
  std::string LinkTarget;  // symbolic links only
  friend bool operator==(const TreeEntry&, const TreeEntry&) = default;
};

// Keyed by the path relative to the root, '/' between components; links are not followed.
using TreeSnapshot = std::map<std::string, TreeEntry>;

TreeSnapshot SnapshotTree(const std::filesystem::path& Root);

// "added X", "removed X", "changed X" for every entry that differs, in path order.
std::vector<std::string> TreeDifferences(const TreeSnapshot& Before, const TreeSnapshot& After);

// The differences whose path is not Directory itself or inside it (Directory relative to the
// root, '/' between components).
std::vector<std::string> TreeDifferencesOutside(const TreeSnapshot& Before,
                                                const TreeSnapshot& After,
                                                const std::string& Directory);

}  // namespace testing_support
