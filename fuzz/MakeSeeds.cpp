// Writes the seed corpora of the fuzz targets: archives laid out by hand, streams from a plain
// encoder of the format, and the version blocks the resource compiler wrote into the fixture
// executables. Deterministic: the same fixtures give the same files.
//
//   fuzz_make_seeds CORPUS_DIRECTORY FIXTURE_DIRECTORY
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <varn/archive/ArchiveSignature.h>
#include <varn/archive/ArchiveWriter.h>
#include <varn/archive/PredictionEncoder.h>
#include <varn/framework/Streams.h>
#include <varn/versioninfo/PeVersionResource.h>
#include "tests/archive/ArchiveFixtures.h"
#include "tests/common/ReferenceCoder.h"
#include "tests/common/TestSupport.h"
#include "tests/component/HandLaidArchive.h"
#include "tests/versioninfo/SyntheticVersion.h"

using namespace varn;

namespace fs = std::filesystem;
using hand_laid::Entry;
using hand_laid::LiteralEntry;
using hand_laid::ZeroEntry;
using Bytes = std::vector<uint8_t>;

namespace {

fs::path Corpus;

void Seed(const std::string& Target, const std::string& Name, const Bytes& Content) {
  const fs::path Directory = Corpus / Target;
  fs::create_directories(Directory);
  std::ofstream Out(Directory / Name, std::ios::binary | std::ios::trunc);
  Out.write(reinterpret_cast<const char*>(Content.data()),
            static_cast<std::streamsize>(Content.size()));
}

// The extraction targets share their input format: the resealing one gets the same seeds.
void SeedExtraction(const std::string& Name, const Bytes& Content) {
  Seed("extract", Name, Content);
  Seed("resealed", Name, Content);
}

Bytes Text(const std::string& Value) {
  return Bytes(Value.begin(), Value.end());
}

Entry EncodedEntry(const std::string& Name, const Bytes& Content, const std::string& Version = "") {
  Entry E;
  E.Name = Name;
  E.Compressed = reference_coder::Encode(Content);
  E.OriginalSize = static_cast<int32_t>(Content.size());
  E.Version = Version;
  return E;
}

Bytes Repeated(const std::string& Line, size_t Times) {
  Bytes Out;
  for (size_t I = 0; I < Times; ++I)
    Out.insert(Out.end(), Line.begin(), Line.end());
  return Out;
}

Bytes Prefixed(const Bytes& Head, const Bytes& Body) {
  Bytes Out = Head;
  Out.insert(Out.end(), Body.begin(), Body.end());
  return Out;
}

// The extraction target's input: flags, the lengths of volumes 1 and 2, the volumes.
Bytes VolumeSet(uint8_t Flags, const std::vector<Bytes>& Volumes) {
  Bytes Out = {Flags, 0, 0, 0, 0};
  for (size_t I = 0; I < Volumes.size() && I < 2; ++I) {
    Out[1 + 2 * I] = static_cast<uint8_t>(Volumes[I].size());
    Out[2 + 2 * I] = static_cast<uint8_t>(Volumes[I].size() >> 8);
  }
  for (const Bytes& Volume : Volumes)
    Out.insert(Out.end(), Volume.begin(), Volume.end());
  return Out;
}

// A volume the archive writer writes into a byte vector that outlives it.
class CapturedVolume : public TStream {
 public:
  explicit CapturedVolume(Bytes& Target) : FTarget(Target) {}
  int32_t Read(void*, int32_t) override { return 0; }
  int32_t Write(const void* Buffer, int32_t Count) override {
    const auto* From = static_cast<const uint8_t*>(Buffer);
    FTarget.insert(FTarget.end(), From, From + Count);
    return Count;
  }
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override {
    return Offset == 0 && Origin != TSeekOrigin::soBeginning ? static_cast<int64_t>(FTarget.size())
                                                             : -1;
  }

