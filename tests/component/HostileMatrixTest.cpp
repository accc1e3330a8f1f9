// The hostile-input matrix: volumes cut short, missing or empty, catalogues and headers that lie,
// names and targets that aim elsewhere, a full disk, a stop in the middle. Every case ends in its
// clear error or a safe outcome, and leaves everything outside the extraction directory (the
// volumes included) exactly as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>

#include <varn/framework/platform/Platform.h>
#include "tests/common/ProcessLimits.h"
#include "tests/common/TreeSnapshot.h"
#include "tests/component/ExtractionFixture.h"

using namespace varn;

namespace {

using hand_laid::Bytes;
using hand_laid::LiteralEntry;
using ::testing::IsEmpty;
using testing_support::Native;
using testing_support::RandomBytes;
using testing_support::ReadFile;
using testing_support::TreeSnapshot;
using testing_support::WriteFile;
namespace fs = std::filesystem;

const std::string CannotReadHeaders = EVCFHCannotReadHeaders().Message();

std::string WrongSize(const std::string& Name) {
  return EVCWrongDecompressedSize(Name).Message();
}
std::string MissingDisk(int Number) {
  return EMissingVolume(Number).Message();
}

std::vector<uint8_t> Zeros(size_t Count) {
  return std::vector<uint8_t>(Count, 0);
}

class HostileMatrix : public Extraction {
 protected:
  // Two levels below the scratch root, so that a name climbing out of it lands where the
  // snapshot sees it.
  static constexpr const char* OutRelative = "deep/er/out";

  void SetUp() override {
    Extraction::SetUp();
    C.ExtractDirectory = Dir / "deep\\er\\out";
    fs::create_directories(Native(C.ExtractDirectory));
    WriteFile(Dir / "beside.txt", "beside");
    WriteFile(Dir / "deep\\beside.txt", "beside");
  }

  std::string Target(const std::string& Name) const { return C.ExtractDirectory + "\\" + Name; }

  TreeSnapshot Snapshot() const { return testing_support::SnapshotTree(Native(Dir.Path())); }

  std::vector<std::string> ChangedOutside(const TreeSnapshot& Before) const {
    return testing_support::TreeDifferencesOutside(Before, Snapshot(), OutRelative);
  }

  // The names of the entries in the extraction directory, in order.
  std::vector<std::string> Extracted() const {
    std::vector<std::string> Names;
    for (const auto& Entry : fs::directory_iterator(Native(C.ExtractDirectory)))
      Names.push_back(Entry.path().filename().string());
    std::sort(Names.begin(), Names.end());
    return Names;
  }

  void EmptyOutput() {
    fs::remove_all(Native(C.ExtractDirectory));
    fs::create_directories(Native(C.ExtractDirectory));
  }

  // Writes the volumes as setup.N (and no others) and drops the loaded catalogue.
  void WriteVolumes(const std::vector<std::vector<uint8_t>>& Volumes) {
    for (int N = 1; testing_support::Exists(Dir / ("setup." + std::to_string(N))); ++N)
      fs::remove(Native(Dir / ("setup." + std::to_string(N))));
    for (size_t I = 0; I < Volumes.size(); ++I)
      WriteFile(Dir / ("setup." + std::to_string(I + 1)), Volumes[I]);
    C.SetCompressedFile(Dir / "none.1");
    C.SetCompressedFile(Dir / "setup.1");
  }

  // Extracts the named files; the message of what ended the run, or "" when nothing did. Also
  // checks the promises every run keeps, however it ends.
  std::string Run(const std::vector<std::string>& Names) {
    Select(Names);
    std::string Message;
    try {
      C.Extract();
    } catch (const Exception& E) {
      Message = E.Message();
      EXPECT_TRUE(C.Abort) << Message;
    }
    EXPECT_TRUE(C.FilesToProcess().empty());
    EXPECT_TRUE(C.TargetName.empty());
    return Message;
  }

