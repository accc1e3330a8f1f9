#include <varn/archive/ArchiveWriter.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <map>

#include <varn/archive/ArchiveSeal.h>
#include <varn/archive/PendingVolumes.h>
#include <varn/archive/PredictionEncoder.h>
#include <varn/archive/cmp_TVarnStreamCompress.h>
#include <varn/framework/DateTime.h>
#include <varn/support/PathHelpers.h>
#include "tests/archive/ArchiveFixtures.h"
#include "tests/common/TestSupport.h"
#include "tests/common/TreeSnapshot.h"

using namespace varn;

namespace {

using fixtures::Append;
using fixtures::Bytes;
using fixtures::CollectData;
using fixtures::Header;
using fixtures::Prologue;
using fixtures::Record;
using fixtures::VolumeCapture;
using varn::ArchiveMember;
using varn::ArchivePlan;
using varn::ArchiveWriter;
using varn::EArchiveWriter;
using varn::MemberSizes;

ArchiveMember InMemory(const std::string& Name, Bytes Data, TDateTime Date = 45000.5,
                       const std::string& Version = "") {
  ArchiveMember M;
  M.Name = Name;
  M.Version = Version;
  M.FileDate = Date;
  M.OpenData = [Data]() -> std::unique_ptr<TStream> {
    return std::make_unique<TMemoryStream>(Data);
  };
  return M;
}

// Writes into memory; volume n is Volumes[n - 1].
struct MemoryArchive {
  std::vector<Bytes> Volumes;
  ArchivePlan Plan;
  std::vector<int32_t> Created;
};

MemoryArchive WriteToMemory(std::vector<ArchiveMember> Members, int64_t VolumeSize) {
  MemoryArchive A;
  ArchiveWriter W;
  W.Members = std::move(Members);
  W.VolumeSize = VolumeSize;
  std::map<int32_t, Bytes> Written;
  A.Plan = W.Write([&](int32_t Number) -> std::unique_ptr<TStream> {
    A.Created.push_back(Number);
    return std::make_unique<VolumeCapture>(Written[Number]);
  });
  for (auto& [Number, Data] : Written)
    A.Volumes.push_back(Data);
  return A;
}

// Reads the archive back as the reading side does and checks every file against Originals.
void ExpectReadsBack(const std::vector<Bytes>& Volumes, const std::vector<std::string>& Names,
                     const std::vector<Bytes>& Originals) {
  TFileHeaders Headers;
  TMemoryStream First(Volumes.at(0));
  Headers.ReadFromStream(First);
  ASSERT_EQ(Headers.Count(), static_cast<int32_t>(Originals.size()));
  for (int32_t I = 0; I < Headers.Count(); ++I) {
    const TFileHeaderRecord& R = Headers.GetFileHeaders(I).Record;
    SCOPED_TRACE(R.FileName());
    EXPECT_EQ(R.FileName(), Names[static_cast<size_t>(I)]);
    const Bytes Coded = CollectData(Volumes, R);
    EXPECT_EQ(static_cast<int32_t>(Coded.size()), R.CompressedSize());
    EXPECT_EQ(R.OriginalSize(), static_cast<int32_t>(Originals[static_cast<size_t>(I)].size()));
    EXPECT_EQ(fixtures::DecodeStream(Coded), Originals[static_cast<size_t>(I)]);
    if (R.CompressedSize() == 0) {
      EXPECT_EQ(R.DataEnd(), R.DataStart() - 1);
      EXPECT_EQ(R.FirstDisk(), R.LastDisk());
      EXPECT_LE(R.DataStart(), static_cast<int32_t>(Volumes.at(R.FirstDisk() - 1u).size()));
    }
  }
}

Bytes Sequence(int From, int To) {
  Bytes B;
  for (int V = From; V <= To; ++V)
    B.push_back(static_cast<uint8_t>(V));
  return B;
}

// The two-file archive, laid out by hand: count 2, headers at 5 and 169, data from 333.
TEST(ArchiveLayout, TwoFileArchiveByHand) {
  const auto [A, B] = fixtures::TwoFileHeaders(333, 0);
  Bytes Volume = Prologue(2, 0);
  Append(Volume, Record(A));
  Append(Volume, Record(B));
  Append(Volume, fixtures::TwoFileData);
  ASSERT_EQ(Volume.size(), 342u);

  TFileHeaders Headers;
  TMemoryStream Stream(Volume);
  Headers.ReadFromStream(Stream);
  ASSERT_EQ(Headers.Count(), 2);
  const TFileHeaderRecord& R = Headers.GetFileHeaders(0).Record;
  EXPECT_EQ(R.FileName(), "setup.exe");
  EXPECT_EQ(R.Version(), "1.0.0.1");
  EXPECT_EQ(R.FileDate(), 45000.5);
  EXPECT_EQ(R.FirstDisk(), 1);
  EXPECT_EQ(R.LastDisk(), 1);
  EXPECT_EQ(R.DataStart(), 333);
  EXPECT_EQ(R.DataEnd(), 337);
  EXPECT_EQ(R.NextHeader(), 169);
  EXPECT_EQ(Headers.GetFileHeaders(1).Record.FileName(), "readme.txt");
  ExpectReadsBack({Volume}, {"setup.exe", "readme.txt"},
                  {Bytes{'a', 'b', 'a', 'b', 'a', 'b', 'a', 'b'}, Bytes{'a', 'b', 'c'}});

  // The writer lays out the very same bytes.
  const MemoryArchive Written = WriteToMemory(
      {InMemory("setup.exe", {'a', 'b', 'a', 'b', 'a', 'b', 'a', 'b'}, 45000.5, "1.0.0.1"),
       InMemory("readme.txt", {'a', 'b', 'c'}, 45001.25)},
      0);
  ASSERT_EQ(Written.Volumes.size(), 1u);
  EXPECT_EQ(Written.Volumes[0], Volume);
}

// Three volumes of 400 bytes: file 1 runs from 333 in volume 1 to 32 in volume 2, file 2 from
// 33 in volume 2 to 32 in volume 3.
TEST(ArchiveLayout, ThreeVolumesWithDataCrossingVolumeEnds) {
  // File 1: the bytes 1 to 88 as eleven groups of literals, then 0, predicted from an unused
  // table entry (flag 01, no literal): 100 coded bytes for 89.
  Bytes Data1;
  for (int G = 0; G < 11; ++G) {
    Data1.push_back(0x00);
    Append(Data1, Sequence(8 * G + 1, 8 * G + 8));
  }
  Data1.push_back(0x01);
  Bytes Original1 = Sequence(1, 88);
  Original1.push_back(0);
  // File 2: "ab" 1584 times: F0 61 62 61 62, then 395 groups all predicted.
  Bytes Data2 = {0xF0, 0x61, 0x62, 0x61, 0x62};
  Append(Data2, Bytes(395, 0xFF));
  Bytes Original2;
  for (int I = 0; I < 1584; ++I)
    Append(Original2, {'a', 'b'});
  ASSERT_EQ(Data1.size(), 100u);
  ASSERT_EQ(Data2.size(), 400u);

  Header A;
  A.FileDate = 45000.5;
  A.FileName = "setup.exe";
  A.NextHeader = 169;
  A.OriginalSize = 89;
  A.CompressedSize = 100;
  A.FirstDisk = 1;
  A.DataStart = 333;
  A.LastDisk = 2;
  A.DataEnd = 32;
  Header B;
  B.FileDate = 45000.75;
  B.FileName = "data\\ab.txt";
  B.Version = "2.1";
  B.OriginalSize = 3168;
  B.CompressedSize = 400;
  B.FirstDisk = 2;
  B.DataStart = 33;
  B.LastDisk = 3;
  B.DataEnd = 32;
  Bytes All = Prologue(2, 0);
  Append(All, Record(A));
  Append(All, Record(B));
  Append(All, Data1);
  Append(All, Data2);
  ASSERT_EQ(All.size(), 833u);
  const std::vector<Bytes> Volumes = {Bytes(All.begin(), All.begin() + 400),
                                      Bytes(All.begin() + 400, All.begin() + 800),
                                      Bytes(All.begin() + 800, All.end())};
  ExpectReadsBack(Volumes, {"setup.exe", "data\\ab.txt"}, {Original1, Original2});

  const MemoryArchive Written =
      WriteToMemory({InMemory("setup.exe", Original1, 45000.5),
                     InMemory("data\\ab.txt", Original2, 45000.75, "2.1")},
                    400);
  EXPECT_EQ(Written.Volumes, Volumes);
  EXPECT_EQ(Written.Created, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(Written.Plan.VolumeCount, 3);
  EXPECT_EQ(Written.Plan.VolumeBytes(3), 33);
}

template <typename Action>
std::string RefusalOf(Action&& Act) {
  try {
    Act();
  } catch (const EArchiveWriter& E) {
    return E.Message();
  }
  return "(accepted)";
}

Bytes Structured(size_t Size, uint32_t Seed) {
  Bytes B = testing_support::RandomBytes(Size, Seed);
  const std::string Words = "the archive of the setup program holds the files of the setup ";
  for (size_t I = 0; I < Size; ++I)
    if ((I / 64) % 3 != 0) B[I] = static_cast<uint8_t>(Words[I % Words.size()]);
  return B;
}

// The seal after the catalogue: readers of the format find the same headers and data, and
// the writer lays out the very bytes laid by hand.
TEST(ArchiveLayout, SealedTwoFileArchive) {
  const Bytes Volume = fixtures::SealedTwoFileVolume();
  ASSERT_EQ(Volume.size(), 490u);
  ExpectReadsBack({Volume}, {"setup.exe", "readme.txt"},
                  {Bytes{'a', 'b', 'a', 'b', 'a', 'b', 'a', 'b'}, Bytes{'a', 'b', 'c'}});
  TMemoryStream Stream(Volume);
  const TSealReading Seal = ReadArchiveSeal(Stream, "setup.1");
  EXPECT_EQ(Seal.State, TSealState::Present);
  EXPECT_EQ(Seal.Offset, 333);
  EXPECT_EQ(DigestText(Seal.Seal.CatalogueHash), fixtures::sealed_two_files::CatalogueHash);
  ASSERT_EQ(Seal.Seal.FileHashes.size(), 2u);
  EXPECT_EQ(DigestText(Seal.Seal.FileHashes[0]), fixtures::sealed_two_files::HashOfAbababab);
  EXPECT_EQ(DigestText(Seal.Seal.FileHashes[1]), fixtures::sealed_two_files::HashOfAbc);

  ArchiveWriter W;
  W.Seal = true;
  W.Members = {InMemory("setup.exe", {'a', 'b', 'a', 'b', 'a', 'b', 'a', 'b'}, 45000.5, "1.0.0.1"),
               InMemory("readme.txt", {'a', 'b', 'c'}, 45001.25)};
  Bytes Written;
  const ArchivePlan Plan = W.Write([&](int32_t) -> std::unique_ptr<TStream> {
    return std::make_unique<VolumeCapture>(Written);
  });
  EXPECT_EQ(Written, Volume);
  EXPECT_EQ(Plan.SealSize, 148);
}

TEST(ArchiveWriter, SealedArchivesOfAnySplitReadBack) {
  const std::vector<Bytes> Originals = {testing_support::RandomBytes(900, 21), Bytes(),
                                        Structured(2500, 22)};
  const std::vector<std::string> Names = {"setup.exe", "empty", "data.txt"};
  std::vector<ArchiveMember> Members;
  for (size_t I = 0; I < Names.size(); ++I)
    Members.push_back(InMemory(Names[I], Originals[I]));
  const int64_t Head = 5 + 3 * 164 + 84 + 3 * 32;
  for (const int64_t Size : {int64_t{0}, Head, Head + 1, int64_t{700}, int64_t{1024}}) {
    SCOPED_TRACE(testing::Message() << "volume size " << Size);
    ArchiveWriter W;
    W.Seal = true;
    W.Members = Members;
    W.VolumeSize = Size;
    std::map<int32_t, Bytes> Written;
    W.Write([&](int32_t Number) -> std::unique_ptr<TStream> {
      return std::make_unique<VolumeCapture>(Written[Number]);
    });
    std::vector<Bytes> Volumes;
    for (auto& [Number, Data] : Written)
      Volumes.push_back(Data);
    ExpectReadsBack(Volumes, Names, Originals);
    TMemoryStream First(Volumes[0]);
    const TSealReading Seal = ReadArchiveSeal(First, "setup.1");
    ASSERT_EQ(Seal.State, TSealState::Present);
    EXPECT_EQ(Seal.Offset, 5 + 3 * 164);
    for (size_t I = 0; I < Originals.size(); ++I) {
      platform::Sha256 Hash;
      Hash.Update(Originals[I].data(), Originals[I].size());
      TSealDigest Digest{};
      ASSERT_TRUE(Hash.Finish(Digest));
      EXPECT_EQ(Seal.Seal.FileHashes[I], Digest) << Names[I];
    }
  }
  // Volume 1 holds catalogue and seal whole.
  EXPECT_EQ(RefusalOf([&] {
              ArchiveWriter W;
              W.Seal = true;
              W.Members = Members;
              W.VolumeSize = Head - 1;
              W.Write([](int32_t) -> std::unique_ptr<TStream> {
                return std::make_unique<TMemoryStream>();
              });
            }),
            "The volume size of 676 bytes is too small: the catalogue of 3 files takes 497 bytes "
            "and its seal 180 more, and volume 1 must hold all of it");
}

TEST(ArchiveWriter, RoundTripsEverySizeUpToAFewBlocks) {
  std::vector<size_t> Sizes;
  for (size_t S = 0; S <= 1100; ++S)
    Sizes.push_back(S);
  for (size_t Block = 8192; Block <= 4 * 8192; Block += 8192)
    for (size_t S = Block - 9; S <= Block + 9; ++S)
      Sizes.push_back(S);
  for (size_t S = 1101; S < 4 * 8192; S += 379)
    Sizes.push_back(S);
  for (const size_t Size : Sizes) {
    SCOPED_TRACE(testing::Message() << "size " << Size << ", seed " << Size + 17);
    const Bytes Random = testing_support::RandomBytes(Size, static_cast<uint32_t>(Size + 17));
    const Bytes Text = Structured(Size, static_cast<uint32_t>(Size + 17));
    const MemoryArchive A = WriteToMemory({InMemory("r", Random), InMemory("t", Text)}, 0);
    ExpectReadsBack(A.Volumes, {"r", "t"}, {Random, Text});
    if (HasFailure()) return;
  }
}

TEST(ArchiveWriter, SplitsAtEveryPositionOfASmallArchive) {
  const std::vector<Bytes> Originals = {testing_support::RandomBytes(37, 1), Bytes(),
                                        Structured(300, 2), Bytes(),
                                        testing_support::RandomBytes(5, 3)};
  const std::vector<std::string> Names = {"a", "empty1", "c", "empty2", "e"};
  std::vector<ArchiveMember> Members;
  for (size_t I = 0; I < Names.size(); ++I)
    Members.push_back(InMemory(Names[I], Originals[I]));
  const MemoryArchive Whole = WriteToMemory(Members, 0);
  const int64_t Total = static_cast<int64_t>(Whole.Volumes[0].size());
  const int64_t Catalogue = 5 + 164 * 5;
  for (int64_t Size = Catalogue; Size <= Total + 1; ++Size) {
    SCOPED_TRACE(testing::Message() << "volume size " << Size);
    const MemoryArchive A = WriteToMemory(Members, Size);
    Bytes Joined;
    for (size_t V = 0; V < A.Volumes.size(); ++V) {
      if (V + 1 < A.Volumes.size()) {
        EXPECT_EQ(static_cast<int64_t>(A.Volumes[V].size()), Size);
      }
      EXPECT_GT(A.Volumes[V].size(), 0u);
      EXPECT_LE(static_cast<int64_t>(A.Volumes[V].size()), Size);
      Append(Joined, A.Volumes[V]);
    }
    EXPECT_EQ(static_cast<int64_t>(Joined.size()), Total);
    // The data region is the same run of bytes however it is cut.
    EXPECT_TRUE(
        std::equal(Joined.begin() + Catalogue, Joined.end(), Whole.Volumes[0].begin() + Catalogue));
    ExpectReadsBack(A.Volumes, Names, Originals);
    if (HasFailure()) return;
  }
}

TEST(ArchiveWriter, EmptyFileAtAFullVolumeEndStaysInThatVolume) {
  // Catalogue 333 bytes, "x" codes to 2 bytes: volume 1 ends exactly after it.
  const MemoryArchive A = WriteToMemory({InMemory("x", {'x'}), InMemory("empty", {})}, 335);
  ASSERT_EQ(A.Volumes.size(), 1u);
  const TFileHeaderRecord& R = A.Plan.Headers[1];
  EXPECT_EQ(R.FirstDisk(), 1);
  EXPECT_EQ(R.LastDisk(), 1);
  EXPECT_EQ(R.DataStart(), 335);
  EXPECT_EQ(R.DataEnd(), 334);
}

TEST(ArchiveWriter, OutputIsDeterministic) {
  const std::vector<ArchiveMember> Members = {InMemory("a", Structured(5000, 4)),
                                              InMemory("b", testing_support::RandomBytes(700, 5))};
  EXPECT_EQ(WriteToMemory(Members, 1000).Volumes, WriteToMemory(Members, 1000).Volumes);
}

TEST(ArchiveWriter, RefusesWhatTheFormatCannotHold) {
  const auto Write = [](std::vector<ArchiveMember> Members, int64_t VolumeSize) {
    return RefusalOf([&] {
      ArchiveWriter W;
      W.Members = std::move(Members);
      W.VolumeSize = VolumeSize;
      W.Write([](int32_t) -> std::unique_ptr<TStream> {
        ADD_FAILURE() << "a volume was created";
        return std::make_unique<TMemoryStream>();
      });
    });
  };
  EXPECT_EQ(Write({InMemory(std::string(104, 'n'), {})}, 0),
            "The archived name \"" + std::string(104, 'n') +
                "\" has 104 characters; a catalogue entry holds at most 103");
  EXPECT_EQ(Write({InMemory("", {})}, 0), "The archived name of \"\" is blank");
  EXPECT_EQ(Write({InMemory(" \t ", {})}, 0), "The archived name of \" \\x09 \" is blank");
  EXPECT_EQ(Write({InMemory("v", {}, 45000, std::string(23, '1'))}, 0),
            "The version \"" + std::string(23, '1') +
                "\" of \"v\" has 23 characters; a catalogue entry holds at most 22");
  EXPECT_EQ(Write({InMemory("Setup.exe", {}), InMemory("SETUP.EXE", {})}, 0),
            "Two files would be archived as \"SETUP.EXE\": \"Setup.exe\" and \"SETUP.EXE\"");
  EXPECT_EQ(Write({InMemory("a", {}), InMemory("b", {})}, 332),
            "The volume size of 332 bytes is too small: the catalogue of 2 files takes 333 "
            "bytes, and volume 1 must hold all of it");
  EXPECT_EQ(Write({InMemory("a", testing_support::RandomBytes(50000, 6))}, 169),
            "The archive would need 333 volumes of 169 bytes; a catalogue names at most 255");
  EXPECT_EQ(Write({InMemory("a", {})}, -1), "The volume size must not be negative");
  for (const int64_t Size : {MaxVolumeSize + 1, std::numeric_limits<int64_t>::max()})
    EXPECT_EQ(Write({InMemory("a", {})}, Size),
              "The volume size of " + std::to_string(Size) +
                  " bytes is more than the format can use: the offsets in a volume go up to "
                  "2147483647, so a volume holds at most 2147483648 bytes (2g)");
  // Refused from its size: not a byte of it is read.
  class HugeStream : public TStream {
   public:
    int32_t Read(void*, int32_t) override {
      ADD_FAILURE() << "read";
      return 0;
    }
    int32_t Write(const void*, int32_t) override { return 0; }
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override {
      return Origin == TSeekOrigin::soEnd ? 2200000000 + Offset : Offset;
    }
  };
  ArchiveMember Huge = InMemory("huge", {});
  Huge.OpenData = [] { return std::make_unique<HugeStream>(); };
  EXPECT_EQ(Write({InMemory("a", {'a'}), Huge}, 0),
            "\"huge\" has 2200000000 bytes; a catalogue entry holds at most 2147483647");

  // Exactly what fits is accepted.
  EXPECT_EQ(RefusalOf([] {
              WriteToMemory({InMemory(std::string(103, 'n'), {}, 45000, std::string(22, '1'))},
                            169);
            }),
            "(accepted)");
}

TEST(ArchiveWriter, PlanRefusesSizesAndOffsetsBeyond31Bits) {
  const std::vector<ArchiveMember> One = {InMemory("a", {})};
  const auto Plan = [&](std::vector<MemberSizes> Sizes, int64_t VolumeSize,
                        const std::vector<ArchiveMember>& Members) {
    return RefusalOf([&] { varn::PlanArchive(Members, Sizes, VolumeSize); });
  };
  EXPECT_EQ(Plan({{0x80000000LL, 10}}, 0, One),
            "\"a\" would be larger than 2147483647 bytes, the most that a catalogue entry holds");
  EXPECT_EQ(Plan({{10, 0x80000000LL}}, 0, One),
            "The compressed data of \"a\" would be larger than 2147483647 bytes, the most that a "
            "catalogue entry holds");
  const std::vector<ArchiveMember> Two = {InMemory("a", {}), InMemory("b", {})};
  EXPECT_EQ(Plan({{0x40000000LL, 10}, {0x40000000LL, 10}}, 0, Two),
            "The files together would be larger than 2147483647 bytes, the most that a "
            "catalogue entry holds");
  // Data that fits in 31 bits, but behind the catalogue its end lies beyond offset 2^31-1.
  EXPECT_EQ(Plan({{10, 0x7FFFFFF0LL}}, 0, One),
            "The data of \"a\" would lie beyond offset 2147483647 of its volume, the most that a "
            "catalogue entry holds; split the archive into smaller volumes");
  // In volumes of 2^30 bytes the same data fits.
  EXPECT_EQ(Plan({{10, 0x7FFFFFF0LL}}, 0x40000000LL, One), "(accepted)");
}

TEST(ArchiveWriter, ClampsDatesThatTheLoaderCannotRestore) {
  bool Clamped = false;
  const TDateTime Earliest = EncodeDate(1980, 1, 1);
  const TDateTime Latest = EncodeDate(2099, 12, 31) + EncodeTime(23, 59, 59, 0);
  EXPECT_EQ(varn::RestorableFileDate(EncodeDate(1975, 6, 1), Clamped), Earliest);
  EXPECT_TRUE(Clamped);
  EXPECT_EQ(varn::RestorableFileDate(std::nan(""), Clamped), Earliest);
  EXPECT_TRUE(Clamped);
  EXPECT_EQ(varn::RestorableFileDate(EncodeDate(2100, 1, 1), Clamped), Latest);
  EXPECT_TRUE(Clamped);
  EXPECT_EQ(varn::RestorableFileDate(45000.123, Clamped), 45000.123);
  EXPECT_FALSE(Clamped);
  EXPECT_NE(DateTimeToFileDate(Earliest), 0);
  EXPECT_NE(DateTimeToFileDate(Latest), 0);

  ArchiveWriter W;
  W.Members = {InMemory("old", {'x'}, EncodeDate(1970, 1, 1)), InMemory("new", {'y'}, 45000.5)};
  std::vector<std::string> Warnings;
  W.OnWarning = [&](const std::string& Message) { Warnings.push_back(Message); };
  const ArchivePlan Plan = W.Write(
      [](int32_t) -> std::unique_ptr<TStream> { return std::make_unique<TMemoryStream>(); });
  EXPECT_EQ(Plan.Headers[0].FileDate(), Earliest);
  EXPECT_EQ(Plan.Headers[1].FileDate(), 45000.5);
  EXPECT_EQ(Warnings, std::vector<std::string>{
                          "The modification time of \"old\" (1970-01-01 00:00:00) lies outside "
                          "the years 1980 to 2099, which an extracted file cannot be given; it "
                          "is archived as 1980-01-01 00:00:00"});
}

TEST(ArchiveWriter, RefusesDataThatChangesBetweenReads) {
  ArchiveWriter W;
  int Opens = 0;
  ArchiveMember M;
  M.Name = "moving";
  M.FileDate = 45000;
  M.OpenData = [&]() -> std::unique_ptr<TStream> {
    return std::make_unique<TMemoryStream>(Bytes(++Opens == 1 ? 10 : 11, 'x'));
  };
  W.Members = {M};
  EXPECT_EQ(RefusalOf([&] {
              W.Write([](int32_t) -> std::unique_ptr<TStream> {
                return std::make_unique<TMemoryStream>();
              });
            }),
            "\"moving\" changed while it was being archived");
}

TEST(ArchiveFiles, PacksFilesWithTheirTimesIntoNamedVolumes) {
  testing_support::TempDir Dir;
  const Bytes Program = Structured(20000, 8);
  testing_support::WriteFile(Dir / "setup.exe", Program);
  testing_support::WriteFile(Dir / "empty.txt", std::string());
  const int32_t Packed = (((2021 - 1980) << 9 | 6 << 5 | 15) << 16) | (12 << 11 | 34 << 5 | 28);
  {
    TFileStream Touch(Dir / "setup.exe", TFileMode::fmCreate);
    Touch.WriteBuffer(Program.data(), static_cast<int32_t>(Program.size()));
    ASSERT_TRUE(Touch.SetFileDate(Packed));
  }

  ArchiveWriter W;
  W.VolumeSize = 3000;
  W.Members.push_back(varn::MemberFromFile(Dir / "setup.exe", "setup.exe"));
  W.Members.push_back(
      varn::MemberFromFile(Dir / "empty.txt", "empty.txt", [](const std::string& Path) {
        return FileNamePart(Path) == "empty.txt" ? std::string("1.2.3.4") : std::string();
      }));
  EXPECT_EQ(W.Members[0].Origin, testing_support::Native(Dir / "setup.exe").string());
  EXPECT_EQ(W.Members[0].FileDate, EncodeDate(2021, 6, 15) + EncodeTime(12, 34, 56, 0));
  const ArchivePlan Plan = varn::WriteArchiveFiles(W, Dir / "out.1");
  ASSERT_GE(Plan.VolumeCount, 2);

  std::vector<Bytes> Volumes;
  for (int32_t N = 1; N <= Plan.VolumeCount; ++N) {
    const std::string Data = testing_support::ReadFile(Dir / ("out." + std::to_string(N)));
    Volumes.emplace_back(Data.begin(), Data.end());
    EXPECT_EQ(static_cast<int64_t>(Volumes.back().size()), Plan.VolumeBytes(N));
  }
  EXPECT_FALSE(testing_support::Exists(Dir / ("out." + std::to_string(Plan.VolumeCount + 1))));
  ExpectReadsBack(Volumes, {"setup.exe", "empty.txt"}, {Program, Bytes()});
  EXPECT_EQ(Plan.Headers[1].Version(), "1.2.3.4");
  EXPECT_EQ(varn::VolumeFileName("C:\\media\\setup.1", 12), "C:\\media\\setup.12");
}

// A volume that cannot be put in place halfway through a replacement: the old medium comes
// back, and the message says it is whole only when it is.
TEST(ArchiveFiles, AReplacementThatFailsHalfwayPutsTheOldMediumBack) {
  const auto Medium = [](uint32_t Seed) {
    ArchiveWriter W;
    W.VolumeSize = 1024;
    ArchiveMember M;
    M.Name = "data.bin";
    M.FileDate = 44000.5;
    const Bytes Data = testing_support::RandomBytes(3000, Seed);
    M.OpenData = [Data] { return std::make_unique<TMemoryStream>(Data); };
    W.Members = {M};
    return W;
  };
  struct Case {
    bool RestoreFails;
    std::string Message;  // after the directory, in the native form
  };
  const std::string Sep = testing_support::Native("a\\b").string().substr(1, 1);
  const std::vector<Case> Cases = {
      {false, "setup.3; the old medium was left as it was"},
      {true,
       "setup.3, and the old medium could not be put back whole: {}setup.4.varn-old "
       "could be neither put back nor removed; the next pack into {}setup.1 tries again"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.RestoreFails);
    testing_support::TempDir Dir;
    ArchiveWriter Old = Medium(1);
    ASSERT_EQ(WriteArchiveFiles(Old, Dir / "setup.1").VolumeCount, 4);
    const auto Before = testing_support::SnapshotTree(testing_support::Native(Dir.Path()));
    PendingVolumes Pending(Dir / "setup.1");
    ArchiveWriter New = Medium(2);
    ASSERT_EQ(Pending.Write(New).VolumeCount, 4);
    // Volume 4 is in place; volume 3's new file goes before its turn.
    int Steps = 0;
    Pending.BeforeEachStep = [&] {
      if (++Steps != 5) return;
      std::filesystem::remove(testing_support::Native(Dir / "setup.3.varn-new"));
      if (!C.RestoreFails) return;
      std::filesystem::remove(testing_support::Native(Dir / "setup.4"));
      std::filesystem::create_directories(testing_support::Native(Dir / "setup.4\\in"));
    };
    const std::string Native = testing_support::Native(Dir.Path()).string() + Sep;
    std::string Expected = "Cannot replace " + Native + C.Message;
    for (size_t At; (At = Expected.find("{}")) != std::string::npos;)
      Expected.replace(At, 2, Native);
    EXPECT_EQ(RefusalOf([&] { Pending.Commit(4); }), Expected);
    if (!C.RestoreFails) {
      EXPECT_EQ(testing_support::SnapshotTree(testing_support::Native(Dir.Path())), Before);
    }
  }
}

TEST(ArchiveFiles, RefusesMissingFilesAndDirectories) {
  testing_support::TempDir Dir;
  const std::string Missing = testing_support::Native(Dir / "missing").string();
  EXPECT_EQ(RefusalOf([&] { varn::MemberFromFile(Dir / "missing", "missing"); }),
            "Cannot open file " + Missing);
  EXPECT_EQ(
      RefusalOf([&] { varn::MemberFromFile(Dir.Path(), "dir"); }),
      "Cannot archive " + testing_support::Native(Dir.Path()).string() + ": it is a directory");
}

}  // namespace
