// End-to-end tests of the varn executable (VARN_EXECUTABLE): exact stdout, stderr and exit
// status, run in a scratch directory with stdin, stdout and stderr redirected (so stderr is no
// terminal, and a successful run must say nothing there).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <varn/archive/ArchiveSeal.h>
#include <varn/archive/ArchiveWriter.h>
#include <varn/archive/PendingVolumes.h>
#include <varn/archive/PredictionEncoder.h>
#include <varn/framework/DateTime.h>
#include <varn/framework/Streams.h>
#include "tests/common/TestSupport.h"
#include "tests/common/TreeSnapshot.h"
#include "tests/component/HandLaidArchive.h"

using namespace varn;

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using Bytes = std::vector<uint8_t>;

struct Outcome {
  int Status = -1;
  std::string Out, Err;
};

std::string Quote(const std::string& Text) {
  std::string Q = "'";
  for (char C : Text)
    Q += C == '\'' ? std::string("'\\''") : std::string(1, C);
  return Q + "'";
}

Outcome RunShell(const TempDir& Dir, const std::string& Command) {
  const std::string Native = testing_support::Native(Dir.Path()).string();
  const int Raw = std::system(
      ("cd " + Quote(Native) + " && " + Command + " </dev/null >.stdout 2>.stderr").c_str());
  Outcome O;
  O.Status = (Raw >> 8) & 0xFF;
  O.Out = ReadFile(Dir / ".stdout");
  O.Err = ReadFile(Dir / ".stderr");
  return O;
}

Outcome Varn(const TempDir& Dir, const std::vector<std::string>& Arguments) {
  std::string Command = Quote(VARN_EXECUTABLE);
  for (const std::string& A : Arguments)
    Command += " " + Quote(A);
  return RunShell(Dir, Command);
}

// A bash script, with $VARN naming varn and job control on: a program it starts in the
// background then takes SIGINT as from a terminal.
Outcome Bash(const TempDir& Dir, const std::string& Script) {
  return RunShell(Dir, "VARN=" + Quote(VARN_EXECUTABLE) + " bash -c " + Quote("set -m\n" + Script));
}

// A file of Size zero bytes that takes no room on the disk.
void MakeSparseFile(const TempDir& Dir, const std::string& Name, uintmax_t Size) {
  std::filesystem::path Path = testing_support::Native(Dir / Name);
  { std::ofstream Create(Path); }
  std::filesystem::resize_file(Path, Size);
}

const std::string Usage =
    "usage: varn pack [--output FILE] [--volume-size SIZE] [--name ARCHIVED=PATH]... [--no-seal] "
    "[--sign KEY] [--quiet] [--codepage N] PATH...\n"
    "       varn list [--json] [--codepage N] ARCHIVE\n"
    "       varn test [--volumes DIR] [--quiet] [--codepage N] ARCHIVE\n"
    "       varn extract [--directory DIR] [--overwrite MODE] [--volumes DIR] [--quiet] "
    "[--verbose] [--threads N] [--keep-incomplete] [--codepage N] ARCHIVE [NAME...]\n"
    "       varn version [--language LANG] [--charset SET] [--json] FILE\n"
    "       varn keygen [--output NAME] [--force] [--quiet]\n"
    "       varn sign [--quiet] KEY ARCHIVE\n"
    "       varn stamp [--key NAME.pub] [--output FILE] [--quiet] PROGRAM\n"
    "       varn verify [--key NAME.pub] [--codepage N] ARCHIVE\n"
    "       varn help [COMMAND]\n"
    "       varn --version\n";
const std::string PackUsage =
    "usage: varn pack [--output FILE] [--volume-size SIZE] [--name ARCHIVED=PATH]... [--no-seal] "
    "[--sign KEY] [--quiet] [--codepage N] PATH...\n";
const std::string ListUsage = "usage: varn list [--json] [--codepage N] ARCHIVE\n";

// 15 June 2021, 12:34:56 local time, packed.
constexpr int32_t PackedTime =
    (((2021 - 1980) << 9 | 6 << 5 | 15) << 16) | (12 << 11 | 34 << 5 | 28);
const TDateTime Time = 44362.0 + (12 * 3600 + 34 * 60 + 56) / 86400.0;

void MakeFile(const TempDir& Dir, const std::string& Name, const Bytes& Data) {
  TFileStream File(Dir / Name, TFileMode::fmCreate);
  File.WriteBuffer(Data.data(), static_cast<int32_t>(Data.size()));
  ASSERT_TRUE(File.SetFileDate(PackedTime));
}

size_t CodedSize(const Bytes& Data) {
  return varn::PredictionEncoder::EncodeAll(Data.data(), Data.size()).size();
}

std::string Sha256Text(const Bytes& Data) {
  platform::Sha256 Hash;
  Hash.Update(Data.data(), Data.size());
  TSealDigest Digest{};
  EXPECT_TRUE(Hash.Finish(Digest));
  return DigestText(Digest);
}

std::string Shortest(double Value) {
  char Text[64];
  return std::string(Text, std::to_chars(Text, Text + sizeof Text, Value).ptr);
}

TEST(VarnCli, UsageErrorsExitWith2AndTheUsage) {
  TempDir Dir;
  EXPECT_EQ(Varn(Dir, {}).Status, 2);
  EXPECT_EQ(Varn(Dir, {}).Err, "varn: no command given\n" + Usage);
  const Outcome Unknown = Varn(Dir, {"frob"});
  EXPECT_EQ(Unknown.Status, 2);
  EXPECT_EQ(Unknown.Out, "");
  EXPECT_EQ(Unknown.Err, "varn: unknown command \"frob\"\n" + Usage);

  const std::vector<std::pair<std::vector<std::string>, std::string>> Cases = {
      {{"pack"}, "varn: no file to pack\n" + PackUsage},
      {{"pack", "--bogus", "a"}, "varn: unknown option --bogus\n" + PackUsage},
      {{"pack", "a", "--output"}, "varn: option --output needs a value\n" + PackUsage},
      {{"pack", "--volume-size", "12x", "a"},
       "varn: option --volume-size needs a number of bytes, optionally followed by k, m or g "
       "(units of 1024, 1024k, 1024m), not \"12x\"\n" +
           PackUsage},
      {{"pack", "--volume-size=0", "a"},
       "varn: option --volume-size needs a size of at least 1 byte\n" + PackUsage},
      {{"pack", "--output", "media.exe", "a"},
       "varn: the output file must have the extension .1 (volume n gets .n), not "
       "\"media.exe\"\n" +
           PackUsage},
      {{"pack", "--name", "x", "a"},
       "varn: option --name needs ARCHIVED=PATH, not \"x\"\n" + PackUsage},
      {{"pack", "--name", "x=b", "a"},
       "varn: option --name names b, which is not among the files to pack\n" + PackUsage},
      {{"list"}, "varn: no archive given\n" + ListUsage},
      {{"list", "a.1", "b.1"}, "varn: more than one archive given\n" + ListUsage},
      {{"list", "--json=yes", "a.1"}, "varn: option --json takes no value\n" + ListUsage},
  };
  for (const auto& [Arguments, Err] : Cases) {
    const Outcome O = Varn(Dir, Arguments);
    EXPECT_EQ(O.Status, 2) << Arguments[0] << " " << Arguments.size();
    EXPECT_EQ(O.Out, "");
    EXPECT_EQ(O.Err, Err);
  }
}

TEST(VarnCli, HelpGoesToStdout) {
  TempDir Dir;
  const Outcome All = Varn(Dir, {"--help"});
  EXPECT_EQ(All.Status, 0);
  EXPECT_EQ(All.Err, "");
  EXPECT_EQ(All.Out.rfind(Usage, 0), 0u);
  const Outcome Pack = Varn(Dir, {"pack", "--help"});
  EXPECT_EQ(Pack.Status, 0);
  EXPECT_EQ(Pack.Out.rfind(PackUsage + "\nPacks the files", 0), 0u);
  const Outcome List = Varn(Dir, {"list", "-h"});
  EXPECT_EQ(List.Status, 0);
  EXPECT_EQ(List.Out.rfind(ListUsage + "\n", 0), 0u);
  for (const std::string Command : {"pack", "list", "test", "extract", "version"})
    EXPECT_NE(Varn(Dir, {"help", Command}).Out.find("\nExit status: 0 "), std::string::npos)
        << Command;
  EXPECT_NE(Pack.Out.find("find data -type f"), std::string::npos);
  EXPECT_NE(Varn(Dir, {"help", "test"}).Out.find("only\nwhen the archive is sealed"),
            std::string::npos);
}

// The usage line of one command, as a usage error shows it.
std::string UsageOf(const std::string& Command) {
  const size_t At = Usage.find("varn " + Command + " ");
  return "usage: " + Usage.substr(At, Usage.find('\n', At) + 1 - At);
}

TEST(VarnCli, OptionRulesAreTheSameInEveryCommand) {
  TempDir Dir;
  struct Case {
    std::vector<std::string> Arguments;
    std::string Problem;
  };
  const std::vector<Case> Cases = {
      {{"extract", "-d", "o", "-d", "o2", "a.1"}, "option --directory given twice"},
      {{"extract", "--directory=o", "-do2", "a.1"}, "option --directory given twice"},
      {{"extract", "-qvq", "a.1"}, "option --quiet given twice"},
      {{"extract", "--overwrite", "never", "--overwrite", "always", "a.1"},
       "option --overwrite given twice"},
      {{"test", "-q", "--quiet", "a.1"}, "option --quiet given twice"},
      {{"list", "--json", "--json", "a.1"}, "option --json given twice"},
      {{"pack", "-o", "a.1", "--output", "b.1", "a"}, "option --output given twice"},
      {{"pack", "--codepage", "1252", "--codepage", "1251", "a"}, "option --codepage given twice"},
      {{"version", "--language", "0409", "--language", "0407", "f"},
       "option --language given twice"},
      // Unknown options are refused everywhere, also where another command has them.
      {{"pack", "--frob=1", "a"}, "unknown option --frob"},
      {{"pack", "-x", "a"}, "unknown option -x"},
      {{"pack", "--directory", "o", "a"}, "unknown option --directory"},
      {{"version", "-q", "f"}, "unknown option -q"},
      {{"test", "--verbose", "a.1"}, "unknown option --verbose"},
      {{"extract", "--quiet=yes", "a.1"}, "option --quiet takes no value"},
      {{"extract", "a.1", "-d"}, "option -d needs a value"},
      {{"test", "a.1", "--volumes"}, "option --volumes needs a value"},
      {{"extract", "-T0", "a.1"}, "option --threads needs a number from 1 to 64, not \"0\""},
      {{"extract", "--threads=4x", "a.1"},
       "option --threads needs a number from 1 to 64, not \"4x\""},
  };
  for (const Case& C : Cases) {
    const Outcome O = Varn(Dir, C.Arguments);
    EXPECT_EQ(O.Status, 2) << C.Problem;
    EXPECT_EQ(O.Out, "");
    EXPECT_EQ(O.Err, "varn: " + C.Problem + "\n" + UsageOf(C.Arguments[0]));
  }
  EXPECT_FALSE(testing_support::Exists(Dir / "o2")) << "a usage error writes nothing";

  // Every option of every usage line: its help names it, and given twice it is refused unless
  // the usage line marks it as repeating ("]...").
  size_t Checked = 0;
  for (size_t Line = 0; Line < Usage.find("varn help"); Line = Usage.find('\n', Line) + 1) {
    const std::string Text = Usage.substr(Line, Usage.find('\n', Line) - Line);
    const std::string Command =
        Text.substr(Text.find("varn ") + 5, Text.find(" [") - 5 - Text.find("varn "));
    const std::string Help = Varn(Dir, {"help", Command}).Out;
    for (size_t Open = Text.find(" [--"); Open != std::string::npos;
         Open = Text.find(" [--", Open + 1)) {
      const size_t Close = Text.find(']', Open);
      const std::string Declared = Text.substr(Open + 2, Close - Open - 2);
      const std::string Name = Declared.substr(0, Declared.find(' '));
      const bool Repeats = Text.compare(Close, 4, "]...") == 0;
      std::vector<std::string> Twice = {Command};
      for (int Time = 0; Time < 2; ++Time) {
        Twice.push_back(Name);
        if (Declared != Name) Twice.push_back("x=1");
      }
      const Outcome O = Varn(Dir, Twice);
      EXPECT_EQ(O.Err.find("varn: option " + Name + " given twice\n") == 0, !Repeats)
          << Command << " " << Name << ": " << O.Err;
      EXPECT_NE(O.Err.rfind("varn: unknown option", 0), 0u) << Command << " " << Name;
      EXPECT_NE(Help.find(Declared + "  "), std::string::npos) << Command << " " << Declared;
      ++Checked;
    }
  }
  EXPECT_GE(Checked, 21u);
}