  std::string Content(const std::string& Name) const { return ReadFile(Target(Name)); }
};

std::string Text(const std::vector<uint8_t>& Bytes) {
  return std::string(Bytes.begin(), Bytes.end());
}

TEST_F(HostileMatrix, ASingleVolumeCutAtEveryOffset) {
  const auto First = RandomBytes(40, 11);
  const auto Second = Bytes("the second file's text");
  const auto Volume = hand_laid::Layout(
      {LiteralEntry("first.bin", First), LiteralEntry("second.txt", Second)}, 0)[0];
  const size_t Catalogue = 5 + 2 * 164;
  const size_t FirstEnd = Catalogue + hand_laid::LiteralStream(First).size();
  ASSERT_LT(FirstEnd, Volume.size());

  for (size_t Cut = 0; Cut < Volume.size(); ++Cut) {
    SCOPED_TRACE("volume cut to " + std::to_string(Cut) + " bytes");
    EmptyOutput();
    WriteVolumes({std::vector<uint8_t>(Volume.begin(), Volume.begin() + Cut)});
    const TreeSnapshot Before = Snapshot();
    const std::string Message = Run({"first.bin", "second.txt"});
    EXPECT_THAT(ChangedOutside(Before), IsEmpty());
    if (Cut < Catalogue) {
      EXPECT_EQ(Message, CannotReadHeaders);
      EXPECT_THAT(Extracted(), IsEmpty());
    } else if (Cut < FirstEnd) {
      // A volume that ends before DataEnd is taken to go on in the next volume, which is not
      // there.
      EXPECT_EQ(Message, MissingDisk(2));
      EXPECT_EQ(Extracted(), std::vector<std::string>{"first.bin"});
      const std::string Partial = Content("first.bin");
      EXPECT_LT(Partial.size(), First.size());
      EXPECT_EQ(Partial, Text(First).substr(0, Partial.size()));
    } else {
      EXPECT_EQ(Message, MissingDisk(2));
      EXPECT_EQ(Content("first.bin"), Text(First));
      EXPECT_LT(Content("second.txt").size(), Second.size());
    }
  }
}

// Three files over three volumes: every volume but the first ends inside a file's data.
// Streams of zero bytes only, so that a cut always shortens what a file decodes to.
class SplitArchive : public HostileMatrix {
 protected:
  const std::vector<hand_laid::Entry> Entries = {LiteralEntry("a.bin", Zeros(64)),
                                                 LiteralEntry("b.bin", Zeros(400)),
                                                 LiteralEntry("c.bin", Zeros(48))};
  static constexpr int64_t VolumeSize = 520;
  std::vector<TFileHeaderRecord> Headers;
  std::vector<std::vector<uint8_t>> Volumes = hand_laid::Layout(Entries, VolumeSize, &Headers);

