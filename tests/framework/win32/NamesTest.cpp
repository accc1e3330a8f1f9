// The Windows backend: paths between the program's ANSI text and the wide-character calls, the
// private temporary directory, and starting a program through the shell.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <varn/framework/platform/Platform.h>
#include <varn/framework/platform/win32/Win32.h>

#include <aclapi.h>
#include <sddl.h>

#include "tests/common/TestSupport.h"

using namespace varn;
namespace fs = std::filesystem;

namespace {

TEST(WindowsNames, PathsKeepTheirAnsiFormAndCarryTheRestAsUtf8) {
  ASSERT_EQ(GetACP(), 1252u) << "the cases are written for Windows-1252";
  struct Case {
    const char* Name;
    std::string Internal;
    std::wstring Wide;
  };
  const Case Cases[] = {
      {"ASCII", "C:\\media\\setup.1", L"C:\\media\\setup.1"},
      {"Windows-1252 stays as the ANSI calls took it", "C:\\caf\xE9 \x80\\\x81",
       L"C:\\caf\u00E9 \u20AC\\\u0081"},
      {"a component outside the code page", "C:\\users\\\x01\xC5\x81ukasz\\Temp",
       L"C:\\users\\\u0141ukasz\\Temp"},
      {"two of them, and the last one", "\x01\xE9\xAC\xBC\\caf\xE9\\\x01\xE9\xAC\xBC x",
       L"\u9B3C\\caf\u00E9\\\u9B3C x"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(platform::win32::Wide(C.Internal), C.Wide);
    EXPECT_EQ(platform::win32::FromWide(C.Wide), C.Internal);
  }
  // A mark that FromWide would not have set is text of the code page, never UTF-8: an archived
  // name cannot turn into "..".
  EXPECT_EQ(platform::win32::Wide("C:\\\x01.."), L"C:\\\u0001..");
  EXPECT_EQ(platform::win32::Wide("C:\\\x01\xE9"), L"C:\\\u0001\u00E9");
}

TEST(WindowsNames, NativeTextIsUtf8) {
  ASSERT_EQ(GetACP(), 1252u);
  EXPECT_EQ(platform::NativeText("caf\xE9 \x80\x81"), "café €\\x81");
  EXPECT_EQ(platform::NativeText("a\tb", platform::ControlCharacters::Escaped), "a\\x09b");
  EXPECT_EQ(platform::InternalText("café €\\x81"), "caf\xE9 \x80\x81");
  EXPECT_EQ(platform::InternalText("鬼"), std::nullopt);
  EXPECT_EQ(platform::NativePath("C:\\\x01\xE9\xAC\xBC\\caf\xE9"), "C:\\鬼\\café");
  EXPECT_EQ(platform::InternalPath("C:\\鬼\\café"), "C:\\\x01\xE9\xAC\xBC\\caf\xE9");
  EXPECT_EQ(platform::NativeTextWidth("鬼é"), 2u);
}

TEST(WindowsNames, TheFileSystemTakesEveryPath) {
  testing_support::TempDir Dir;
  const fs::path Wide = fs::path(platform::win32::Wide(Dir.Path())) / L"\u0141ukasz \u9B3C";
  fs::create_directory(Wide);
  // The way the loader meets it: the directory from the OS, an archived name appended.
  const std::string Directory = platform::win32::FromWide(Wide.wstring());
  ASSERT_NE(Directory.find('\x01'), std::string::npos);
  const auto Entry = platform::FindEntry(Directory);
  ASSERT_TRUE(Entry);
  EXPECT_EQ(Entry->Name, "\x01\xC5\x81ukasz \xE9\xAC\xBC");
  EXPECT_TRUE(Entry->Attributes & platform::AttributeDirectory);
  const platform::FileHandle File = platform::CreateFile(Directory + "\\caf\xE9.txt");
  ASSERT_NE(File, platform::InvalidFileHandle);
  EXPECT_EQ(platform::WriteFile(File, "x", 1), 1);
  platform::CloseFile(File);
  EXPECT_TRUE(fs::exists(Wide / L"caf\u00E9.txt"));
  EXPECT_EQ(testing_support::ReadFile(Directory + "\\caf\xE9.txt"), "x");
  EXPECT_TRUE(platform::DeleteFile(Directory + "\\caf\xE9.txt"));
}

// The access list of a directory as SDDL text.
std::string AccessList(const std::wstring& Path) {
  PSECURITY_DESCRIPTOR Descriptor = nullptr;
  PACL Dacl = nullptr;
  if (GetNamedSecurityInfoW(Path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &Dacl, nullptr, &Descriptor) != ERROR_SUCCESS)
    return std::string();
  wchar_t* Text = nullptr;
  std::string Sddl;
  if (ConvertSecurityDescriptorToStringSecurityDescriptorW(
          Descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &Text, nullptr))
    Sddl = platform::win32::Utf8FromWide(Text);
  LocalFree(Text);
  LocalFree(Descriptor);
  return Sddl;
}

TEST(WindowsNames, TheTemporaryDirectoryIsTheUsersSystemsAndAdministratorsAlone) {
  // Whether this file system keeps the access list a directory is made with (Wine's keeps none
  // where it cannot store extended attributes).
  testing_support::TempDir Dir;
  const std::wstring Probe = platform::win32::Wide(Dir / "probe");
  SECURITY_ATTRIBUTES Attributes{sizeof Attributes, nullptr, FALSE};
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"D:P(A;OICI;FA;;;SY)", SDDL_REVISION_1, &Attributes.lpSecurityDescriptor, nullptr));
  ASSERT_TRUE(CreateDirectoryW(Probe.c_str(), &Attributes));
  LocalFree(Attributes.lpSecurityDescriptor);
  if (AccessList(Probe) != "D:P(A;OICI;FA;;;SY)")
    GTEST_SKIP() << "this file system keeps no access lists (" << AccessList(Probe) << ")";

