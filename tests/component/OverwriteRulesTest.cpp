// The comparing overwrite modes on real files: versions from fixture executables with version
// resources, times set by earlier extractions.
#include <gtest/gtest.h>

#include <filesystem>

#include <varn/framework/DateTime.h>
#include <varn/framework/platform/Platform.h>
#include <varn/support/PathHelpers.h>
#include "tests/component/ExtractionFixture.h"

using namespace varn;

namespace {

using hand_laid::Bytes;
using hand_laid::LiteralEntry;
namespace fs = std::filesystem;

// Built beside this test by the version-information tests.
std::string VersionFixture(const std::string& Name) {
  return DirectoryPart(platform::ModuleFileName()) + "..\\versioninfo\\fixtures\\" + Name;
}

class OverwriteRules : public Extraction {
 protected:
  const double When = EncodeDate(2022, 5, 6) + EncodeTime(7, 8, 10, 0);

  // Extracts one file named Name with the given content, date and version under Mode; true
  // when the target then holds Content (it was written).
  bool ExtractOver(const std::string& Name, const std::string& Content, double Date,
                   const std::string& Version, TOverwriteType Mode) {
    auto Entry = LiteralEntry(Name, Bytes(Content));
    Entry.FileDate = Date;
    Entry.Version = Version;
    Archive({Entry});
    C.Overwrite = Mode;
    Select({Name});
    C.Extract();
    return Read(Name) == Content;
  }

  void PlaceFixture(const std::string& Fixture, const std::string& Name) {
    if (!testing_support::Exists(VersionFixture(Fixture))) GTEST_SKIP() << "no fixture " << Fixture;
    fs::create_directories(testing_support::Native(Dir / "out"));
    fs::copy_file(testing_support::Native(VersionFixture(Fixture)),
                  testing_support::Native(Out(Name)), fs::copy_options::overwrite_existing);
  }
};

TEST_F(OverwriteRules, DateReplacesOnlyAnOlderFile) {
  ASSERT_TRUE(ExtractOver("f", "first", When, "", owAlways));
  EXPECT_FALSE(ExtractOver("f", "same time", When, "", owDate));
  EXPECT_FALSE(ExtractOver("f", "older", When - 2.0 / 86400, "", owDate));
  EXPECT_TRUE(ExtractOver("f", "newer", When + 2.0 / 86400, "", owDate));
  EXPECT_EQ(Reported("replace").size(), 1u);
}

TEST_F(OverwriteRules, VersionComparesFieldsAsText) {
  struct Case {
    const char* Fixture;  // its FileVersion
    const char* Archived;
    bool Replaced;
  };
  for (const auto& [Fixture, Archived, Replaced] :
       {Case{"dll.dll", "1.0.0.6", true},        // existing 1.0.0.5
        Case{"dll.dll", "1.0.0.5", false},       // equal
        Case{"dll.dll", "1.0.0.4", false},       // older
        Case{"app.exe", "7.0.0.0", true},        // existing 65535.0.0.10: "7" > "6" as text
        Case{"noversion.exe", "0.0.0.1", true},  // no version information: any version is newer
        Case{"noversion.exe", "", false}}) {
    PlaceFixture(Fixture, "target.exe");
    EXPECT_EQ(ExtractOver("target.exe", "archived", When, Archived, owVersion), Replaced)
        << Fixture << " vs " << Archived;
  }
}

TEST_F(OverwriteRules, VersionThenDateFallsBackToTheDateOnEqualVersions) {
  // Dates a day either side of the copy's own time.
  PlaceFixture("dll.dll", "t.dll");
  const double Now = FileDateToDateTime([&] {
    TFileStream S(Out("t.dll"), TFileMode::fmOpenReadShared);
    return S.GetFileDate();
  }());
  const double Day = 1.0;
  EXPECT_FALSE(ExtractOver("t.dll", "equal, older date", Now - Day, "1.0.0.5", owVersionDate));
  EXPECT_TRUE(ExtractOver("t.dll", "equal, newer date", Now + Day, "1.0.0.5", owVersionDate));
  PlaceFixture("dll.dll", "t.dll");
  EXPECT_FALSE(ExtractOver("t.dll", "older version", Now + Day, "1.0.0.4", owVersionDate));
  EXPECT_TRUE(ExtractOver("t.dll", "newer version", Now - Day, "1.0.0.6", owVersionDate));
}

TEST_F(OverwriteRules, AnUnreadableTimeEndsWithTheConversionError) {
  ASSERT_TRUE(ExtractOver("held", "first", When, "", owAlways));
  // Held open without sharing, the way another program might.
  TFileStream Holder(Out("held"), TFileMode::fmCreate);
  try {
    TFileStream Probe(Out("held"), TFileMode::fmOpenReadShared);
    GTEST_SKIP() << "files cannot be held without sharing here";
  } catch (const EFOpenError&) {
  }
  try {
    ExtractOver("held", "second", When, "", owDate);
    FAIL() << "no exception";
  } catch (const EConvertError& E) {
    EXPECT_EQ(E.Message(), "Invalid argument to date encode");
  }
  EXPECT_TRUE(C.Abort);
}

}  // namespace