  // Whether file Index has data in volume Number at or after Offset.
  bool HasDataFrom(size_t Index, int Number, int64_t Offset) const {
    const TFileHeaderRecord& H = Headers[Index];
    if (Number < H.FirstDisk() || Number > H.LastDisk()) return false;
    const int64_t End = Number == H.LastDisk() ? H.DataEnd() : VolumeSize - 1;
    return End >= Offset;
  }
};

TEST_F(SplitArchive, EveryVolumeCutAtEveryOffset) {
  ASSERT_EQ(Volumes.size(), 3u);
  for (int Number = 1; Number <= 3; ++Number) {
    const auto& Volume = Volumes[static_cast<size_t>(Number - 1)];
    for (size_t Cut = 0; Cut < Volume.size(); ++Cut) {
      SCOPED_TRACE("volume " + std::to_string(Number) + " cut to " + std::to_string(Cut));
      auto Changed = Volumes;
      Changed[static_cast<size_t>(Number - 1)].resize(Cut);
      EmptyOutput();
      WriteVolumes(Changed);
      const TreeSnapshot Before = Snapshot();
      const std::string Message = Run({"a.bin", "b.bin", "c.bin"});
      EXPECT_THAT(ChangedOutside(Before), IsEmpty());
      if (Number == 1 && Cut < 5 + 3 * 164) {
        EXPECT_EQ(Message, CannotReadHeaders);
        continue;
      }
      // The files before the first one that lost data are whole; that one ends the run.
      size_t Hit = 0;
      while (Hit < Entries.size() && !HasDataFrom(Hit, Number, static_cast<int64_t>(Cut)))
        ++Hit;
      ASSERT_LT(Hit, Entries.size());
      for (size_t I = 0; I < Hit; ++I)
        EXPECT_EQ(Content(Entries[I].Name),
                  std::string(static_cast<size_t>(Entries[I].OriginalSize), '\0'));
      // Data that goes on past a cut is looked for in the volumes after it, up to one beyond
      // the last.
      EXPECT_THAT(Message,
                  ::testing::AnyOf(WrongSize(Entries[Hit].Name),
                                   ::testing::StartsWith(MissingDisk(Number + 1)), MissingDisk(4)));
      for (const std::string& Name : Extracted()) {
        const size_t Index = C.Headers().IndexOfName(Name);
        EXPECT_LE(Index, Hit) << Name;
      }
    }
  }
}

TEST_F(SplitArchive, MissingEmptyAndUnreadableVolumes) {
  struct Case {
    const char* What;
    std::function<void(const std::string& Volume)> Change;
    int Number;  // of the volume changed
    std::string Message;
    std::vector<std::string> Whole;  // files extracted whole before the run ended
  };
  const auto Remove = [](const std::string& V) { fs::remove(Native(V)); };
  const auto Empty = [](const std::string& V) { WriteFile(V, ""); };
  const auto Directory = [](const std::string& V) {
    fs::remove(Native(V));
    fs::create_directory(Native(V));
  };
  const std::vector<Case> Cases = {
      {"volume 2 missing", Remove, 2, MissingDisk(2), {}},
      {"volume 3 missing", Remove, 3, MissingDisk(3), {"a.bin", "b.bin"}},
      {"volume 2 a directory", Directory, 2, MissingDisk(2), {}},
      {"volume 1 empty", Empty, 1, CannotReadHeaders, {}},
      // Data that goes on in an empty volume goes on in the one after it.
      {"volume 2 empty", Empty, 2, MissingDisk(4), {}},
      {"volume 3 empty", Empty, 3, MissingDisk(4), {"a.bin", "b.bin"}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.What);
    EmptyOutput();
    WriteVolumes(Volumes);
    Case.Change(Dir / ("setup." + std::to_string(Case.Number)));
    const TreeSnapshot Before = Snapshot();
    EXPECT_EQ(Run({"a.bin", "b.bin", "c.bin"}), Case.Message);
    EXPECT_THAT(ChangedOutside(Before), IsEmpty());
    for (const std::string& Name : Case.Whole)
      EXPECT_EQ(
          Content(Name),
          std::string(static_cast<size_t>(
                          Entries[static_cast<size_t>(C.Headers().IndexOfName(Name))].OriginalSize),
                      '\0'));
  }
}

void PatchHeaderCount(const std::string& Volume1, int32_t Count) {
  std::string Bytes = ReadFile(Volume1);
  for (int I = 0; I < 4; ++I)
    Bytes[static_cast<size_t>(I)] = static_cast<char>(static_cast<uint32_t>(Count) >> (8 * I));
  WriteFile(Volume1, Bytes);
}

TEST_F(HostileMatrix, CataloguesThatLie) {
  struct Case {
    const char* What;
    std::function<void(const std::string&)> Change;
    std::string ReadMessage;         // of ReadHeaders; "" when it succeeds
    std::vector<std::string> Names;  // the catalogue read
  };
  const std::vector<Case> Cases = {
      {"HeaderCount 0x7FFFFFFF",
       [](auto& V) { PatchHeaderCount(V, 0x7FFFFFFF); },
       CannotReadHeaders,
       {}},
      {"HeaderCount one more than the volume could hold",
       [](auto& V) {
         PatchHeaderCount(V, static_cast<int32_t>((fs::file_size(Native(V)) - 5) / 164 + 1));
       },
       CannotReadHeaders,
       {}},
      {"HeaderCount negative", [](auto& V) { PatchHeaderCount(V, -2); }, "", {}},
      {"NextHeader back to the first header",
       [](auto& V) { hand_laid::PatchHeader(V, 0, [](auto& R) { R.SetNextHeader(5); }); },
       "",
       {"a", "a"}},
      {"NextHeader cycle of two in a count of three",
       [](auto& V) {
         PatchHeaderCount(V, 3);
         hand_laid::PatchHeader(V, 1, [](auto& R) { R.SetNextHeader(5); });
       },
       "",
       {"a", "b", "a"}},
      {"NextHeader negative",
       [](auto& V) { hand_laid::PatchHeader(V, 0, [](auto& R) { R.SetNextHeader(-164); }); },
       CannotReadHeaders,
       {}},
      {"NextHeader INT32_MIN",
       [](auto& V) { hand_laid::PatchHeader(V, 0, [](auto& R) { R.SetNextHeader(INT32_MIN); }); },
       CannotReadHeaders,
       {}},
      {"NextHeader beyond the volume",
       [](auto& V) { hand_laid::PatchHeader(V, 0, [](auto& R) { R.SetNextHeader(0x7FFFFFFF); }); },
       CannotReadHeaders,
       {}},
      {"NextHeader at the last bytes of the volume",
       [](auto& V) {
         hand_laid::PatchHeader(V, 0, [&](auto& R) {
           R.SetNextHeader(static_cast<int32_t>(fs::file_size(Native(V)) - 100));
         });
       },
       CannotReadHeaders,
       {}},
  };
  // Enough data for three records' worth of bytes, so that a count of 3 passes the size check.
  const std::vector<hand_laid::Entry> Entries = {LiteralEntry("a", RandomBytes(200, 5)),
                                                 LiteralEntry("b", Bytes("b"))};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.What);
    EmptyOutput();
    WriteVolumes(hand_laid::Layout(Entries, 0));
    Case.Change(Dir / "setup.1");
    std::string ReadMessage;
    try {
      C.ReadHeaders();
    } catch (const Exception& E) {
      ReadMessage = E.Message();
    }
    EXPECT_EQ(ReadMessage, Case.ReadMessage);
    std::vector<std::string> Names;
    for (int32_t I = 0; ReadMessage.empty() && I < C.Headers().Count(); ++I)
      Names.push_back(C.Headers().GetFileHeaders(I).Record.FileName());
    EXPECT_EQ(Names, Case.Names);

