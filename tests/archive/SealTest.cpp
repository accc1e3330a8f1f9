// The seal reader on volume 1 held in memory: every kind of damage is told apart, and media
// without a seal (or with one of a later version) are left as they are.
#include <varn/archive/ArchiveSeal.h>

#include <gtest/gtest.h>

#include <functional>

#include <varn/archive/ArchiveWriter.h>
#include "tests/archive/ArchiveFixtures.h"
#include "tests/common/TestSupport.h"

using namespace varn;

namespace {

using fixtures::Bytes;

// What ReadArchiveSeal makes of Volume: the state it returns or the class it raises.
std::string Verdict(const Bytes& Volume) {
  TMemoryStream Stream(Volume);
  try {
    switch (ReadArchiveSeal(Stream, "setup.1").State) {
      case TSealState::Absent:
        return "absent";
      case TSealState::Unknown:
        return "unknown";
      case TSealState::Present:
        return "present";
    }
  } catch (const EVCDamagedSeal& E) {
    EXPECT_EQ(E.FileName, "setup.1");
    return "damaged seal";
  } catch (const EVCDamagedCatalogue& E) {
    EXPECT_EQ(E.Message(), "The catalogue does not match the seal of the archive: setup.1");
    return "damaged catalogue";
  }
  return "?";
}

// Volume 1 of a one-volume archive of Files small files, as the writer lays it out.
Bytes WrittenVolume1(bool Seal, int32_t Files) {
  ArchiveWriter W;
  W.Seal = Seal;
  for (int32_t I = 0; I < Files; ++I) {
    ArchiveMember M;
    M.Name = "file" + std::to_string(I);
    M.FileDate = 45000.5;
    const Bytes Data =
        testing_support::RandomBytes(static_cast<size_t>(I) * 37, 30u + static_cast<uint32_t>(I));
    M.OpenData = [Data] { return std::make_unique<TMemoryStream>(Data); };
    W.Members.push_back(M);
  }
  Bytes Out;
  W.Write([&](int32_t) -> std::unique_ptr<TStream> {
    return std::make_unique<fixtures::VolumeCapture>(Out);
  });
  return Out;
}

TEST(Seal, EveryDamagedByteOfCatalogueOrSealIsReportedAsSuch) {
  for (const int32_t Files : {0, 1, 3}) {
    const Bytes Volume = WrittenVolume1(true, Files);
    ASSERT_EQ(Verdict(Volume), "present");
    const size_t Catalogue = 5 + 164 * static_cast<size_t>(Files);
    const size_t Seal = Catalogue + 84 + 32 * static_cast<size_t>(Files);
    for (size_t At = 0; At < Seal; ++At)
      for (const uint8_t Mask : {0x01, 0x80, 0xFF}) {
        SCOPED_TRACE(testing::Message() << Files << " files, byte " << At << " ^ " << +Mask);
        Bytes Damaged = Volume;
        Damaged[At] ^= Mask;
        EXPECT_EQ(Verdict(Damaged), At < Catalogue ? "damaged catalogue" : "damaged seal");
        if (HasFailure()) return;
      }
  }
}

TEST(Seal, ArchivesWithoutOneHaveNone) {
  const std::pair<const char*, Bytes> Cases[] = {
      {"written without a seal", WrittenVolume1(false, 3)},
      {"an empty catalogue", Bytes{0, 0, 0, 0, 0}},
      {"a negative count", Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0}},
      {"shorter than a count", Bytes{1, 0}},
      {"nothing", Bytes{}},
      {"a chain that turns back",
       [] {
         Bytes B = fixtures::Prologue(2, 0);
         fixtures::Header H;
         H.FileName = "a";
         H.NextHeader = 5;
         fixtures::Append(B, fixtures::Record(H));
         return B;
       }()},
  };
  for (const auto& [Name, Volume] : Cases)
    EXPECT_EQ(Verdict(Volume), "absent") << Name;
}

