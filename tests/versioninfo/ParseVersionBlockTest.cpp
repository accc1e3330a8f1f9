#include <gtest/gtest.h>

#include <map>

#include <varn/framework/Exceptions.h>
#include <varn/versioninfo/cmp_TVersion.h>

using namespace varn;

namespace {

using versioninfo::FixedFileInfoRecord;

// A block given as plain data: the record (or none) and the strings by full key path. It logs
// the queries so that a test can see which table was asked.
class FakeBlock : public versioninfo::VersionBlock {
 public:
  std::optional<FixedFileInfoRecord> Fixed;
  std::map<std::string, std::string> Strings;
  mutable std::vector<std::string> Queries;

  std::optional<FixedFileInfoRecord> FixedFileInfo() const override { return Fixed; }
  std::optional<std::string> QueryString(const std::string& KeyPath) const override {
    Queries.push_back(KeyPath);
    const auto Found = Strings.find(KeyPath);
    if (Found == Strings.end()) return std::nullopt;
    return Found->second;
  }
};

FixedFileInfoRecord MakeRecord(uint32_t OS, uint32_t Type, uint32_t SubType) {
  FixedFileInfoRecord Record;
  Record.FileVersionMS = 0x00010002;
  Record.FileVersionLS = 0x00030004;
  Record.ProductVersionMS = 0x00050006;
  Record.ProductVersionLS = 0x00070008;
  Record.FileOS = OS;
  Record.FileType = Type;
  Record.FileSubtype = SubType;
  return Record;
}

// A component that has read nothing (its own program, whatever it carries, is cleared).
class ParseVersionBlock : public ::testing::Test {
 protected:
  ParseVersionBlock() : Resource(nullptr) { Resource.ClearVersionInfo(); }

  const TVersionInfo& Parse(const FakeBlock& Block) {
    Resource.ClearVersionInfo();
    Resource.ParseVersionBlock(Block);
    return Resource.VersionInfo();
  }