TEST(VarnCli, PacksAndListsAsJson) {
  TempDir Dir;
  const Bytes Program = testing_support::RandomBytes(3000, 1);
  const Bytes Readme(100, 'r');
  MakeFile(Dir, "setup.exe", Program);
  MakeFile(Dir, "readme.txt", Readme);
  MakeFile(Dir, "empty", {});
  const Outcome Pack = Varn(Dir, {"pack", "setup.exe", "readme.txt", "empty"});
  const size_t P = CodedSize(Program), R = CodedSize(Readme);
  const auto Ratio = [](size_t Coded, size_t Original) {
    return std::to_string(static_cast<int>(std::nearbyint(100.0 * Coded / Original)));
  };
  ASSERT_EQ(P + R, 3381u);
  EXPECT_EQ(Pack.Status, 0);
  EXPECT_EQ(Pack.Out, "packed 3 files into setup.1 (1 volume), 3.0 KiB stored in 3.3 KiB (" +
                          Ratio(P + R, 3100) + "%)\n");
  EXPECT_EQ(Pack.Err, "");

  // The catalogue, then the seal of three files.
  const size_t Start = 5 + 3 * 164 + 84 + 3 * 32;
  const std::string Date = Shortest(Time);
  const std::string Expected =
      "{\"catalogue_tag\":0,\"sealed\":true,\"signature\":\"none\",\"signed_by\":null,"
      "\"total_original_size\":3100,\"total_compressed_"
      "size\":" +
      std::to_string(P + R) + ",\"total_compression_ratio\":" + Ratio(P + R, 3100) +
      ",\"files\":[" +
      "{\"index\":0,\"name\":\"setup.exe\",\"original_size\":3000,\"compressed_size\":" +
      std::to_string(P) + ",\"compression_ratio\":" + Ratio(P, 3000) + ",\"file_date\":" + Date +
      ",\"date\":\"2021-06-15 12:34:56\",\"version\":\"\",\"first_disk\":1,\"last_disk\":1,"
      "\"data_start\":" +
      std::to_string(Start) + ",\"data_end\":" + std::to_string(Start + P - 1) + ",\"sha256\":\"" +
      Sha256Text(Program) +
      "\"},{\"index\":1,\"name\":\"readme.txt\",\"original_size\":100,\"compressed_size\":" +
      std::to_string(R) + ",\"compression_ratio\":" + Ratio(R, 100) + ",\"file_date\":" + Date +
      ",\"date\":\"2021-06-15 12:34:56\",\"version\":\"\",\"first_disk\":1,\"last_disk\":1,"
      "\"data_start\":" +
      std::to_string(Start + P) + ",\"data_end\":" + std::to_string(Start + P + R - 1) +
      ",\"sha256\":\"" + Sha256Text(Readme) +
      "\"},{\"index\":2,\"name\":\"empty\",\"original_size\":0,\"compressed_size\":0,"
      "\"compression_ratio\":0,\"file_date\":" +
      Date +
      ",\"date\":\"2021-06-15 12:34:56\",\"version\":\"\",\"first_disk\":1,\"last_disk\":1,"
      "\"data_start\":" +
      std::to_string(Start + P + R) + ",\"data_end\":" + std::to_string(Start + P + R - 1) +
      ",\"sha256\":\"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855\"}]}\n";
  // Any volume's name leads to volume 1.
  for (const std::string Name : {"setup.1", "setup.7", "setup.exe", "setup"}) {
    const Outcome List = Varn(Dir, {"list", "--json", Name});
    EXPECT_EQ(List.Status, 0) << Name;
    EXPECT_EQ(List.Out, Expected) << Name;
    EXPECT_EQ(List.Err, "");
  }
}

TEST(VarnCli, PacksVolumesAndListsATable) {
  TempDir Dir;
  MakeFile(Dir, "a.bin", testing_support::RandomBytes(2000, 2));
  MakeFile(Dir, "b.txt", Bytes(16, 'b'));
  const Outcome Pack = Varn(Dir, {"pack", "--output", "media.1", "--volume-size", "1k", "--name",
                                  "tools\\prog.exe=a.bin", "--no-seal", "a.bin", "b.txt"});
  EXPECT_EQ(Pack.Status, 0);
  EXPECT_EQ(Pack.Err, "");
  // 333 + coded sizes: these 2000 random bytes code to 2244, the 16 'b' to 5.
  ASSERT_EQ(CodedSize(testing_support::RandomBytes(2000, 2)), 2244u);
  EXPECT_EQ(ReadFile(Dir / "media.1").size(), 1024u);
  EXPECT_EQ(ReadFile(Dir / "media.2").size(), 1024u);
  EXPECT_EQ(ReadFile(Dir / "media.3").size(), 333u + 2244 + 5 - 2048);
  EXPECT_FALSE(testing_support::Exists(Dir / "media.4"));

  const Outcome List = Varn(Dir, {"list", "media.2"});
  EXPECT_EQ(List.Status, 0);
  EXPECT_EQ(List.Err, "");
  EXPECT_EQ(
      List.Out,
      "Index  Name               Size  Compressed  Ratio  Date                 Version  Disks  "
      "Start  End\n"
      "    0  tools\\prog.exe  2.0 KiB     2.2 KiB   112%  2021-06-15 12:34:56             "
      "1-3    333  528\n"
      "    1  b.txt              16 B         5 B    31%  2021-06-15 12:34:56               "
      "3    529  533\n"
      "2 files in 3 volumes, 2.0 KiB, 2.2 KiB compressed (112%), catalogue tag 0, not "
      "sealed\n");
}

TEST(VarnCli, FailuresSayWhatWentWrongAndExitWith1) {
  TempDir Dir;
  const Outcome Missing = Varn(Dir, {"pack", "missing.txt"});
  EXPECT_EQ(Missing.Status, 1);
  EXPECT_EQ(Missing.Out, "");
  EXPECT_EQ(Missing.Err, "varn: Cannot open file missing.txt\n");
  EXPECT_FALSE(testing_support::Exists(Dir / "setup.1"));

  MakeFile(Dir, "a", Bytes(10, 'a'));
  MakeFile(Dir, "b", Bytes(10, 'b'));
  const Outcome Small = Varn(Dir, {"pack", "--volume-size", "300", "a", "b"});
  EXPECT_EQ(Small.Status, 1);
  EXPECT_EQ(Small.Err,
            "varn: The volume size of 300 bytes is too small: the catalogue of 2 files takes 333 "
            "bytes and its seal 148 more, and volume 1 must hold all of it\n");
  const Outcome Twice = Varn(Dir, {"pack", "--name", "b=a", "a", "b"});
  EXPECT_EQ(Twice.Status, 1);
  EXPECT_EQ(Twice.Err, "varn: Two files would be archived as \"b\": a and b\n");

  const Outcome NoArchive = Varn(Dir, {"list", "nothere"});
  EXPECT_EQ(NoArchive.Status, 1);
  EXPECT_EQ(NoArchive.Out, "");
  EXPECT_EQ(NoArchive.Err,
            "varn: Could not open the compressed file. The following value is the current value "
            "of the CompressedFile property: nothere.1\n");

  testing_support::WriteFile(Dir / "broken.1", std::string("\x02\x00\x00\x00\x00xyz", 8));
  const Outcome Broken = Varn(Dir, {"list", "broken.1"});
  EXPECT_EQ(Broken.Status, 1);
  EXPECT_EQ(Broken.Err,
            "varn: Could not read the file headers for the compressed file. The Archive file "
            "could possible be corrupt.\n");
}

// A warning reaches stderr whether or not it is a terminal: a log keeps it.
TEST(VarnCli, OldFileDatesAreClampedWithAWarningOnStderr) {
  TempDir Dir;
  {
    TFileStream File(Dir / "old.txt", TFileMode::fmCreate);
    File.WriteBuffer("x", 1);
  }
  // 1 January 1970, 00:00:00 UTC: before what the packed date form holds.
  std::string Touch = "touch -d @0 " + Quote(testing_support::Native(Dir / "old.txt").string());
  ASSERT_EQ(std::system(Touch.c_str()), 0);
  const Outcome Pack = Varn(Dir, {"pack", "old.txt"});
  EXPECT_EQ(Pack.Status, 0);
  EXPECT_EQ(Pack.Err.rfind("varn: warning: The modification time of old.txt (", 0), 0u) << Pack.Err;
  EXPECT_NE(Pack.Err.find(") lies outside the years 1980 to 2099, which an extracted file cannot "
                          "be given; it is archived as 1980-01-01 00:00:00\n"),
            std::string::npos)
      << Pack.Err;
  const Outcome List = Varn(Dir, {"list", "--json", "setup.1"});
  EXPECT_NE(List.Out.find("\"file_date\":29221,\"date\":\"1980-01-01 00:00:00\""),
            std::string::npos)
      << List.Out;
}

TEST(VarnCli, JsonEscapesNamesAndShowsTheAnsiCodePageAsUtf8) {
  TempDir Dir;
  MakeFile(Dir, "a", Bytes(1, 'a'));
  const Outcome Pack = Varn(Dir, {"pack", "--no-seal", "--name", "q'\\\u20AC\u00E9Z=a", "a"});
  EXPECT_EQ(Pack.Status, 0) << Pack.Err;
  // pack writes no control character nor '"'; a medium made elsewhere may hold them.
  std::string Volume = ReadFile(Dir / "setup.1");
  ASSERT_EQ(Volume.substr(26, 6), "q'\\\x80\xE9Z");
  Volume[27] = '"';
  Volume[31] = '\x01';
  testing_support::WriteFile(Dir / "setup.1", Volume);
  const Outcome List = Varn(Dir, {"list", "--json", "setup.1"});
  EXPECT_NE(List.Out.find("\"name\":\"q\\\"\\\\\xE2\x82\xAC\xC3\xA9\\u0001\""), std::string::npos)
      << List.Out;
}

TEST(VarnCli, ExtractsTestsAndFindsVolumesElsewhere) {
  TempDir Dir;
  const Bytes Big = testing_support::RandomBytes(5000, 3);
  MakeFile(Dir, "setup.exe", Bytes(50, 's'));
  MakeFile(Dir, "big.bin", Big);
  ASSERT_EQ(
      Varn(Dir, {"pack", "--volume-size", "2k", "--output", "media.1", "setup.exe", "big.bin"})
          .Status,
      0);

  const Outcome Test = Varn(Dir, {"test", "media.3"});
  EXPECT_EQ(Test.Status, 0);
  EXPECT_EQ(Test.Out,
            "ok      setup.exe (50 bytes)\nok      big.bin (5000 bytes)\n2 files tested, all ok\n");
  EXPECT_EQ(Test.Err, "");

  const Outcome Extract = Varn(Dir, {"extract", "--directory", "out/sub", "media.1"});
  EXPECT_EQ(Extract.Status, 0);
  EXPECT_EQ(Extract.Out + Extract.Err, "");
  EXPECT_EQ(ReadFile(Dir / "out\\sub\\big.bin"), std::string(Big.begin(), Big.end()));
  TFileStream Written(Dir / "out\\sub\\setup.exe", TFileMode::fmOpenReadShared);
  EXPECT_EQ(Written.GetFileDate(), PackedTime);

  // never keeps what is there; a named file only.
  testing_support::WriteFile(Dir / "out\\sub\\setup.exe", "mine");
  EXPECT_EQ(Varn(Dir, {"extract", "--overwrite", "never", "--directory", "out/sub", "media.1",
                       "SETUP.EXE;1"})
                .Status,
            0);
  EXPECT_EQ(ReadFile(Dir / "out\\sub\\setup.exe"), "mine");

  // A volume moved away is looked for in --volumes DIR; without it the run fails clearly.
  std::filesystem::create_directories(testing_support::Native(Dir / "disk2"));
  std::filesystem::rename(testing_support::Native(Dir / "media.2"),
                          testing_support::Native(Dir / "disk2\\media.2"));
  const Outcome Lost = Varn(Dir, {"extract", "--directory", "lost", "media.1"});
  EXPECT_EQ(Lost.Status, 1);
  EXPECT_EQ(Lost.Err,
            "varn: Could not open the correct disk file 2\n"
            "varn: looked for media.2 in the current directory; give its directory with "
            "--volumes DIR\n");
  EXPECT_EQ(testing_support::SnapshotTree(testing_support::Native(Dir / "lost")).size(), 1u)
      << "setup.exe, and nothing of big.bin";
  const Outcome Found =
      Varn(Dir, {"extract", "--volumes", "disk2", "--directory", "found", "media.1"});
  EXPECT_EQ(Found.Status, 0) << Found.Err;
  EXPECT_EQ(ReadFile(Dir / "found\\big.bin"), std::string(Big.begin(), Big.end()));

  // Both streams in one pipe: the lines come in the order they were written.
  const Outcome Failing = Bash(Dir, "\"$VARN\" test --volumes elsewhere media.1 2>&1 | cat");
  EXPECT_EQ(Failing.Out,
            "ok      setup.exe (50 bytes)\n"
            "FAILED  big.bin: Could not open the correct disk file 2\n"
            "varn: 1 of 2 files failed the test\n"
            "varn: looked for media.2 in the current directory and elsewhere; give its directory "
            "with --volumes DIR\n");

  const Outcome Unknown = Varn(Dir, {"extract", "--volumes", "disk2", "media.1", "nothing"});
  EXPECT_EQ(Unknown.Status, 1);
  EXPECT_EQ(Unknown.Err, "varn: The following file was not found in the archive: nothing\n");
  const Outcome Mode = Varn(Dir, {"extract", "--overwrite", "sometimes", "media.1"});
  EXPECT_EQ(Mode.Status, 2);
  EXPECT_EQ(Mode.Err.rfind("varn: unknown overwrite mode \"sometimes\"", 0), 0u);
}