  const auto Temporary = platform::TemporaryPath();
  ASSERT_TRUE(Temporary);
  const std::string Sddl = AccessList(platform::win32::Wide(*Temporary));
  EXPECT_EQ(Sddl.rfind("D:P", 0), 0u) << Sddl << ": nothing inherited from TEMP";
  size_t Entries = 0;
  for (size_t At = Sddl.find("(A;"); At != std::string::npos; At = Sddl.find("(A;", At + 1))
    ++Entries;
  EXPECT_EQ(Entries, 3u) << Sddl;
  EXPECT_NE(Sddl.find(";;;SY)"), std::string::npos) << Sddl;
  EXPECT_NE(Sddl.find(";;;BA)"), std::string::npos) << Sddl;
  EXPECT_NE(Sddl.find(";;;S-1-5-21-"), std::string::npos) << Sddl << ": the user";
  fs::remove(fs::path(platform::win32::Wide(*Temporary)));
}

TEST(WindowsNames, TheTemporaryDirectoryIsNewAndPrivate) {
  const auto Temporary = platform::TemporaryPath();
  ASSERT_TRUE(Temporary);
  wchar_t Shared[MAX_PATH + 2];
  ASSERT_GT(GetTempPathW(MAX_PATH + 2, Shared), 0u);
  const std::wstring Made = platform::win32::Wide(*Temporary);
  EXPECT_EQ(Made.rfind(std::wstring(Shared) + L"varn-setup.", 0), 0u);
  EXPECT_EQ(Made.size(), wcslen(Shared) + 18) << "six random characters and a backslash";
  EXPECT_EQ(platform::TemporaryPath(), Temporary) << "one per process";
  fs::remove(fs::path(Made));
}

TEST(WindowsNames, TheShellStartsProgramsOnly) {
  testing_support::TempDir Dir;
  wchar_t System[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryW(System, MAX_PATH), 0u);
  const std::string Shell = platform::win32::FromWide(System) + "\\cmd.exe";
  const std::string Out = Dir / "out.txt";
  const auto Started = platform::StartProgramElevated(Shell, "/c echo started>\"" + Out + "\"", 0);
  EXPECT_TRUE(Started.Started) << Started.Reason;
  for (int I = 0; I < 100 && !testing_support::Exists(Out); ++I)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(testing_support::Exists(Out)) << "the parameters reached the program";

  // A document is not opened through its association, not even for a program's name.
  testing_support::WriteFile(Dir / "readme.txt", "text\r\n");
  testing_support::WriteFile(Dir / "setup.exe", "text\r\n");
  for (const char* Name : {"readme.txt", "setup.exe"}) {
    SCOPED_TRACE(Name);
    const auto Refused = platform::StartProgramElevated(Dir / Name, "", 0);
    EXPECT_FALSE(Refused.Started);
    EXPECT_FALSE(Refused.Reason.empty());
  }
}

}  // namespace