  TVersionResource Resource;
};

TEST_F(ParseVersionBlock, DescribesOperatingSystemTypeAndSubType) {
  struct Case {
    uint32_t OS, Type, SubType;
    const char *FileOS, *FileType, *FileSubType;
  };
  const Case Cases[] = {
      {0x40004, 1, 0, "Windows NT with 32 bit Windows", "Application", ""},
      {0, 1, 0, "Unknown", "Application", ""},
      {5, 1, 0, "Unknown", "Application", ""},
      {0x40005, 1, 0, "Unknown", "Application", ""},
      {0x1, 2, 0, "Windows 3.0 or later", "Dynamic-Link Library", ""},
      {0x4, 1, 0, "32 bit Windows", "Application", ""},
      {0x10001, 1, 0, "Windows 3.0 or later with MS-Dos", "Application", ""},
      {0x10004, 1, 0, "32 bit Windows with MS-Dos", "Application", ""},
      {0x30003, 1, 0, "32 bit OS/2 with Presentation Manager", "Application", ""},
      {0x40000, 1, 0, "Windows NT", "Application", ""},
      {0x4, 6, 3, "32 bit Windows", "Unknown", ""},
      {0x4, 0, 3, "32 bit Windows", "Unknown", ""},
      {0x4, 1, 3, "32 bit Windows", "Application", ""},
      {0x4, 1, 0xFFFFFFFF, "32 bit Windows", "Application", ""},
      {0x4, 7, 1, "32 bit Windows", "Static-Link Library", ""},
      {0x4, 5, 9, "32 bit Windows", "Virtual Device Driver", ""},
      {0x4, 3, 0, "32 bit Windows", "Device Driver", "Unknown"},
      {0x4, 3, 1, "32 bit Windows", "Device Driver", "Printer"},
      {0x4, 3, 9, "32 bit Windows", "Device Driver", "Sound"},
      {0x4, 3, 10, "32 bit Windows", "Device Driver", "Communications"},
      {0x4, 3, 11, "32 bit Windows", "Device Driver", "Unknown"},
      {0x4, 4, 0, "32 bit Windows", "Font", "Unknown"},
      {0x4, 4, 1, "32 bit Windows", "Font", "Raster"},
      {0x4, 4, 2, "32 bit Windows", "Font", "Vector"},
      {0x4, 4, 3, "32 bit Windows", "Font", "TrueType"},
      {0x4, 4, 4, "32 bit Windows", "Font", "Unknown"},
  };
  for (const Case& C : Cases) {
    FakeBlock Block;
    Block.Fixed = MakeRecord(C.OS, C.Type, C.SubType);
    const TVersionInfo& Info = Parse(Block);
    SCOPED_TRACE(::testing::Message()
                 << "OS " << C.OS << " type " << C.Type << " subtype " << C.SubType);
    EXPECT_EQ(Info.FileOS, C.FileOS);
    EXPECT_EQ(Info.FileType, C.FileType);
    EXPECT_EQ(Info.FileSubType, C.FileSubType);
  }
}

TEST_F(ParseVersionBlock, WritesVersionsAsFourDecimalHalves) {
  struct Case {
    uint32_t MS, LS;
    const char* Text;
  };
  const Case Cases[] = {
      {0xFFFF0000, 0x0000000A, "65535.0.0.10"},
      {0x00010002, 0x00030004, "1.2.3.4"},
      {0, 0, "0.0.0.0"},
      {0xFFFFFFFF, 0xFFFFFFFF, "65535.65535.65535.65535"},
      {0x000A0009, 0x00640000, "10.9.100.0"},
  };
  for (const Case& C : Cases) {
    FakeBlock Block;
    Block.Fixed = MakeRecord(4, 1, 0);
    Block.Fixed->FileVersionMS = C.MS;
    Block.Fixed->FileVersionLS = C.LS;
    Block.Fixed->ProductVersionMS = C.LS;
    Block.Fixed->ProductVersionLS = C.MS;
    const TVersionInfo& Info = Parse(Block);
    EXPECT_EQ(Info.FileVersion, C.Text);
    // The product version takes the words in its own order, not the file version's.
    const std::string Swapped = std::to_string(C.LS >> 16) + "." + std::to_string(C.LS & 0xFFFF) +
                                "." + std::to_string(C.MS >> 16) + "." +
                                std::to_string(C.MS & 0xFFFF);
    EXPECT_EQ(Info.ProductVersion, Swapped);
  }
}

TEST_F(ParseVersionBlock, ReadsTheElevenKeysOfTheSelectedTableOnly) {
  FakeBlock Block;
  Block.Fixed = MakeRecord(4, 1, 0);
  const std::string Prefix = "\\StringFileInfo\\040904E4\\";
  const char* Keys[] = {"Comment",        "CompanyName",     "FileDescription",  "InternalName",
                        "LegalCopyright", "LegalTradeMarks", "OriginalFileName", "PrivateBuild",
                        "ProductName",    "ProductVersion",  "SpecialBuild"};
  for (const char* Key : Keys)
    Block.Strings[Prefix + Key] = std::string("v:") + Key;
  Block.Strings[Prefix + "FileVersion"] = "9.9.9.9";
  Block.Strings[Prefix + "Comments"] = "plural";
  Block.Strings["\\StringFileInfo\\040704E4\\CompanyName"] = "other table";

  const TVersionInfo& Info = Parse(Block);
  EXPECT_EQ(Info.Comment, "v:Comment");
  EXPECT_EQ(Info.CompanyName, "v:CompanyName");
  EXPECT_EQ(Info.FileDescription, "v:FileDescription");
  EXPECT_EQ(Info.FileVersion, "1.2.3.4");  // never from the table
  EXPECT_EQ(Info.InternalName, "v:InternalName");
  EXPECT_EQ(Info.LegalCopyright, "v:LegalCopyright");
  EXPECT_EQ(Info.LegalTradeMarks, "v:LegalTradeMarks");
  EXPECT_EQ(Info.OriginalFileName, "v:OriginalFileName");
  EXPECT_EQ(Info.PrivateBuild, "v:PrivateBuild");
  EXPECT_EQ(Info.ProductName, "v:ProductName");
  EXPECT_EQ(Info.ProductVersion, "v:ProductVersion");
  EXPECT_EQ(Info.SpecialBuild, "v:SpecialBuild");

  std::vector<std::string> Expected;
  for (const char* Key : Keys)
    Expected.push_back(Prefix + Key);
  EXPECT_EQ(Block.Queries, Expected);
}

TEST_F(ParseVersionBlock, TableOnlyUnderAnotherLanguageLeavesTheTenStringsEmpty) {
  FakeBlock Block;
  Block.Fixed = MakeRecord(0x40004, 4, 3);
  Block.Strings["\\StringFileInfo\\040704E4\\CompanyName"] = "Testfirma";
  Block.Strings["\\StringFileInfo\\040704E4\\ProductVersion"] = "zwei";
  Block.Strings["\\StringFileInfo\\040904B0\\CompanyName"] = "other code page";

  const TVersionInfo& Info = Parse(Block);
  EXPECT_EQ(Info.FileVersion, "1.2.3.4");
  EXPECT_EQ(Info.ProductVersion, "5.6.7.8");
  EXPECT_EQ(Info.FileOS, "Windows NT with 32 bit Windows");
  EXPECT_EQ(Info.FileType, "Font");
  EXPECT_EQ(Info.FileSubType, "TrueType");
  for (std::string TVersionInfo::*Field :
       {&TVersionInfo::Comment, &TVersionInfo::CompanyName, &TVersionInfo::FileDescription,
        &TVersionInfo::InternalName, &TVersionInfo::LegalCopyright, &TVersionInfo::LegalTradeMarks,
        &TVersionInfo::OriginalFileName, &TVersionInfo::PrivateBuild, &TVersionInfo::ProductName,
        &TVersionInfo::SpecialBuild})
    EXPECT_EQ(Info.*Field, "");
}

TEST_F(ParseVersionBlock, WithoutFixedInformationSetsNothingAndAsksNoString) {
  FakeBlock Block;
  Block.Strings["\\StringFileInfo\\040904E4\\CompanyName"] = "never read";
  const TVersionInfo& Info = Parse(Block);
  for (const auto& Property : versioninfo::VersionInfoProperties())
    EXPECT_EQ(Info.*(Property.Field), "") << Property.Name;
  EXPECT_TRUE(Block.Queries.empty());
}

TEST_F(ParseVersionBlock, BuildsTheTablePrefixFromLanguageAndCharacterSet) {
  struct Case {
    TLanguage Language;
    TCharacterSet CharacterSet;
    const char* Prefix;
  };
  const Case Cases[] = {
      {lnUSEnglish, csMultilingual, "\\StringFileInfo\\040904E4\\"},
      {lnSwissFrench, csUnicode, "\\StringFileInfo\\100C04B0\\"},
      {lnFrench, csASCII, "\\StringFileInfo\\040C0000\\"},
      {lnArabic, csArabic, "\\StringFileInfo\\040104E8\\"},
      {lnCanadianFrench, csJapan, "\\StringFileInfo\\0C0C03A4\\"},
      {lnSimplifiedChinese, csTaiwan, "\\StringFileInfo\\080403B6\\"},
  };
  for (const Case& C : Cases) {
    EXPECT_EQ(versioninfo::StringTablePrefix(C.Language, C.CharacterSet), C.Prefix);
    FakeBlock Block;
    Block.Fixed = MakeRecord(4, 1, 0);
    Block.Strings[std::string(C.Prefix) + "CompanyName"] = "found";
    // The writes read the component's own file again; only the stored values matter here.
    Resource.SetLanguage(C.Language);
    Resource.SetCharacterSet(C.CharacterSet);
    EXPECT_EQ(Parse(Block).CompanyName, "found") << C.Prefix;
    ASSERT_FALSE(Block.Queries.empty());
    EXPECT_EQ(Block.Queries.front(), std::string(C.Prefix) + "Comment");
  }
}

TEST_F(ParseVersionBlock, OutOfRangeEnumerationRaisesAnEmptyMessageAfterTheFixedStrings) {
  struct Case {
    TLanguage Language;
    TCharacterSet CharacterSet;
  };
  const Case Cases[] = {{static_cast<TLanguage>(45), csMultilingual},
                        {static_cast<TLanguage>(255), csMultilingual},
                        {lnUSEnglish, static_cast<TCharacterSet>(12)},
                        {lnUSEnglish, static_cast<TCharacterSet>(200)}};
  for (const Case& C : Cases) {
    TVersionResource Own(nullptr);
    FakeBlock Block;
    Block.Fixed = MakeRecord(0x40004, 3, 1);
    Block.Strings["\\StringFileInfo\\040904E4\\CompanyName"] = "never read";
    try {
      if (C.Language != lnUSEnglish) Own.SetLanguage(C.Language);
      if (C.CharacterSet != csMultilingual) Own.SetCharacterSet(C.CharacterSet);
    } catch (const Exception&) {
      // Raised by the write only when the program's own file has version information.
    }
    Own.ClearVersionInfo();
    try {
      Own.ParseVersionBlock(Block);
      ADD_FAILURE() << "no exception";
    } catch (const Exception& Error) {
      EXPECT_EQ(Error.Message(), "");
    }
    const TVersionInfo& Info = Own.VersionInfo();
    EXPECT_EQ(Info.FileVersion, "1.2.3.4");
    EXPECT_EQ(Info.ProductVersion, "5.6.7.8");
    EXPECT_EQ(Info.FileOS, "Windows NT with 32 bit Windows");
    EXPECT_EQ(Info.FileType, "Device Driver");
    EXPECT_EQ(Info.FileSubType, "Printer");
    EXPECT_EQ(Info.CompanyName, "");
    EXPECT_TRUE(Block.Queries.empty());
  }
}

TEST(VersionTables, LanguageAndCodePageLookups) {
  struct LanguageCase {
    int Ordinal;
    TLanguage Language;
    uint16_t Identifier;
  };
  const LanguageCase Languages[] = {
      {0, lnArabic, 0x0401},
      {8, lnUSEnglish, 0x0409},
      {21, lnBrazilianPortuguese, 0x0416},
      {32, lnBahasa, 0x0421},
      {33, lnSimplifiedChinese, 0x0804},
      {40, lnNorwegianNynorsk, 0x0814},
      {42, lnSerboCroatian, 0x081A},
      {43, lnCanadianFrench, 0x0C0C},
      {44, lnSwissFrench, 0x100C},
  };
  for (const auto& C : Languages) {
    EXPECT_EQ(static_cast<int>(C.Language), C.Ordinal);
    EXPECT_EQ(GetLanguageID(C.Language), C.Identifier);
  }
  const uint16_t CodePages[] = {0, 932, 949, 950, 1200, 1250, 1251, 1252, 1253, 1254, 1255, 1256};
  for (int I = 0; I < 12; ++I)
    EXPECT_EQ(GetCodePage(static_cast<TCharacterSet>(I)), CodePages[I]) << I;
  EXPECT_EQ(static_cast<int>(csArabic), 11);
  EXPECT_EQ(sizeof(TLanguage), 1u);
  EXPECT_EQ(sizeof(TCharacterSet), 1u);

  for (int Bad : {45, 46, 255}) {
    try {
      GetLanguageID(static_cast<TLanguage>(Bad));
      ADD_FAILURE() << Bad;
    } catch (const Exception& Error) {
      EXPECT_EQ(Error.Message(), "");
    }
  }
  for (int Bad : {12, 255}) {
    try {
      GetCodePage(static_cast<TCharacterSet>(Bad));
      ADD_FAILURE() << Bad;
    } catch (const Exception& Error) {
      EXPECT_EQ(Error.Message(), "");
    }
  }
}

TEST(VersionTables, EnumeratorNamesRoundTrip) {
  for (int I = 0; I <= lnSwissFrench; ++I) {
    const auto Language = static_cast<TLanguage>(I);
    EXPECT_EQ(versioninfo::LanguageFromName(versioninfo::LanguageName(Language)), Language);
  }
  for (int I = 0; I <= csArabic; ++I) {
    const auto Set = static_cast<TCharacterSet>(I);
    EXPECT_EQ(versioninfo::CharacterSetFromName(versioninfo::CharacterSetName(Set)), Set);
  }
  EXPECT_STREQ(versioninfo::LanguageName(lnUSEnglish), "lnUSEnglish");
  EXPECT_STREQ(versioninfo::CharacterSetName(csMultilingual), "csMultilingual");
  EXPECT_FALSE(versioninfo::LanguageFromName("lnusenglish"));
  EXPECT_FALSE(versioninfo::CharacterSetFromName(""));

  const auto& Properties = versioninfo::VersionInfoProperties();
  EXPECT_STREQ(Properties.front().Name, "Comment");
  EXPECT_STREQ(Properties[3].Name, "FileVersion");
  EXPECT_STREQ(Properties.back().Name, "FileSubType");
}

}  // namespace
