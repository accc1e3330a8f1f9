// What a crash leaves when a medium is replaced: the process is killed (SIGKILL) before each step
// that changes the directory. The directory then holds the old catalogue, or the new one with
// all its volumes in place; once Recover has run, exactly the old medium or exactly the new one,
// the files that are no volume of either untouched.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <varn/archive/ArchiveWriter.h>
#include <varn/archive/PendingVolumes.h>
#include "tests/common/TestSupport.h"
#include "tests/common/TreeSnapshot.h"

using namespace varn;

namespace {

using testing_support::TreeSnapshot;

// One file of random bytes, which code to a little more than their size: Volumes volumes of
// 1 KiB.
ArchiveWriter Writer(int32_t Volumes, uint32_t Seed) {
  ArchiveWriter W;
  W.VolumeSize = 1024;
  W.Seal = true;
  ArchiveMember Member;
  Member.Name = "data.bin";
  Member.FileDate = 44000.5;
  const auto Bytes = testing_support::RandomBytes(static_cast<size_t>(Volumes) * 1024 - 800, Seed);
  Member.OpenData = [Bytes] { return std::make_unique<TMemoryStream>(Bytes); };
  W.Members.push_back(std::move(Member));
  return W;
}

struct Scenario {
  const char* What;
  int32_t OldVolumes, NewVolumes;  // OldVolumes 0: no medium there before
};

void PrintTo(const Scenario& S, std::ostream* Out) {
  *Out << S.What;
}

class ReplacementCrash : public ::testing::TestWithParam<Scenario> {
 protected:
  // The directory before: the old medium, and files of the user's that are named like volumes.
  void Prepare(const testing_support::TempDir& Dir) {
    if (GetParam().OldVolumes > 0) {
      ArchiveWriter Old = Writer(GetParam().OldVolumes, 1);
      WriteArchiveFiles(Old, Dir / "setup.1");
    } else {
      testing_support::WriteFile(Dir / "setup.2", "mine, named as a volume of the new medium");
    }
    testing_support::WriteFile(Dir / "setup.13", "mine, no volume of either");
  }
  TreeSnapshot Snapshot(const testing_support::TempDir& Dir) {
    return testing_support::SnapshotTree(testing_support::Native(Dir.Path()));
  }
};

TEST_P(ReplacementCrash, EveryStepLeavesTheOldOrTheNewMediumWhole) {
  TreeSnapshot Old, New;
  {
    testing_support::TempDir Dir;
    Prepare(Dir);
    Old = Snapshot(Dir);
    ArchiveWriter W = Writer(GetParam().NewVolumes, 2);
    WriteArchiveFiles(W, Dir / "setup.1");
    New = Snapshot(Dir);
    ASSERT_EQ(New.count("setup." + std::to_string(GetParam().NewVolumes)), 1u);
  }
  int Kills = 0;
  for (int Stop = 1;; ++Stop) {
    SCOPED_TRACE("killed before step " + std::to_string(Stop));
    testing_support::TempDir Dir;
    Prepare(Dir);
    const pid_t Child = fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
      PendingVolumes Pending(Dir / "setup.1");
      Pending.Recover();
      ArchiveWriter W = Writer(GetParam().NewVolumes, 2);
      const ArchivePlan Plan = Pending.Write(W);
      int Steps = 0;
      Pending.BeforeEachStep = [&] {
        if (++Steps == Stop) raise(SIGKILL);
      };
      Pending.Commit(Plan.VolumeCount);
      _exit(0);
    }
    int Status = 0;
    ASSERT_EQ(waitpid(Child, &Status, 0), Child);
    if (WIFEXITED(Status)) {
      ASSERT_EQ(WEXITSTATUS(Status), 0);
      EXPECT_EQ(Snapshot(Dir), New);
      break;
    }
    ASSERT_TRUE(WIFSIGNALED(Status) && WTERMSIG(Status) == SIGKILL);
    ++Kills;
    const TreeSnapshot Left = Snapshot(Dir);
    const auto Volume1 = Left.find("setup.1");
    if (Volume1 != Left.end() && Volume1->second == New.at("setup.1")) {
      for (int32_t N = 2; N <= GetParam().NewVolumes; ++N) {
        const std::string Name = "setup." + std::to_string(N);
        EXPECT_TRUE(Left.count(Name) && Left.at(Name) == New.at(Name)) << Name;
      }
    }
    PendingVolumes Again(Dir / "setup.1");
    const PendingVolumes::Recovery Done = Again.Recover();
    EXPECT_TRUE(Done.Failed.empty());
    const TreeSnapshot After = Snapshot(Dir);
    EXPECT_TRUE(After == Old || After == New)
        << testing::PrintToString(testing_support::TreeDifferences(Old, After)) << "\n"
        << testing::PrintToString(testing_support::TreeDifferences(New, After));
    if (After == Old) {
      EXPECT_FALSE(Done.Empty()) << "what was put right is said";
    }
  }
  EXPECT_GE(Kills, GetParam().NewVolumes);
}

INSTANTIATE_TEST_SUITE_P(Media, ReplacementCrash,
                         ::testing::Values(Scenario{"NineVolumesByEleven", 9, 11},
                                           Scenario{"SixVolumesByTwo", 6, 2},
                                           Scenario{"NoMediumBefore", 0, 3}),
                         [](const ::testing::TestParamInfo<Scenario>& Info) {
                           return std::string(Info.param.What);
                         });

}  // namespace