void FlipByte(const TempDir& Dir, const std::string& Name, size_t Offset) {
  std::string Data = ReadFile(Dir / Name);
  ASSERT_LT(Offset, Data.size());
  Data[Offset] = static_cast<char>(Data[Offset] ^ 0xFF);
  testing_support::WriteFile(Dir / Name, Data);
}

// setup.exe (50 bytes) and big.bin (5000 from a fixed seed) packed as setup.1 to setup.3.
Bytes PackProgramAndBigFile(const TempDir& Dir) {
  const Bytes Big = testing_support::RandomBytes(5000, 7);
  MakeFile(Dir, "setup.exe", Bytes(50, 's'));
  MakeFile(Dir, "big.bin", Big);
  EXPECT_EQ(Varn(Dir, {"pack", "--volume-size", "2k", "setup.exe", "big.bin"}).Status, 0);
  return Big;
}

TEST(VarnCli, SealedMediaAreCheckedByTestExtractAndList) {
  TempDir Dir;
  const Bytes Big = PackProgramAndBigFile(Dir);
  const Outcome Table = Varn(Dir, {"list", "setup.1"});
  EXPECT_EQ(Table.Status, 0);
  EXPECT_NE(Table.Out.find("  End  SHA-256\n"), std::string::npos) << Table.Out;
  EXPECT_NE(Table.Out.find("  " + Sha256Text(Big) + "\n"), std::string::npos) << Table.Out;
  EXPECT_NE(Table.Out.find(", catalogue tag 0, sealed\n"), std::string::npos) << Table.Out;

  // A byte of big.bin's data in volume 2.
  FlipByte(Dir, "setup.2", 100);
  const Outcome Test = Varn(Dir, {"test", "setup.1"});
  EXPECT_EQ(Test.Status, 1);
  EXPECT_EQ(Test.Out,
            "ok      setup.exe (50 bytes)\n"
            "damaged big.bin: its bytes differ from those sealed\n");
  EXPECT_EQ(Test.Err, "varn: 1 of 2 files failed the test\n");
  const Outcome Extract = Varn(Dir, {"extract", "--directory", "out", "setup.1"});
  EXPECT_EQ(Extract.Status, 1);
  EXPECT_EQ(Extract.Err, "varn: The file does not match the seal of the archive: big.bin\n");
  EXPECT_EQ(ReadFile(Dir / "out\\setup.exe"), std::string(50, 's'));
  EXPECT_EQ(testing_support::SnapshotTree(testing_support::Native(Dir / "out")).size(), 1u)
      << "the damaged file never took its name";
  const Outcome Kept =
      Varn(Dir, {"extract", "--keep-incomplete", "--directory", "kept", "setup.1", "big.bin"});
  EXPECT_EQ(Kept.Status, 1);
  EXPECT_TRUE(testing_support::Exists(Dir / "kept\\big.bin"));
  FlipByte(Dir, "setup.2", 100);
  EXPECT_EQ(Varn(Dir, {"test", "setup.1"}).Status, 0);

  // The catalogue, then the seal (past the two records): every command that reads the
  // catalogue refuses it.
  const std::pair<size_t, std::string> Damages[] = {
      {10, "varn: The catalogue does not match the seal of the archive: setup.1\n"},
      {5 + 2 * 164 + 30, "varn: The seal of the archive is damaged: setup.1\n"}};
  for (const auto& [Offset, Message] : Damages) {
    FlipByte(Dir, "setup.1", Offset);
    for (const std::string Command : {"test", "extract", "list"}) {
      const Outcome O = Varn(Dir, {Command, "setup.1"});
      EXPECT_EQ(O.Status, 1) << Command;
      EXPECT_EQ(O.Out, "") << Command;
      EXPECT_EQ(O.Err, Message) << Command;
    }
    FlipByte(Dir, "setup.1", Offset);
  }

  // Without a seal only the sizes can be checked, and test says so once.
  ASSERT_EQ(Varn(Dir, {"pack", "--no-seal", "--output", "plain.1", "setup.exe", "big.bin"}).Status,
            0);
  const Outcome Plain = Varn(Dir, {"test", "plain.1"});
  EXPECT_EQ(Plain.Status, 0);
  EXPECT_EQ(Plain.Out,
            "the archive has no seal: only the sizes of its files can be checked\n"
            "ok      setup.exe (50 bytes)\nok      big.bin (5000 bytes)\n2 files tested, all ok\n");
  EXPECT_NE(Varn(Dir, {"list", "--json", "plain.1"}).Out.find("\"sealed\":false,"),
            std::string::npos);
}

TEST(VarnCli, SignedMediaAreMadeListedAndVerified) {
  TempDir Dir;
  const Bytes Big = PackProgramAndBigFile(Dir);
  ASSERT_EQ(Varn(Dir, {"keygen", "-q", "-o", "keys/publisher"}).Status, 0);
  ASSERT_EQ(Varn(Dir, {"keygen", "-q", "-o", "other.key"}).Status, 0);
  // The key identifier as OpenSSL's command line takes it, apart from varn's code.
  const auto KeyId = [&Dir](const std::string& Pub) {
    const Outcome O =
        RunShell(Dir, "(openssl pkey -pubin -in " + Pub + " -outform DER | sha256sum)");
    return O.Out.substr(0, 64);
  };
  const std::string Id = KeyId("keys/publisher.pub"), OtherId = KeyId("other.pub");
  ASSERT_EQ(Id.size(), 64u);
  ASSERT_NE(Id, OtherId);
  EXPECT_EQ(Varn(Dir, {"keygen", "--force", "-o", "other"}).Out.find("made other.key (keep it"),
            0u);
  const std::string NewOtherId = KeyId("other.pub");
  EXPECT_NE(NewOtherId, OtherId) << "--force made a new key";
  const struct {
    std::vector<std::string> Arguments;
    int Status;
    std::string Out, Err;  // "*": not compared
  } Steps[] = {
      {{"keygen", "-o", "other"},
       1,
       "",
       "varn: other.key exists already; --force replaces it (and its key is lost)\n"},
      {{"keygen", "extra", "-o", "x"}, 2, "*", "*"},
      {{"pack", "--no-seal", "--sign", "other.key", "-o", "x.1", "setup.exe"}, 2, "*", "*"},
      {{"pack", "--sign", "other.pub", "-o", "x.1", "setup.exe"},
       1,
       "",
       "varn: other.pub holds a public key; signing takes the private key (NAME.key)\n"},
      {{"verify", "setup.1"}, 1, "", "varn: setup.1 is not signed\n"},
      {{"sign", "keys/publisher.key", "setup.2"},
       0,
       "signed setup.1 (4 volumes) with key " + Id + "\n",
       ""},
      {{"verify", "setup.1"},
       0,
       "setup.1: signed by key " + Id + "\nok      setup.exe\nok      big.bin\nsigned by key " +
           Id + "; 2 files as signed\n",
       ""},
      {{"verify", "--key", "keys/publisher.pub", "setup.1"}, 0, "*", ""},
      {{"verify", "--key", "other.pub", "setup.1"},
       1,
       "",
       "varn: setup.1 is signed by key " + Id + ", not by " + NewOtherId + "\n"},
      {{"verify", "--key", "other.key", "setup.1"},
       1,
       "",
       "varn: other.key holds a private key; give the public key (NAME.pub) instead\n"},
      {{"pack", "-q", "--sign", "other.key", "-o", "again.1", "setup.exe"}, 0, "", ""},
      {{"verify", "again.1"}, 0, "*", ""},
  };
  for (const auto& Step : Steps) {
    SCOPED_TRACE(Step.Arguments[0] + " " + Step.Arguments.back());
    const Outcome O = Varn(Dir, Step.Arguments);
    EXPECT_EQ(O.Status, Step.Status);
    if (Step.Out != "*") {
      EXPECT_EQ(O.Out, Step.Out);
    }
    if (Step.Err != "*") {
      EXPECT_EQ(O.Err, Step.Err);
    }
  }
  const Outcome Table = Varn(Dir, {"list", "setup.1"});
  EXPECT_NE(Table.Out.find(", catalogue tag 0, sealed, signed by " + Id + "\n"), std::string::npos)
      << Table.Out;
  EXPECT_NE(Varn(Dir, {"list", "--json", "setup.1"})
                .Out.find("\"sealed\":true,\"signature\":\"signed\",\"signed_by\":\"" + Id + "\","),
            std::string::npos);

  // A byte of big.bin's data changed: verify names it; the signature of a changed seal fails.
  FlipByte(Dir, "setup.2", 100);
  const Outcome Changed = Varn(Dir, {"verify", "setup.1"});
  EXPECT_EQ(Changed.Status, 1);
  EXPECT_EQ(Changed.Out, "setup.1: signed by key " + Id +
                             "\nok      setup.exe\nFAILED  big.bin: its bytes differ from those "
                             "signed\n");
  EXPECT_EQ(Changed.Err, "varn: 1 of 2 files are not as signed\n");
  FlipByte(Dir, "setup.2", 100);
  // The signature's last byte.
  const size_t Block = 5 + 2 * 164 + 84 + 2 * 32;
  FlipByte(Dir, "setup.1", Block + 111);
  EXPECT_EQ(Varn(Dir, {"verify", "setup.1"}).Err,
            "varn: The signature of setup.1 does not match the medium: it was changed after it "
            "was signed\n");
  EXPECT_NE(Varn(Dir, {"list", "setup.1"}).Out.find(", sealed, signature damaged\n"),
            std::string::npos);
  (void)Big;
}

TEST(VarnCli, ExtractOverwritesByVersion) {
  TempDir Dir;
  const std::string Fixture = std::string(VARN_VERSION_FIXTURES) + "/dll.dll";
  if (!std::filesystem::exists(Fixture)) GTEST_SKIP() << "no version fixture";
  std::filesystem::copy_file(Fixture, testing_support::Native(Dir / "lib.dll"));
  ASSERT_EQ(Varn(Dir, {"pack", "lib.dll"}).Status, 0);
  const Outcome List = Varn(Dir, {"list", "--json", "setup.1"});
  EXPECT_NE(List.Out.find("\"version\":\"1.0.0.5\""), std::string::npos) << List.Out;

  // The same version stays; a file without version information is replaced.
  std::filesystem::create_directories(testing_support::Native(Dir / "out"));
  std::filesystem::copy_file(Fixture, testing_support::Native(Dir / "out\\lib.dll"));
  EXPECT_EQ(
      Varn(Dir, {"extract", "--overwrite", "version", "--directory", "out", "setup.1"}).Status, 0);
  testing_support::WriteFile(Dir / "out\\lib.dll", "no version here");
  EXPECT_EQ(
      Varn(Dir, {"extract", "--overwrite", "version", "--directory", "out", "setup.1"}).Status, 0);
  EXPECT_EQ(ReadFile(Dir / "out\\lib.dll"), ReadFile(testing_support::Internal(Fixture)));
}

