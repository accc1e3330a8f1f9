// Real executables made by the resource compiler at build time (see CMakeLists.txt), read by our
// PE and version-resource readers and, where the platform has it, by its own interface.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include <varn/framework/AsciiCase.h>
#include <varn/framework/Exceptions.h>
#include <varn/framework/platform/Platform.h>
#include <varn/framework/platform/VersionInfo.h>
#include <varn/support/PathHelpers.h>
#include <varn/ui/Application.h>
#include <varn/versioninfo/LoadVersionBlock.h>
#include <varn/versioninfo/PeImage.h>
#include <varn/versioninfo/PeVersionResource.h>
#include <varn/versioninfo/ResourceVersionBlock.h>
#include "tests/common/TestSupport.h"
#include "tests/versioninfo/SyntheticVersion.h"
#include "tests/versioninfo/VersionStrings.h"

using namespace varn;

namespace {

using versiontest::Strings;

std::string FixturePath(const std::string& Name) {
  return DirectoryPart(platform::ModuleFileName()) + "fixtures\\" + Name;
}

struct Expectation {
  const char* File;
  TLanguage Language;
  TCharacterSet CharacterSet;
  Strings Values;
};

// In declared order: Comment, CompanyName, FileDescription, FileVersion, InternalName,
// LegalCopyright, LegalTradeMarks, OriginalFileName, PrivateBuild, ProductName, ProductVersion,
// SpecialBuild, FileOS, FileType, FileSubType.
const Expectation Expectations[] = {
    {"app.exe",
     lnUSEnglish,
     csMultilingual,
     {"One comment", "Varn Test Company", "Application fixture", "65535.0.0.10", "app",
      "Caf\xE9 \xA9 2024 ?", "Varn(TM)", "app.exe", "private 1", "Varn Fixtures",
      "1.2 beta (build 7)", "", "Windows NT with 32 bit Windows", "Application", ""}},
    {"app.exe",
     lnGerman,
     csMultilingual,
     {"", "", "", "65535.0.0.10", "", "", "", "", "", "", "1.2.3.4", "",
      "Windows NT with 32 bit Windows", "Application", ""}},
    {"app.exe",
     lnUSEnglish,
     csUnicode,
     {"", "", "", "65535.0.0.10", "", "", "", "", "", "", "1.2.3.4", "",
      "Windows NT with 32 bit Windows", "Application", ""}},
    {"dll.dll",
     lnSwissFrench,
     csUnicode,
     {"", "Soci\xE9t\xE9 d'essai", "Biblioth\xE8que", "1.0.0.5", "dll", "", "", "", "",
      "Varn Fixtures", "2.0.0.0", "", "32 bit Windows", "Dynamic-Link Library", ""}},
    {"driver.exe",
     lnJapanese,
     csJapan,
     {"japanese table", "Printer driver company", "Printer driver", "3.1.4.1", "", "", "", "", "",
      "", "5.9.2.6", "", "Windows 3.0 or later with MS-Dos", "Device Driver", "Printer"}},
    {"driverunknown.exe",
     lnUSEnglish,
     csMultilingual,
     {"", "", "", "0.0.0.0", "", "", "", "", "", "", "0.0.0.1", "", "Unknown", "Device Driver",
      "Unknown"}},
    {"font.exe",
     lnRussian,
     csCyrillic,
     {"", "", "", "1.0.0.0", "", "", "", "", "", "Font", "TrueType 1", "", "Windows 3.0 or later",
      "Font", "TrueType"}},
    {"vxd.exe",
     lnFrench,
     csASCII,
     {"", "", "", "4.0.0.950", "vxd", "", "", "", "", "", "4.0.0.950", "ascii code page",
      "32 bit OS/2 with Presentation Manager", "Virtual Device Driver", ""}},
    {"unknowntype.exe",
     lnUSEnglish,
     csMultilingual,
     {"", "Unknown type", "", "7.7.7.7", "", "", "", "", "", "", "8.8.8.8", "", "Unknown",
      "Unknown", ""}},
    {"otherlanguage.exe",
     lnUSEnglish,
     csMultilingual,
     {"", "", "", "2.4.6.8", "", "", "", "", "", "", "1.3.5.7", "", "32 bit Windows", "Application",
      ""}},
    {"otherlanguage.exe",
     lnGerman,
     csMultilingual,
     {"Nur Deutsch", "Testfirma", "", "2.4.6.8", "", "", "", "", "", "", "zwei", "",
      "32 bit Windows", "Application", ""}},
    {"languages.exe",
     lnUSEnglish,
     csUnicode,
     {"", "English entry", "", "2.2.2.2", "", "", "", "", "", "", "2.2.2.2", "", "32 bit Windows",
      "Application", ""}},
    {"noversion.exe", lnUSEnglish, csMultilingual, {}},
};

std::string Trace(const Expectation& E) {
  return std::string(E.File) + " " + versioninfo::LanguageName(E.Language) + " " +
         versioninfo::CharacterSetName(E.CharacterSet);
}

TEST(VersionFixtures, OurReadersGiveTheExpectedStrings) {
  for (const Expectation& E : Expectations) {
    const auto Block = versioninfo::LoadVersionBlockFromFile(FixturePath(E.File));
    EXPECT_EQ(Block != nullptr, !E.Values[3].empty()) << Trace(E);
    const Strings Got = versiontest::Parse(Block.get(), E.Language, E.CharacterSet);
    EXPECT_EQ(Got, E.Values) << Trace(E) << "\n" << versiontest::Describe(Got);
  }
}

TEST(VersionFixtures, ThePlatformInterfaceIsAvailableWhereItShouldBe) {
  EXPECT_EQ(platform::VersionInfoApiAvailable(), VARN_EXPECT_VERSION_API != 0);
  const std::string Library = platform::VersionInfoLibraryPath();
  if (!platform::VersionInfoApiAvailable()) {
    EXPECT_EQ(Library, "");
    return;
  }
  // Loaded by full path from the system directory, not from beside the program.
  const std::string Lower = LowerAsciiText(Library);
  EXPECT_EQ(FileNamePart(Lower), "version.dll") << Library;
  EXPECT_NE(Lower.find("\\system32\\"), std::string::npos) << Library;
  EXPECT_NE(DirectoryPart(Library), DirectoryPart(platform::ModuleFileName()));
}

TEST(VersionFixtures, ThePlatformInterfaceAndOurReadersAgree) {
  if (!platform::VersionInfoApiAvailable()) GTEST_SKIP() << "no platform interface here";
  for (const Expectation& E : Expectations) {
    const auto Ours = versioninfo::LoadVersionBlockFromFile(FixturePath(E.File));
    const auto Theirs = versioninfo::LoadVersionBlockThroughApi(FixturePath(E.File));
    EXPECT_EQ(Ours != nullptr, Theirs != nullptr) << Trace(E);
    const Strings FromOurs = versiontest::Parse(Ours.get(), E.Language, E.CharacterSet);
    const Strings FromTheirs = versiontest::Parse(Theirs.get(), E.Language, E.CharacterSet);
    EXPECT_EQ(FromOurs, FromTheirs) << Trace(E) << "\nours:   " << versiontest::Describe(FromOurs)
                                    << "\ntheirs: " << versiontest::Describe(FromTheirs);
  }
}

TEST(VersionFixtures, ThePlatformInterfaceAndOurReadersAgreeOnPe32Plus) {
  if (!platform::VersionInfoApiAvailable()) GTEST_SKIP() << "no platform interface here";
  testing_support::TempDir Dir;
  const std::vector<uint8_t> Block = synthetic::Serialize(synthetic::VersionInfoNode(
      synthetic::Record(0x00030002, 0x00010000, 0x40004, 2, 0),
      {{u"040904E4", {{u"CompanyName", u"Sixty-four"}, {u"ProductVersion", u"x64"}}}}));
  for (bool Plus : {false, true}) {
    const std::string File = Dir / (Plus ? "plus.dll" : "plain.dll");
    // Plain layout: the decoys of the crowded one are out of bounds, and the platform picks a
    // language by its own preference, so it may well follow them.
    testing_support::WriteFile(File, synthetic::MakePe(Block, Plus).Bytes);
    const auto Ours = versioninfo::LoadVersionBlockFromFile(File);
    const auto Theirs = versioninfo::LoadVersionBlockThroughApi(File);
    ASSERT_TRUE(Ours);
    ASSERT_TRUE(Theirs) << Plus;
    const Strings FromOurs = versiontest::Parse(Ours.get());
    EXPECT_EQ(FromOurs[1], "Sixty-four");
    EXPECT_EQ(FromOurs, versiontest::Parse(Theirs.get())) << Plus;
  }
}

TEST(VersionResource, ReadsEachFixtureThroughItsProperties) {
  TVersionResource Resource(nullptr);
  for (const Expectation& E : Expectations) {
    Resource.SetFileName(FixturePath(E.File));
    Resource.SetLanguage(E.Language);
    Resource.SetCharacterSet(E.CharacterSet);
    EXPECT_EQ(versiontest::StringsOf(Resource.VersionInfo()), E.Values) << Trace(E);
  }
}

TEST(VersionResource, NothingSurvivesFromTheFileBefore) {
  TVersionResource Resource(nullptr);
  Resource.SetFileName(FixturePath("app.exe"));
  ASSERT_EQ(Resource.VersionInfo().CompanyName, "Varn Test Company");
  for (const char* Other : {"noversion.exe", "missing.exe", ""}) {
    Resource.SetFileName(FixturePath("app.exe"));
    Resource.SetFileName(Other[0] ? FixturePath(Other) : std::string());
    EXPECT_EQ(versiontest::StringsOf(Resource.VersionInfo()), Strings{}) << Other;
  }
  // A table only under another language keeps nothing of the first file's table either.
  Resource.SetFileName(FixturePath("app.exe"));
  Resource.SetFileName(FixturePath("otherlanguage.exe"));
  EXPECT_EQ(Resource.VersionInfo().CompanyName, "");
  EXPECT_EQ(Resource.VersionInfo().ProductVersion, "1.3.5.7");
}

TEST(VersionResource, StartsOnTheRunningProgram) {
  const TVersionResource Resource(nullptr);
  EXPECT_EQ(Resource.FileName(), platform::ModuleFileName());
  EXPECT_FALSE(Resource.FileNameStored());
  EXPECT_EQ(Resource.Language(), lnUSEnglish);
  EXPECT_EQ(Resource.CharacterSet(), csMultilingual);
  // The test program carries a version resource where the platform has them.
  EXPECT_EQ(Resource.VersionInfo().CompanyName, VARN_OWN_COMPANY_NAME);
  const auto Own = versioninfo::LoadVersionBlock(platform::ModuleFileName());
  EXPECT_EQ(versiontest::StringsOf(Resource.VersionInfo()), versiontest::Parse(Own.get()));
}

TEST(VersionResource, StoresTheFileNameOnlyWhenItIsNotTheProgramsOwn) {
  TVersionResource Resource(nullptr);
  const std::string Own = platform::ModuleFileName();
  const std::string OtherCase = UpperAsciiText(Own);
  ASSERT_NE(OtherCase, Own);
  struct Case {
    std::string Name;
    bool Stored;
  };
  const Case Cases[] = {{FixturePath("app.exe"), true},
                        {Own, false},
                        {OtherCase, true},
                        {Own + " ", true},
                        {"", true},
                        {Own, false}};
  for (const Case& C : Cases) {
    Resource.SetFileName(C.Name);
    EXPECT_EQ(Resource.FileName(), C.Name);
    EXPECT_EQ(Resource.FileNameStored(), C.Stored) << C.Name;
  }
}

TEST(VersionResource, RereadsOnEveryWriteEvenOfTheSameValue) {
  testing_support::TempDir Dir;
  const std::string Copy = Dir / "copy.exe";
  testing_support::WriteFile(Copy, testing_support::ReadFile(FixturePath("app.exe")));
  TVersionResource Resource(nullptr);
  Resource.SetFileName(Copy);
  EXPECT_EQ(Resource.VersionInfo().FileVersion, "65535.0.0.10");

  // The file changes behind the component's back; each write of a property reads it anew.
  testing_support::WriteFile(Copy, testing_support::ReadFile(FixturePath("font.exe")));
  Resource.SetFileName(Copy);
  EXPECT_EQ(Resource.VersionInfo().FileType, "Font");
  testing_support::WriteFile(Copy, testing_support::ReadFile(FixturePath("vxd.exe")));
  Resource.SetLanguage(lnUSEnglish);
  EXPECT_EQ(Resource.VersionInfo().FileType, "Virtual Device Driver");
  testing_support::WriteFile(Copy, testing_support::ReadFile(FixturePath("dll.dll")));
  Resource.SetCharacterSet(csMultilingual);
  EXPECT_EQ(Resource.VersionInfo().FileType, "Dynamic-Link Library");
  Resource.Refresh();
  EXPECT_EQ(Resource.VersionInfo().FileVersion, "1.0.0.5");
}

TEST(VersionResource, OutOfRangeSelectionRaisesFromTheWriteAfterTheFixedStrings) {
  TVersionResource Resource(nullptr);
  Resource.SetFileName(FixturePath("app.exe"));
  for (int Step = 0; Step < 2; ++Step) {
    try {
      if (Step == 0)
        Resource.SetLanguage(static_cast<TLanguage>(45));
      else
        Resource.SetCharacterSet(static_cast<TCharacterSet>(12));
      ADD_FAILURE() << "no exception at step " << Step;
    } catch (const Exception& Error) {
      EXPECT_EQ(Error.Message(), "");
    }
    const TVersionInfo& Info = Resource.VersionInfo();
    EXPECT_EQ(Info.FileVersion, "65535.0.0.10");
    EXPECT_EQ(Info.ProductVersion, "1.2.3.4");
    EXPECT_EQ(Info.FileOS, "Windows NT with 32 bit Windows");
    EXPECT_EQ(Info.FileType, "Application");
    EXPECT_EQ(Info.CompanyName, "");
    EXPECT_EQ(Info.ProductName, "");
    if (Step == 0) Resource.SetLanguage(lnUSEnglish);
  }
}

TEST(VersionResource, SharedInstanceBelongsToTheApplication) {
  ASSERT_EQ(VersionResource, nullptr);
  CreateVersionResource();
  ASSERT_NE(VersionResource, nullptr);
  TVersionResource* First = VersionResource;
  EXPECT_EQ(First->Owner(), &Application());
  const auto& Owned = Application().Components();
  EXPECT_NE(std::find(Owned.begin(), Owned.end(), First), Owned.end());
  EXPECT_EQ(First->FileName(), platform::ModuleFileName());
  EXPECT_EQ(First->VersionInfo().CompanyName, VARN_OWN_COMPANY_NAME);
  CreateVersionResource();
  EXPECT_EQ(VersionResource, First);

  // How the overwrite rules use it: write a path, read the file version.
  VersionResource->SetFileName(FixturePath("dll.dll"));
  EXPECT_EQ(VersionResource->VersionInfo().FileVersion, "1.0.0.5");
}

// Positions worth damaging: the headers and the bytes around the version block.
std::vector<size_t> InterestingPositions(const std::vector<uint8_t>& Bytes) {
  std::vector<size_t> Positions;
  for (size_t I = 0; I < std::min<size_t>(Bytes.size(), 1024); ++I)
    Positions.push_back(I);
  const std::u16string Key = u"VS_VERSION_INFO";
  std::vector<uint8_t> Needle;
  for (char16_t Unit : Key) {
    Needle.push_back(static_cast<uint8_t>(Unit));
    Needle.push_back(0);
  }
  const auto Found = std::search(Bytes.begin(), Bytes.end(), Needle.begin(), Needle.end());
  if (Found != Bytes.end()) {
    const size_t At = static_cast<size_t>(Found - Bytes.begin());
    for (size_t I = At > 1024 ? At - 1024 : 0; I < std::min(Bytes.size(), At + 1024); ++I)
      Positions.push_back(I);
  }
  return Positions;
}

std::unique_ptr<versioninfo::VersionBlock> ReadFromBytes(const std::vector<uint8_t>& Bytes) {
  TMemoryStream Stream(Bytes);
  auto Block = versioninfo::ReadVersionResource(Stream);
  if (!Block) return nullptr;
  return std::make_unique<versioninfo::ResourceVersionBlock>(std::move(*Block));
}

std::optional<versioninfo::PeImage> OpenImage(const std::vector<uint8_t>& Bytes) {
  return versioninfo::PeImage::Open(
      Bytes.size(), [&Bytes](uint64_t Offset, size_t Count, std::vector<uint8_t>& Out) {
        Out.assign(Bytes.begin() + static_cast<std::ptrdiff_t>(Offset),
                   Bytes.begin() + static_cast<std::ptrdiff_t>(Offset + Count));
        return true;
      });
}

// The image headers and import list, as the build's checks of loader.exe read them; a cut file
// gives the whole list or none, never a part of it.
TEST(VersionFixtures, ImageHeadersAndImportsOfRealFiles) {
  for (const char* File : {"app.exe", "dll.dll"}) {
    const std::string Text = testing_support::ReadFile(FixturePath(File));
    const std::vector<uint8_t> Bytes(Text.begin(), Text.end());
    const auto Image = OpenImage(Bytes);
    ASSERT_TRUE(Image) << File;
    EXPECT_EQ(Image->Machine(), versioninfo::PeImage::MachineI386) << File;
    EXPECT_FALSE(Image->IsPe32Plus()) << File;
    EXPECT_EQ(Image->Subsystem(), versioninfo::PeImage::SubsystemWindowsConsole) << File;
    const auto Modules = Image->ImportedModules();
    ASSERT_TRUE(Modules) << File;
    EXPECT_NE(std::find(Modules->begin(), Modules->end(), "KERNEL32.dll"), Modules->end()) << File;
    for (size_t Length = 0; Length < Bytes.size(); Length += 97) {
      const std::vector<uint8_t> Cut(Bytes.begin(), Bytes.begin() + Length);
      const auto CutImage = OpenImage(Cut);
      if (!CutImage) continue;
      const auto CutModules = CutImage->ImportedModules();
      if (CutModules) {
        EXPECT_EQ(*CutModules, *Modules) << File << " cut at " << Length;
      }
    }
  }
}

TEST(VersionFixtures, TruncatedFilesGiveOriginalOrEmptyStrings) {
  const uint32_t Seed = 6061;
  std::mt19937 Random(Seed);
  for (const char* File : {"app.exe", "dll.dll", "driver.exe"}) {
    const std::string Text = testing_support::ReadFile(FixturePath(File));
    const std::vector<uint8_t> Bytes(Text.begin(), Text.end());
    const auto Whole = ReadFromBytes(Bytes);
    ASSERT_TRUE(Whole) << File;
    const Strings Original = versiontest::Parse(Whole.get());
    const std::string Dotted = versiontest::Parse(Whole.get(), lnArabic)[10];
    std::vector<size_t> Lengths = InterestingPositions(Bytes);
    for (int I = 0; I < 300; ++I)
      Lengths.push_back(Random() % Bytes.size());
    for (size_t Length : Lengths) {
      const std::vector<uint8_t> Cut(Bytes.begin(), Bytes.begin() + Length);
      const Strings Got = versiontest::Parse(ReadFromBytes(Cut).get());
      for (size_t I = 0; I < Got.size(); ++I)
        EXPECT_TRUE(Got[I].empty() || Got[I] == Original[I] || (I == 10 && Got[I] == Dotted))
            << File << " cut at " << Length << " seed " << Seed << ": " << Got[I];
    }
  }
}

TEST(VersionFixtures, BitFlippedFilesAreReadSafely) {
  const uint32_t Seed = 4711;
  std::mt19937 Random(Seed);
  for (const char* File : {"app.exe", "font.exe", "otherlanguage.exe"}) {
    const std::string Text = testing_support::ReadFile(FixturePath(File));
    const std::vector<uint8_t> Bytes(Text.begin(), Text.end());
    const std::vector<size_t> Positions = InterestingPositions(Bytes);
    int Readable = 0;
    for (int Round = 0; Round < 1500; ++Round) {
      std::vector<uint8_t> Flipped = Bytes;
      for (int I = 1 + static_cast<int>(Random() % 3); I > 0; --I)
        Flipped[Positions[Random() % Positions.size()]] ^=
            static_cast<uint8_t>(1u << (Random() % 8));
      const auto Block = ReadFromBytes(Flipped);
      if (Block) ++Readable;
      const Strings Got = versiontest::Parse(Block.get());
      for (const std::string& Value : Got)
        ASSERT_LE(Value.size(), 65535u) << File << " round " << Round << " seed " << Seed;
    }
    // Most single flips miss what matters, so most files stay readable.
    EXPECT_GT(Readable, 0) << File;
  }
}

}  // namespace
