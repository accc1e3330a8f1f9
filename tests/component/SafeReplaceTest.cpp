// SafeReplace: each file is written under a temporary name beside its target and put in place
// only when it is complete and checked. The target is replaced, never written through, and stays
// as it was after any failure or a stop; the blocks, the events and the date are as without it.
// (Without it, the default, the target is written where it is: BlockContractTest and the rest.)
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include <varn/support/PathHelpers.h>
#include "tests/component/ExtractionFixture.h"
#include "tests/component/SealedMedia.h"

using namespace varn;

namespace {

namespace fs = std::filesystem;
using hand_laid::Bytes;
using hand_laid::LiteralEntry;
using testing_support::RandomBytes;

class SafeReplacing : public Extraction {
 protected:
  void SetUp() override {
    Extraction::SetUp();
    C.SafeReplace = true;
    fs::create_directories(testing_support::Native(Dir / "out"));
  }
  // The names in the output directory.
  std::set<std::string> Names() const {
    std::set<std::string> Result;
    for (const auto& Entry : fs::directory_iterator(testing_support::Native(Dir / "out")))
      Result.insert(Entry.path().filename().string());
    return Result;
  }
  // The one file in the output directory besides those named.
  std::string Temporary(const std::set<std::string>& Besides) const {
    std::string Found;
    for (const std::string& Name : Names())
      if (!Besides.count(Name)) Found = Name;
    return Found;
  }
};

TEST_F(SafeReplacing, IsOffByDefault) {
  EXPECT_FALSE(TVarnCompress().SafeReplace);
}

TEST_F(SafeReplacing, EachBlockReachesTheTemporaryFileBeforeItsReport) {
  const auto Content = RandomBytes(20000, 1);
  testing_support::WriteFile(Out("big"), "old");
  Archive({LiteralEntry("big", Content)});
  std::vector<std::string> Seen;
  C.OnStatus = [&](TVarnCompress&, const TlzhFileStats& S) {
    const std::string Name = Temporary({"big"});
    Seen.push_back((S.FileDone ? "done " : "status ") + Read("big").substr(0, 3) + " " +
                   (Name.empty() ? "-"
                                 : std::to_string(fs::file_size(
                                       fs::path(testing_support::Native(Out(Name)))))));
  };
  Select({"big"});
  C.Extract();
  EXPECT_EQ(Seen,
            (std::vector<std::string>{"status old 8192", "status old 16384", "status old 20000",
                                      "done " + Read("big").substr(0, 3) + " -"}));
  EXPECT_EQ(Read("big"), std::string(Content.begin(), Content.end()));
  EXPECT_EQ(Names(), std::set<std::string>{"big"});
  TFileStream Written(Out("big"), TFileMode::fmOpenReadShared);
  EXPECT_EQ(Written.GetFileDate(), DateTimeToFileDate(44000.5));
}

// Whatever ends a file early leaves the existing target as it was and no temporary file.
TEST_F(SafeReplacing, AFailureOrAStopLeavesTheTargetAsItWas) {
  struct Case {
    const char* What;
    std::function<void()> Prepare;
  };
  const auto Content = RandomBytes(20000, 2);
  const std::vector<Case> Cases = {
      {"a wrong size",
       [&] {
         auto Entry = LiteralEntry("big", Content);
         Entry.OriginalSize += 1;
         Archive({Entry});
       }},
      {"a missing volume",
       [&] {
         Archive({LiteralEntry("big", Content)}, 10000);
         fs::remove(testing_support::Native(Dir / "setup.2"));
       }},
      {"a stop",
       [&] {
         Archive({LiteralEntry("big", Content)});
         C.OnStatus = [&](TVarnCompress&, const TlzhFileStats&) { C.Abort = true; };
       }},
      {"a damaged seal",
       [&] {
         for (int N = 1; testing_support::Exists(Dir / ("setup." + std::to_string(N))); ++N)
           fs::remove(testing_support::Native(Dir / ("setup." + std::to_string(N))));
         const ArchivePlan Plan = sealed_media::Write(Dir / "setup", {{"big", Content}}, 0);
         sealed_media::FlipByte(Dir / "setup.1", Plan.Headers[0].DataStart() + 5000);
         C.CheckSeal = true;
         C.SetCompressedFile(Dir / "none.1");
         C.SetCompressedFile(Dir / "setup.1");
       }},
  };
  for (const Case& Each : Cases) {
    SCOPED_TRACE(Each.What);
    testing_support::WriteFile(Out("big"), "the user's own");
    C.OnStatus = nullptr;
    C.CheckSeal = false;
    Each.Prepare();
    Select({"big"});
    try {
      C.Extract();
    } catch (const Exception&) {
    }
    EXPECT_EQ(Read("big"), "the user's own");
    EXPECT_EQ(Names(), std::set<std::string>{"big"});
  }
}

TEST_F(SafeReplacing, ALinkAtTheTargetIsReplacedNotWrittenThrough) {
  testing_support::WriteFile(Dir / "victim", "untouched");
  std::error_code Error;
  fs::create_hard_link(testing_support::Native(Dir / "victim"), testing_support::Native(Out("a")),
                       Error);
  if (Error) GTEST_SKIP() << "no hard links here: " << Error.message();
  Archive({LiteralEntry("a", Bytes("payload"))});
  Select({"a"});
  C.Extract();
  EXPECT_EQ(Read("a"), "payload");
  EXPECT_EQ(testing_support::ReadFile(Dir / "victim"), "untouched");
}

// Refused as without SafeReplace, before a byte is written.
TEST_F(SafeReplacing, TargetsThatCannotBeCreatedAreRefusedFirst) {
  Archive({LiteralEntry("a", Bytes("payload"))});
  testing_support::WriteFile(Out("a"), "read-only");
  fs::permissions(testing_support::Native(Out("a")),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  fs::create_directories(testing_support::Native(Out("dir")));
  for (const std::string Name : {"a", "dir"}) {
    SCOPED_TRACE(Name);
    Reports.clear();
    C.TargetName = Name;
    Select({"a"});
    try {
      C.Extract();
      ADD_FAILURE() << "written";
    } catch (const EVCCouldNotCreateFile& E) {
      EXPECT_EQ(E.FileName, Out(Name));
    }
    EXPECT_TRUE(Reported("status").empty() && Reported("done").empty());
    EXPECT_EQ(Names(), (std::set<std::string>{"a", "dir"}));
  }
  EXPECT_EQ(Read("a"), "read-only");
}

// A complete file whose date cannot be set is put in place all the same, and the error raised.
TEST_F(SafeReplacing, ACompleteFileWithoutItsDateStillTakesItsPlace) {
  auto Old = LiteralEntry("old.txt", Bytes("complete"));
  Old.FileDate = 27000.5;  // 1973: the packed date cannot hold it
  testing_support::WriteFile(Out("old.txt"), "before");
  Archive({Old});
  Select({"old.txt"});
  try {
    C.Extract();
    ADD_FAILURE() << "no error";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "Cannot set the date of the file just extracted.");
  }
  EXPECT_EQ(Read("old.txt"), "complete");
  EXPECT_EQ(Names(), std::set<std::string>{"old.txt"});
}

// A descendant decides what becomes of the temporary file: it lies beside the target and holds
// the blocks written before the failure.
TEST_F(SafeReplacing, ADescendantMayKeepTheTemporaryFile) {
  class Keeping : public TVarnCompress {
   public:
    std::string Temporary, Target;

   protected:
    void DiscardTemporary(const std::string& T, const std::string& For) override {
      Temporary = T;
      Target = For;
    }
  };
  Keeping K;
  K.SafeReplace = true;
  K.ExtractDirectory = Dir / "out";
  auto Entry = LiteralEntry("big", RandomBytes(20000, 3));
  Entry.OriginalSize += 1;
  Archive({Entry});
  K.SetCompressedFile(Dir / "setup.1");
  K.FilesToProcess().push_back("big");
  EXPECT_THROW(K.Extract(), EVCWrongDecompressedSize);
  EXPECT_EQ(K.Target, Out("big"));
  EXPECT_EQ(DirectoryPart(K.Temporary), DirectoryPart(K.Target));
  EXPECT_EQ(testing_support::ReadFile(K.Temporary).size(), 20000u);
  EXPECT_FALSE(testing_support::Exists(Out("big")));
}

}  // namespace
