#include <varn/versioninfo/PeVersionResource.h>

#include <gtest/gtest.h>

#include <varn/support/ByteReader.h>
#include <varn/versioninfo/ResourceVersionBlock.h>
#include "tests/versioninfo/SyntheticVersion.h"

using namespace varn;

namespace {

using synthetic::PeFile;

std::vector<uint8_t> Block() {
  return synthetic::Serialize(
      synthetic::VersionInfoNode(synthetic::Record(0x00020000, 0x00000007, 4, 1, 0),
                                 {{u"040904E4", {{u"CompanyName", u"Synthetic"}}}}));
}

std::optional<std::vector<uint8_t>> Read(const std::vector<uint8_t>& Bytes) {
  TMemoryStream Stream(Bytes);
  return versioninfo::ReadVersionResource(Stream);
}

TEST(PeVersionResource, FindsTheBlockInPe32AndPe32Plus) {
  for (bool Plus : {false, true}) {
    const PeFile Pe = synthetic::MakePe(Block(), Plus);
    const auto Found = Read(Pe.Bytes);
    ASSERT_TRUE(Found) << Plus;
    EXPECT_EQ(*Found, Block());
  }
}

TEST(PeVersionResource, FindsTheVersionTypeAmongOthersAndTakesTheFirstNameAndTheEnglishLanguage) {
  for (bool Plus : {false, true}) {
    const PeFile Pe = synthetic::MakePe(Block(), Plus, true);
    const auto Found = Read(Pe.Bytes);
    ASSERT_TRUE(Found) << Plus;
    EXPECT_EQ(*Found, Block());
  }
}

TEST(PeVersionResource, RejectsBadHeadersOffsetsAndSizes) {
  struct Case {
    const char* What;
    std::function<void(PeFile&)> Damage;
  };
  const Case Cases[] = {
      {"no MZ", [](PeFile& P) { P.Bytes[0] = 'N'; }},
      {"PE header beyond the file",
       [](PeFile& P) { bytes::StoreU32(&P.Bytes[0x3C], 0xFFFFFFF0u); }},
      {"PE header at the file's end",
       [](PeFile& P) {
         bytes::StoreU32(&P.Bytes[0x3C], static_cast<uint32_t>(P.Bytes.size() - 4));
       }},
      {"no PE signature", [](PeFile& P) { P.Bytes[P.PeOffset] = 'X'; }},
      {"unknown optional magic",
       [](PeFile& P) { bytes::StoreU16(&P.Bytes[P.OptionalOffset], 0x107); }},
      {"optional header too small for the directories",
       [](PeFile& P) { bytes::StoreU16(&P.Bytes[P.PeOffset + 20], 100); }},
      {"optional header beyond the file",
       [](PeFile& P) { bytes::StoreU16(&P.Bytes[P.PeOffset + 20], 0xFFFF); }},
      {"two data directories only",
       [](PeFile& P) { bytes::StoreU32(&P.Bytes[P.DirectoryCount], 2); }},
      {"no resource directory",
       [](PeFile& P) { bytes::StoreU32(&P.Bytes[P.ResourceDirectory], 0); }},
      {"resource address in no section",
       [](PeFile& P) { bytes::StoreU32(&P.Bytes[P.ResourceDirectory], 0x9000); }},
      {"section count beyond the file",
       [](PeFile& P) { bytes::StoreU16(&P.Bytes[P.PeOffset + 6], 0xFFFF); }},
      {"no sections", [](PeFile& P) { bytes::StoreU16(&P.Bytes[P.PeOffset + 6], 0); }},
      {"section raw data beyond the file",
       [](PeFile& P) { bytes::StoreU32(&P.Bytes[P.SectionTableOffset + 20], 0x7FFFFF00); }},
      {"resource in the zero-filled tail",
       [](PeFile& P) {
         bytes::StoreU32(&P.Bytes[P.SectionTableOffset + 8], 0x10000);
         bytes::StoreU32(&P.Bytes[P.SectionTableOffset + 16], 0);
       }},
      {"huge entry counts",
       [](PeFile& P) {
         bytes::StoreU16(&P.Bytes[P.ResourceOffset + 12], 0xFFFF);
         bytes::StoreU16(&P.Bytes[P.ResourceOffset + 14], 0xFFFF);
       }},
      {"type directory points at itself",
       [](PeFile& P) { bytes::StoreU32(&P.Bytes[P.ResourceOffset + 20], 0x80000000u); }},
      {"name directory points back at the root",
       [](PeFile& P) {
         bytes::StoreU32(&P.Bytes[P.ResourceOffset + P.NameDirectory + 20], 0x80000000u);
       }},
      {"language entry is a directory",
       [](PeFile& P) {
         bytes::StoreU32(&P.Bytes[P.ResourceOffset + P.LanguageDirectory + 20],
                         0x80000000u | static_cast<uint32_t>(P.LanguageDirectory));
       }},
      {"type entry is a leaf",
       [](PeFile& P) {
         bytes::StoreU32(&P.Bytes[P.ResourceOffset + 20], static_cast<uint32_t>(P.DataEntry));
       }},
      {"subdirectory beyond the section",
       [](PeFile& P) { bytes::StoreU32(&P.Bytes[P.ResourceOffset + 20], 0xFFFFFFF0u); }},
      {"data entry beyond the section",
       [](PeFile& P) {
         bytes::StoreU32(&P.Bytes[P.ResourceOffset + P.LanguageDirectory + 20], 0x7FFFFFF0u);
       }},
      {"data address in no section",
       [](PeFile& P) { bytes::StoreU32(&P.Bytes[P.ResourceOffset + P.DataEntry], 0x80000000u); }},
      {"data size beyond the section",
       [](PeFile& P) {
         bytes::StoreU32(&P.Bytes[P.ResourceOffset + P.DataEntry + 4], 0x00010000);
       }},
      {"data size of 4 GB",
       [](PeFile& P) {
         bytes::StoreU32(&P.Bytes[P.ResourceOffset + P.DataEntry + 4], 0xFFFFFFFFu);
       }},
      {"data ends past the file", [](PeFile& P) { P.Bytes.resize(P.BlockOffset + 8); }},
  };
  for (const Case& C : Cases) {
    for (bool Plus : {false, true}) {
      PeFile Pe = synthetic::MakePe(Block(), Plus);
      C.Damage(Pe);
      EXPECT_FALSE(Read(Pe.Bytes)) << C.What << (Plus ? " (PE32+)" : " (PE32)");
    }
  }
}

TEST(PeVersionResource, OversizedDataEntryIsCutToTheFormatsLimit) {
  // A 70000-byte raw section: the entry declares all of it, the block takes at most 65535.
  std::vector<uint8_t> Big = Block();
  Big.resize(70000, 0xAB);
  PeFile Pe = synthetic::MakePe(Big, false);
  const auto Found = Read(Pe.Bytes);
  ASSERT_TRUE(Found);
  EXPECT_EQ(Found->size(), 65535u);
  const versioninfo::ResourceVersionBlock Parsed(*Found);
  EXPECT_EQ(Parsed.QueryString("\\StringFileInfo\\040904E4\\CompanyName"), "Synthetic");
}

TEST(PeVersionResource, EveryTruncationIsSafe) {
  const PeFile Pe = synthetic::MakePe(Block(), false);
  for (size_t Length = 0; Length <= Pe.Bytes.size(); ++Length) {
    const std::vector<uint8_t> Cut(Pe.Bytes.begin(), Pe.Bytes.begin() + Length);
    const auto Found = Read(Cut);
    // The block is whole once the file reaches its end, and absent before.
    EXPECT_EQ(Found.has_value(), Length >= Pe.BlockOffset + Block().size()) << Length;
    if (Found) {
      EXPECT_EQ(*Found, Block());
    }
  }
}

}  // namespace