TEST(VarnCli, VersionPrintsTheFifteenStrings) {
  TempDir Dir;
  const std::string Fixture = std::string(VARN_VERSION_FIXTURES) + "/dll.dll";
  if (!std::filesystem::exists(Fixture)) GTEST_SKIP() << "no version fixture";
  const Outcome Lines = Varn(Dir, {"version", Fixture});
  EXPECT_EQ(Lines.Status, 0);
  EXPECT_NE(Lines.Out.find("\nFileVersion: 1.0.0.5\n"), std::string::npos) << Lines.Out;
  EXPECT_EQ(std::count(Lines.Out.begin(), Lines.Out.end(), '\n'), 15);
  EXPECT_EQ(Lines.Out.rfind("Comment: ", 0), 0u);
  const Outcome Json = Varn(
      Dir, {"version", "--json", "--language", "lnSwissFrench", "--charset", "csUnicode", Fixture});
  EXPECT_EQ(Json.Status, 0);
  EXPECT_EQ(Json.Out.rfind("{\"Comment\":", 0), 0u);
  EXPECT_NE(Json.Out.find("\"FileVersion\":\"1.0.0.5\""), std::string::npos);
  EXPECT_EQ(Varn(Dir, {"version", "--language", "lnKlingon", Fixture}).Status, 2);
  const Outcome Missing = Varn(Dir, {"version", "nothere.exe"});
  EXPECT_EQ(Missing.Status, 1);
  EXPECT_EQ(Missing.Err, "varn: Cannot open file nothere.exe\n");
}

TEST(VarnCli, AsksForAMissingVolumeOnATerminal) {
  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1)";
  TempDir Dir;
  const Bytes Big = testing_support::RandomBytes(5000, 4);
  MakeFile(Dir, "big.bin", Big);
  ASSERT_EQ(Varn(Dir, {"pack", "--volume-size", "2k", "big.bin"}).Status, 0);
  std::filesystem::create_directories(testing_support::Native(Dir / "disk"));
  std::filesystem::rename(testing_support::Native(Dir / "setup.2"),
                          testing_support::Native(Dir / "disk\\setup.2"));
  // script(1) gives varn a terminal; the answer comes in through it.
  const std::string Command = "cd " + Quote(testing_support::Native(Dir.Path()).string()) +
                              " && printf 'disk\\n' | script -qec " +
                              Quote(Quote(VARN_EXECUTABLE) + " extract --directory out setup.1") +
                              " /dev/null >.terminal 2>&1";
  EXPECT_EQ(std::system(Command.c_str()), 0);
  const std::string Terminal = ReadFile(Dir / ".terminal");
  EXPECT_NE(Terminal.find("varn: volume 2 is not in the current directory.\r\nInsert the disk, or "
                          "type the directory that holds setup.2, then press Enter. An empty "
                          "answer gives up: "),
            std::string::npos)
      << Terminal;
  EXPECT_EQ(ReadFile(Dir / "out\\big.bin"), std::string(Big.begin(), Big.end()));

  // Four wrong answers: the last question says so, and the end says why it stopped.
  const std::string Wrong = "cd " + Quote(testing_support::Native(Dir.Path()).string()) +
                            " && printf 'a\\nb\\nc\\nd\\n' | script -qec " +
                            Quote(Quote(VARN_EXECUTABLE) + " extract --directory out setup.1") +
                            " /dev/null >.terminal 2>&1";
  std::system(Wrong.c_str());
  const std::string Refused = ReadFile(Dir / ".terminal");
  EXPECT_NE(Refused.find("varn: volume 2 is not in c.\r\nInsert the disk, or type the directory "
                         "that holds setup.2, then press Enter (the last attempt). An empty "
                         "answer gives up: "),
            std::string::npos)
      << Refused;
  EXPECT_NE(Refused.find("varn: Could not open the correct disk file 2\r\n"
                         "varn: looked for setup.2 in the current directory, a, b, c and d: 4 "
                         "attempts is the limit\r\n"),
            std::string::npos)
      << Refused;
}

// An existing medium of six volumes in media/, from a fixed seed.
testing_support::TreeSnapshot MakeOldMedium(const TempDir& Dir) {
  MakeFile(Dir, "old.bin", testing_support::RandomBytes(4500, 5));
  EXPECT_EQ(
      Varn(Dir, {"pack", "--output", "media/setup.1", "--volume-size", "1k", "old.bin"}).Status, 0);
  const auto Medium = testing_support::SnapshotTree(testing_support::Native(Dir / "media"));
  EXPECT_EQ(Medium.size(), 6u);
  return Medium;
}

testing_support::TreeSnapshot Snapshot(const TempDir& Dir, const std::string& Name) {
  return testing_support::SnapshotTree(testing_support::Native(Dir / Name));
}

TEST(VarnCli, PackRefusesAnInputThatIsAVolumeOfItsOutput) {
  TempDir Dir;
  const auto Medium = MakeOldMedium(Dir);
  MakeFile(Dir, "install.sh", Bytes(20, 'i'));
  std::filesystem::create_hard_link(testing_support::Native(Dir / "media\\setup.6"),
                                    testing_support::Native(Dir / "linked.bin"));
  const std::vector<std::pair<std::string, std::string>> Cases = {
      {"media/setup.1", "media/setup.1"},
      {"linked.bin", "media/setup.6"},
  };
  for (const auto& [Input, Volume] : Cases) {
    const Outcome O = Varn(Dir, {"pack", "--output", "media/setup.1", Input, "install.sh"});
    EXPECT_EQ(O.Status, 1) << Input;
    EXPECT_EQ(O.Err, "varn: Cannot pack " + Input + ": it is " + Volume +
                         ", which writing the medium would replace or remove\n");
    EXPECT_EQ(Snapshot(Dir, "media"), Medium) << Input;
  }
}

TEST(VarnCli, InterruptedPackLeavesTheOldMediumAndNoTemporaryFile) {
  TempDir Dir;
  const auto Medium = MakeOldMedium(Dir);
  MakeFile(Dir, "install.sh", Bytes(20, 'i'));
  // 100 MB of zeros code to some 12 MB: twelve volumes of 1M, written after the sizing read.
  MakeSparseFile(Dir, "data.bin", 100000000);
  // The interrupt comes while the third new volume is being written.
  const Outcome O = Bash(Dir,
                         "\"$VARN\" pack --output media/setup.1 --volume-size 1M install.sh "
                         "data.bin 2>varn.err &\n"
                         "for i in $(seq 3000); do\n"
                         "  [ $(ls media | wc -l) -ge 9 ] && break; sleep 0.01\n"
                         "done\n"
                         "kill -INT $!; wait $!; echo $?; cat varn.err");
  EXPECT_EQ(O.Out, "130\nvarn: interrupted\n");
  EXPECT_EQ(testing_support::TreeDifferences(Medium, Snapshot(Dir, "media")),
            std::vector<std::string>{});
}

TEST(VarnCli, PackReplacesAMediumWholeAndRemovesItsFurtherVolumes) {
  TempDir Dir;
  const auto Medium = MakeOldMedium(Dir);
  MakeFile(Dir, "new.bin", testing_support::RandomBytes(2500, 6));
  // A volume name taken by a directory: nothing is replaced.
  std::filesystem::rename(testing_support::Native(Dir / "media\\setup.3"),
                          testing_support::Native(Dir / "setup.3.saved"));
  std::filesystem::create_directory(testing_support::Native(Dir / "media\\setup.3"));
  const auto Blocked = Snapshot(Dir, "media");
  const Outcome Refused =
      Varn(Dir, {"pack", "--output", "media/setup.1", "--volume-size", "1k", "new.bin"});
  EXPECT_EQ(Refused.Status, 1);
  EXPECT_EQ(Refused.Err, "varn: Cannot replace media/setup.3; the old medium was left as it was\n");
  EXPECT_EQ(Snapshot(Dir, "media"), Blocked);
  std::filesystem::remove(testing_support::Native(Dir / "media\\setup.3"));
  std::filesystem::rename(testing_support::Native(Dir / "setup.3.saved"),
                          testing_support::Native(Dir / "media\\setup.3"));

  const Outcome Packed =
      Varn(Dir, {"pack", "--output", "media/setup.1", "--volume-size", "1k", "new.bin"});
  EXPECT_EQ(Packed.Status, 0) << Packed.Err;
  EXPECT_EQ(Packed.Err,
            "varn: removed media/setup.5 and media/setup.6, the rest of the medium replaced\n");
  EXPECT_EQ(testing_support::TreeDifferences(Medium, Snapshot(Dir, "media")),
            (std::vector<std::string>{"changed setup.1", "changed setup.2", "changed setup.3",
                                      "changed setup.4", "removed setup.5", "removed setup.6"}));
  EXPECT_EQ(Varn(Dir, {"test", "media/setup.1"}).Status, 0);

  // On a terminal pack says what it removed.
  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1)";
  ASSERT_EQ(
      Varn(Dir, {"pack", "--output", "media/setup.1", "--volume-size", "1k", "old.bin"}).Status, 0);
  const Outcome Told = RunShell(
      Dir,
      "script -qec " +
          Quote(Quote(VARN_EXECUTABLE) + " pack --output media/setup.1 --volume-size 2k new.bin") +
          " /dev/null");
  EXPECT_NE(Told.Out.find("varn: removed media/setup.3, media/setup.4, media/setup.5 and "
                          "media/setup.6, the rest of the medium replaced"),
            std::string::npos)
      << Told.Out;
}

// Only the volumes that the old medium's catalogue names are its own: a file of the user's that
// is named like a volume stays, and so does every volume of a medium whose catalogue or seal is
// damaged. What goes is said on stderr, terminal or not, unless --quiet.
TEST(VarnCli, PackRemovesOnlyTheVolumesOfTheMediumItReplaces) {
  TempDir Dir;
  MakeFile(Dir, "setup.exe", Bytes(20, 's'));
  MakeFile(Dir, "old.bin", testing_support::RandomBytes(2500, 13));
  std::filesystem::create_directories(testing_support::Native(Dir / "rp2"));
  testing_support::WriteFile(Dir / "rp2\\setup.7", "mine");
  const Outcome NoMedium = Varn(Dir, {"pack", "-o", "rp2/setup.1", "setup.exe"});
  EXPECT_EQ(NoMedium.Status, 0);
  EXPECT_EQ(NoMedium.Err, "");
  EXPECT_EQ(ReadFile(Dir / "rp2\\setup.7"), "mine");

  struct Case {
    const char* What;
    std::function<void()> Damage;
    std::vector<std::string> Quietly;  // extra arguments
    std::string Err;
  };
  const std::vector<Case> Cases = {
      {"a sound medium",
       [] {},
       {},
       "varn: removed m/setup.2, m/setup.3 and m/setup.4, the rest of the medium replaced\n"},
      {"a sound medium, --quiet", [] {}, {"-q"}, ""},
      {"a damaged seal", [&] { FlipByte(Dir, "m\\setup.1", 5 + 164 + 20); }, {}, ""},
      {"no catalogue", [&] { testing_support::WriteFile(Dir / "m\\setup.1", "junk"); }, {}, ""},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.What);
    std::filesystem::remove_all(testing_support::Native(Dir / "m"));
    ASSERT_EQ(Varn(Dir, {"pack", "-q", "--volume-size", "1k", "-o", "m/setup.1", "old.bin"}).Status,
              0);
    ASSERT_TRUE(testing_support::Exists(Dir / "m\\setup.4"));
    testing_support::WriteFile(Dir / "m\\setup.9", "mine");
    C.Damage();
    std::vector<std::string> Pack = {"pack", "-o", "m/setup.1"};
    Pack.insert(Pack.end(), C.Quietly.begin(), C.Quietly.end());
    Pack.push_back("setup.exe");
    const Outcome O = Varn(Dir, Pack);
    EXPECT_EQ(O.Status, 0) << O.Err;
    EXPECT_EQ(O.Err, C.Err);
    EXPECT_EQ(testing_support::Exists(Dir / "m\\setup.2"), C.Err.empty() && C.Quietly.empty());
    EXPECT_EQ(ReadFile(Dir / "m\\setup.9"), "mine");
  }
}

