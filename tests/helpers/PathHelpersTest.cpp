#include <varn/support/PathHelpers.h>
#include <varn/support/Text.h>

#include <gtest/gtest.h>

#include <string>

using namespace varn;

namespace {

struct StringCase {
  std::string Input;
  std::string Expected;
};

TEST(PathHelpers, AddBackslash) {
  for (const auto& C :
       {StringCase{"", ""}, StringCase{"C:\\Temp", "C:\\Temp\\"}, StringCase{"C:\\", "C:\\"},
        StringCase{"C:", "C:\\"}, StringCase{"a/b", "a/b\\"}})
    EXPECT_EQ(AddBackslash(C.Input), C.Expected) << C.Input;
}

TEST(PathHelpers, RemoveBackslashRemovesExactlyOne) {
  for (const auto& C :
       {StringCase{"", ""}, StringCase{"C:\\Temp\\", "C:\\Temp"}, StringCase{"C:\\", "C:"},
        StringCase{"C:\\Temp\\\\", "C:\\Temp\\"}, StringCase{"\\", ""},
        StringCase{"C:\\Temp", "C:\\Temp"}, StringCase{"dir/", "dir/"}})
    EXPECT_EQ(RemoveBackslash(C.Input), C.Expected) << C.Input;
}

TEST(PathHelpers, DirectoryPartStopsAtBackslashOrColon) {
  for (const auto& C :
       {StringCase{"C:\\Temp\\setup.1", "C:\\Temp\\"}, StringCase{"C:setup.1", "C:"},
        StringCase{"setup.1", ""}, StringCase{"", ""}, StringCase{"a/b/c", ""},
        StringCase{"\\\\server\\share\\x", "\\\\server\\share\\"}})
    EXPECT_EQ(DirectoryPart(C.Input), C.Expected) << C.Input;
}

TEST(PathHelpers, FileNamePartIsCutTo255) {
  for (const auto& C :
       {StringCase{"C:\\Temp\\setup.1", "setup.1"}, StringCase{"C:\\Temp\\", ""},
        StringCase{"C:prog.exe", "prog.exe"}, StringCase{"tools\\prog.exe", "prog.exe"},
        StringCase{"a/b", "a/b"}, StringCase{"", ""}})
    EXPECT_EQ(FileNamePart(C.Input), C.Expected) << C.Input;
  const std::string Long(300, 'n');
  EXPECT_EQ(FileNamePart(Long), Long.substr(0, 255));
  EXPECT_EQ(FileNamePart("dir\\" + Long), Long.substr(0, 255));
}

TEST(PathHelpers, ReplaceExtensionNeverTakesADirectoryDot) {
  struct Case {
    std::string Path, Extension, Expected;
  };
  for (const auto& C :
       {Case{"D:\\setup.1", ".2", "D:\\setup.2"},
        Case{"D:\\dir.x\\setup", ".1", "D:\\dir.x\\setup.1"}, Case{"setup.", ".1", "setup.1"},
        Case{"C:\\inst\\setup.exe", ".1", "C:\\inst\\setup.1"}, Case{"setup.10", ".11", "setup.11"},
        Case{"", ".1", ".1"}, Case{"C:.hidden", ".1", "C:.1"}, Case{"a.b.c", ".1", "a.b.1"}})
    EXPECT_EQ(ReplaceExtension(C.Path, C.Extension), C.Expected) << C.Path;
}

TEST(PathHelpers, GetDelimitedField) {
  struct Case {
    std::string Text;
    int32_t Index;
    std::string Delimiter, Expected;
  };
  for (const auto& C :
       {Case{"1.2.3", 2, ".", "2"}, Case{"1.2.3", 4, ".", ""}, Case{"1.2.", 3, ".", ""},
        Case{"a;b", 0, ";", "a"}, Case{"a;b", -5, ";", "a"}, Case{"a;b", 2, ";", "b"},
        Case{"setup.exe;1", 1, ";", "setup.exe"}, Case{"abc", 1, ";", "abc"},
        Case{"a..b", 2, ".", ""}, Case{"a..b", 3, ".", "b"}, Case{"", 1, ".", ""},
        Case{"x", 2, "", ""}})
    EXPECT_EQ(GetDelimitedField(C.Text, C.Index, C.Delimiter), C.Expected)
        << C.Text << " #" << C.Index;
}

TEST(PathHelpers, CompareVersionStringsComparesFieldsAsText) {
  struct Case {
    std::string First, Second;
    int Expected;
  };
  for (const auto& C :
       {Case{"1.0.0.5", "1.0.0.5", 0}, Case{"2.0.0.0", "1.5.0.0", 1}, Case{"1.5.0.0", "2.0.0.0", 2},
        Case{"1.10.0.0", "1.9.0.0", 2}, Case{"1.0.0.0", "1.0", 1}, Case{"1.0", "1.0.0.0", 2},
        Case{"", "1.0.0.0", 2}, Case{"1.0.0.0", "", 1}, Case{"", "", 0}, Case{"01", "1", 2},
        Case{"2", "10", 1}, Case{"1..5", "1..7", 0}, Case{"1.0.0.6", "1.0.0.5", 1},
        Case{"1.\xE9", "1.a", 1}})
    EXPECT_EQ(CompareVersionStrings(C.First, C.Second), C.Expected)
        << C.First << " vs " << C.Second;
}

TEST(Text, NamesFoldOnlyTheAsciiLetters) {
  struct Case {
    std::string A, B;
    bool Same;
  };
  const Case Cases[] = {
      {"setup.EXE", "SETUP.exe", true},
      {"Zz", "zZ", true},
      // Neighbours of the letters, and letters of the code page above ASCII (a umlaut), stay.
      {"@[`{", "`{@[", false},
      {"\xE4", "\xC4", false},
      {"a", std::string("a\0", 2), false},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.A + " / " + C.B);
    EXPECT_EQ(varn::SameTextAscii(C.A, C.B), C.Same);
    EXPECT_EQ(varn::UpperAsciiText(C.A) == varn::UpperAsciiText(C.B), C.Same);
    EXPECT_EQ(varn::LowerAsciiText(C.A) == varn::LowerAsciiText(C.B), C.Same);
  }
  EXPECT_EQ(varn::UpperAsciiText("a\xE4z"), "A\xE4Z");
  EXPECT_EQ(varn::LowerAsciiText("A\xC4Z"), "a\xC4z");
}

}  // namespace