 private:
  Bytes& FTarget;
};

// The volumes of an archive of the given members, as the project's writer lays them out.
std::vector<Bytes> Written(const std::vector<std::pair<std::string, Bytes>>& Members,
                           int64_t VolumeSize, bool Seal = false) {
  varn::ArchiveWriter Writer;
  Writer.VolumeSize = VolumeSize;
  Writer.Seal = Seal;
  for (const auto& [Name, Content] : Members) {
    varn::ArchiveMember Member;
    Member.Name = Name;
    Member.FileDate = 44000.5;
    Member.Origin = Name;
    Member.OpenData = [Content] { return std::make_unique<TMemoryStream>(Content); };
    Writer.Members.push_back(Member);
  }
  std::vector<Bytes> Volumes(varn::MaxVolumes);
  int32_t Count = 0;
  Writer.Write([&](int32_t Number) {
    Count = Number;
    return std::make_unique<CapturedVolume>(Volumes[static_cast<size_t>(Number - 1)]);
  });
  Volumes.resize(static_cast<size_t>(Count));
  return Volumes;
}

Bytes ReadBlock(const fs::path& Executable) {
  TFileStream File(platform::InternalPath(Executable.string()), TFileMode::fmOpenReadShared);
  const auto Block = versioninfo::ReadVersionResource(File);
  if (!Block) throw std::runtime_error("no version resource in " + Executable.string());
  return *Block;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fuzz_make_seeds CORPUS_DIRECTORY FIXTURE_DIRECTORY\n");
    return 2;
  }
  Corpus = argv[1];
  const fs::path Fixtures = argv[2];

  const std::vector<Entry> TwoFiles = {
      EncodedEntry("setup.exe", Repeated("MZ\x90\x00 program ", 12), "1.2.3.4"),
      LiteralEntry("readme.txt", Text("Read me first.\r\n"))};
  const std::vector<Entry> ThreeFiles = {
      EncodedEntry("setup.exe", Repeated("setup ", 30), "2.0"), ZeroEntry("data.bin", 40),
      EncodedEntry("lib\\help.txt", Repeated("help text\r\n", 20))};
  const std::vector<Entry> Hostile = {
      LiteralEntry("..\\..\\evil", Text("e")), LiteralEntry("sub/x.txt", Text("x")),
      LiteralEntry("CON", Text("c")), LiteralEntry(std::string(103, 'n'), Text("n"))};
  const int64_t ThreeVolumes = 5 + 3 * 164 + 60;

  Seed("catalogue", "two-files", hand_laid::Layout(TwoFiles, 0)[0]);
  Seed("catalogue", "three-files-volume-1", hand_laid::Layout(ThreeFiles, ThreeVolumes)[0]);
  Seed("catalogue", "hostile-names", hand_laid::Layout(Hostile, 0)[0]);
  Seed("catalogue", "empty", Bytes{0, 0, 0, 0, 0});

  Seed("decoder", "literals", Prefixed({1, 0, 0}, hand_laid::LiteralStream(Text("abcdefghij"))));
  Seed("decoder", "text",
       Prefixed({7, 3, 0}, reference_coder::Encode(Repeated("the quick brown fox ", 40))));
  Seed("decoder", "two-blocks", Prefixed({0, 0, 2}, Bytes(1100, 0xFF)));
  Seed("decoder", "stop-in-first-block",
       Prefixed({9, 0, 1}, reference_coder::Encode(Repeated("ab", 5000))));
  Seed("decoder", "cut-in-a-group", Prefixed({2, 0, 0}, Bytes{0x00, 'a', 'b', 0xF0, 'c'}));

  SeedExtraction("one-volume", VolumeSet(0x00, hand_laid::Layout(TwoFiles, 0)));
  SeedExtraction("three-volumes", VolumeSet(0x02, hand_laid::Layout(ThreeFiles, ThreeVolumes)));
  SeedExtraction("missing-middle-volume",
                 VolumeSet(0x23, hand_laid::Layout(ThreeFiles, ThreeVolumes)));
  SeedExtraction("replace-by-version", VolumeSet(0x48, hand_laid::Layout(TwoFiles, 0)));
  SeedExtraction("stopped", VolumeSet(0x80, hand_laid::Layout({ZeroEntry("big.bin", 1100)}, 0)));
  SeedExtraction("hostile-names", VolumeSet(0x40, hand_laid::Layout(Hostile, 0)));
  SeedExtraction("climbing-name",
                 VolumeSet(0x00, hand_laid::Layout({LiteralEntry("../escaped", Text("x"))}, 0)));