// A pack killed while it replaced a medium (made here: the library's pack, killed at a step):
// the next varn pack into the directory puts it right and says what it did, before anything
// else, even when it then fails.
TEST(VarnCli, PackPutsRightWhatAKilledPackLeft) {
  const auto Medium = [](uint32_t Seed) {
    ArchiveWriter W;
    W.VolumeSize = 1024;
    W.Seal = true;
    ArchiveMember M;
    M.Name = "data.bin";
    M.FileDate = 44000.5;
    const Bytes Data = testing_support::RandomBytes(1000 + Seed * 1000, Seed);
    M.OpenData = [Data] { return std::make_unique<TMemoryStream>(Data); };
    W.Members = {M};
    return W;
  };
  struct Case {
    int Stop;  // the step of the replacement of 3 volumes by 4 before which it was killed
    std::string Err;
    bool New;  // the new medium is the one left
  };
  const std::vector<Case> Cases = {
      {4,
       "varn: an earlier pack into m/setup.1 was interrupted: put back m/setup.3 of the old "
       "medium; removed m/setup.2.varn-new, m/setup.3.varn-new, m/setup.4 and "
       "m/setup.1.varn-commit\n",
       false},
      {10,
       "varn: an earlier pack into m/setup.1 was interrupted: removed m/setup.2.varn-old and "
       "m/setup.1.varn-old\n",
       true},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Stop);
    TempDir Dir;
    ArchiveWriter Old = Medium(1), New = Medium(2);
    std::filesystem::create_directories(testing_support::Native(Dir / "m"));
    ASSERT_EQ(WriteArchiveFiles(Old, Dir / "m\\setup.1").VolumeCount, 3);
    const auto OldMedium = Snapshot(Dir, "m");
    const pid_t Child = fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
      PendingVolumes Pending(Dir / "m\\setup.1");
      const int32_t Count = Pending.Write(New).VolumeCount;
      int Steps = 0;
      Pending.BeforeEachStep = [&] {
        if (++Steps == C.Stop) raise(SIGKILL);
      };
      Pending.Commit(Count);
      _exit(Count == 4 ? 3 : 4);
    }
    int Status = 0;
    ASSERT_EQ(waitpid(Child, &Status, 0), Child);
    ASSERT_TRUE(WIFSIGNALED(Status)) << Status;
    const Outcome O = Varn(Dir, {"pack", "-o", "m/setup.1", "missing.bin"});
    EXPECT_EQ(O.Status, 1);
    EXPECT_EQ(O.Err, C.Err + "varn: Cannot open file missing.bin\n");
    if (C.New) {
      EXPECT_EQ(Snapshot(Dir, "m").size(), 4u);
      EXPECT_EQ(Varn(Dir, {"test", "m/setup.1"}).Status, 0);
    } else {
      EXPECT_EQ(Snapshot(Dir, "m"), OldMedium);
    }
  }
}

TEST(VarnCli, PackRefusesNamesThatCouldNeverBeExtracted) {
  TempDir Dir;
  MakeFile(Dir, "a", Bytes(10, 'a'));
  MakeFile(Dir, "b", Bytes(10, 'b'));
  MakeFile(Dir, "c:olon.txt", Bytes(10, 'c'));
  // A name that the program's form of paths cannot even express: written natively.
  std::ofstream(testing_support::Native(Dir.Path()) / "back\\slash") << "d";
  struct Refused {
    std::string Name, Shown, Rule;
  };
  const std::vector<Refused> Names = {
      {"CON", "CON", "it is a Windows device name"},
      {"nul", "nul", "it is a Windows device name"},
      {"..", "..", "it is empty or only blanks and dots"},
      {"dir/", "dir/", "it holds a /, which Windows takes for a separator"},
      {"new\nline", "new\\x0Aline", "it holds a control character (code 10)"},
      {"x;1", "x;1", "it holds a ;, and an entry is looked up by the text before its first ;"},
      {"tools\\", "tools\\",
       "the part that extraction keeps, \"\", is empty or only blanks and dots"},
      {"sub\\COM1.txt", "sub\\COM1.txt",
       "the part that extraction keeps, \"COM1.txt\", is a Windows device name"},
      // What Windows cannot create, or creates under another name.
      {"a<b>.txt", "a<b>.txt", "it holds a <, which Windows does not allow in a name"},
      {"q\"x.txt", "q\"x.txt", "it holds a \", which Windows does not allow in a name"},
      {"p|q", "p|q", "it holds a |, which Windows does not allow in a name"},
      {"why?", "why?", "it holds a ?, which Windows does not allow in a name"},
      {"x\\*", "x\\*", "it holds a *, which Windows does not allow in a name"},
      {"a.txt.", "a.txt.", "it ends in a dot, which Windows drops from a name"},
      {"a.txt ", "a.txt ", "it ends in a blank, which Windows drops from a name"},
      {"dir\\a.", "dir\\a.",
       "the part that extraction keeps, \"a.\", ends in a dot, which Windows drops from a name"},
  };
  for (const Refused& R : Names) {
    const Outcome O = Varn(Dir, {"pack", "--name", R.Name + "=a", "a"});
    EXPECT_EQ(O.Status, 1) << R.Shown;
    EXPECT_EQ(O.Err, "varn: The archived name \"" + R.Shown +
                         "\" of a could never be extracted: " + R.Rule + "\n");
  }
  const std::vector<std::pair<std::vector<std::string>, std::string>> Cases = {
      {{"--name", "one\\X.txt=a", "--name", "two\\x.TXT=b", "a", "b"},
       "varn: Two files would be extracted as one on Windows, which takes \"X.txt\" and "
       "\"x.TXT\" for one name: a and b\n"},
      {{"--name", "one\\x.txt=a", "--name", "two\\x.txt=b", "a", "b"},
       "varn: Two files would be extracted as \"x.txt\": a and b\n"},
      // Windows folds the letters of the code page, not ASCII alone.
      {{"--name", "\u00E9t\u00E9.txt=a", "--name", "\u00C9T\u00C9.txt=b", "a", "b"},
       "varn: Two files would be extracted as one on Windows, which takes \"\u00E9t\u00E9.txt\" "
       "and \"\u00C9T\u00C9.txt\" for one name: a and b\n"},
      {{"c:olon.txt"},
       "varn: Cannot pack c:olon.txt under its own name: it holds a :, after which extraction "
       "would cut it; give it a name with --name\n"},
      {{"back\\slash"},
       "varn: Cannot pack back\\slash under its own name: it holds a \\, after which "
       "extraction would cut it; give it a name with --name\n"},
  };
  for (const auto& [Arguments, Err] : Cases) {
    std::vector<std::string> Pack = {"pack"};
    Pack.insert(Pack.end(), Arguments.begin(), Arguments.end());
    const Outcome O = Varn(Dir, Pack);
    EXPECT_EQ(O.Status, 1) << Arguments[0];
    EXPECT_EQ(O.Err, Err);
  }
  EXPECT_FALSE(testing_support::Exists(Dir / "setup.1"));
  // A directory part before a '\' may stay: extraction drops it.
  EXPECT_EQ(Varn(Dir, {"pack", "--name", "x\\c:olon.txt=c:olon.txt", "c:olon.txt"}).Err, "");
  EXPECT_EQ(Varn(Dir, {"extract", "--directory", "out", "setup.1"}).Status, 0);
  EXPECT_EQ(ReadFile(Dir / "out\\olon.txt"), std::string(10, 'c'));
}

TEST(VarnCli, PackRefusesAFileTooLargeFromItsSize) {
  TempDir Dir;
  MakeSparseFile(Dir, "huge.bin", 2200000000u);
  const Outcome O = Varn(Dir, {"pack", "huge.bin"});
  EXPECT_EQ(O.Status, 1);
  EXPECT_EQ(O.Err,
            "varn: huge.bin has 2200000000 bytes; a catalogue entry holds at most 2147483647\n");
  EXPECT_FALSE(testing_support::Exists(Dir / "setup.1"));
}

// A file that is not completed never takes its target's name: after a missing volume, a full
// disk or an interrupt, nothing of it is left (--keep-incomplete puts it in place and says so).
TEST(VarnCli, ExtractLeavesNoIncompleteFileUnlessAsked) {
  TempDir Dir;
  const Bytes Big = PackProgramAndBigFile(Dir);
  std::filesystem::rename(testing_support::Native(Dir / "setup.3"),
                          testing_support::Native(Dir / "away.3"));
  // Left out after a missing volume: ExtractsTestsAndFindsVolumesElsewhere. Kept on request:
  const Outcome Kept = Varn(Dir, {"extract", "--keep-incomplete", "--directory", "out", "setup.1"});
  EXPECT_EQ(Kept.Err,
            "varn: kept the incomplete file out/big.bin\n"
            "varn: Could not open the correct disk file 3\n"
            "varn: looked for setup.3 in the current directory; give its directory with "
            "--volumes DIR\n");
  EXPECT_LT(ReadFile(Dir / "out\\big.bin").size(), Big.size());
  EXPECT_EQ(Snapshot(Dir, "out").size(), 2u) << "setup.exe and big.bin, no temporary file";
  std::filesystem::rename(testing_support::Native(Dir / "away.3"),
                          testing_support::Native(Dir / "setup.3"));

  // A full disk in miniature: a limit of 4 blocks of 512 bytes (dash counts in those) on what
  // varn may write.
  const Outcome Full = RunShell(
      Dir, "ulimit -f 4 && " + Quote(VARN_EXECUTABLE) + " extract --directory full setup.1");
  EXPECT_EQ(Full.Status, 1);
  EXPECT_EQ(Full.Err, "varn: Disk is full: could not write all of big.bin in full\n");
  const auto Written = Snapshot(Dir, "full");
  EXPECT_EQ(Written.size(), 1u);
  EXPECT_EQ(Written.count("setup.exe"), 1u);

  // An interrupt while a large file is being written: the temporary file goes with it.
  MakeSparseFile(Dir, "zeros.bin", 100000000);
  ASSERT_EQ(Varn(Dir, {"pack", "--output", "zeros/setup.1", "zeros.bin"}).Status, 0);
  const Outcome Stopped =
      Bash(Dir,
           "\"$VARN\" extract --directory stop zeros/setup.1 2>varn.err &\n"
           "for i in $(seq 3000); do [ -n \"$(ls -A stop 2>/dev/null)\" ] && break; sleep 0.01; "
           "done\n"
           "kill -INT $!; wait $!; echo $?; cat varn.err");
  EXPECT_EQ(Stopped.Out, "130\nvarn: interrupted\n");
  EXPECT_TRUE(Snapshot(Dir, "stop").empty());
}