// A catalogue whose last record points at a seal says the medium was sealed: however often the
// seal is damaged, cut off or wiped out, that is damage, never an unsealed medium.
TEST(Seal, ACatalogueThatNamesASealNeverReadsAsUnsealed) {
  const auto Zero = [](Bytes& B, size_t From, size_t To) {
    std::fill(B.begin() + static_cast<std::ptrdiff_t>(From),
              B.begin() + static_cast<std::ptrdiff_t>(To), uint8_t{0});
  };
  for (const int32_t Files : {1, 3}) {
    const Bytes Volume = WrittenVolume1(true, Files);
    const size_t Seal = 5 + 164 * static_cast<size_t>(Files);
    const size_t End = Seal + 84 + 32 * static_cast<size_t>(Files);
    const std::pair<const char*, std::function<void(Bytes&)>> Cases[] = {
        {"magic and a file hash", [&](Bytes& B) { B[Seal] ^= 1, B[Seal + 60] ^= 1; }},
        {"magic and the size", [&](Bytes& B) { B[Seal + 1] ^= 1, B[Seal + 12] ^= 4; }},
        {"the whole seal zeroed", [&](Bytes& B) { Zero(B, Seal, End); }},
        {"the seal and the data zeroed", [&](Bytes& B) { Zero(B, Seal, B.size()); }},
        {"cut where the seal starts", [&](Bytes& B) { B.resize(Seal); }},
        {"cut inside the seal", [&](Bytes& B) { B.resize(End - 1); }},
        {"a size of 2 GiB", [&](Bytes& B) { B[Seal + 15] = 0x7F; }},
        {"a size of 4 GiB - 1",
         [&](Bytes& B) {
           std::fill_n(B.begin() + static_cast<std::ptrdiff_t>(Seal + 12), 4, 0xFF);
         }},
        {"a size one too large", [&](Bytes& B) { B[Seal + 12] += 1; }},
    };
    for (const auto& [Name, Damage] : Cases) {
      Bytes Damaged = Volume;
      Damage(Damaged);
      EXPECT_EQ(Verdict(Damaged), "damaged seal") << Files << " files, " << Name;
    }
  }
  // Another writer that points the last record on to the next byte and puts the first file's
  // data there made no seal.
  auto [First, Second] = fixtures::TwoFileHeaders(333, 333);
  Bytes Unsealed = fixtures::Prologue(2, 0);
  fixtures::Append(Unsealed, fixtures::Record(First));
  fixtures::Append(Unsealed, fixtures::Record(Second));
  fixtures::Append(Unsealed, fixtures::TwoFileData);
  EXPECT_EQ(Verdict(Unsealed), "absent");
}

// A seal of a later version whose own hash holds is no damage: it is left unchecked.
TEST(Seal, ALaterVersionIsLeftUncheckedButADamagedOneIsNot) {
  Bytes Volume = fixtures::SealedTwoFileVolume();
  Volume[333 + 8] = 2;
  EXPECT_EQ(Verdict(Volume), "damaged seal");
  platform::Sha256 Hash;
  Hash.Update(&Volume[333], 148 - 32);
  TSealDigest Own{};
  ASSERT_TRUE(Hash.Finish(Own));
  std::copy(Own.begin(), Own.end(), Volume.begin() + 333 + 148 - 32);
  EXPECT_EQ(Verdict(Volume), "unknown");
  TMemoryStream Stream(Volume);
  EXPECT_EQ(ReadArchiveSeal(Stream, "setup.1").Version, 2);
}

TEST(Seal, EncodesTheLayoutWithItsOwnHash) {
  TArchiveSeal Seal;
  Seal.CatalogueHash.fill(0xCA);
  Seal.FileHashes = {TSealDigest{}, TSealDigest{}};
  Seal.FileHashes[1].fill(0x11);
  const Bytes B = EncodeSeal(Seal);
  ASSERT_EQ(B.size(), 148u);
  EXPECT_EQ(Bytes(B.begin(), B.begin() + 20),
            (Bytes{'V', 'a', 'r', 'n', 'S', 'e', 'a', 'l', 1, 0, 1, 0, 148, 0, 0, 0, 2, 0, 0, 0}));
  EXPECT_EQ(B[20], 0xCA);
  EXPECT_EQ(B[52], 0x00);
  EXPECT_EQ(B[84], 0x11);
  platform::Sha256 Hash;
  Hash.Update(B.data(), 116);
  TSealDigest Own{};
  ASSERT_TRUE(Hash.Finish(Own));
  EXPECT_TRUE(std::equal(Own.begin(), Own.end(), B.begin() + 116));
}

}  // namespace