    const TreeSnapshot Before = Snapshot();
    const std::string Message = Run({"a"});
    EXPECT_THAT(ChangedOutside(Before), IsEmpty());
    if (!Case.ReadMessage.empty()) {
      EXPECT_EQ(Message, Case.ReadMessage);
    } else if (Case.Names.empty()) {
      EXPECT_EQ(Message, EVCFHFileNotInArchive("a").Message());
    } else {
      EXPECT_EQ(Message, "");
      EXPECT_EQ(Content("a").size(), 200u);
    }
  }
}

TEST_F(HostileMatrix, HeaderValuesOutOfRange) {
  struct Case {
    const char* What;
    std::function<void(TFileHeaderRecord&)> Change;
    std::string Message;  // "" for a run that succeeds
  };
  const double NaN = std::numeric_limits<double>::quiet_NaN();
  const double Infinity = std::numeric_limits<double>::infinity();
  const std::vector<Case> Cases = {
      {"DataEnd -1", [](auto& R) { R.SetDataEnd(-1); }, WrongSize("a")},
      {"DataEnd INT32_MIN", [](auto& R) { R.SetDataEnd(INT32_MIN); }, WrongSize("a")},
      {"DataStart INT32_MIN", [](auto& R) { R.SetDataStart(INT32_MIN); }, WrongSize("a")},
      {"DataStart after DataEnd", [](auto& R) { R.SetDataStart(R.DataEnd() + 1); }, WrongSize("a")},
      {"OriginalSize -1", [](auto& R) { R.SetOriginalSize(-1); }, WrongSize("a")},
      {"OriginalSize INT32_MAX", [](auto& R) { R.SetOriginalSize(INT32_MAX); }, WrongSize("a")},
      {"CompressedSize 0: only the statistics use it", [](auto& R) { R.SetCompressedSize(0); }, ""},
      {"CompressedSize INT32_MIN", [](auto& R) { R.SetCompressedSize(INT32_MIN); }, ""},
      {"FirstDisk 0 and LastDisk 0: volume 1", [](auto& R) { R.SetFirstDisk(0), R.SetLastDisk(0); },
       ""},
      // Disk 0 is not disk 1, so the data only ends when volume 1 is read a second time.
      {"FirstDisk 0 with LastDisk 1", [](auto& R) { R.SetFirstDisk(0), R.SetLastDisk(1); },
       WrongSize("a")},
      {"LastDisk 0 below FirstDisk 1", [](auto& R) { R.SetLastDisk(0); }, MissingDisk(2)},
      {"LastDisk 255", [](auto& R) { R.SetLastDisk(255); }, MissingDisk(2)},
      {"FileDate NaN", [&](auto& R) { R.SetFileDate(NaN); },
       "Cannot set the date of the file just extracted."},
      {"FileDate infinite", [&](auto& R) { R.SetFileDate(Infinity); },
       "Cannot set the date of the file just extracted."},
      {"FileDate -1e300", [](auto& R) { R.SetFileDate(-1e300); },
       "Cannot set the date of the file just extracted."},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.What);
    EmptyOutput();
    WriteVolumes(hand_laid::Layout({LiteralEntry("a", RandomBytes(100, 6))}, 0));
    hand_laid::PatchHeader(Dir / "setup.1", 0, Case.Change);
    const TreeSnapshot Before = Snapshot();
    EXPECT_EQ(Run({"a"}), Case.Message);
    EXPECT_THAT(ChangedOutside(Before), IsEmpty());
    EXPECT_THAT(Extracted(), ::testing::ElementsAre("a"));
  }
}