// An existing target is replaced whole, never written through: a hard link to a file elsewhere,
// a file that another user planted in a shared, sticky directory (which stayed theirs, to change
// after the seal was checked), and the user's own file when the medium turns out damaged.
TEST(VarnCli, ExtractReplacesTargetsAndNeverWritesThroughThem) {
  TempDir Dir;
  MakeFile(Dir, "setup.sh", Bytes(30, 'n'));
  MakeFile(Dir, "big.bin", testing_support::RandomBytes(5000, 14));
  ASSERT_EQ(
      Varn(Dir, {"pack", "-q", "--volume-size", "2k", "-o", "m/setup.1", "setup.sh", "big.bin"})
          .Status,
      0);
  const std::string Program(30, 'n');

  std::filesystem::create_directories(testing_support::Native(Dir / "outside"));
  std::filesystem::create_directories(testing_support::Native(Dir / "tg"));
  testing_support::WriteFile(Dir / "outside\\victim", "victim");
  std::filesystem::create_hard_link(testing_support::Native(Dir / "outside\\victim"),
                                    testing_support::Native(Dir / "tg\\setup.sh"));
  const Outcome Linked = Varn(Dir, {"extract", "-d", "tg", "m/setup.1"});
  EXPECT_EQ(Linked.Status, 0) << Linked.Err;
  EXPECT_EQ(ReadFile(Dir / "outside\\victim"), "victim");
  EXPECT_EQ(ReadFile(Dir / "tg\\setup.sh"), Program);

  // A shared directory as /tmp is, and a file of nobody's in it that anyone may write.
  const std::string Shared = testing_support::Native(Dir / "shared").string();
  std::filesystem::create_directories(Shared);
  std::filesystem::permissions(Shared,
                               std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
  std::filesystem::permissions(testing_support::Native(Dir.Path()),
                               std::filesystem::perms::others_exec,
                               std::filesystem::perm_options::add);
  const std::string Plant = "printf planted >" + Quote(Shared + "/setup.sh") + " && chmod 666 " +
                            Quote(Shared + "/setup.sh");
  const bool AsNobody =
      geteuid() == 0 &&
      std::system("setpriv --reuid=nobody --regid=nogroup --clear-groups true 2>/dev/null") == 0;
  if (AsNobody) {
    ASSERT_EQ(
        std::system(("setpriv --reuid=nobody --regid=nogroup --clear-groups sh -c " + Quote(Plant))
                        .c_str()),
        0);
    struct stat Planted;
    ASSERT_EQ(stat((Shared + "/setup.sh").c_str(), &Planted), 0);
    ASSERT_NE(Planted.st_uid, geteuid());
    const Outcome O = Varn(Dir, {"extract", "-d", "shared", "m/setup.1"});
    EXPECT_EQ(O.Status, 0) << O.Err;
    struct stat Extracted;
    ASSERT_EQ(stat((Shared + "/setup.sh").c_str(), &Extracted), 0);
    EXPECT_EQ(Extracted.st_uid, geteuid())
        << "the file is the extracting user's, not the planter's";
    EXPECT_NE(Extracted.st_ino, Planted.st_ino);
    EXPECT_EQ(ReadFile(Dir / "shared\\setup.sh"), Program);
  }

  // A damaged byte of big.bin, and volume 3 missing: the user's big.bin stays as it was.
  std::filesystem::create_directories(testing_support::Native(Dir / "keep"));
  testing_support::WriteFile(Dir / "keep\\big.bin", "the user's own");
  FlipByte(Dir, "m\\setup.2", 100);
  const Outcome Damaged =
      Varn(Dir, {"extract", "--overwrite", "always", "-d", "keep", "m/setup.1"});
  EXPECT_EQ(Damaged.Status, 1);
  EXPECT_EQ(Damaged.Err, "varn: The file does not match the seal of the archive: big.bin\n");
  FlipByte(Dir, "m\\setup.2", 100);
  std::filesystem::remove(testing_support::Native(Dir / "m\\setup.3"));
  EXPECT_EQ(Varn(Dir, {"extract", "-d", "keep", "m/setup.1"}).Status, 1);
  EXPECT_EQ(ReadFile(Dir / "keep\\big.bin"), "the user's own");
  EXPECT_EQ(Snapshot(Dir, "keep").size(), 2u) << "setup.sh and big.bin, no temporary file";
  if (!AsNobody) GTEST_SKIP() << "the planted file needs root and setpriv to switch to nobody";
}

// A medium's own volumes are never extraction targets: extracting in the medium's directory, or
// over a hard link to a volume, refuses those files by name and extracts the others; and pack
// refuses to store a file under the name of one of the volumes it writes.
TEST(VarnCli, TheMediumsOwnVolumesAreNoTargets) {
  TempDir Dir;
  std::filesystem::create_directories(testing_support::Native(Dir / "m"));
  hand_laid::Write(Dir / "m\\setup",
                   {hand_laid::LiteralEntry("setup.1", hand_laid::Bytes("first")),
                    hand_laid::LiteralEntry("other.txt", hand_laid::Bytes("other")),
                    hand_laid::LiteralEntry("setup.2", testing_support::RandomBytes(600, 15))},
                   600);
  ASSERT_TRUE(testing_support::Exists(Dir / "m\\setup.2"));
  const auto Medium = Snapshot(Dir, "m");
  const Outcome InPlace = RunShell(Dir, "(cd m && " + Quote(VARN_EXECUTABLE) + " extract setup.1)");
  EXPECT_EQ(InPlace.Status, 1);
  EXPECT_EQ(InPlace.Err,
            "varn: the archive has no seal: only the sizes of its files can be checked\n"
            "varn: Cannot extract setup.1 over setup.1: it is volume 1 of the medium being read\n"
            "varn: Cannot extract setup.2 over setup.2: it is volume 2 of the medium being read\n"
            "varn: 2 files were not extracted, to keep the medium whole\n");
  EXPECT_EQ(testing_support::TreeDifferences(Medium, Snapshot(Dir, "m")),
            std::vector<std::string>{"added other.txt"});

  std::filesystem::create_directories(testing_support::Native(Dir / "out"));
  std::filesystem::create_hard_link(testing_support::Native(Dir / "m\\setup.2"),
                                    testing_support::Native(Dir / "out\\other.txt"));
  const Outcome Linked = Varn(Dir, {"extract", "-q", "-d", "out", "m/setup.1", "other.txt"});
  EXPECT_EQ(Linked.Status, 1);
  EXPECT_EQ(Linked.Err,
            "varn: Cannot extract other.txt over out/other.txt: it is m/setup.2, volume 2 of the "
            "medium being read\n"
            "varn: 1 file was not extracted, to keep the medium whole\n");
  EXPECT_EQ(Snapshot(Dir, "m").at("setup.2"), Medium.at("setup.2"));

  MakeFile(Dir, "f", testing_support::RandomBytes(3000, 16));
  const std::vector<std::pair<std::vector<std::string>, std::string>> Refused = {
      {{"--name", "setup.1=f"}, "volume 1 of the medium, p/setup.1"},
      {{"--volume-size", "2k", "--name", "x\\SETUP.2=f"}, "volume 2 of the medium, p/setup.2"},
  };
  for (const auto& [Options, Volume] : Refused) {
    std::vector<std::string> Pack = {"pack", "-o", "p/setup.1"};
    Pack.insert(Pack.end(), Options.begin(), Options.end());
    Pack.push_back("f");
    const Outcome O = Varn(Dir, Pack);
    EXPECT_EQ(O.Status, 1) << Volume;
    EXPECT_EQ(O.Err, "varn: The archived name \"" +
                         Options.back().substr(0, Options.back().find('=')) +
                         "\" of f is the name of " + Volume +
                         ": extracted beside it, the file would replace that volume\n");
  }
  EXPECT_FALSE(testing_support::Exists(Dir / "p"));
  // The name of a volume this medium does not have is a name like any other.
  EXPECT_EQ(Varn(Dir, {"pack", "-q", "-o", "p/setup.1", "--name", "setup.2=f", "f"}).Status, 0);
}

// Damage on top of damage: a seal that is wiped out, cut off or hit twice still says the medium
// is damaged, and nothing of it is extracted.
TEST(VarnCli, ASealDamagedMoreThanOnceIsStillDamage) {
  TempDir Dir;
  PackProgramAndBigFile(Dir);
  ASSERT_EQ(
      Varn(Dir, {"pack", "-q", "--volume-size", "481", "-o", "cut/setup.1", "setup.exe", "big.bin"})
          .Status,
      0);
  const size_t Seal = 5 + 2 * 164;
  const std::string Volume1 = ReadFile(Dir / "setup.1");
  // Each damages one medium besides a byte of big.bin's data, and names its volume 1.
  const std::pair<const char*, std::function<std::string()>> Cases[] = {
      {"magic and a file hash",
       [&] {
         FlipByte(Dir, "setup.1", Seal);
         FlipByte(Dir, "setup.1", Seal + 90);
         return std::string("setup.1");
       }},
      {"the seal zeroed",
       [&] {
         std::string Zeroed = Volume1;
         std::fill(Zeroed.begin() + Seal, Zeroed.begin() + Seal + 84 + 64, '\0');
         testing_support::WriteFile(Dir / "setup.1", Zeroed);
         return std::string("setup.1");
       }},
      {"volume 1 cut where the seal starts",
       [&] {
         FlipByte(Dir, "cut\\setup.5", 100);
         std::filesystem::resize_file(testing_support::Native(Dir / "cut\\setup.1"), Seal);
         return std::string("cut/setup.1");
       }},
  };
  for (const auto& [Name, Damage] : Cases) {
    SCOPED_TRACE(Name);
    testing_support::WriteFile(Dir / "setup.1", Volume1);
    FlipByte(Dir, "setup.2", 100);
    const std::string Medium = Damage();
    for (const std::vector<std::string>& Command :
         {std::vector<std::string>{"test", Medium}, {"extract", "-d", "out", Medium}}) {
      const Outcome O = Varn(Dir, Command);
      EXPECT_EQ(O.Status, 1) << Command[0];
      EXPECT_EQ(O.Err, "varn: The seal of the archive is damaged: " + Medium + "\n") << Command[0];
    }
    FlipByte(Dir, "setup.2", 100);
    EXPECT_FALSE(testing_support::Exists(Dir / "out\\big.bin"));
  }
}

// What extraction leaves behind: the whole blocks written before a missing volume, and a file
// whose content is complete even when its date cannot be set.
TEST(VarnCli, ExtractKeepsWhatIsWhole) {
  TempDir Dir;
  const Bytes Big = testing_support::RandomBytes(60000, 11);
  MakeFile(Dir, "big.bin", Big);
  ASSERT_EQ(Varn(Dir, {"pack", "-q", "--volume-size", "30k", "big.bin"}).Status, 0);
  std::filesystem::remove(testing_support::Native(Dir / "setup.2"));
  EXPECT_EQ(Varn(Dir, {"extract", "--keep-incomplete", "-d", "kept", "setup.1"}).Status, 1);
  const std::string Kept = ReadFile(Dir / "kept\\big.bin");
  ASSERT_EQ(Kept.size(), 16384u);
  EXPECT_TRUE(Kept == std::string(Big.begin(), Big.begin() + 16384));

  auto Old = hand_laid::LiteralEntry("old.txt", hand_laid::Bytes("complete"));
  Old.FileDate = 27000.5;  // 1973: the packed date cannot hold it
  hand_laid::Write(Dir / "old", {Old});
  const Outcome O = Varn(Dir, {"extract", "-d", "out", "old.1"});
  EXPECT_EQ(O.Status, 1);
  EXPECT_EQ(O.Err,
            "varn: the archive has no seal: only the sizes of its files can be checked\n"
            "varn: Cannot set the date of the file just extracted.\n");
  EXPECT_EQ(ReadFile(Dir / "out\\old.txt"), "complete");
}

}  // namespace

namespace {

// Archived names are Windows text: the catalogue's 8-bit names and the UTF-8 names of Linux.
void MakeNativeFile(const TempDir& Dir, const std::string& Utf8Name, const std::string& Data) {
  std::ofstream(testing_support::Native(Dir.Path()) / Utf8Name, std::ios::binary) << Data;
}

std::set<std::string> NativeNamesIn(const std::string& Directory) {
  std::set<std::string> Names;
  for (const auto& Entry : std::filesystem::directory_iterator(testing_support::Native(Directory)))
    Names.insert(Entry.path().filename().string());
  return Names;
}

size_t Utf8Characters(const std::string& Text) {
  return static_cast<size_t>(
      std::count_if(Text.begin(), Text.end(), [](char C) { return (C & 0xC0) != 0x80; }));
}

}  // namespace

TEST(VarnCli, NamesAreWindows1252TextShownAsUtf8) {
  TempDir Dir;
  // Laid by hand: é, ß, the dash and € of 0x80 to 0x9F, 0x81 (undefined) and a tab.
  hand_laid::Write(Dir / "setup",
                   {hand_laid::LiteralEntry("setup.exe", hand_laid::Bytes("s")),
                    hand_laid::LiteralEntry("Gr\xFC\xDF"
                                            "e \x96 \x80.txt",
                                            hand_laid::Bytes("g")),
                    hand_laid::LiteralEntry("odd\x81\x8A\x9F.bin", hand_laid::Bytes("o")),
                    hand_laid::LiteralEntry("tab\tname", hand_laid::Bytes("t"))});
  const std::vector<std::string> Shown = {"setup.exe", "Grüße – €.txt", "odd\\x81ŠŸ.bin",
                                          "tab\\x09name"};

  const Outcome List = Varn(Dir, {"list", "setup.1"});
  ASSERT_EQ(List.Status, 0) << List.Err;
  std::vector<std::string> Lines;
  for (size_t Start = 0, End; (End = List.Out.find('\n', Start)) != std::string::npos;
       Start = End + 1)
    Lines.push_back(List.Out.substr(Start, End - Start));
  ASSERT_EQ(Lines.size(), 6u) << List.Out;
  for (size_t I = 0; I < Shown.size(); ++I) {
    EXPECT_NE(Lines[I + 1].find("  " + Shown[I] + "  "), std::string::npos) << Lines[I + 1];
    // The columns line up when counted in characters.
    EXPECT_EQ(Utf8Characters(Lines[I + 1]), Utf8Characters(Lines[0])) << Lines[I + 1];
  }

  const Outcome Json = Varn(Dir, {"list", "--json", "setup.1"});
  for (const char* Name :
       {"\"name\":\"Grüße – €.txt\"", "\"name\":\"odd\\\\x81ŠŸ.bin\"", "\"name\":\"tab\\tname\""})
    EXPECT_NE(Json.Out.find(Name), std::string::npos) << Name << "\n" << Json.Out;

  const Outcome Test = Varn(Dir, {"test", "setup.1"});
  EXPECT_NE(Test.Out.find("ok      Grüße – €.txt (1 bytes)\n"), std::string::npos) << Test.Out;

  EXPECT_EQ(Varn(Dir, {"extract", "--directory", "all", "setup.1"}).Status, 0);
  EXPECT_EQ(NativeNamesIn(Dir / "all"),
            (std::set<std::string>{"setup.exe", "Grüße – €.txt", "odd\\x81ŠŸ.bin", "tab\tname"}));
  EXPECT_EQ(ReadFile(Dir / "all\\odd\x81\x8A\x9F.bin"), "o");

  // What list shows selects the file again.
  const Outcome Some =
      Varn(Dir, {"extract", "--directory", "some", "setup.1", Shown[2], Shown[3], Shown[1]});
  EXPECT_EQ(Some.Status, 0) << Some.Err;
  EXPECT_EQ(NativeNamesIn(Dir / "some"),
            (std::set<std::string>{"Grüße – €.txt", "odd\\x81ŠŸ.bin", "tab\tname"}));
}

