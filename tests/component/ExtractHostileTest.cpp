// Archives that lie: names that aim outside the extraction directory, offsets and volume
// numbers that make no sense, volumes that end early, a disk that fills up.
#include <gtest/gtest.h>

#include <filesystem>

#include <varn/framework/platform/Platform.h>
#include "tests/common/ProcessLimits.h"
#include "tests/component/ExtractionFixture.h"

using namespace varn;

namespace {

using hand_laid::Bytes;
using hand_laid::LiteralEntry;
using testing_support::RandomBytes;
using testing_support::WriteFile;
namespace fs = std::filesystem;

TEST_F(Extraction, NamesNeverLeaveTheExtractionDirectory) {
  struct Case {
    std::string Archived, WrittenAs;
  };
  for (const auto& [Archived, WrittenAs] :
       {Case{"..\\..\\evil1", "evil1"}, Case{"a/../../evil2", "evil2"}, Case{"/etc/evil3", "evil3"},
        Case{"C:\\Windows\\evil4", "evil4"}, Case{"..\\sub/evil5", "evil5"}}) {
    Archive({LiteralEntry(Archived, Bytes("x"))});
    Select({Archived});
    C.Extract();
    EXPECT_EQ(Read(WrittenAs), "x") << Archived;
  }
  // Nothing appeared beside the output directory.
  for (const auto& Entry : fs::directory_iterator(testing_support::Native(Dir.Path())))
    EXPECT_TRUE(Entry.path().filename() == "out" ||
                Entry.path().filename().string().rfind("setup.", 0) == 0)
        << Entry.path();
}

TEST_F(Extraction, RefusesNamesThatAreNoFileOfTheirOwn) {
  for (const std::string Name : {"..", "sub\\..", "x/.", ". .", "CON", "nul.txt", "Com3.log",
                                 "lpt9", "aux .dat", "tools\\PRN"}) {
    Archive({LiteralEntry(Name, Bytes("x"))});
    Select({Name});
    try {
      C.Extract();
      ADD_FAILURE() << Name << " was written";
    } catch (const EVCCouldNotCreateFile& E) {
      EXPECT_EQ(E.FileName.rfind(C.ExtractDirectory, 0), 0u) << Name;
    }
  }
  // Names that merely look alike are ordinary files.
  for (const std::string Name : {"console", "com10", "nul_", "...x"}) {
    Archive({LiteralEntry(Name, Bytes("y"))});
    Select({Name});
    C.Extract();
    EXPECT_EQ(Read(Name), "y");
  }
}

TEST_F(Extraction, NeverWritesThroughASymbolicLink) {
  fs::create_directories(testing_support::Native(Dir / "out"));
  WriteFile(Dir / "victim", "untouched");
  std::error_code Error;
  fs::create_symlink(testing_support::Native(Dir / "victim"), testing_support::Native(Out("a")),
                     Error);
  if (Error) GTEST_SKIP() << "no symbolic links here: " << Error.message();
  Archive({LiteralEntry("a", Bytes("payload"))});
  Select({"a"});
  EXPECT_THROW(C.Extract(), EVCCouldNotCreateFile);
  EXPECT_EQ(testing_support::ReadFile(Dir / "victim"), "untouched");
}

TEST_F(Extraction, ATargetThatIsADirectoryCannotBeCreated) {
  fs::create_directories(testing_support::Native(Out("a")));
  Archive({LiteralEntry("a", Bytes("x"))});
  Select({"a"});
  try {
    C.Extract();
    FAIL();
  } catch (const EVCCouldNotCreateFile& E) {
    EXPECT_EQ(E.Message(), "Could not create the file " + Out("a"));
  }
}

TEST_F(Extraction, HostileOffsetsEndInAClearErrorNotACrash) {
  struct Case {
    const char* What;
    std::function<void(TFileHeaderRecord&)> Change;
    std::string Message;  // empty: the run may succeed or fail, but must end
  };
  const std::string Missing2 = EMissingVolume(2).Message();
  const std::string Missing255 = EMissingVolume(255).Message();
  const std::vector<Case> Cases = {
      {"negative DataStart", [](TFileHeaderRecord& R) { R.SetDataStart(-5); },
       "The decompressed file's size does not match with the actual size the file.  The file is a"},
      {"DataStart beyond the volume", [](TFileHeaderRecord& R) { R.SetDataStart(0x7FFFFFF0); },
       "The decompressed file's size does not match with the actual size the file.  The file is a"},
      {"huge DataEnd", [](TFileHeaderRecord& R) { R.SetDataEnd(0x7FFFFFFF); }, Missing2},
      {"LastDisk below FirstDisk",
       [](TFileHeaderRecord& R) {
         R.SetFirstDisk(2);
         R.SetLastDisk(1);
       },
       Missing2},
      {"FirstDisk 0, LastDisk 1",
       [](TFileHeaderRecord& R) {
         R.SetFirstDisk(0);
         R.SetLastDisk(1);
       },
       ""},
      {"volume 255",
       [](TFileHeaderRecord& R) {
         R.SetFirstDisk(255);
         R.SetLastDisk(255);
       },
       Missing255},
      {"huge sizes",
       [](TFileHeaderRecord& R) {
         R.SetCompressedSize(INT32_MIN);
         R.SetOriginalSize(INT32_MAX);
       },
       "The decompressed file's size does not match with the actual size the file.  The file is a"},
  };
  for (const auto& Case : Cases) {
    Archive({LiteralEntry("a", RandomBytes(100, 1))});
    hand_laid::PatchHeader(Dir / "setup.1", 0, Case.Change);
    C.ReadHeaders();
    Select({"a"});
    try {
      C.Extract();
      EXPECT_TRUE(Case.Message.empty()) << Case.What << ": no error";
    } catch (const Exception& E) {
      if (!Case.Message.empty()) {
        EXPECT_EQ(E.Message(), Case.Message) << Case.What;
      }
    }
    EXPECT_TRUE(C.FilesToProcess().empty());
  }
}

TEST_F(Extraction, EmptyVolumesEndTheInputInsteadOfLooping) {
  const auto Content = RandomBytes(400, 2);
  Archive({LiteralEntry("a", Content)}, 5 + 164 + 100);
  // Volumes 2 and 3 are empty files; the data would go on in volume 4.
  WriteFile(Dir / "setup.2", "");
  WriteFile(Dir / "setup.3", "");
  Select({"a"});
  EXPECT_THROW(C.Extract(), EVCWrongDecompressedSize);
}

TEST_F(Extraction, AFullDiskRaisesOrCallsOnFullDisk) {
  const auto Content = RandomBytes(30000, 4);
  fs::create_directories(testing_support::Native(Dir / "out"));
  Archive({LiteralEntry("big", Content)});
  platform::InitializeProcess();
  if (!testing_support::LimitFileSize(10000)) GTEST_SKIP() << "no file-size limit here";
  Select({"big"});
  try {
    C.Extract();
    ADD_FAILURE() << "no exception";
  } catch (const EVCDiskFull& E) {
    EXPECT_EQ(E.Message(), "Disk is full");
  }
  int Full = 0;
  C.OnFullDisk = [&](TComponent&) { ++Full; };
  Select({"big"});
  try {
    C.Extract();
    ADD_FAILURE() << "no exception";
  } catch (const EVCWrongDecompressedSize&) {
  }
  testing_support::RemoveFileSizeLimit();
  EXPECT_GE(Full, 1);
  EXPECT_EQ(fs::file_size(testing_support::Native(Out("big"))), 10000u);
}

}  // namespace
