// The POSIX backend's conversion of names between the code page of archives and UTF-8.
#include <gtest/gtest.h>

#include <varn/framework/platform/Platform.h>

#include "tests/common/TestSupport.h"

using namespace varn;

namespace {

// Each test leaves the code page as the program starts with it.
class Names : public ::testing::Test {
 protected:
  void TearDown() override { ASSERT_TRUE(platform::SetNameCodePage(1252)); }
};

TEST_F(Names, ConvertBothWaysInTheCodePageChosen) {
  struct Case {
    uint32_t CodePage;
    std::string Archived, Native;
  };
  const std::vector<Case> Cases = {
      {1252,
       "caf\xE9 Stra\xDF"
       "e \x80",
       "café Straße €"},
      // 0x80 to 0x9F, with the five bytes Windows-1252 leaves undefined.
      {1252, "\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8D\x8E\x8F",
       "€\\x81‚ƒ„…†‡ˆ‰Š‹Œ\\x8DŽ\\x8F"},
      {1252, "\x90\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9D\x9E\x9F",
       "\\x90‘’“”•–—˜™š›œ\\x9DžŸ"},
      {1251, "\xCF\xF0\xE8\xE2\xE5\xF2 \x98", "Привет \\x98"},
      {437, "\x80\xE1", "Çß"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Native);
    ASSERT_TRUE(platform::SetNameCodePage(C.CodePage));
    EXPECT_EQ(platform::NativeText(C.Archived), C.Native);
    EXPECT_EQ(platform::InternalText(C.Native), C.Archived);
    EXPECT_EQ(platform::NativePath("dir\\" + C.Archived), "dir/" + C.Native);
    EXPECT_EQ(platform::InternalPath("dir/" + C.Native), "dir\\" + C.Archived);
  }
}

TEST_F(Names, RefuseWhatTheCodePageCannotHold) {
  EXPECT_EQ(platform::InternalText("😀 smile.txt"), std::nullopt);
  EXPECT_EQ(platform::InternalText("Привет"), std::nullopt);
  EXPECT_EQ(platform::InternalText("bad \xE9 UTF-8"), std::nullopt);
  // Not single-byte, not known, not ASCII-based (EBCDIC): the code page stays.
  for (const uint32_t CodePage : {932u, 65001u, 12345u, 37u})
    EXPECT_FALSE(platform::SetNameCodePage(CodePage)) << CodePage;
  EXPECT_EQ(platform::NameCodePage(), 1252u);
}

TEST_F(Names, ShowControlCharactersEscapedAndCountCharacters) {
  const std::string Shown =
      platform::NativeText("a\tb\x7F\xE9", platform::ControlCharacters::Escaped);
  EXPECT_EQ(Shown, "a\\x09b\\x7Fé");
  EXPECT_EQ(platform::InternalText(Shown), "a\tb\x7F\xE9");
  EXPECT_EQ(platform::NativeTextWidth(Shown), 11u);
  // \xNN of a byte the code page defines is text, not an escape.
  EXPECT_EQ(platform::InternalText("\\x41\\xE9"), "\\x41\\xE9");
}

// Names the code page lacks, and a '\\', which is a character of a POSIX name: one directory
// each, never two.
TEST_F(Names, KeepPathsWhoseNamesTheCodePageLacks) {
  for (const std::string Name : {"Загрузки 😀", "a\\b", "\\", "Загрузки\\b"}) {
    SCOPED_TRACE(Name);
    testing_support::TempDir Dir;
    const std::string Native = platform::NativePath(Dir.Path()) + "/" + Name;
    std::filesystem::create_directory(Native);
    const std::string Internal = platform::InternalPath(Native);
    EXPECT_EQ(platform::NativePath(Internal), Native);
    EXPECT_EQ(Internal.rfind('\\'), Dir.Path().size());
    const std::string File = Internal + "\\caf\xE9";
    const platform::FileHandle Handle = platform::CreateFile(File);
    ASSERT_NE(Handle, platform::InvalidFileHandle);
    platform::CloseFile(Handle);
    EXPECT_TRUE(std::filesystem::exists(Native + "/café"));
    const auto Found = platform::FindEntry(Internal + "\\caf*");
    ASSERT_TRUE(Found);
    EXPECT_EQ(Found->Name, "caf\xE9");
  }
  // An archived name that begins with the mark stays itself.
  EXPECT_EQ(platform::NativePath("dir\\\x01..\\\x01x"), "dir/\x01../\x01x");
}

// As Windows folds names: the code page's letters, not ASCII alone.
TEST_F(Names, FoldNamesToUpperCaseThroughTheCodePage) {
  struct Case {
    uint32_t CodePage;
    std::string Name, Upper;
  };
  const std::vector<Case> Cases = {
      {1252, "caf\xE9 \xFF.txt", "CAF\xC9 \x9F.TXT"},
      // ß and µ have no upper case of their own in 1252; an undefined byte stays.
      {1252, "\xDF\xB5\x81", "\xDF\xB5\x81"},
      {1251, "\xEF\xF0\xE8\xE2\xE5\xF2", "\xCF\xD0\xC8\xC2\xC5\xD2"},
      {437, "\x82t\x82", "\x90T\x90"},
  };
  for (const Case& C : Cases) {
    ASSERT_TRUE(platform::SetNameCodePage(C.CodePage));
    EXPECT_EQ(platform::UpperCaseName(C.Name), C.Upper) << C.CodePage;
  }
}

}  // namespace
