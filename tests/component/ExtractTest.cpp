#include <gtest/gtest.h>

#include <type_traits>

#include <varn/framework/DateTime.h>
#include <varn/framework/Streams.h>
#include "tests/component/ExtractionFixture.h"

using namespace varn;

namespace {

using hand_laid::Bytes;
using hand_laid::LiteralEntry;
using hand_laid::ZeroEntry;
using testing_support::RandomBytes;
using testing_support::WriteFile;

TEST_F(Extraction, WritesEveryFileAndReportsInOrder) {
  const auto Big = RandomBytes(20000, 7);
  Archive({LiteralEntry("setup.exe", Bytes("MZ program")), LiteralEntry("data.bin", Big)});
  Select({"setup.exe", "data.bin"});
  C.Extract();

  EXPECT_EQ(Read("setup.exe"), "MZ program");
  EXPECT_EQ(Read("data.bin"), std::string(Big.begin(), Big.end()));
  // 20000 output bytes: blocks of 8192, 8192, 3616, each followed by a status report.
  EXPECT_EQ(Sequence(),
            (std::vector<std::string>{"before:setup.exe", "status:setup.exe", "done:setup.exe",
                                      "after:setup.exe", "before:data.bin", "status:data.bin",
                                      "status:data.bin", "status:data.bin", "done:data.bin",
                                      "after:data.bin"}));
  const auto Done = Reported("done");
  EXPECT_EQ(Done[1].PercentDone, 100);
  EXPECT_EQ(Done[1].BytesDone, Done[1].CompressedSize);
  EXPECT_EQ(Done[1].TotalPercent, 100);
  EXPECT_FALSE(Reported("after")[1].FileDone);
  EXPECT_TRUE(C.FilesToProcess().empty());
  EXPECT_TRUE(C.TargetName.empty());
  EXPECT_FALSE(C.Abort);
  EXPECT_EQ(C.Operation(), 2);
}

TEST_F(Extraction, TotalPercentFollowsCompressedBytes) {
  // Flag bytes 0xFF: 100 and 300 compressed bytes.
  Archive({ZeroEntry("a", 100), ZeroEntry("b", 300)});
  Select({"a", "b"});
  C.Extract();
  const auto Done = Reported("done");
  ASSERT_EQ(Done.size(), 2u);
  EXPECT_EQ(Done[0].TotalPercent, 25);
  EXPECT_EQ(Done[1].TotalPercent, 100);
  EXPECT_EQ(Read("a"), std::string(800, '\0'));

  // Ties go to the even percentage: one eighth is 12, three eighths are 38.
  Reports.clear();
  std::vector<hand_laid::Entry> Eight;
  for (int I = 0; I < 8; ++I)
    Eight.push_back(ZeroEntry("f" + std::to_string(I), 1));
  Archive(Eight);
  Select({"f0", "f1", "f2"});
  C.Extract();
  const auto Small = Reported("done");
  EXPECT_EQ(Small[0].TotalPercent, 12);
  EXPECT_EQ(Small[2].TotalPercent, 38);  // a partial selection ends below 100
}

TEST_F(Extraction, PercentagesRoundHalfToEvenInTheLowByte) {
  EXPECT_EQ(PercentOf(1, 8), 12);
  EXPECT_EQ(PercentOf(3, 8), 38);
  EXPECT_EQ(PercentOf(101, 200), 50);  // 50.5
  EXPECT_EQ(PercentOf(103, 200), 52);  // 51.5
  EXPECT_EQ(PercentOf(5, 0), 0);
  EXPECT_EQ(PercentOf(3, 1), 44);    // 300 keeps its low 8 bits
  EXPECT_EQ(PercentOf(-1, 8), 244);  // -12
}

TEST_F(Extraction, SelectsByNameIgnoringCaseAndTextAfterSemicolon) {
  Archive({LiteralEntry("SETUP.EXE", Bytes("p")), LiteralEntry("Read.Me", Bytes("r"))});
  Select({"setup.exe;1", "READ.ME"});
  C.Extract();
  EXPECT_EQ(Read("SETUP.EXE"), "p");
  EXPECT_EQ(Read("Read.Me"), "r");
}

TEST_F(Extraction, AnUnknownEntryStopsTheRunWhereItStands) {
  std::vector<hand_laid::Entry> Five;
  for (const char* Name : {"1", "2", "3", "4", "5"})
    Five.push_back(LiteralEntry(Name, Bytes(Name)));
  Archive(Five);
  Select({"1", "2", "nope;x", "4", "5"});
  try {
    C.Extract();
    FAIL() << "no exception";
  } catch (const EVCFHFileNotInArchive& E) {
    EXPECT_EQ(E.FileName, "nope;x");
    EXPECT_EQ(E.Message(), "The following file was not found in the archive: nope;x");
  }
  EXPECT_EQ(Read("1"), "1");
  EXPECT_EQ(Read("2"), "2");
  EXPECT_FALSE(testing_support::Exists(Out("4")));
  EXPECT_TRUE(C.Abort);
  EXPECT_TRUE(C.FilesToProcess().empty());
}

TEST_F(Extraction, AnEmptySelectionTouchesNothingButComputesTheTotals) {
  Archive({ZeroEntry("a", 10)});
  C.Extract();
  EXPECT_TRUE(Reports.empty());
  EXPECT_TRUE(C.CatalogueLoaded());
  EXPECT_EQ(C.Stats().TotalCompressedSize, 10);
  EXPECT_FALSE(testing_support::Exists(Dir / "out"));
}

TEST_F(Extraction, DropsDirectoryPartsAndCreatesTheTargetDirectory) {
  Archive({LiteralEntry("tools\\prog.exe", Bytes("x")), LiteralEntry("C:other.txt", Bytes("y"))});
  C.ExtractDirectory = Dir / "deep\\er\\";
  Select({"tools\\prog.exe", "c:OTHER.txt"});
  C.Extract();
  EXPECT_EQ(testing_support::ReadFile(Dir / "deep\\er\\prog.exe"), "x");
  EXPECT_EQ(testing_support::ReadFile(Dir / "deep\\er\\other.txt"), "y");
  EXPECT_EQ(Reported("done")[0].FileName, "tools\\prog.exe");
}

TEST_F(Extraction, HandlersMayRenameTheTarget) {
  Archive({LiteralEntry("a", Bytes("A")), LiteralEntry("b", Bytes("B"))});
  C.OnBeforeExtracting = [](TVarnCompress& V, const TlzhFileStats& S) {
    if (S.FileName == "a") V.TargetName = "sub\\renamed";  // the directory part is dropped
  };
  Select({"a", "b"});
  C.Extract();
  EXPECT_EQ(Read("renamed"), "A");
  EXPECT_EQ(Read("b"), "B");

  // A TargetName set before the run applies to the first file only.
  C.TargetName = "first";
  Select({"a", "b"});
  C.OnBeforeExtracting = nullptr;
  C.Extract();
  EXPECT_EQ(Read("first"), "A");
  EXPECT_TRUE(C.TargetName.empty());
}

TEST_F(Extraction, OverwriteAlwaysFiresOnReplaceBeforeWriting) {
  Archive({LiteralEntry("a", Bytes("new"))});
  std::filesystem::create_directories(testing_support::Native(Dir / "out"));
  WriteFile(Out("a"), "old contents");
  C.OnReplace = [&](TVarnCompress& V, const TlzhFileStats&) {
    EXPECT_EQ(Read("a"), "old contents");
    Reports.push_back({"replace", {}});
    V.TargetName = "b";
  };
  Select({"a"});
  C.Extract();
  EXPECT_EQ(Read("a"), "old contents");
  EXPECT_EQ(Read("b"), "new");
  EXPECT_EQ(Reports.front().Event, "before");
  EXPECT_EQ(Reports[1].Event, "replace");
}

TEST_F(Extraction, OverwriteNeverKeepsTheFileButStillReports) {
  Archive({ZeroEntry("a", 30), ZeroEntry("b", 10)});
  std::filesystem::create_directories(testing_support::Native(Dir / "out"));
  WriteFile(Out("a"), "keep");
  C.Overwrite = owNever;
  Select({"a", "b"});
  C.Extract();
  EXPECT_EQ(Read("a"), "keep");
  EXPECT_EQ(Sequence(), (std::vector<std::string>{"before:a", "done:a", "after:a", "before:b",
                                                  "status:b", "done:b", "after:b"}));
  const auto Done = Reported("done");
  EXPECT_EQ(Done[0].PercentDone, 100);
  EXPECT_EQ(Done[0].BytesDone, 30);
  EXPECT_EQ(Done[0].TotalPercent, 75);
}

TEST_F(Extraction, AnOverwriteValueOutsideTheTypeFailsAtAnExistingTarget) {
  Archive({ZeroEntry("a", 1)});
  std::filesystem::create_directories(testing_support::Native(Dir / "out"));
  WriteFile(Out("a"), "x");
  C.Overwrite = static_cast<TOverwriteType>(9);
  Select({"a"});
  try {
    C.Extract();
    FAIL();
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(),
              "Overwrite flag is not in [owNever,owAlways,owVersion,owDate,owVersionDate]");
  }
}

