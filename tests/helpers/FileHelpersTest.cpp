#include <gtest/gtest.h>

#include <varn/framework/platform/Platform.h>
#include <varn/support/PathHelpers.h>
#include "tests/common/TestSupport.h"

using namespace varn;

namespace {

using testing_support::TempDir;
using testing_support::WriteFile;

TEST(FileHelpers, IsExistingFileAcceptsFilesOnly) {
  TempDir Dir;
  WriteFile(Dir / "setup.1", "x");
  platform::CreateDirectory(Dir / "setup.2");
  EXPECT_TRUE(IsExistingFile(Dir / "setup.1"));
  EXPECT_FALSE(IsExistingFile(Dir / "setup.2"));  // a directory is not a file
  EXPECT_FALSE(IsExistingFile(Dir / "setup.3"));
  EXPECT_FALSE(IsExistingFile(Dir.Path()));
  EXPECT_FALSE(IsExistingFile(""));
  // Wildcards act as wildcards; the first entry found is judged.
  EXPECT_TRUE(IsExistingFile(Dir / "setup.?"));
  EXPECT_TRUE(IsExistingFile(Dir / "*.1"));
  EXPECT_FALSE(IsExistingFile(Dir / "*.2"));
}

TEST(FileHelpers, AFileDatedOutsideThePackedRangeDoesNotExist) {
  TempDir Dir;
  for (const auto& [Name, Ticks, Exists] :
       {std::tuple{"old", 100000000000000000ULL, false},        // 1917
        std::tuple{"ok", 130000000000000000ULL, true},          // 2012
        std::tuple{"future", 170000000000000000ULL, false}}) {  // 2139
    const std::string Path = Dir / Name;
    const auto File = platform::CreateFile(Path);
    ASSERT_NE(File, platform::InvalidFileHandle);
    ASSERT_TRUE(platform::SetFileLastWriteTime(File, platform::FileTime{Ticks}));
    platform::CloseFile(File);
    EXPECT_EQ(IsExistingFile(Path), Exists) << Name;
  }
}

TEST(FileHelpers, IsExistingDirectoryAcceptsDirectoriesOnly) {
  TempDir Dir;
  WriteFile(Dir / "file", "x");
  EXPECT_TRUE(IsExistingDirectory(Dir.Path()));
  EXPECT_TRUE(IsExistingDirectory(Dir.Path() + "\\"));
  EXPECT_FALSE(IsExistingDirectory(Dir / "file"));
  EXPECT_FALSE(IsExistingDirectory(Dir / "missing"));
  EXPECT_FALSE(IsExistingDirectory(""));
}

TEST(FileHelpers, CreateDirectoryChainCreatesMissingParents) {
  TempDir Dir;
  CreateDirectoryChain(Dir / "A\\B\\C\\");
  EXPECT_TRUE(IsExistingDirectory(Dir / "A"));
  EXPECT_TRUE(IsExistingDirectory(Dir / "A\\B\\C"));
  CreateDirectoryChain(Dir / "A\\B\\C");  // existing: nothing happens
  EXPECT_TRUE(IsExistingDirectory(Dir / "A\\B\\C"));

  // A file in the way is skipped silently; nothing below it appears.
  WriteFile(Dir / "F", "x");
  CreateDirectoryChain(Dir / "F\\G");
  EXPECT_FALSE(IsExistingDirectory(Dir / "F\\G"));
}

TEST(FileHelpers, CreateDirectoryChainEndsAtShortComponentsAndColons) {
  // None of these may recurse without end or create anything.
  CreateDirectoryChain("");
  CreateDirectoryChain("\\");
  CreateDirectoryChain("C:");
  CreateDirectoryChain("C:\\");
  TempDir Dir;
  // "ab:" would be its own parent; the climb must end there.
  CreateDirectoryChain(Dir / "ab:");
  CreateDirectoryChain("ab:");
  CreateDirectoryChain("abc:\\");
  SUCCEED();
}

}  // namespace
