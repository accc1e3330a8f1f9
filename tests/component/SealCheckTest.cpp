// The component's seal check (CheckSeal): sealed media of every shape extract whole, a byte
// damaged anywhere is reported as what it damaged, and media without a seal, or a sealed one
// read with the check off, behave exactly as before.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/archive/ArchiveFixtures.h"
#include "tests/component/ExtractionFixture.h"
#include "tests/component/SealedMedia.h"

using namespace varn;

namespace {

using sealed_media::Member;
using Bytes = std::vector<uint8_t>;

class SealCheck : public Extraction {
 protected:
  ArchivePlan Media(const std::vector<Member>& Members, int64_t VolumeSize, bool Seal = true) {
    for (int N = 1; testing_support::Exists(Volume(N)); ++N)
      std::filesystem::remove(testing_support::Native(Volume(N)));
    return sealed_media::Write(Dir / "setup", Members, VolumeSize, Seal);
  }
  std::string Volume(int32_t N) const { return Dir / ("setup." + std::to_string(N)); }
  void SelectAll() {
    for (int32_t I = 0; I < C.FileCount(); ++I)
      C.FilesToProcess().push_back(C.Headers().GetFileHeaders(I).Record.FileName());
  }
  // What a checked extraction of everything makes of the media.
  // After an extraction CompressedFile names the last volume read; another name in between
  // brings back volume 1.
  std::string Outcome() {
    C.SetCompressedFile(Dir / "none.1");
    C.SetCompressedFile(Dir / "setup.1");
    try {
      C.ReadHeaders();
      SelectAll();
      C.Extract();
      return "extracted";
    } catch (const EVCDamagedFile& E) {
      return "damaged file " + E.FileName;
    } catch (const EVCDamagedCatalogue& E) {
      EXPECT_EQ(E.FileName, Dir / "setup.1");
      return "damaged catalogue";
    } catch (const EVCDamagedSeal& E) {
      EXPECT_EQ(E.FileName, Dir / "setup.1");
      return "damaged seal";
    } catch (const Exception& E) {
      return "other: " + E.Message();
    }
  }
};

const std::vector<Member> ThreeFiles = {{"setup.exe", testing_support::RandomBytes(1500, 41)},
                                        {"data.bin", testing_support::RandomBytes(4000, 42)},
                                        {"readme.txt", Bytes(300, 'r')}};

TEST_F(SealCheck, SealedMediaOfAnyShapeExtractWhole) {
  const struct {
    const char* Name;
    std::vector<Member> Members;
    int64_t VolumeSize;
  } Cases[] = {
      {"no file", {}, 0},
      {"one file", {{"setup.exe", testing_support::RandomBytes(3000, 43)}}, 0},
      {"many files over many volumes",
       {{"setup.exe", testing_support::RandomBytes(2000, 44)},
        {"empty", {}},
        {"big.bin", testing_support::RandomBytes(20000, 45)},
        {"text.txt", Bytes(5000, 't')},
        {"last", {'x'}}},
       2048},
  };
  C.CheckSeal = true;
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    std::filesystem::remove_all(testing_support::Native(Dir / "out"));
    Media(Case.Members, Case.VolumeSize);
    EXPECT_EQ(Outcome(), "extracted");
    EXPECT_EQ(C.Seal().State, TSealState::Present);
    for (const Member& M : Case.Members)
      EXPECT_EQ(Read(M.Name), std::string(M.Data.begin(), M.Data.end())) << M.Name;
  }
}