TEST(VarnCli, PackStoresNamesInTheCodePageAndRefusesWhatItLacks) {
  struct Case {
    std::vector<std::string> CodePage;  // the option, if any
    std::string Name, Archived;         // Archived empty: refused
  };
  const std::vector<Case> Cases = {
      {{},
       "Grüße – ünïcødé.txt",
       "Gr\xFC\xDF"
       "e \x96 \xFCn\xEF"
       "c\xF8"
       "d\xE9.txt"},
      {{}, "€ŠŸ\\x81.txt", "\x80\x8A\x9F\x81.txt"},
      {{}, "😀 smile.txt", ""},
      {{}, "Привет.txt", ""},
      {{"--codepage", "1251"}, "Привет.txt", "\xCF\xF0\xE8\xE2\xE5\xF2.txt"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    TempDir Dir;
    MakeNativeFile(Dir, "setup.exe", "s");
    MakeNativeFile(Dir, C.Name, "data");
    std::vector<std::string> Pack = {"pack"};
    Pack.insert(Pack.end(), C.CodePage.begin(), C.CodePage.end());
    Pack.insert(Pack.end(), {"setup.exe", C.Name});
    const Outcome Packed = Varn(Dir, Pack);
    if (C.Archived.empty()) {
      EXPECT_EQ(Packed.Status, 1);
      EXPECT_EQ(Packed.Err, "varn: Cannot pack " + C.Name +
                                " under its own name: it holds characters that Windows code page "
                                "1252 lacks, and archived names are text of that code page; give "
                                "it a name with --name, or choose the code page with --codepage\n");
      const Outcome Renamed = Varn(Dir, {"pack", "--name", C.Name + "=setup.exe", "setup.exe"});
      EXPECT_EQ(Renamed.Status, 1);
      EXPECT_NE(Renamed.Err.find("The archived name \"" + C.Name + "\" holds characters"),
                std::string::npos)
          << Renamed.Err;
      EXPECT_FALSE(testing_support::Exists(Dir / "setup.1"));
      continue;
    }
    ASSERT_EQ(Packed.Status, 0) << Packed.Err;
    EXPECT_NE(ReadFile(Dir / "setup.1").find(C.Archived), std::string::npos);
    std::vector<std::string> List = {"list", "--json"};
    List.insert(List.end(), C.CodePage.begin(), C.CodePage.end());
    List.push_back("setup.1");
    const std::string ShownInJson =
        C.Name.find('\\') == std::string::npos ? C.Name : "€ŠŸ\\\\x81.txt";
    EXPECT_NE(Varn(Dir, List).Out.find("\"name\":\"" + ShownInJson + "\""), std::string::npos);
    std::vector<std::string> Extract = {"extract", "--directory", "out"};
    Extract.insert(Extract.end(), C.CodePage.begin(), C.CodePage.end());
    Extract.insert(Extract.end(), {"setup.1", C.Name});
    EXPECT_EQ(Varn(Dir, Extract).Status, 0);
    EXPECT_EQ(NativeNamesIn(Dir / "out"), std::set<std::string>{C.Name});
    std::ifstream Extracted(testing_support::Native(Dir / "out") / C.Name, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(Extracted), {}), "data");
  }
}

TEST(VarnCli, ShortOutputDirectoriesAreCreated) {
  TempDir Dir;
  MakeFile(Dir, "a.txt", Bytes(10, 'a'));
  const Outcome Pack = Varn(Dir, {"pack", "--output", "pk/setup.1", "a.txt"});
  EXPECT_EQ(Pack.Status, 0) << Pack.Err;
  for (const std::string Directory : {"o", "ab", "ab/cd", "x/y/z"}) {
    const Outcome O = Varn(Dir, {"extract", "--directory", Directory, "pk/setup.1"});
    EXPECT_EQ(O.Status, 0) << Directory << ": " << O.Err;
    EXPECT_EQ(ReadFile(Dir / (Directory + "/a.txt")), std::string(10, 'a')) << Directory;
  }
  testing_support::WriteFile(Dir / "file", "");
  const Outcome Blocked = Varn(Dir, {"extract", "--directory", "file/sub", "pk/setup.1"});
  EXPECT_EQ(Blocked.Status, 1);
  EXPECT_EQ(Blocked.Err, "varn: Could not create the directory file\n");
}

TEST(VarnCli, ShortOptionsVersionAndHelpForOneCommand) {
  TempDir Dir;
  const Outcome Version = Varn(Dir, {"--version"});
  EXPECT_EQ(Version.Status, 0);
  EXPECT_EQ(Version.Out, "varn " VARN_PROJECT_VERSION "\n");
  const Outcome Help = Varn(Dir, {"help", "extract"});
  EXPECT_EQ(Help.Status, 0);
  EXPECT_EQ(Help.Out, Varn(Dir, {"extract", "--help"}).Out);
  EXPECT_EQ(Varn(Dir, {"help", "frob"}).Status, 2);

  MakeFile(Dir, "a.txt", Bytes(10, 'a'));
  MakeFile(Dir, "b.txt", Bytes(3000, 'b'));
  const Outcome Pack = Varn(Dir, {"pack", "-q", "-o", "m/setup.1", "a.txt", "b.txt"});
  EXPECT_EQ(Pack.Status, 0) << Pack.Err;
  EXPECT_EQ(Pack.Out + Pack.Err, "");
  const Outcome Extract = Varn(Dir, {"extract", "-qv", "-dout", "m/setup.1"});
  EXPECT_EQ(Extract.Status, 0) << Extract.Err;
  EXPECT_EQ(Extract.Out, "out/a.txt\nout/b.txt\n");
  EXPECT_EQ(Varn(Dir, {"list", "-x", "m/setup.1"}).Err, "varn: unknown option -x\n" + ListUsage);

  for (const std::string Size : {"1000", "1k", "1K", "1m", "1M", "1g", "1G"}) {
    const Outcome O = Varn(Dir, {"pack", "-o", "s.1", "--volume-size", Size, "a.txt"});
    EXPECT_EQ(O.Status, 0) << Size << O.Err;
  }
  for (const std::string Bad : {"1kb", "1KiB", "1t", "k", "-1"}) {
    const Outcome O = Varn(Dir, {"pack", "--volume-size", Bad, "a.txt"});
    EXPECT_EQ(O.Status, 2) << Bad;
    EXPECT_EQ(O.Err.rfind("varn: option --volume-size needs a number of bytes", 0), 0u) << Bad;
  }
}

TEST(VarnCli, ListAlignsAnyNameAndEndsQuietlyAtAClosedPipe) {
  TempDir Dir;
  MakeFile(Dir, "a", Bytes(1, 'a'));
  // Names of one and of several characters that take two and three bytes in UTF-8, a long name.
  MakeFile(Dir, "b", Bytes(1, 'b'));
  MakeFile(Dir, "c", Bytes(1, 'c'));
  ASSERT_EQ(
      Varn(Dir, {"pack", "--no-seal", "--name", "\xC3\xA9=a", "--name", "\xE2\x82\xACuro.txt=b",
                 "--name", std::string(60, 'n') + "=c", "a", "b", "c"})
          .Status,
      0);
  const Outcome List = Varn(Dir, {"list", "setup.1"});
  EXPECT_EQ(List.Status, 0);
  // Where "Size" ends in the heading, every size ends, counted in characters as a UTF-8
  // terminal shows them.
  std::vector<size_t> Ends;
  std::string Line;
  for (const char C : List.Out) {
    if (C != '\n') {
      Line += C;
      continue;
    }
    const bool Heading = Line.rfind("Index", 0) == 0;
    const size_t Size = Line.find(Heading ? "Size" : " B ");
    if (Size != std::string::npos && (Heading || Line[0] == ' '))
      Ends.push_back(Utf8Characters(Line.substr(0, Size + (Heading ? 4 : 2))));
    Line.clear();
  }
  EXPECT_EQ(Ends, std::vector<size_t>(4, Ends.empty() ? 0 : Ends[0])) << List.Out;

  // The reader has gone before varn writes: it ends as coreutils do, by SIGPIPE, silently.
  const Outcome Piped =
      Bash(Dir, "{ sleep 0.3; \"$VARN\" list setup.1; } | true; echo ${PIPESTATUS[0]}");
  EXPECT_EQ(Piped.Out, "141\n");
  EXPECT_EQ(Piped.Err, "");
}

TEST(VarnCli, ProgressBarFitsTheTerminalAndCountsTheSelection) {
  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1)";
  TempDir Dir;
  const std::string Long = std::string(70, 'l') + ".bin";
  MakeFile(Dir, "skipped.bin", testing_support::RandomBytes(20000, 8));
  MakeFile(Dir, Long, testing_support::RandomBytes(30000, 9));
  MakeFile(Dir, "small.bin", Bytes(100, 's'));
  ASSERT_EQ(Varn(Dir, {"pack", "-q", "skipped.bin", Long, "small.bin"}).Status, 0);
  const Outcome O = RunShell(Dir, "script -qec " +
                                      Quote("stty cols 50; " + Quote(VARN_EXECUTABLE) +
                                            " extract -d out setup.1 " + Long + " small.bin") +
                                      " /dev/null");
  EXPECT_EQ(O.Status, 0);
  // Each drawing: "\r" + the bar + "\x1b[K"; the last one at 100%, then the line is cleared.
  const std::string End = "\r\x1b[Kextracted 2 files\r\n";
  ASSERT_GE(O.Out.size(), End.size());
  EXPECT_EQ(O.Out.substr(O.Out.size() - End.size()), End) << O.Out;
  std::vector<std::string> Drawn;
  for (size_t At = O.Out.find('\r'); At != std::string::npos; At = O.Out.find('\r', At + 1)) {
    const size_t Stop = O.Out.find("\x1b[K", At);
    if (Stop != std::string::npos && Stop > At + 1)
      Drawn.push_back(O.Out.substr(At + 1, Stop - At - 1));
  }
  ASSERT_FALSE(Drawn.empty()) << O.Out;
  for (const std::string& Line : Drawn)
    EXPECT_LE(Line.size(), 49u) << Line;
  EXPECT_EQ(Drawn.back(), "[####################] 100%  small.bin");
  EXPECT_NE(Drawn.front().find("%  ...lllll"), std::string::npos) << Drawn.front();
}