TEST_F(Extraction, GivesTheArchivedTimeToTwoSeconds) {
  auto Entry = LiteralEntry("dated", Bytes("d"));
  Entry.FileDate = EncodeDate(2019, 11, 5) + EncodeTime(17, 42, 13, 600);
  Archive({Entry, LiteralEntry("empty", {})});
  Select({"dated", "empty"});
  C.Extract();
  TFileStream File(Out("dated"), TFileMode::fmOpenReadShared);
  EXPECT_EQ(FileDateToDateTime(File.GetFileDate()),
            EncodeDate(2019, 11, 5) + EncodeTime(17, 42, 12, 0));
  EXPECT_EQ(Read("empty"), "");
  TFileStream Empty(Out("empty"), TFileMode::fmOpenReadShared);
  EXPECT_EQ(FileDateToDateTime(Empty.GetFileDate()),
            EncodeDate(2020, 6, 18) + EncodeTime(12, 0, 0, 0));
}

TEST_F(Extraction, ADateThePackedFormCannotHoldFailsTheFile) {
  auto Entry = LiteralEntry("old", Bytes("o"));
  Entry.FileDate = EncodeDate(1975, 1, 1);
  Archive({Entry});
  Select({"old"});
  try {
    C.Extract();
    FAIL();
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "Cannot set the date of the file just extracted.");
  }
  EXPECT_EQ(Read("old"), "o");  // written, only the time is missing
}

