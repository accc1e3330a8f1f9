// Signed media: signing a medium that exists (SignArchiveFiles) gives the bytes that signing it
// while packing gives, but for the signature itself; the signed medium extracts and checks as a
// sealed one; and a medium whose data the seal does not vouch for is neither signed nor changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include <varn/archive/SignArchive.h>
#include <varn/archive/SigningKeys.h>
#include "tests/common/TestKeys.h"
#include "tests/common/TreeSnapshot.h"
#include "tests/component/ExtractionFixture.h"
#include "tests/component/SealedMedia.h"

using namespace varn;

namespace {

using sealed_media::Member;
using Bytes = std::vector<uint8_t>;
using Signer = std::function<Bytes(const Bytes&)>;

const TSigningKey& TestKey() {
  static const TSigningKey Key = ReadPrivateKeyPem(test_keys::PrivatePem, "test.key");
  return Key;
}

const TSigningKey& OtherKey() {
  static const TSigningKey Key = GenerateSigningKey();
  return Key;
}

Signer SignerOf(const TSigningKey& Key) {
  return [&Key](const Bytes& Seal) { return SignSeal(Key, Seal); };
}

const std::vector<Member> FourFiles = {{"setup.exe", testing_support::RandomBytes(1500, 51)},
                                       {"empty.txt", {}},
                                       {"data.bin", testing_support::RandomBytes(4000, 52)},
                                       {"readme.txt", Bytes(300, 'r')}};

class SignedMedia : public Extraction {
 protected:
  std::string Volume(const testing_support::TempDir& In, int32_t N) const {
    return In / ("setup." + std::to_string(N));
  }
  int32_t VolumeCount(const testing_support::TempDir& In) const {
    int32_t N = 0;
    while (testing_support::Exists(Volume(In, N + 1)))
      ++N;
    return N;
  }
  TSignatureCheck Check(const testing_support::TempDir& In, const TSigningKey& Key) {
    TFileStream Stream(Volume(In, 1), TFileMode::fmOpenReadShared);
    TFileHeaders Headers;
    Headers.ReadFromStream(Stream);
    const TSealReading Seal = ReadArchiveSeal(Stream, "setup.1");
    return CheckSignature(Headers, Seal, ReadArchiveSignature(Stream, Seal), Key.Public);
  }
};

TEST_F(SignedMedia, SigningAfterPackingGivesWhatSigningWhilePackingGives) {
  // Volumes of any size: 2400 leaves the last volume too full for the block, which then begins a
  // further one; a medium of one volume stays one, whatever size it was packed for.
  const int64_t Whole = sealed_media::Write(Dir / "probe", FourFiles, 0).TotalSize;
  ASSERT_GT(Whole % 2400, 2400 - int64_t{signature::BlockSize});
  for (const int64_t VolumeSize : {int64_t{0}, int64_t{2048}, int64_t{2400}, Whole + 100}) {
    SCOPED_TRACE(testing::Message() << "volumes of " << VolumeSize);
    testing_support::TempDir Later, AtOnce;
    sealed_media::Write(Later / "setup", FourFiles, VolumeSize);
    const int32_t Before = VolumeCount(Later);
    const SignedArchive Signed = SignArchiveFiles(Later / "setup.2", SignerOf(TestKey()));
    const ArchivePlan Packed = sealed_media::Write(
        AtOnce / "setup", FourFiles, Before == 1 ? 0 : VolumeSize, true, SignerOf(TestKey()));
    EXPECT_EQ(Signed.Plan.SignatureSize, int64_t{signature::BlockSize});
    EXPECT_TRUE(Signed.Replaced.Removed.empty());
    EXPECT_EQ(Packed.VolumeCount, Before + (VolumeSize == 2400 ? 1 : 0));
    ASSERT_EQ(VolumeCount(Later), Packed.VolumeCount);
    for (int32_t N = 1; N <= Packed.VolumeCount; ++N) {
      std::string A = testing_support::ReadFile(Volume(Later, N));
      const std::string B = testing_support::ReadFile(Volume(AtOnce, N));
      if (N == 1) {
        const size_t Value =
            static_cast<size_t>(Packed.CatalogueSize + Packed.SealSize) + signature::ValueOffset;
        ASSERT_GE(A.size(), Value + 64);
        EXPECT_NE(A.substr(Value, 64), B.substr(Value, 64)) << "a fresh nonce";
        A.replace(Value, 64, B.substr(Value, 64));
      }
      EXPECT_EQ(A, B) << "volume " << N;
    }
    EXPECT_EQ(Check(Later, TestKey()), TSignatureCheck::Signed);
    EXPECT_EQ(Check(Later, OtherKey()), TSignatureCheck::NotSigned);

    // Read and extracted as a sealed medium is.
    C.CheckSeal = true;
    C.SetCompressedFile(Volume(Later, 1));
    C.ReadHeaders();
    for (const Member& M : FourFiles)
      C.FilesToProcess().push_back(M.Name);
    std::filesystem::remove_all(testing_support::Native(Dir / "out"));
    C.Extract();
    for (const Member& M : FourFiles)
      EXPECT_EQ(Read(M.Name), std::string(M.Data.begin(), M.Data.end())) << M.Name;

    // Signed anew by another key, in the same place.
    SignArchiveFiles(Volume(Later, 1), SignerOf(OtherKey()));
    EXPECT_EQ(VolumeCount(Later), Packed.VolumeCount);
    EXPECT_EQ(Check(Later, OtherKey()), TSignatureCheck::Signed);
    EXPECT_EQ(Check(Later, TestKey()), TSignatureCheck::NotSigned);
  }
}

TEST_F(SignedMedia, NothingIsSignedThatTheSealDoesNotVouchFor) {
  const struct {
    const char* Name;
    bool Seal;
    std::function<void(const ArchivePlan&, const testing_support::TempDir&)> Damage;
    std::string Message;
  } Cases[] = {
      {"not sealed", false, [](const ArchivePlan&, const testing_support::TempDir&) {},
       "is not sealed, and only a sealed medium can be signed: pack it again with a seal"},
      {"a byte of a file's data", true,
       [](const ArchivePlan& Plan, const testing_support::TempDir& In) {
         // data.bin's data runs through volume 3.
         ASSERT_GT(Plan.Headers[2].LastDisk(), 3);
         sealed_media::FlipByte(In / "setup.3", 500);
       },
       "The file does not match the seal of the archive: data.bin"},
      {"the last byte", true,
       [](const ArchivePlan& Plan, const testing_support::TempDir& In) {
         sealed_media::FlipByte(In / ("setup." + std::to_string(Plan.VolumeCount)),
                                Plan.Headers.back().DataEnd());
       },
       "The file does not match the seal of the archive: readme.txt"},
      {"the catalogue", true,
       [](const ArchivePlan&, const testing_support::TempDir& In) {
         sealed_media::FlipByte(In / "setup.1", 5 + 164 + 30);
       },
       "The catalogue does not match the seal of the archive: "},
      {"the seal", true,
       [](const ArchivePlan& Plan, const testing_support::TempDir& In) {
         sealed_media::FlipByte(In / "setup.1", Plan.CatalogueSize + 60);
       },
       "The seal of the archive is damaged: "},
      {"a volume missing", true,
       [](const ArchivePlan&, const testing_support::TempDir& In) {
         std::filesystem::remove(testing_support::Native(In / "setup.3"));
       },
       "Cannot open volume 3 of the medium, "},
      {"a volume cut short", true,
       [](const ArchivePlan&, const testing_support::TempDir& In) {
         std::filesystem::resize_file(testing_support::Native(In / "setup.3"), 1000);
       },
       "The file does not match the seal of the archive: data.bin"},
      {"the last volume cut short", true,
       [](const ArchivePlan& Plan, const testing_support::TempDir& In) {
         std::filesystem::resize_file(
             testing_support::Native(In / ("setup." + std::to_string(Plan.VolumeCount))),
             Plan.Headers.back().DataEnd());
       },
       "The catalogue entry of \"readme.txt\" names data that its volumes do not hold; the "
       "medium is damaged"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    testing_support::TempDir Media;
    const ArchivePlan Plan = sealed_media::Write(Media / "setup", FourFiles, 2048, Case.Seal);
    Case.Damage(Plan, Media);
    const testing_support::TreeSnapshot Before =
        testing_support::SnapshotTree(testing_support::Native(Media.Path()));
    try {
      SignArchiveFiles(Media / "setup.1", SignerOf(TestKey()));
      ADD_FAILURE() << "signed";
    } catch (const Exception& E) {
      EXPECT_NE(E.Message().find(Case.Message), std::string::npos) << E.Message();
    }
    EXPECT_EQ(testing_support::TreeDifferences(
                  Before, testing_support::SnapshotTree(testing_support::Native(Media.Path()))),
              std::vector<std::string>{})
        << "the medium as it was, no file left behind";
  }
}

}  // namespace