TEST(VarnCli, VersionSaysWhatAFileLacks) {
  TempDir Dir;
  const std::string Fixtures = VARN_VERSION_FIXTURES;
  if (!std::filesystem::exists(Fixtures + "/languages.exe")) GTEST_SKIP() << "no version fixture";
  testing_support::WriteFile(Dir / "text.txt", "plain text");
  std::filesystem::copy_file(Fixtures + "/noversion.exe",
                             testing_support::Native(Dir / "noversion.exe"));
  const std::vector<std::pair<std::string, std::string>> Failures = {
      {"text.txt", "varn: text.txt is no Windows executable (PE file)\n"},
      {"noversion.exe", "varn: noversion.exe carries no version information\n"}};
  for (const auto& [File, Err] : Failures) {
    const Outcome O = Varn(Dir, {"version", File});
    EXPECT_EQ(O.Status, 1) << File;
    EXPECT_EQ(O.Out, "") << File;
    EXPECT_EQ(O.Err, Err);
  }
  // Codes as well as names; of two language entries, the English one.
  const Outcome Named =
      Varn(Dir, {"version", "--charset", "csUnicode", Fixtures + "/languages.exe"});
  EXPECT_NE(Named.Out.find("\nCompanyName: English entry\n"), std::string::npos) << Named.Out;
  const Outcome Coded = Varn(
      Dir, {"version", "--language", "0409", "--charset", "04b0", Fixtures + "/languages.exe"});
  EXPECT_EQ(Coded.Out, Named.Out);
  EXPECT_NE(Varn(Dir, {"help", "version"}).Out.find("  lnSwissFrench 100c\n"), std::string::npos);
  // A table asked for and missing: the strings are empty, and stderr names the tables there
  // are, on a terminal as elsewhere.
  const std::string Other = Fixtures + "/otherlanguage.exe";
  const std::string Lacks = "varn: " + Other +
                            " has no string table 040904E4 (lnUSEnglish, csMultilingual); it "
                            "has 040704E4 (lnGerman, csMultilingual)\n";
  const Outcome Asked = Varn(Dir, {"version", "--language", "lnUSEnglish", Other});
  EXPECT_EQ(Asked.Status, 0);
  EXPECT_NE(Asked.Out.find("\nCompanyName: \n"), std::string::npos) << Asked.Out;
  EXPECT_EQ(Asked.Err, Lacks);
  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1)";
  const Outcome Told = RunShell(
      Dir, "script -qec " + Quote(Quote(VARN_EXECUTABLE) + " version --language 0409 " + Other) +
               " /dev/null");
  EXPECT_NE(Told.Out.find(Lacks.substr(0, Lacks.size() - 1) + "\r\n"), std::string::npos)
      << Told.Out;
}

// Most programs carry one string table, often not the default 040904E4: without --language and
// --charset varn reads the one the file has and says which on stderr.
TEST(VarnCli, VersionReadsTheTableTheFileHas) {
  TempDir Dir;
  const std::string Fixtures = VARN_VERSION_FIXTURES;
  if (!std::filesystem::exists(Fixtures + "/languages.exe")) GTEST_SKIP() << "no version fixture";
  struct Case {
    std::vector<std::string> Options;
    std::string File, Company, Read;  // Read: the table named on stderr; empty: no line
  };
  const std::vector<Case> Cases = {
      {{}, "app.exe", "Varn Test Company", ""},
      {{}, "languages.exe", "English entry", "040904B0 (lnUSEnglish, csUnicode)"},
      {{}, "otherlanguage.exe", "Testfirma", "040704E4 (lnGerman, csMultilingual)"},
      {{}, "dll.dll", "Soci\u00E9t\u00E9 d'essai", "100C04B0 (lnSwissFrench, csUnicode)"},
      {{"--json"}, "driver.exe", "Printer driver company", "041103A4 (lnJapanese, csJapan)"},
      // A table asked for is the one read, there or not.
      {{"--charset", "csUnicode"}, "languages.exe", "English entry", ""},
      {{"--language", "lnGerman"}, "otherlanguage.exe", "Testfirma", ""},
      {{"--charset", "csMultilingual"}, "languages.exe", "", "-"},
  };
  for (const Case& C : Cases) {
    std::vector<std::string> Arguments = {"version"};
    Arguments.insert(Arguments.end(), C.Options.begin(), C.Options.end());
    Arguments.push_back(Fixtures + "/" + C.File);
    const Outcome O = Varn(Dir, Arguments);
    EXPECT_EQ(O.Status, 0) << C.File;
    const std::string Company = C.Options == std::vector<std::string>{"--json"}
                                    ? "\"CompanyName\":\"" + C.Company + "\""
                                    : "\nCompanyName: " + C.Company + "\n";
    EXPECT_NE(O.Out.find(Company), std::string::npos) << C.File << "\n" << O.Out;
    const std::string Note = "varn: " + Fixtures + "/" + C.File +
                             " has no string table 040904E4 (lnUSEnglish, csMultilingual); ";
    if (C.Read.empty())
      EXPECT_EQ(O.Err, "") << C.File;
    else if (C.Read == "-")
      EXPECT_EQ(O.Err.rfind(Note + "it has ", 0), 0u) << O.Err;
    else
      EXPECT_EQ(O.Err, Note + "read " + C.Read + " instead\n") << C.File;
  }
}

// A '\' in a POSIX path, a volume size the format cannot use, a volume that ends before the data
// the catalogue places in it or cannot be read, and extract -v whose reader stops reading.
TEST(VarnCli, PathsSizesAndVolumesThatEndEarly) {
  TempDir Dir;
  // On POSIX a\b is one directory, not a and b.
  const std::filesystem::path Native = testing_support::Native(Dir.Path());
  std::filesystem::create_directories(Native / "a\\b");
  std::filesystem::create_directories(Native / "a" / "b");
  std::ofstream(Native / "a\\b" / "f.txt") << "right";
  std::ofstream(Native / "a" / "b" / "f.txt") << "wrong";
  ASSERT_EQ(Varn(Dir, {"pack", "-q", "-o", "p/setup.1", "a\\b/f.txt"}).Status, 0);
  ASSERT_EQ(Varn(Dir, {"extract", "-q", "-d", "p/out", "p/setup.1"}).Status, 0);
  EXPECT_EQ(ReadFile(Dir / "p\\out\\f.txt"), "right");

  MakeFile(Dir, "big.bin", testing_support::RandomBytes(60000, 12));
  const Outcome Huge = Varn(Dir, {"pack", "--volume-size", "9223372036854775807", "big.bin"});
  EXPECT_EQ(Huge.Status, 1);
  EXPECT_EQ(Huge.Err,
            "varn: The volume size of 9223372036854775807 bytes is more than the format can use: "
            "the offsets in a volume go up to 2147483647, so a volume holds at most 2147483648 "
            "bytes (2g)\n");
  EXPECT_EQ(Varn(Dir, {"pack", "-q", "--volume-size", "2g", "-o", "g/setup.1", "big.bin"}).Status,
            0);

  ASSERT_EQ(Varn(Dir, {"pack", "-q", "--volume-size", "40k", "-o", "t/setup.1", "big.bin"}).Status,
            0);
  std::filesystem::resize_file(testing_support::Native(Dir / "t\\setup.2"), 1000);
  const std::string Missing = "varn: Could not open the correct disk file 3\n";
  const std::string Truncated =
      "varn: t/setup.2 ends before the data of big.bin does: the medium is truncated\n";
  const Outcome Cut = Varn(Dir, {"extract", "-d", "cut", "t/setup.1"});
  EXPECT_EQ(Cut.Status, 1);
  EXPECT_EQ(Cut.Err, Missing + Truncated);
  const Outcome Tested = Varn(Dir, {"test", "t/setup.1"});
  EXPECT_EQ(Tested.Out, "FAILED  big.bin: Could not open the correct disk file 3\n");
  EXPECT_EQ(Tested.Err, "varn: 1 of 1 file failed the test\n" + Truncated);
  // A volume whose reads fail: the reader's own memory at offset 0, which is never mapped.
  std::filesystem::remove(testing_support::Native(Dir / "t\\setup.2"));
  std::filesystem::create_symlink("/proc/self/mem", testing_support::Native(Dir / "t\\setup.2"));
  const Outcome Unreadable = Varn(Dir, {"extract", "-d", "eio", "t/setup.1"});
  EXPECT_EQ(Unreadable.Status, 1);
  EXPECT_EQ(Unreadable.Err, Missing + "varn: reading t/setup.2 failed: Input/output error\n");

  for (int I = 0; I < 40; ++I)
    MakeFile(Dir, "s" + std::to_string(I), Bytes(10, 's'));
  std::vector<std::string> Pack = {"pack", "-q", "-o", "s/setup.1"};
  for (int I = 0; I < 40; ++I)
    Pack.push_back("s" + std::to_string(I));
  ASSERT_EQ(Varn(Dir, Pack).Status, 0);
  const Outcome Piped = Bash(
      Dir, "{ sleep 0.3; \"$VARN\" extract -v -d piped s/setup.1; } | true; echo ${PIPESTATUS[0]}");
  EXPECT_EQ(Piped.Out, "0\n");
  EXPECT_EQ(Piped.Err, "");
  EXPECT_EQ(ReadFile(Dir / "piped\\s39"), std::string(10, 's'));
}

// Extraction on threads is extraction in order: for each case the same medium is extracted on
// one thread and on four (each run then starting on a file of its own), and what is said, the
// exit status and the directory must be the same, whichever file fails and however.
TEST(VarnCli, ExtractOnThreadsIsExtractInOrder) {
  TempDir Dir;
  std::vector<std::string> Names;
  for (char C = 'a'; C <= 'f'; ++C) {
    Names.push_back(std::string(1, C) + ".bin");
    MakeFile(Dir, Names.back(), testing_support::RandomBytes(400000, static_cast<uint32_t>(C)));
  }
  std::vector<std::string> Pack = {"pack", "--output", "one/setup.1"};
  Pack.insert(Pack.end(), Names.begin(), Names.end());
  ASSERT_EQ(Varn(Dir, Pack).Status, 0);
  Pack[2] = "three/setup.1";
  Pack.insert(Pack.begin() + 1, {"--volume-size", "1m"});
  ASSERT_EQ(Varn(Dir, Pack).Status, 0);
  const uintmax_t Size = std::filesystem::file_size(testing_support::Native(Dir / "one/setup.1"));

  struct Case {
    const char* What;
    std::string Script;  // makes the medium ready in "medium", and "out"
    std::vector<std::string> Arguments;
    int Status;
  };
  const std::string Copy = "cp -r one medium && mkdir out && ";
  const Case Cases[] = {
      {"all well", Copy + "true", {}, 0},
      {"a later file damaged",
       Copy + "printf '\\377' | dd of=medium/setup.1 bs=1 seek=" + std::to_string(Size * 3 / 4) +
           " conv=notrunc 2>/dev/null",
       {},
       1},
      {"targets kept",
       Copy + "echo old >out/b.bin && echo old >out/e.bin",
       {"--overwrite", "never"},
       0},
      {"a later target refused", Copy + "echo old >out/e.bin && chmod 444 out/e.bin", {}, 1},
      {"a later volume missing",
       "cp -r three medium && rm medium/setup.3 && mkdir out",
       {"--keep-incomplete"},
       1},
      {"a name not in the archive", Copy + "true", {"a.bin", "c.bin", "none.bin", "f.bin"}, 1},
      {"a name given twice",
       Copy + "true",
       {"--overwrite", "never", "a.bin", "b.bin", "f.bin", "c.bin", "F.BIN", "d.bin", "e.bin"},
       0},
  };
  for (const Case& C : Cases) {
    Outcome Seen[2];
    testing_support::TreeSnapshot Left[2];
    for (int Run = 0; Run < 2; ++Run) {
      ASSERT_EQ(RunShell(Dir, "rm -rf medium out && { " + C.Script + "; }").Status, 0) << C.What;
      std::vector<std::string> Arguments = {"extract",     "-v",  "--threads",     Run ? "4" : "1",
                                            "--directory", "out", "medium/setup.1"};
      Arguments.insert(Arguments.end(), C.Arguments.begin(), C.Arguments.end());
      Seen[Run] = Varn(Dir, Arguments);
      Left[Run] = Snapshot(Dir, "out");
    }
    EXPECT_EQ(Seen[0].Status, C.Status) << C.What << ": " << Seen[0].Err;
    EXPECT_EQ(Seen[1].Status, Seen[0].Status) << C.What;
    EXPECT_EQ(Seen[1].Out, Seen[0].Out) << C.What;
    EXPECT_EQ(Seen[1].Err, Seen[0].Err) << C.What;
    EXPECT_EQ(Left[1], Left[0]) << C.What;
  }

  // An interrupt: the files put in place are whole, and no file extracted ahead is left.
  for (const std::string& Name : Names)
    MakeSparseFile(Dir, Name, 40000000);
  Pack = {"pack", "--output", "zeros/setup.1"};
  Pack.insert(Pack.end(), Names.begin(), Names.end());
  ASSERT_EQ(Varn(Dir, Pack).Status, 0);
  const Outcome Stopped =
      Bash(Dir,
           "\"$VARN\" extract -T4 --directory stop zeros/setup.1 2>varn.err &\n"
           "for i in $(seq 3000); do [ -n \"$(ls -A stop 2>/dev/null)\" ] && break; sleep 0.01; "
           "done\n"
           "kill -INT $!; wait $!; echo $?; cat varn.err");
  EXPECT_EQ(Stopped.Out, "130\nvarn: interrupted\n");
  for (const auto& [Name, Entry] : Snapshot(Dir, "stop"))
    EXPECT_EQ(Entry.Bytes.size(), 40000000u) << Name;
}