TEST_F(Extraction, AWrongSizeLeavesThePartialFile) {
  auto Entry = LiteralEntry("short", Bytes("12345"));
  Entry.OriginalSize = 6;
  Archive({Entry});
  Select({"short"});
  try {
    C.Extract();
    FAIL();
  } catch (const EVCWrongDecompressedSize& E) {
    EXPECT_EQ(E.FileName, "short");
  }
  EXPECT_EQ(Read("short"), "12345");
  EXPECT_TRUE(C.Abort);
}

TEST_F(Extraction, DataRunsAcrossVolumesFromTheEndOfOneToAnOffsetInTheNext) {
  // Volume 2: 50 bytes of other data, then the file's first 10 bytes; volume 3: the file's
  // other 100 bytes, then 20 bytes that are not the file's.
  const auto Content = RandomBytes(97, 3);
  const auto Stream = hand_laid::LiteralStream(Content);  // 97 + 13 = 110 bytes
  ASSERT_EQ(Stream.size(), 110u);
  TFileHeaderRecord H;
  H.SetFileName("split.bin");
  H.SetFirstDisk(2);
  H.SetDataStart(50);
  H.SetLastDisk(3);
  H.SetDataEnd(99);
  H.SetCompressedSize(110);
  H.SetOriginalSize(97);
  H.SetFileDate(44000.5);
  const std::string Data(Stream.begin(), Stream.end());
  WriteFile(Dir / "setup.1",
            std::string("\x01\0\0\0\0", 5) + std::string(H.Bytes.begin(), H.Bytes.end()));
  WriteFile(Dir / "setup.2", std::string(50, '\xAA') + Data.substr(0, 10));
  WriteFile(Dir / "setup.3", Data.substr(10) + std::string(20, '\xFF'));
  C.SetCompressedFile(Dir / "setup.1");
  Select({"split.bin"});
  C.Extract();
  EXPECT_EQ(Read("split.bin"), std::string(Content.begin(), Content.end()));
  EXPECT_EQ(C.CompressedFile(), Dir / "setup.3");
  EXPECT_EQ(C.CurrentDisk(), 3);
  EXPECT_EQ(Reported("done")[0].BytesDone, 110);
}