TEST_F(HostileMatrix, HostileNames) {
  struct Case {
    std::string Archived;
    std::string WrittenAs;      // "" when the name must be refused
    bool MayBeRefused = false;  // a name some file systems take and others refuse
  };
  const std::string Long103(103, 'n');
  const std::vector<Case> Cases = {
      {Long103, Long103},
      {"..\\" + std::string(100, 'x'), std::string(100, 'x')},
      {"../../" + std::string(97, 'y'), std::string(97, 'y')},
      {"a/b/c/../../d", "d"},
      {"dir\\", ""},
      {"dir/", ""},
      {"C:evil", "evil"},
      {"\\\\server\\share\\unc", "unc"},
      {"LPT1.txt", ""},
      {"con ", ""},
      {"COM\xB9", ""},
      {"lpt\xB3.txt", ""},
      // A NUL ends the name where the OS is concerned, so what it names is not what was checked.
      {std::string("CON\0x", 5), ""},
      {std::string("nul\0.txt", 8), ""},
      {std::string("..\0x", 4), ""},
      {std::string("a\0b", 3), ""},
      {"bell\a", "bell\a", true},
      {"tab\tand\nnewline", "tab\tand\nnewline", true},
      {"\x7F\xFF", "\x7F\xFF", true},
      {"*", "*", true},
      {"a?c", "a?c", true},
      {" leading blank", " leading blank"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(::testing::PrintToString(Case.Archived));
    EmptyOutput();
    WriteVolumes(hand_laid::Layout({LiteralEntry(Case.Archived, Bytes("payload"))}, 0));
    const TreeSnapshot Before = Snapshot();
    const std::string Message = Run({Case.Archived});
    EXPECT_THAT(ChangedOutside(Before), IsEmpty());
    if (Case.WrittenAs.empty() || (Case.MayBeRefused && !Message.empty())) {
      EXPECT_THAT(Message,
                  ::testing::StartsWith("Could not create the file " + C.ExtractDirectory + "\\"));
      EXPECT_THAT(Extracted(), IsEmpty());
    } else {
      EXPECT_EQ(Message, "");
      // Listed by count only: the listing's text encoding of a name differs between systems.
      EXPECT_EQ(Extracted().size(), 1u);
      EXPECT_EQ(Content(Case.WrittenAs), "payload");
    }
  }
}

TEST_F(HostileMatrix, TargetsThatCannotBeReplaced) {
  struct Case {
    const char* What;
    std::function<bool(const std::string& Target)> Plant;  // false: not possible here
  };
  const std::string Outside = Dir / "outside";
  const std::vector<Case> Cases = {
      {"a read-only file",
       [](const std::string& T) {
         WriteFile(T, "old");
         fs::permissions(Native(T),
                         fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                         fs::perm_options::remove);
         return true;
       }},
      {"a symbolic link to a directory outside",
       [&](const std::string& T) {
         fs::create_directory(Native(Outside));
         std::error_code Error;
         fs::create_directory_symlink(Native(Outside), Native(T), Error);
         return !Error;
       }},
      {"a dangling symbolic link to a file outside",
       [&](const std::string& T) {
         std::error_code Error;
         fs::create_symlink(Native(Outside + "\\planted"), Native(T), Error);
         return !Error;
       }},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.What);
    EmptyOutput();
    WriteVolumes(hand_laid::Layout({LiteralEntry("a", Bytes("payload"))}, 0));
    if (!Case.Plant(Target("a"))) continue;
    const TreeSnapshot Before = Snapshot();
    EXPECT_EQ(Run({"a"}), EVCCouldNotCreateFile(Target("a")).Message());
    EXPECT_THAT(testing_support::TreeDifferences(Before, Snapshot()), IsEmpty());
    std::error_code Ignored;  // a link has no permissions of its own on every system
    fs::permissions(Native(Target("a")), fs::perms::owner_all,
                    fs::perm_options::add | fs::perm_options::nofollow, Ignored);
  }
}

