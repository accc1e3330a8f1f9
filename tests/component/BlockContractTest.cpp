// Output moves in blocks: each decoded block reaches the target when it is handed over, so a
// stop, a short write or a failure is met at that block, with every block before it in the file;
// and no file is decoded on far past the size its header states.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <varn/framework/platform/Platform.h>
#include "tests/common/ProcessLimits.h"
#include "tests/component/ExtractionFixture.h"

using namespace varn;

namespace {

namespace fs = std::filesystem;
using hand_laid::LiteralEntry;
using testing_support::RandomBytes;

// Whether File holds the first Count bytes of Content, saying what it holds otherwise without
// printing kilobytes of binary.
testing::AssertionResult HoldsPrefix(const std::string& File, const std::vector<uint8_t>& Content,
                                     size_t Count) {
  if (File.size() != Count)
    return testing::AssertionFailure() << File.size() << " bytes instead of " << Count;
  if (!std::equal(File.begin(), File.end(), Content.begin(),
                  [](char A, uint8_t B) { return static_cast<uint8_t>(A) == B; }))
    return testing::AssertionFailure() << "other bytes than the content's first " << Count;
  return testing::AssertionSuccess();
}

class BlockContract : public Extraction {
 protected:
  // The size of the target on disk at each OnStatus, and OnFullDisk, in order.
  std::vector<std::string> Events;
  void RecordEvents(const std::string& Name) {
    C.OnStatus = [this, Name](TVarnCompress&, const TlzhFileStats& S) {
      Events.push_back((S.FileDone ? "done " : "status ") +
                       std::to_string(fs::file_size(testing_support::Native(Out(Name)))));
    };
    C.OnFullDisk = [this](TComponent&) { Events.push_back("full"); };
  }
};

TEST_F(BlockContract, AStopLeavesEveryBlockHandedOverBeforeIt) {
  const auto Content = RandomBytes(20000, 1);
  Archive({LiteralEntry("big", Content)});
  RecordEvents("big");
  const auto Status = C.OnStatus;
  C.OnStatus = [&](TVarnCompress& V, const TlzhFileStats& S) {
    Status(V, S);
    C.Abort = true;
  };
  Select({"big"});
  C.Extract();
  EXPECT_EQ(Events, (std::vector<std::string>{"status 8192"}));
  EXPECT_TRUE(HoldsPrefix(Read("big"), Content, 8192));
}

TEST_F(BlockContract, AShortWriteIsMetAtItsBlock) {
  const auto Content = RandomBytes(20000, 2);
  fs::create_directories(testing_support::Native(Dir / "out"));
  Archive({LiteralEntry("big", Content)});
  platform::InitializeProcess();
  if (!testing_support::LimitFileSize(10000)) GTEST_SKIP() << "no file-size limit here";

  // With a handler: called at each short block, between the writes and their reports.
  RecordEvents("big");
  Select({"big"});
  EXPECT_THROW(C.Extract(), EVCWrongDecompressedSize);
  EXPECT_EQ(Events, (std::vector<std::string>{"status 8192", "full", "status 10000", "full",
                                              "status 10000"}));

  // Without one: EVCDiskFull at the first short block.
  Events.clear();
  C.OnFullDisk = nullptr;
  Select({"big"});
  EXPECT_THROW(C.Extract(), EVCDiskFull);
  EXPECT_EQ(Events, (std::vector<std::string>{"status 8192"}));

  // A descendant that replaces DiskFull is asked once per short block.
  struct TCountingFull : TVarnCompress {
    int Calls = 0;
    void DiskFull() override { ++Calls; }
  } Counting;
  Counting.SetCompressedFile(Dir / "setup.1");
  Counting.ExtractDirectory = C.ExtractDirectory;
  Counting.FilesToProcess().push_back("big");
  EXPECT_THROW(Counting.Extract(), EVCWrongDecompressedSize);
  testing_support::RemoveFileSizeLimit();
  EXPECT_EQ(Counting.Calls, 2);
  EXPECT_TRUE(HoldsPrefix(Read("big"), Content, 10000));
}

TEST_F(BlockContract, AMissingVolumeLeavesTheBlocksDecodedBeforeIt) {
  // Volume 1 holds 30000 bytes of the literal stream: three reads, 21845 bytes decoded, two
  // whole blocks handed over before the fourth read finds volume 1 ending and no volume 2.
  const auto Content = RandomBytes(40000, 3);
  Archive({LiteralEntry("big", Content)}, 5 + 164 + 30000);
  fs::remove(testing_support::Native(Dir / "setup.2"));
  Select({"big"});
  EXPECT_THROW(C.Extract(), Exception);
  EXPECT_TRUE(HoldsPrefix(Read("big"), Content, 16384));
}

TEST_F(BlockContract, DecodingEndsOneBlockPastTheStatedSize) {
  struct Case {
    int32_t Stated;
    size_t Actual;
    size_t Written;  // what the file holds when the wrong size is raised
  };
  const Case Cases[] = {
      {10000, 10001, 10001},  // within one block: written whole, as always
      {10000, 18192, 18192},
      {10000, 18193, 16384},  // the third block would pass the bound: not written
      {0, 100000, 8192},
      {-5, 100000, 8192},
  };
  for (const Case& K : Cases) {
    SCOPED_TRACE(std::to_string(K.Stated) + " stated, " + std::to_string(K.Actual) + " decoded");
    const auto Content = RandomBytes(K.Actual, 4);
    auto Entry = LiteralEntry("f", Content);
    Entry.OriginalSize = K.Stated;
    Archive({Entry});
    Select({"f"});
    try {
      C.Extract();
      ADD_FAILURE() << "no exception";
    } catch (const EVCWrongDecompressedSize& E) {
      EXPECT_EQ(E.FileName, "f");
    }
    EXPECT_TRUE(HoldsPrefix(Read("f"), Content, K.Written));
  }
}

TEST_F(BlockContract, AnEndlessVolumeIsReadOnlyAsFarAsTheFileCanReach) {
  // A 300,000-byte file over 64 KiB volumes, its third volume replaced by a large empty file (a
  // wrong file under a volume's name reads the same): decoding stops one block past the
  // stated size, and reading soon after.
  const auto Content = RandomBytes(300000, 5);
  Archive({LiteralEntry("data.bin", Content)}, 65536);
  const std::string Third = testing_support::Native(Dir / "setup.3").string();
  fs::resize_file(Third, 0);
  fs::resize_file(Third, 64 << 20);
  Select({"data.bin"});
  EXPECT_THROW(C.Extract(), EVCWrongDecompressedSize);
  EXPECT_LE(fs::file_size(testing_support::Native(Out("data.bin"))), 300000u + 8192u);
  EXPECT_LT(C.Stats().BytesDone, 1 << 20);
}

}  // namespace