TEST_F(Extraction, SplitsAtEveryPositionDecodeTheSame) {
  const auto A = RandomBytes(300, 11), B = RandomBytes(40, 12);
  const int64_t Catalogue = 5 + 3 * 164;
  for (int64_t VolumeSize = Catalogue; VolumeSize < Catalogue + 400; VolumeSize += 7) {
    Archive({LiteralEntry("a", A), LiteralEntry("empty", {}), LiteralEntry("b", B)}, VolumeSize);
    Select({"a", "empty", "b"});
    C.Extract();
    ASSERT_EQ(Read("a"), std::string(A.begin(), A.end())) << VolumeSize;
    ASSERT_EQ(Read("b"), std::string(B.begin(), B.end())) << VolumeSize;
    ASSERT_EQ(Read("empty"), "") << VolumeSize;
  }
}

TEST_F(Extraction, AMissingVolumeIsAskedForFourTimes) {
  Archive({LiteralEntry("a", RandomBytes(600, 5))}, 5 + 164 + 100);
  std::filesystem::remove(testing_support::Native(Dir / "setup.3"));
  Select({"a"});
  try {
    C.Extract();
    FAIL();
  } catch (const EMissingVolume& E) {
    EXPECT_EQ(E.Message(), "Could not open the correct disk file 3");
    EXPECT_EQ(E.DiskNumber, 3);
  }
  // Callers have always caught it as Exception, and never as one of the EVC errors.
  static_assert(std::is_base_of_v<Exception, EMissingVolume> &&
                !std::is_base_of_v<EVC, EMissingVolume>);

  // Each attempt starts from the directory the handler named last.
  std::vector<std::string> Asked;
  C.OnNewDisk = [&](TVarnCompress&, int32_t Disk, std::string& Path) {
    EXPECT_EQ(Disk, 3);
    Asked.push_back(Path);
    Path = Dir / "nowhere";
  };
  Archive({LiteralEntry("a", RandomBytes(600, 5))}, 5 + 164 + 100);
  std::filesystem::remove(testing_support::Native(Dir / "setup.3"));
  Select({"a"});
  EXPECT_THROW(C.Extract(), EMissingVolume);
  ASSERT_EQ(Asked.size(), 4u);
  EXPECT_EQ(Asked[0], Dir.Path());
  EXPECT_EQ(Asked[3], Dir / "nowhere");
}

TEST_F(Extraction, OnNewDiskCanPointAtAnotherDirectory) {
  const auto Content = RandomBytes(400, 6);  // 169 catalogue bytes and 450 data bytes
  Archive({LiteralEntry("a", Content)}, 5 + 164 + 100);
  ASSERT_FALSE(testing_support::Exists(Dir / "setup.4"));
  std::filesystem::create_directories(testing_support::Native(Dir / "disk2"));
  std::filesystem::rename(testing_support::Native(Dir / "setup.2"),
                          testing_support::Native(Dir / "disk2\\setup.2"));
  std::filesystem::rename(testing_support::Native(Dir / "setup.3"),
                          testing_support::Native(Dir / "disk2\\setup.3"));
  std::vector<int32_t> Asked;
  C.OnNewDisk = [&](TVarnCompress&, int32_t Disk, std::string& Path) {
    Asked.push_back(Disk);
    Path = Dir / "disk2";
  };
  Select({"a"});
  C.Extract();
  EXPECT_EQ(Read("a"), std::string(Content.begin(), Content.end()));
  EXPECT_EQ(Asked, (std::vector<int32_t>{2}));  // volume 3 is then found beside volume 2
  EXPECT_EQ(C.CompressedFile(), Dir / "disk2\\setup.3");
}

class VolumeOpener : public TVarnCompress {
 public:
  using TVarnCompress::OpenVolume;
};

TEST_F(Extraction, ADriveRootLosesItsBackslashForOnNewDisk) {
  WriteFile(Dir / "setup.2", "x");
  VolumeOpener V;
  std::string Seen;
  V.OnNewDisk = [&](TVarnCompress&, int32_t, std::string& Path) {
    Seen = Path;
    Path = Dir.Path();
  };
  std::unique_ptr<TFileStream> Stream;
  std::string Name = "D:\\setup.1";
  V.OpenVolume(Stream, 2, Name);
  EXPECT_EQ(Seen, "D:");
  EXPECT_EQ(Name, Dir / "setup.2");
  ASSERT_TRUE(Stream);
}