TEST_F(HostileMatrix, ATargetHeldOpenWithoutSharing) {
  if (!testing_support::UnsharedOpenLocksOthersOut())
    GTEST_SKIP() << "an open file locks nobody out here";
  WriteVolumes(hand_laid::Layout({LiteralEntry("a", Bytes("payload"))}, 0));
  TFileStream Held(Target("a"), TFileMode::fmCreate);
  Held.WriteBuffer("held", 4);
  const TreeSnapshot Before = Snapshot();
  EXPECT_EQ(Run({"a"}), EVCCouldNotCreateFile(Target("a")).Message());
  EXPECT_THAT(ChangedOutside(Before), IsEmpty());
  Held.Seek(0, TSeekOrigin::soBeginning);
  char Back[4] = {};
  EXPECT_EQ(Held.Read(Back, 4), 4);
  EXPECT_EQ(std::string(Back, 4), "held");
}

TEST_F(HostileMatrix, ADiskThatFillsInTheSecondFile) {
  const auto First = RandomBytes(3000, 7);
  const auto Second = RandomBytes(30000, 8);
  WriteVolumes(
      hand_laid::Layout({LiteralEntry("first", First), LiteralEntry("second", Second)}, 0));
  platform::InitializeProcess();
  const TreeSnapshot Before = Snapshot();
  if (!testing_support::LimitFileSize(10000)) GTEST_SKIP() << "no file-size limit here";
  const std::string Message = Run({"first", "second"});
  testing_support::RemoveFileSizeLimit();
  EXPECT_EQ(Message, "Disk is full");
  EXPECT_THAT(ChangedOutside(Before), IsEmpty());
  EXPECT_EQ(Content("first"), Text(First));
  EXPECT_EQ(Content("second"), Text(Second).substr(0, 10000));
}

TEST_F(HostileMatrix, AStopAtEveryBlock) {
  // Three files of three blocks of output each; the message pump runs twice per block.
  const std::vector<std::string> Names = {"one", "two", "three"};
  std::vector<std::vector<uint8_t>> Contents;
  std::vector<hand_laid::Entry> Entries;
  for (uint32_t I = 0; I < 3; ++I) {
    Contents.push_back(RandomBytes(20000, 20 + I));
    Entries.push_back(LiteralEntry(Names[I], Contents.back()));
  }
  WriteVolumes(hand_laid::Layout(Entries, 0));
  int Pumps = 0, StopAt = 0;
  Application().MessagePump = [&] {
    if (++Pumps == StopAt) C.Abort = true;
  };
  for (StopAt = 1;; ++StopAt) {
    SCOPED_TRACE("stop at pump " + std::to_string(StopAt));
    ASSERT_LT(StopAt, 100);
    EmptyOutput();
    Reports.clear();
    Pumps = 0;
    const TreeSnapshot Before = Snapshot();
    EXPECT_EQ(Run(Names), "");
    EXPECT_THAT(ChangedOutside(Before), IsEmpty());
    // The files are written in order, each whole but the last one reached, which holds the
    // start of its content.
    const auto Written = Extracted();
    for (size_t I = 0; I < Names.size(); ++I) {
      if (!testing_support::Exists(Target(Names[I]))) {
        for (size_t Later = I; Later < Names.size(); ++Later)
          EXPECT_FALSE(testing_support::Exists(Target(Names[Later])));
        break;
      }
      const std::string Got = Content(Names[I]);
      const bool Last = I + 1 == Names.size() || !testing_support::Exists(Target(Names[I + 1]));
      if (Last) {
        EXPECT_EQ(Got, Text(Contents[I]).substr(0, Got.size()));
      } else {
        EXPECT_EQ(Got, Text(Contents[I]));
      }
    }
    if (Reports.empty() || Reports.back().Event != "aborted") {
      // The stop came after the last block: the run ended normally.
      EXPECT_EQ(Written.size(), 3u);
      EXPECT_GT(StopAt, 6);
      break;
    }
    EXPECT_TRUE(C.Abort);
    EXPECT_EQ(Reported("aborted").size(), 1u);
  }
  Application().MessagePump = nullptr;
}

}  // namespace