  // The hand-laid signed medium; cut in its block; its signature's last byte changed; a key
  // block stamped with its key, and one whose length is a byte too long.
  const Bytes Signed = fixtures::SignedTwoFileVolume();
  Seed("signature", "signed", Signed);
  Seed("signature", "signed-cut-in-the-block", Bytes(Signed.begin(), Signed.begin() + 481 + 100));
  Bytes Tampered = Signed;
  Tampered[481 + 111] ^= 1;
  Seed("signature", "signed-tampered", Tampered);
  Bytes KeyBlock(std::begin(varn::key_block::Marker), std::end(varn::key_block::Marker));
  KeyBlock.resize(varn::key_block::Size);
  KeyBlock[varn::key_block::LengthOffset] = varn::TPublisherKey::Size;
  const Bytes Key = fixtures::FromHex(fixtures::signed_two_files::PublicKey);
  std::copy(Key.begin(), Key.end(), KeyBlock.begin() + varn::key_block::KeyOffset);
  Seed("signature", "key-block", KeyBlock);
  KeyBlock[varn::key_block::LengthOffset] += 1;
  Seed("signature", "key-block-one-too-long", KeyBlock);

  const std::vector<std::pair<std::string, Bytes>> Medium = {
      {"setup.exe", Repeated("MZ program text ", 40)},
      {"data.bin", testing_support::RandomBytes(300, 1)},
      {"empty.txt", {}},
      {"readme.txt", Repeated("Read me.\r\n", 30)}};
  const auto WrittenVolumes = Written(Medium, 5 + 4 * 164 + 100);
  Seed("catalogue", "writer-four-files", WrittenVolumes[0]);
  SeedExtraction("writer-volumes",
                 VolumeSet(WrittenVolumes.size() >= 3 ? 0x02 : 0x01, WrittenVolumes));
  // Sealed as varn pack writes them: whole, and with a byte of volume 2 damaged.
  const auto SealedVolumes = Written(Medium, 5 + 4 * 164 + 84 + 4 * 32 + 100, true);
  Seed("catalogue", "writer-sealed", SealedVolumes[0]);
  const uint8_t SealedLayout = SealedVolumes.size() >= 3 ? 0x02 : 0x01;
  SeedExtraction("writer-sealed", VolumeSet(SealedLayout, SealedVolumes));
  const auto SealedOneVolume = Written(Medium, 0, true);
  Seed("resealed", "writer-sealed-one-volume", VolumeSet(0x00, SealedOneVolume));
  Seed("resealed", "writer-sealed-stopped", VolumeSet(0x80, SealedOneVolume));
  auto Damaged = SealedVolumes;
  Damaged.at(1).at(10) ^= 0xFF;
  SeedExtraction("writer-sealed-damaged", VolumeSet(SealedLayout, Damaged));
  const Bytes Mixed = Repeated("abcabcabd\x01\x02", 60);
  Seed("decoder", "writer-encoded",
       Prefixed({3, 1, 0}, varn::PredictionEncoder::EncodeAll(Mixed.data(), Mixed.size())));

  // Language and character set as the enumerations number them, then the block.
  const struct {
    const char* Fixture;
    uint8_t Language, CharacterSet;
  } Blocks[] = {
      {"app.exe", 8, 7}, {"driver.exe", 16, 1}, {"font.exe", 24, 6}, {"otherlanguage.exe", 6, 7}};
  for (const auto& B : Blocks) {
    const Bytes Block = ReadBlock(Fixtures / B.Fixture);
    Seed("version_block", fs::path(B.Fixture).stem().string(),
         Prefixed({B.Language, B.CharacterSet}, Block));
  }
  const Bytes AppBlock = ReadBlock(Fixtures / "app.exe");
  Seed("pe_resource", "pe32", synthetic::MakePe(AppBlock, false).Bytes);
  Seed("pe_resource", "pe32plus-crowded",
       synthetic::MakePe(ReadBlock(Fixtures / "dll.dll"), true, true).Bytes);
  return 0;
}