TEST_F(Extraction, AbortFromTheMessagePumpStopsAtTheNextBlock) {
  const auto Content = RandomBytes(50000, 9);
  Archive({LiteralEntry("big", Content), LiteralEntry("next", Bytes("n"))});
  int Pumps = 0;
  Application().MessagePump = [&] {
    if (++Pumps == 3) C.Abort = true;  // as a window handler would
  };
  Select({"big", "next"});
  EXPECT_NO_THROW(C.Extract());
  EXPECT_EQ(Reports.back().Event, "aborted");
  EXPECT_EQ(Reported("done").size(), 0u);
  EXPECT_TRUE(C.Abort);
  EXPECT_TRUE(C.FilesToProcess().empty());
  const std::string Partial = Read("big");
  EXPECT_LT(Partial.size(), Content.size());
  EXPECT_EQ(Partial, std::string(Content.begin(),
                                 Content.begin() + static_cast<std::ptrdiff_t>(Partial.size())));
  EXPECT_FALSE(testing_support::Exists(Out("next")));

  // Without an OnAborted handler it ends just as quietly.
  C.OnAborted = nullptr;
  Pumps = 0;
  Select({"big"});
  EXPECT_NO_THROW(C.Extract());
}

TEST_F(Extraction, PumpsOncePerInputBlockAndOncePerOutputBlock) {
  // The process's message pump, as the application object runs it, between the events: a read
  // pumps before its bytes count (the next status shows them), a write pumps right before its
  // status, and a read past the data's end does not pump.
  struct Case {
    const char* Name;
    std::vector<hand_laid::Entry> Entries;
    int64_t VolumeSize;
    std::vector<std::string> Trace;
  };
  // 20000 literal bytes are 22500 stored ones: read as 8192, 8192 and 6116, written as 8192,
  // 8192 and 3616. In volumes of 10000 bytes (after the 169 of the catalogue) a read ends at
  // a volume's end: 8192, 1639 | 8192, 1808 | 2669.
  const auto Big = RandomBytes(20000, 31);
  const Case Cases[] = {
      {"one volume",
       {LiteralEntry("big", Big), LiteralEntry("small", Bytes("small"))},
       0,
       {"before big", "pump", "pump", "pump", "status 16384", "pump", "pump", "status 22500",
        "pump", "status 22500", "done", "after big", "before small", "pump", "pump", "status 6",
        "done", "after small"}},
      {"volumes of 10000 bytes",
       {LiteralEntry("big", Big)},
       10000,
       {"before big", "pump", "pump", "pump", "status 9831", "pump", "pump", "pump", "status 19831",
        "pump", "pump", "status 22500", "done", "after big"}},
      {"no data", {ZeroEntry("empty", 0)}, 0, {"before empty", "done", "after empty"}},
  };
  for (const Case& Test : Cases) {
    SCOPED_TRACE(Test.Name);
    std::vector<std::string> Trace;
    Application().MessagePump = [&] { Trace.push_back("pump"); };
    C.OnBeforeExtracting = [&](TVarnCompress&, const TlzhFileStats& S) {
      Trace.push_back("before " + S.FileName);
    };
    C.OnStatus = [&](TVarnCompress&, const TlzhFileStats& S) {
      Trace.push_back(S.FileDone ? "done" : "status " + std::to_string(S.BytesDone));
    };
    C.OnAfterExtracting = [&](TVarnCompress&, const TlzhFileStats& S) {
      Trace.push_back("after " + S.FileName);
    };
    std::filesystem::remove_all(testing_support::Native(Dir / "out"));
    Archive(Test.Entries, Test.VolumeSize);
    for (const auto& Entry : Test.Entries)
      Select({Entry.Name});
    C.Extract();
    EXPECT_EQ(Trace, Test.Trace);
  }
}

TEST_F(Extraction, EAbortFromAHandlerEndsQuietly) {
  Archive({LiteralEntry("a", Bytes("a")), LiteralEntry("b", Bytes("b"))});
  C.OnAfterExtracting = [](TVarnCompress&, const TlzhFileStats&) { throw EAbort(); };
  Select({"a", "b"});
  EXPECT_NO_THROW(C.Extract());
  EXPECT_FALSE(C.Abort);
  EXPECT_FALSE(testing_support::Exists(Out("b")));
  EXPECT_TRUE(C.FilesToProcess().empty());
}

}  // namespace
