#include <varn/versioninfo/ResourceVersionBlock.h>

#include <gtest/gtest.h>

#include <random>

#include <varn/support/ByteReader.h>
#include "tests/versioninfo/SyntheticVersion.h"
#include "tests/versioninfo/VersionStrings.h"

using namespace varn;

namespace {

using versioninfo::ResourceVersionBlock;

const std::u16string Table = u"040904E4";

std::vector<uint8_t> SampleBlock() {
  return synthetic::Serialize(
      synthetic::VersionInfoNode(synthetic::Record(0x00010002, 0x00030004, 0x40004, 3, 2),
                                 {{u"040704E4", {{u"CompanyName", u"German"}}},
                                  {Table,
                                   {{u"Comment", u"A comment"},
                                    {u"CompanyName", u"Company"},
                                    {u"ProductVersion", u"text version"},
                                    {u"LegalCopyright", u"\u00A9 Caf\u00E9"},
                                    {u"FileDescription", u"odd length"}}}}));
}

TEST(ResourceVersionBlock, AnswersFixedInformationAndKeyPaths) {
  const ResourceVersionBlock Block(SampleBlock());
  const auto Fixed = Block.FixedFileInfo();
  ASSERT_TRUE(Fixed);
  EXPECT_EQ(Fixed->Signature, 0xFEEF04BDu);
  EXPECT_EQ(Fixed->FileVersionMS, 0x00010002u);
  EXPECT_EQ(Fixed->FileVersionLS, 0x00030004u);
  EXPECT_EQ(Fixed->FileOS, 0x40004u);
  EXPECT_EQ(Fixed->FileType, 3u);
  EXPECT_EQ(Fixed->FileSubtype, 2u);

  struct Case {
    const char* Path;
    std::optional<std::string> Value;
  };
  const Case Cases[] = {
      {"\\StringFileInfo\\040904E4\\CompanyName", "Company"},
      {"\\StringFileInfo\\040704E4\\CompanyName", "German"},
      {"\\stringfileinfo\\040904e4\\COMPANYNAME", "Company"},
      {"\\StringFileInfo\\040904E4\\LegalCopyright", "\xA9 Caf\xE9"},
      {"\\StringFileInfo\\040904E4\\FileDescription", "odd length"},
      {"\\StringFileInfo\\040904E4\\Comments", std::nullopt},
      {"\\StringFileInfo\\040904E4\\Company", std::nullopt},
      {"\\StringFileInfo\\040904E4\\CompanyNameX", std::nullopt},
      {"\\StringFileInfo\\040904B0\\CompanyName", std::nullopt},
      {"\\VarFileInfo\\CompanyName", std::nullopt},
      {"\\CompanyName", std::nullopt},
  };
  for (const Case& C : Cases)
    EXPECT_EQ(Block.QueryString(C.Path), C.Value) << C.Path;

  const versiontest::Strings Values = versiontest::Parse(&Block);
  EXPECT_EQ(Values[0], "A comment");
  EXPECT_EQ(Values[3], "1.2.3.4");
  EXPECT_EQ(Values[10], "text version");
  EXPECT_EQ(Values[14], "Keyboard");
}

TEST(ResourceVersionBlock, NarrowsTextOneCharacterAtATime) {
  struct Case {
    std::u16string Text;
    std::string Narrow;
  };
  const Case Cases[] = {
      {u"plain", "plain"},
      {u"\u00FF\u0100\u0416\u20AC", "\xFF???"},
      {u"x\U0001F600y", "x?y"},  // a surrogate pair is one character
      {u"\xD800z", "?z"},        // a lone high surrogate is one too
      {u"", ""},
  };
  for (const Case& C : Cases) {
    const ResourceVersionBlock Block(synthetic::Serialize(synthetic::VersionInfoNode(
        synthetic::Record(1, 1, 4, 1, 0), {{Table, {{u"ProductName", C.Text}}}})));
    EXPECT_EQ(Block.QueryString("\\StringFileInfo\\040904E4\\ProductName"), C.Narrow);
  }
}

// Serialises the sample, then lets Damage change the bytes of the first node whose key is Key.
std::vector<uint8_t> Damaged(const std::u16string& Key,
                             const std::function<void(std::vector<uint8_t>&, size_t)>& Damage) {
  std::vector<uint8_t> Bytes = SampleBlock();
  std::vector<uint8_t> Needle;
  for (char16_t Unit : Key) {
    Needle.push_back(static_cast<uint8_t>(Unit));
    Needle.push_back(static_cast<uint8_t>(Unit >> 8));
  }
  const auto Found = std::search(Bytes.begin(), Bytes.end(), Needle.begin(), Needle.end());
  EXPECT_NE(Found, Bytes.end());
  Damage(Bytes, static_cast<size_t>(Found - Bytes.begin()) - 6);
  return Bytes;
}

TEST(ResourceVersionBlock, NeverTrustsDeclaredLengths) {
  const std::string Company = "\\StringFileInfo\\040904E4\\CompanyName";
  const std::string Comment = "\\StringFileInfo\\040904E4\\Comment";
  struct Case {
    const char* What;
    std::vector<uint8_t> Bytes;
    bool Fixed;
    std::optional<std::string> CompanyName;
    std::optional<std::string> CommentText;
  };
  auto SetU16 = [](size_t Field, uint16_t Value) {
    return [=](std::vector<uint8_t>& B, size_t Node) { bytes::StoreU16(&B[Node + Field], Value); };
  };
  std::vector<Case> Cases;
  Cases.push_back({"root longer than the block", Damaged(u"VS_VERSION_INFO", SetU16(0, 0xFFFF)),
                   false, std::nullopt, std::nullopt});
  Cases.push_back({"root shorter than its header", Damaged(u"VS_VERSION_INFO", SetU16(0, 4)), false,
                   std::nullopt, std::nullopt});
  Cases.push_back({"fixed record declared short", Damaged(u"VS_VERSION_INFO", SetU16(2, 40)), false,
                   std::nullopt, std::nullopt});
  Cases.push_back({"string overruns its table", Damaged(u"Comment", SetU16(0, 0x7FFF)), true,
                   std::nullopt, std::nullopt});
  Cases.push_back({"string of length zero", Damaged(u"Comment", SetU16(0, 0)), true, std::nullopt,
                   std::nullopt});
  Cases.push_back({"table of length zero", Damaged(u"040904E4", SetU16(0, 0)), true, std::nullopt,
                   std::nullopt});
  Cases.push_back(
      {"string value declared empty", Damaged(u"Comment", SetU16(2, 0)), true, "Company", ""});
  {
    // The key runs to the end of its node without a terminator: that node is unreadable, and
    // the walk of its table ends there.
    std::vector<uint8_t> Bytes = Damaged(u"Comment", [](std::vector<uint8_t>& B, size_t Node) {
      const uint16_t Length = bytes::LoadU16(&B[Node]);
      for (size_t I = Node + 6; I + 1 < Node + Length; I += 2)
        bytes::StoreU16(&B[I], 'x');
    });
    Cases.push_back({"unterminated key", Bytes, true, std::nullopt, std::nullopt});
  }
  {
    // The value runs to the end of its node without a terminator: the text stops there.
    std::vector<uint8_t> Bytes = Damaged(u"Comment", [](std::vector<uint8_t>& B, size_t Node) {
      const uint16_t Length = bytes::LoadU16(&B[Node]);
      for (size_t I = Node + 6 + 16; I + 1 < Node + Length; I += 2)
        bytes::StoreU16(&B[I], 'v');
    });
    Cases.push_back({"unterminated value", Bytes, true, "Company", std::string(10, 'v')});
  }
  {
    // A fixed-information value cut by the end of the whole block.
    std::vector<uint8_t> Bytes =
        synthetic::Serialize(synthetic::Fixed(synthetic::Record(1, 2, 4, 1, 0)));
    Bytes.resize(Bytes.size() - 4);
    bytes::StoreU16(Bytes.data(), static_cast<uint16_t>(Bytes.size()));
    Cases.push_back({"fixed record cut by the block", Bytes, false, std::nullopt, std::nullopt});
  }
  Cases.push_back({"no bytes at all", {}, false, std::nullopt, std::nullopt});

  for (const Case& C : Cases) {
    SCOPED_TRACE(C.What);
    const ResourceVersionBlock Block(C.Bytes);
    EXPECT_EQ(Block.FixedFileInfo().has_value(), C.Fixed);
    EXPECT_EQ(Block.QueryString(Company), C.CompanyName);
    EXPECT_EQ(Block.QueryString(Comment), C.CommentText);
  }
}

// Whatever part of the block survives, each string is the original one or empty (the product
// version may fall back to its dotted form).
void ExpectOriginalOrEmpty(const versiontest::Strings& Got, const versiontest::Strings& Original,
                           const std::string& Dotted, const std::string& Context) {
  for (size_t I = 0; I < Got.size(); ++I) {
    const bool Allowed = Got[I].empty() || Got[I] == Original[I] || (I == 10 && Got[I] == Dotted);
    EXPECT_TRUE(Allowed) << Context << ": " << versioninfo::VersionInfoProperties()[I].Name
                         << " = \"" << Got[I] << "\"";
  }
}

TEST(ResourceVersionBlock, EveryTruncationGivesOriginalOrEmptyStrings) {
  std::vector<uint8_t> Bytes = SampleBlock();
  const ResourceVersionBlock Whole(Bytes);
  const versiontest::Strings Original = versiontest::Parse(&Whole);
  for (size_t Length = 0; Length < Bytes.size(); ++Length) {
    // Both the buffer and the root's own length are cut, so the walk inside is what is tested.
    std::vector<uint8_t> Cut(Bytes.begin(), Bytes.begin() + Length);
    if (Cut.size() >= 2) bytes::StoreU16(Cut.data(), static_cast<uint16_t>(Cut.size()));
    const ResourceVersionBlock Block(Cut);
    ExpectOriginalOrEmpty(versiontest::Parse(&Block), Original, "1.2.3.4",
                          "length " + std::to_string(Length));
  }
}

TEST(ResourceVersionBlock, SurvivesSeededBitFlips) {
  const std::vector<uint8_t> Bytes = SampleBlock();
  const uint32_t Seed = 20240601;
  std::mt19937 Random(Seed);
  for (int Round = 0; Round < 3000; ++Round) {
    std::vector<uint8_t> Flipped = Bytes;
    const int Flips = 1 + static_cast<int>(Random() % 4);
    for (int I = 0; I < Flips; ++I)
      Flipped[Random() % Flipped.size()] ^= 1u << (Random() % 8);
    const ResourceVersionBlock Block(Flipped);
    const versiontest::Strings Values = versiontest::Parse(&Block);
    // Nothing may come from outside the block: no text is longer than the block itself.
    for (const std::string& Value : Values)
      ASSERT_LE(Value.size(), Flipped.size()) << "seed " << Seed << " round " << Round;
  }
}

// The table read when none is asked for: the Windows resource loader's order of languages
// (neutral, the user's, US English, else the first), then the first table of that language.
TEST(ResourceVersionBlock, PrefersTheTableOfTheLanguageWindowsWouldLoad) {
  struct Case {
    std::vector<std::u16string> Tables;
    uint16_t UserLanguage;
    std::optional<std::string> Preferred;
  };
  const std::vector<Case> Cases = {
      {{}, 0, std::nullopt},
      {{u"040704E4"}, 0, "040704E4"},
      {{u"040704E4", u"040904B0"}, 0, "040904B0"},
      {{u"040704E4", u"040904B0"}, 0x0407, "040704E4"},
      {{u"040904E4", u"040704E4", u"000004b0"}, 0x0407, "000004b0"},
      {{u"040904B0", u"040904E4"}, 0, "040904B0"},
      {{u"0407", u"041104A4"}, 0x0411, "041104A4"},
      {{u"zz0904E4", u"041104A4"}, 0, "zz0904E4"},
  };
  for (const Case& C : Cases) {
    std::vector<synthetic::StringTable> Tables;
    for (const std::u16string& Key : C.Tables)
      Tables.push_back({Key, {{u"CompanyName", u"x"}}});
    const ResourceVersionBlock Block(synthetic::Serialize(
        synthetic::VersionInfoNode(synthetic::Record(1, 2, 0x40004, 1, 0), Tables)));
    EXPECT_EQ(Block.PreferredStringTable(C.UserLanguage), C.Preferred)
        << C.Tables.size() << " tables, user language " << C.UserLanguage;
  }
}

}  // namespace
