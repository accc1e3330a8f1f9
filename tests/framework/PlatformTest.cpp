#include <varn/framework/platform/Platform.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/common/TestSupport.h"

using namespace varn;

namespace {

using testing_support::TempDir;
using testing_support::WriteFile;

constexpr uint64_t TicksPerSecond = 10000000;
// 1 January 1980 and 1 January 2108, 00:00:00, counted from 1601.
constexpr uint64_t Ticks1980 = 119600064000000000ULL;
constexpr uint64_t Ticks2108 = 159992928000000000ULL;

TEST(Platform, FindsEntriesPlainAndByWildcard) {
  TempDir Dir;
  WriteFile(Dir / "beta.txt", "b");
  WriteFile(Dir / "alpha.txt", "a");
  WriteFile(Dir / "gamma.dat", "g");

  const auto Plain = platform::FindEntry(Dir / "beta.txt");
  ASSERT_TRUE(Plain);
  EXPECT_EQ(Plain->Name, "beta.txt");
  EXPECT_FALSE(Plain->Attributes & platform::AttributeDirectory);

  const auto Wild = platform::FindEntry(Dir / "*.dat");
  ASSERT_TRUE(Wild);
  EXPECT_EQ(Wild->Name, "gamma.dat");
  EXPECT_TRUE(platform::FindEntry(Dir / "GAMMA.D?T"));
  EXPECT_TRUE(platform::FindEntry(Dir / "?lpha.*"));
  EXPECT_FALSE(platform::FindEntry(Dir / "*.exe"));
  EXPECT_FALSE(platform::FindEntry(Dir / "missing.txt"));
  EXPECT_FALSE(platform::FindEntry(""));

  const auto Directory = platform::FindEntry(Dir.Path());
  ASSERT_TRUE(Directory);
  EXPECT_TRUE(Directory->Attributes & platform::AttributeDirectory);
}

TEST(Platform, TellsDirectoriesFromFiles) {
  TempDir Dir;
  WriteFile(Dir / "file", "x");
  ASSERT_TRUE(platform::FileAttributes(Dir.Path()));
  EXPECT_TRUE(*platform::FileAttributes(Dir.Path()) & platform::AttributeDirectory);
  EXPECT_TRUE(*platform::FileAttributes(Dir.Path() + "\\") & platform::AttributeDirectory);
  ASSERT_TRUE(platform::FileAttributes(Dir / "file"));
  EXPECT_FALSE(*platform::FileAttributes(Dir / "file") & platform::AttributeDirectory);
  EXPECT_FALSE(platform::FileAttributes(Dir / "missing"));

  EXPECT_TRUE(platform::CreateDirectory(Dir / "sub"));
  EXPECT_FALSE(platform::CreateDirectory(Dir / "sub"));         // exists already
  EXPECT_FALSE(platform::CreateDirectory(Dir / "no\\parent"));  // one level only
  EXPECT_FALSE(platform::CreateDirectory(Dir / "file"));
}

TEST(Platform, PacksFileTimesOfTheYears1980To2107Only) {
  uint16_t Date = 0, Time = 0;
  ASSERT_TRUE(platform::FileTimeToDosDateTime(platform::FileTime{Ticks1980}, Date, Time));
  EXPECT_EQ(Date, (0 << 9) | (1 << 5) | 1);
  EXPECT_EQ(Time, 0);
  EXPECT_FALSE(platform::FileTimeToDosDateTime(platform::FileTime{Ticks1980 - 1}, Date, Time));
  ASSERT_TRUE(platform::FileTimeToDosDateTime(platform::FileTime{Ticks2108 - 1}, Date, Time));
  EXPECT_EQ(Date, (127 << 9) | (12 << 5) | 31);
  EXPECT_EQ(Time, (23 << 11) | (59 << 5) | 29);  // 23:59:59 rounds down to 58
  EXPECT_FALSE(platform::FileTimeToDosDateTime(platform::FileTime{Ticks2108}, Date, Time));

  platform::FileTime Back;
  ASSERT_TRUE(platform::DosDateTimeToFileTime((44 << 9) | (7 << 5) | 15,
                                              (13 << 11) | (45 << 5) | 15, Back));
  ASSERT_TRUE(platform::FileTimeToDosDateTime(Back, Date, Time));
  EXPECT_EQ(Date, (44 << 9) | (7 << 5) | 15);
  EXPECT_EQ(Time, (13 << 11) | (45 << 5) | 15);
  EXPECT_FALSE(platform::DosDateTimeToFileTime((44 << 9) | (13 << 5) | 15, 0, Back));  // month 13
}

TEST(Platform, LocalTimeConversionsAreInverse) {
  const platform::FileTime Universal{Ticks1980 + 40ULL * 365 * 86400 * TicksPerSecond + 12345};
  platform::FileTime Local, Again;
  ASSERT_TRUE(platform::FileTimeToLocalFileTime(Universal, Local));
  ASSERT_TRUE(platform::LocalFileTimeToFileTime(Local, Again));
  EXPECT_EQ(Again, Universal);
}

TEST(Platform, ReadsAndWritesOpenFiles) {
  TempDir Dir;
  const std::string Path = Dir / "data";
  const auto Out = platform::CreateFile(Path);
  ASSERT_NE(Out, platform::InvalidFileHandle);
  EXPECT_EQ(platform::WriteFile(Out, "0123456789", 10), 10);
  EXPECT_EQ(platform::SeekFile(Out, 0, platform::SeekOrigin::End), 10);
  EXPECT_EQ(platform::SeekFile(Out, -11, platform::SeekOrigin::Current), -1);
  const platform::FileTime When{Ticks1980 + 1000 * TicksPerSecond};
  EXPECT_TRUE(platform::SetFileLastWriteTime(Out, When));
  platform::CloseFile(Out);

  const auto In = platform::OpenFile(Path);
  ASSERT_NE(In, platform::InvalidFileHandle);
  platform::FileTime Seen;
  ASSERT_TRUE(platform::GetFileLastWriteTime(In, Seen));
  EXPECT_EQ(Seen, When);
  char Buffer[16];
  EXPECT_EQ(platform::SeekFile(In, 4, platform::SeekOrigin::Beginning), 4);
  EXPECT_EQ(platform::ReadFile(In, Buffer, 16), 6);
  EXPECT_EQ(platform::ReadFile(In, Buffer, 16), 0);
  platform::CloseFile(In);
  EXPECT_EQ(platform::OpenFile(Dir / "missing"), platform::InvalidFileHandle);
}

TEST(Platform, APathHoldingANulOpensNothing) {
  TempDir Dir;
  WriteFile(Dir / "a", "a");
  EXPECT_EQ(platform::CreateFile(Dir / std::string("b\0c", 3)), platform::InvalidFileHandle);
  EXPECT_FALSE(testing_support::Exists(Dir / "b"));
  EXPECT_EQ(platform::OpenFile(Dir / std::string("a\0c", 3)), platform::InvalidFileHandle);
}

TEST(Platform, ReplacesFilesAndTellsThemApart) {
  TempDir Dir;
  WriteFile(Dir / "a", "old");
  std::filesystem::create_directory(testing_support::Native(Dir / "sub"));
  EXPECT_EQ(platform::CreateNewFile(Dir / "a"), platform::InvalidFileHandle);
  const auto New = platform::CreateNewFile(Dir / "b");
  ASSERT_NE(New, platform::InvalidFileHandle);
  EXPECT_EQ(platform::WriteFile(New, "new", 3), 3);
  EXPECT_TRUE(platform::FlushFile(New));
  platform::CloseFile(New);

  const auto A = platform::IdentifyFile(Dir / "a");
  ASSERT_TRUE(A);
  EXPECT_EQ(platform::IdentifyFile(Dir / "sub\\..\\a"), A);
  EXPECT_NE(platform::IdentifyFile(Dir / "b"), A);
  EXPECT_FALSE(platform::IdentifyFile(Dir / "missing"));

  EXPECT_TRUE(platform::RenameFile(Dir / "b", Dir / "a"));
  EXPECT_EQ(testing_support::ReadFile(Dir / "a"), "new");
  EXPECT_FALSE(testing_support::Exists(Dir / "b"));
  EXPECT_FALSE(platform::RenameFile(Dir / "a", Dir / "sub"));
  EXPECT_FALSE(platform::DeleteFile(Dir / "sub"));
  EXPECT_TRUE(platform::DeleteFile(Dir / "a"));
  EXPECT_FALSE(testing_support::Exists(Dir / "a"));
}

TEST(Platform, NamesTheProcessEnvironment) {
  const std::string Current = platform::CurrentDirectory();
  ASSERT_FALSE(Current.empty());
  EXPECT_TRUE(Current.back() != '\\' || Current.size() <= 3);
  EXPECT_EQ(Current.find('/'), std::string::npos);

  const auto Temporary = platform::TemporaryPath();
  ASSERT_TRUE(Temporary);
  EXPECT_EQ(Temporary->back(), '\\');
  EXPECT_EQ(platform::TemporaryPath(), Temporary);
  // Either the shared directory itself (Windows) or a new, empty one of ours below it (POSIX),
  // which goes again here.
  const auto Trimmed = [](std::string Path) {
    while (Path.size() > 1 && (Path.back() == '/' || Path.back() == '\\'))
      Path.pop_back();
    return std::filesystem::path(Path);
  };
  const std::filesystem::path Made = Trimmed(testing_support::Native(*Temporary).string());
  const std::filesystem::path Shared = Trimmed(std::filesystem::temp_directory_path().string());
  if (Made != Shared) {
    EXPECT_EQ(Made.parent_path(), Shared);
    EXPECT_TRUE(std::filesystem::is_directory(Made));
    EXPECT_TRUE(std::filesystem::is_empty(Made));
    std::filesystem::remove(Made);
  }

  const std::string Module = platform::ModuleFileName();
  EXPECT_NE(Module.find("framework_tests"), std::string::npos);
  EXPECT_EQ(Module.find('/'), std::string::npos);
}

}  // namespace