TEST_F(SealCheck, ADamagedByteIsReportedAsWhatItDamaged) {
  struct Case {
    std::string Name;
    int32_t Volume;
    int64_t Offset;
    uint8_t Mask;
    std::string Expected;
  };
  std::vector<Case> Cases;
  const ArchivePlan Plan = Media(ThreeFiles, 1024);
  ASSERT_GE(Plan.VolumeCount, 5);
  const int64_t Seal = Plan.CatalogueSize;
  Cases.push_back({"the count", 1, 0, 0x01, "damaged catalogue"});
  Cases.push_back({"the count, beyond the records", 1, 0, 0xFF, "damaged catalogue"});
  Cases.push_back({"the count, negative", 1, 3, 0x80, "damaged catalogue"});
  Cases.push_back({"the tag", 1, 4, 0xFF, "damaged catalogue"});
  Cases.push_back({"a name", 1, 5 + 21, 0x20, "damaged catalogue"});
  Cases.push_back({"a size", 1, 169 + 128, 0x01, "damaged catalogue"});
  Cases.push_back({"the last NextHeader", 1, 333 + 124, 0x01, "damaged catalogue"});
  Cases.push_back({"the seal's magic", 1, Seal, 0x01, "damaged seal"});
  Cases.push_back({"the seal's size", 1, Seal + 12, 0x01, "damaged seal"});
  Cases.push_back({"the catalogue's digest", 1, Seal + 20, 0x01, "damaged seal"});
  Cases.push_back({"a file's digest", 1, Seal + 52 + 32, 0x80, "damaged seal"});
  Cases.push_back({"the seal's own digest", 1, Seal + Plan.SealSize - 1, 0x01, "damaged seal"});
  // The middle byte of each file's data in every volume it lies in.
  int64_t Start = Plan.CatalogueSize + Plan.SealSize;
  for (size_t I = 0; I < ThreeFiles.size(); ++I) {
    const int64_t End = Start + Plan.Headers[I].CompressedSize();
    for (int64_t From = Start; From < End; From = (From / Plan.VolumeSize + 1) * Plan.VolumeSize) {
      const int64_t To = std::min(End, (From / Plan.VolumeSize + 1) * Plan.VolumeSize);
      const auto [Volume, Offset] = sealed_media::Locate(Plan, (From + To) / 2);
      Cases.push_back({ThreeFiles[I].Name + " in volume " + std::to_string(Volume), Volume, Offset,
                       0xFF, "damaged file " + ThreeFiles[I].Name});
    }
    Start = End;
  }
  for (const Case& K : Cases) {
    SCOPED_TRACE(K.Name);
    std::filesystem::remove_all(testing_support::Native(Dir / "out"));
    Media(ThreeFiles, 1024);
    sealed_media::FlipByte(Volume(K.Volume), K.Offset, K.Mask);
    C.CheckSeal = true;
    EXPECT_EQ(Outcome(), K.Expected);
    if (K.Expected.rfind("damaged file", 0) != 0) {
      EXPECT_FALSE(C.CatalogueLoaded()) << "a catalogue that fails its seal is not loaded";
    } else {
      EXPECT_TRUE(C.Abort);
      // The files before the damaged one are whole.
      for (const Member& M : ThreeFiles) {
        if (K.Expected == "damaged file " + M.Name) break;
        EXPECT_EQ(Read(M.Name), std::string(M.Data.begin(), M.Data.end()));
      }
      // Without the check the damage goes unnoticed, or shows as a wrong size at most.
      C.CheckSeal = false;
      const std::string Unchecked = Outcome();
      EXPECT_TRUE(Unchecked == "extracted" ||
                  Unchecked.find("size does not match") != std::string::npos)
          << Unchecked;
    }
  }
}

TEST_F(SealCheck, AVolumeOfOtherMediaIsFound) {
  testing_support::TempDir Other;
  std::vector<Member> Changed = ThreeFiles;
  Changed[1].Data = testing_support::RandomBytes(4000, 99);
  const ArchivePlan OtherPlan = sealed_media::Write(Other / "setup", Changed, 1024);
  const ArchivePlan Plan = Media(ThreeFiles, 1024);
  ASSERT_EQ(OtherPlan.VolumeCount, Plan.VolumeCount);
  testing_support::WriteFile(Volume(3), testing_support::ReadFile(Other / "setup.3"));
  C.CheckSeal = true;
  EXPECT_EQ(Outcome(), "damaged file data.bin");
}

TEST_F(SealCheck, MediaWithoutASealExtractAsBefore) {
  C.CheckSeal = true;
  Media(ThreeFiles, 1024, false);
  EXPECT_EQ(Outcome(), "extracted");
  EXPECT_EQ(C.Seal().State, TSealState::Absent);
  for (const Member& M : ThreeFiles)
    EXPECT_EQ(Read(M.Name), std::string(M.Data.begin(), M.Data.end()));
  // Damage there stays unnoticed, as it always did.
  sealed_media::FlipByte(Volume(3), 100);
  EXPECT_EQ(Outcome(), "extracted");
}

// Sealed media read with the check off are read as every reader of the format reads them.
TEST_F(SealCheck, TheHandLaidSealedArchiveReadsAsBeforeWithTheCheckOff) {
  testing_support::WriteFile(Dir / "setup.1", fixtures::SealedTwoFileVolume());
  C.SetCompressedFile(Dir / "setup.1");
  for (const bool Check : {false, true}) {
    SCOPED_TRACE(Check ? "checked" : "unchecked");
    C.CheckSeal = Check;
    std::filesystem::remove_all(testing_support::Native(Dir / "out"));
    EXPECT_EQ(Outcome(), "extracted");
    EXPECT_EQ(C.Seal().State, Check ? TSealState::Present : TSealState::Absent);
    EXPECT_EQ(Read("setup.exe"), "abababab");
    EXPECT_EQ(Read("readme.txt"), "abc");
  }
  // The check turned on after an unchecked read reads the seal before extracting.
  C.CheckSeal = false;
  C.ReadHeaders();
  C.CheckSeal = true;
  SelectAll();
  C.Extract();
  EXPECT_EQ(C.Seal().State, TSealState::Present);
}

}  // namespace
