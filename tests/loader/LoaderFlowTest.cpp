// The loader window and its sequence with the none toolkit and a scripted process environment:
// the archive and the extraction are real, in scratch directories.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <varn/archive/EVCExceptions.h>
#include <varn/archive/SigningKeys.h>
#include <varn/support/PathHelpers.h>
#include <varn/ui/Application.h>
#include <varn/ui/NoneToolkit.h>
#include "loader/mainform_LoadProgram.h"
#include "tests/common/DriveRoot.h"
#include "tests/common/TestKeys.h"
#include "tests/common/TestSupport.h"
#include "tests/component/HandLaidArchive.h"
#include "tests/component/SealedMedia.h"

using namespace varn;

namespace {

using hand_laid::Bytes;
using hand_laid::LiteralEntry;
using hand_laid::ZeroEntry;
using testing_support::TempDir;

// What the process environment answers, and every call the loader made of it, in order.
struct TEnvironmentScript {
  std::string CurrentDirectory;
  std::optional<std::string> TemporaryPath;
  std::optional<TStampedKey> Publisher;  // the program's own block when none
  TApplication* App = nullptr;
  std::vector<std::string> Calls;
  // What the starts answer, in turn; once they are used up, every start succeeds.
  std::vector<platform::StartResult> Starts;
  std::uintptr_t Owner = 0;  // of the last elevated start
};

class TFakeEnvironment : public TLoaderEnvironment {
 public:
  explicit TFakeEnvironment(TEnvironmentScript& Script) : FScript(Script) {}
  std::string CurrentDirectory() override {
    FScript.Calls.push_back("current-directory");
    return FScript.CurrentDirectory;
  }
  std::optional<std::string> TemporaryPath() override {
    FScript.Calls.push_back("temporary-path");
    return FScript.TemporaryPath;
  }
  platform::StartResult StartProgram(const std::string& CommandLine) override {
    FScript.Calls.push_back("start " + CommandLine);
    return Answer();
  }
  platform::StartResult StartProgramElevated(const std::string& Program,
                                             const std::string& Parameters,
                                             std::uintptr_t OwnerWindow) override {
    FScript.Calls.push_back("elevate " + Program + " | " + Parameters);
    FScript.Owner = OwnerWindow;
    return Answer();
  }
  void PostQuit(int32_t ExitCode) override {
    FScript.Calls.push_back("quit " + std::to_string(ExitCode));
    FScript.App->PostQuit(ExitCode);
  }
  TStampedKey PublisherKey() override {
    return FScript.Publisher ? *FScript.Publisher : TLoaderEnvironment::PublisherKey();
  }

 private:
  platform::StartResult Answer() {
    if (FScript.Starts.empty()) return platform::StartResult{true, false, {}};
    const platform::StartResult Result = FScript.Starts.front();
    FScript.Starts.erase(FScript.Starts.begin());
    return Result;
  }
  TEnvironmentScript& FScript;
};

TEnvironmentScript* Script = nullptr;

// The loader's window on the scripted environment, counting activations and recording the
// order in which the component extracts.
class TTestForm1 : public TForm1 {
 public:
  explicit TTestForm1(TApplication& AOwner)
      : TForm1(AOwner, std::make_unique<TFakeEnvironment>(*Script)) {
    OnActivate = [this, Inner = OnActivate](TComponent& Sender) {
      ++Activations;
      Inner(Sender);
    };
    VarnCompress1.OnBeforeExtracting = [this](TVarnCompress&, const TlzhFileStats& Stats) {
      Extracted.push_back(Stats.FileName);
    };
    auto Status = VarnCompress1.OnStatus;
    VarnCompress1.OnStatus = [this, Status](TVarnCompress& C, const TlzhFileStats& Stats) {
      Status(C, Stats);
      Positions.push_back(ProgressBar1.Position());
    };
  }
  int Activations = 0;
  std::vector<std::string> Extracted;
  std::vector<int32_t> Positions;
};

// One run of the loader: its own application, window, media and temporary directories.
class LoaderRun {
 public:
  LoaderRun() {
    auto Toolkit = std::make_unique<TNoneToolkit>(App);
    Kit = Toolkit.get();
    App.SetToolkit(std::move(Toolkit));
    App.Title = "Setup";
    // The component pumps the process's application; here that is this test's.
    Application().MessagePump = [this] { App.ProcessMessages(); };
    Environment.CurrentDirectory = Media.Path();
    Environment.TemporaryPath = Temp.Path() + "\\";
    Environment.App = &App;
    Script = &Environment;
    Kit->OnMessageBox = [this](const TNoneToolkit::TMessageBoxShown&) {
      StateAtBox = {Form->ProgressBar1.Visible(), Form->Button1.Visible()};
      return forms::ResultOk;
    };
  }
  ~LoaderRun() {
    Application().MessagePump = nullptr;
    Script = nullptr;
  }

  void Archive(const std::vector<hand_laid::Entry>& Entries, int64_t VolumeSize = 0) {
    hand_laid::Write(Media / "setup", Entries, VolumeSize);
  }

  // The medium as varn pack writes it, sealed, with the byte at Offset of volume Volume
  // damaged (none when Volume is 0).
  varn::ArchivePlan Sealed(
      const std::vector<sealed_media::Member>& Members, int64_t VolumeSize, int32_t Volume = 0,
      int64_t Offset = 0,
      const std::function<std::vector<uint8_t>(const std::vector<uint8_t>&)>& Sign = {}) {
    const varn::ArchivePlan Plan =
        sealed_media::Write(Media / "setup", Members, VolumeSize, true, Sign);
    if (Volume > 0) sealed_media::FlipByte(Media / ("setup." + std::to_string(Volume)), Offset);
    return Plan;
  }

  void Start() { App.CreateForm(Form); }

  std::vector<std::string> StartCalls() const {
    std::vector<std::string> Result;
    for (const std::string& Call : Environment.Calls)
      if (Call.rfind("start ", 0) == 0) Result.push_back(Call.substr(6));
    return Result;
  }

  // The person closes the box, then presses the shutdown button; the loop ends with 0.
  void ShutDown() {
    ASSERT_TRUE(Kit->Click(Form->Button1)) << "the shutdown button can be pressed";
    EXPECT_EQ(App.Run(), 0);
  }

  TempDir Media, Temp;
  TApplication App;
  TNoneToolkit* Kit = nullptr;
  TEnvironmentScript Environment;
  TTestForm1* Form = nullptr;
  std::optional<std::pair<bool, bool>> StateAtBox;  // bar visible, button visible
};

TEST(LoaderFlow, ExtractsEverythingStartsTheProgramAndEnds) {
  LoaderRun R;
  const auto Data = testing_support::RandomBytes(20000, 11);
  // Not in alphabetical order, so catalogue order shows.
  R.Archive({LiteralEntry("setup.exe", Bytes("MZ program")), LiteralEntry("zeta.dat", Data),
             LiteralEntry("alpha.txt", Bytes("alpha"))});
  R.Start();

  EXPECT_EQ(R.Environment.Calls,
            (std::vector<std::string>{"current-directory", "temporary-path",
                                      "start " + R.Temp.Path() + "\\setup.exe " + R.Media.Path(),
                                      "quit 0"}));
  EXPECT_EQ(R.Form->Extracted, (std::vector<std::string>{"setup.exe", "zeta.dat", "alpha.txt"}));
  EXPECT_EQ(testing_support::ReadFile(R.Temp / "setup.exe"), "MZ program");
  EXPECT_EQ(testing_support::ReadFile(R.Temp / "zeta.dat"), std::string(Data.begin(), Data.end()));
  EXPECT_EQ(testing_support::ReadFile(R.Temp / "alpha.txt"), "alpha");
  EXPECT_EQ(R.Form->VarnCompress1.CompressedFile(), R.Media / "setup.1");
  EXPECT_EQ(R.Form->VarnCompress1.ExtractDirectory, R.Temp.Path()) << "without trailing backslash";

  ASSERT_FALSE(R.Form->Positions.empty());
  EXPECT_TRUE(std::is_sorted(R.Form->Positions.begin(), R.Form->Positions.end()));
  EXPECT_EQ(R.Form->ProgressBar1.Position(), 100);
  EXPECT_TRUE(R.Form->ProgressBar1.Visible());
  EXPECT_FALSE(R.Form->Button1.Visible());
  EXPECT_TRUE(R.Kit->MessageBoxes.empty());
  // The quit request is queued already: the loop ends at once.
  EXPECT_EQ(R.App.Run(), 0);
  EXPECT_EQ(R.Form->Activations, 1);
}

TEST(LoaderFlow, EveryFailureShowsItsMessageAndLeavesTheShutdownButton) {
  struct Case {
    const char* Name;
    std::function<void(LoaderRun&)> Arrange;
    std::string Message;
    std::vector<std::string> Calls;
  };
  const std::vector<std::string> UpToDirectory{"current-directory"};
  const std::vector<std::string> UpToTemporaryPath{"current-directory", "temporary-path"};
  const Case Cases[] = {
      {"no archive", [](LoaderRun&) {},
       "LOADER: Setup.1 must be in the same directory as the the loader program", UpToDirectory},
      {"a directory named setup.1",
       [](LoaderRun& T) {
         std::filesystem::create_directory(testing_support::Native(T.Media / "setup.1"));
       },
       "LOADER: Setup.1 must be in the same directory as the the loader program", UpToDirectory},
      {"an unreadable catalogue is reported before a missing temporary path",
       [](LoaderRun& T) {
         testing_support::WriteFile(T.Media / "setup.1", std::string("\x02\0\0", 3));
         T.Environment.TemporaryPath.reset();
       },
       EVCFHCannotReadHeaders().Message(), UpToDirectory},
      {"no temporary path",
       [](LoaderRun& T) {
         T.Archive({LiteralEntry("setup.exe", Bytes("MZ"))});
         T.Environment.TemporaryPath.reset();
       },
       "LOADER: Cannot create the temporary path", UpToTemporaryPath},
      {"an empty catalogue", [](LoaderRun& T) { T.Archive({}); }, "LOADER: No files in setup.1",
       UpToTemporaryPath},
      {"a missing volume",
       [](LoaderRun& T) {
         T.Archive({LiteralEntry("setup.exe", testing_support::RandomBytes(3000, 5))}, 1024);
         std::filesystem::remove(testing_support::Native(T.Media / "setup.3"));
       },
       "Could not open the correct disk file 3", UpToTemporaryPath},
      {"a damaged file of a sealed medium",
       [](LoaderRun& T) {
         // The data of data.bin begins right after catalogue and seal.
         T.Sealed({{"setup.exe", {}}, {"data.bin", testing_support::RandomBytes(3000, 6)}}, 1024, 2,
                  10);
       },
       "LOADER: The installation files are damaged: data.bin", UpToTemporaryPath},
      {"a damaged catalogue of a sealed medium",
       [](LoaderRun& T) {
         T.Sealed({{"setup.exe", Bytes("MZ")}}, 0, 1, 30);
       },
       "LOADER: The installation files are damaged: setup.1", UpToDirectory},
      {"a damaged seal",
       [](LoaderRun& T) {
         T.Sealed({{"setup.exe", Bytes("MZ")}}, 0, 1, 5 + 164 + 40);
       },
       "LOADER: The installation files are damaged: setup.1", UpToDirectory},
      {"the program is extracted under another name than the one looked for",
       [](LoaderRun& T) { T.Archive({LiteralEntry("sub/setup.exe", Bytes("MZ"))}); },
       "LOADER: Cannot find the installation executable file in the temporary directory",
       UpToTemporaryPath},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    // A fresh application, window and media directory for each case.
    LoaderRun R;
    C.Arrange(R);
    R.Start();

    ASSERT_EQ(R.Kit->MessageBoxes.size(), 1u);
    const auto& Box = R.Kit->MessageBoxes[0];
    EXPECT_EQ(Box.Text, C.Message + ".");
    EXPECT_EQ(Box.Caption, "Setup");
    EXPECT_EQ(Box.Flags, forms::MessageBoxOk | forms::MessageBoxIconStop);
    ASSERT_TRUE(R.StateAtBox.has_value());
    EXPECT_EQ(*R.StateAtBox, std::make_pair(false, true)) << "failed state before the box";
    EXPECT_EQ(R.Environment.Calls, C.Calls) << "no program started, no quit request";
    EXPECT_FALSE(R.Form->ProgressBar1.Visible());
    EXPECT_TRUE(R.Form->Button1.Visible());
    EXPECT_TRUE(R.Form->Label1.Visible());

    // Coming back to the window after the box starts nothing again.
    const TWindowHandle Other = R.Kit->AddForeignWindow(true, true);
    R.Kit->ActivateWindow(Other);
    R.Kit->ActivateWindow(R.Form->Handle());
    EXPECT_GE(R.Form->Activations, 2);
    EXPECT_EQ(R.Environment.Calls, C.Calls);
    R.ShutDown();
  }
}

TEST(LoaderFlow, ASealedMediumRunsLikeAnyOther) {
  LoaderRun R;
  const auto Data = testing_support::RandomBytes(5000, 12);
  R.Sealed({{"setup.exe", Bytes("MZ program")}, {"data.bin", Data}}, 2048);
  R.Start();
  EXPECT_TRUE(R.Kit->MessageBoxes.empty());
  EXPECT_EQ(R.StartCalls(),
            std::vector<std::string>{R.Temp.Path() + "\\setup.exe " + R.Media.Path()});
  EXPECT_EQ(testing_support::ReadFile(R.Temp / "data.bin"), std::string(Data.begin(), Data.end()));
  EXPECT_EQ(R.App.Run(), 0);
}

const TSigningKey& PublishersKey() {
  static const TSigningKey Key = ReadPrivateKeyPem(test_keys::PrivatePem, "test.key");
  return Key;
}

std::function<std::vector<uint8_t>(const std::vector<uint8_t>&)> SignedBy(const TSigningKey& Key) {
  return [&Key](const std::vector<uint8_t>& Seal) { return SignSeal(Key, Seal); };
}

TStampedKey Stamped(const TPublisherKey& Key) {
  return TStampedKey{TStampedKey::Stamped, Key};
}

TEST(LoaderFlow, AProgramAsBuiltIsStampedWithNoKey) {
  LoaderRun R;
  R.Sealed({{"setup.exe", Bytes("MZ program")}}, 0);
  TFakeEnvironment Environment(R.Environment);
  EXPECT_EQ(Environment.PublisherKey().State, TStampedKey::Unstamped);
  R.Start();
  EXPECT_TRUE(R.Kit->MessageBoxes.empty());
  EXPECT_EQ(R.StartCalls().size(), 1u) << "an unsigned medium runs as it always did";
}

TEST(LoaderFlow, AStampedLoaderInstallsOnlyMediaItsPublisherSigned) {
  static const TSigningKey Other = GenerateSigningKey();
  const std::vector<sealed_media::Member> Files = {
      {"setup.exe", Bytes("MZ program")}, {"data.bin", testing_support::RandomBytes(5000, 13)}};
  // The same files with data.bin changed: the medium someone made of a signed one, sealed anew.
  std::vector<sealed_media::Member> Changed = Files;
  Changed[1].Data[100] ^= 1;
  const std::string Refused =
      "LOADER: The installation files are not signed by the publisher of this program: setup.1";
  const std::vector<std::string> UpToDirectory{"current-directory"};
  const std::vector<std::string> UpToTemporaryPath{"current-directory", "temporary-path"};
  const struct {
    const char* Name;
    std::function<void(LoaderRun&)> Arrange;
    std::vector<std::string> Calls;  // empty: installed
  } Cases[] = {
      {"signed by its publisher, in volumes",
       [&](LoaderRun& T) { T.Sealed(Files, 2048, 0, 0, SignedBy(PublishersKey())); },
       {}},
      {"sealed, not signed", [&](LoaderRun& T) { T.Sealed(Files, 0); }, UpToDirectory},
      {"neither sealed nor signed",
       [&](LoaderRun& T) { sealed_media::Write(T.Media / "setup", Files, 0, false); },
       UpToDirectory},
      {"signed by another key", [&](LoaderRun& T) { T.Sealed(Files, 0, 0, 0, SignedBy(Other)); },
       UpToDirectory},
      {"signed, a file's data changed since (found as it is extracted)",
       [&](LoaderRun& T) {
         const ArchivePlan Plan = T.Sealed(Files, 0, 0, 0, SignedBy(PublishersKey()));
         sealed_media::FlipByte(T.Media / "setup.1", Plan.Headers[1].DataStart() + 50);
       },
       UpToTemporaryPath},
      {"signed, a file's coded data changed since so that it decodes to far more",
       [&](LoaderRun& T) {
         const ArchivePlan Plan =
             T.Sealed({Files[0], {"data.bin", testing_support::RandomBytes(40000, 14)}}, 0, 0, 0,
                      SignedBy(PublishersKey()));
         // Every byte of data.bin's data a flag of eight predictions, which take no byte of
         // input: it decodes on far past its size and the size check's slack of a block.
         std::string Volume = testing_support::ReadFile(T.Media / "setup.1");
         std::fill(Volume.begin() + Plan.Headers[1].DataStart(),
                   Volume.begin() + Plan.Headers[1].DataEnd() + 1, '\xFF');
         testing_support::WriteFile(T.Media / "setup.1", Volume);
       },
       UpToTemporaryPath},
      {"signed, the catalogue changed since",
       [&](LoaderRun& T) { T.Sealed(Files, 0, 1, 5 + 164 + 30, SignedBy(PublishersKey())); },
       UpToDirectory},
      {"signed, the signature changed since",
       [&](LoaderRun& T) {
         const ArchivePlan Plan = T.Sealed(Files, 0, 0, 0, SignedBy(PublishersKey()));
         sealed_media::FlipByte(T.Media / "setup.1",
                                Plan.CatalogueSize + Plan.SealSize + signature::ValueOffset + 5);
       },
       UpToDirectory},
      {"changed and sealed anew, the old signature kept",
       [&](LoaderRun& T) {
         std::vector<uint8_t> Block;
         T.Sealed(Files, 0, 0, 0, [&](const std::vector<uint8_t>& Seal) {
           return Block = SignSeal(PublishersKey(), Seal);
         });
         T.Sealed(Changed, 0, 0, 0, [&](const std::vector<uint8_t>&) { return Block; });
       },
       UpToDirectory},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    LoaderRun R;
    R.Environment.Publisher = Stamped(PublishersKey().Public);
    C.Arrange(R);
    R.Start();
    if (C.Calls.empty()) {
      EXPECT_TRUE(R.Kit->MessageBoxes.empty());
      EXPECT_EQ(R.StartCalls().size(), 1u);
      EXPECT_EQ(testing_support::ReadFile(R.Temp / "data.bin"),
                std::string(Files[1].Data.begin(), Files[1].Data.end()));
      continue;
    }
    ASSERT_EQ(R.Kit->MessageBoxes.size(), 1u);
    EXPECT_EQ(R.Kit->MessageBoxes[0].Text, Refused + ".");
    EXPECT_EQ(R.Environment.Calls, C.Calls) << "nothing started";
    EXPECT_EQ(testing_support::Exists(R.Temp / "setup.exe"), C.Calls == UpToTemporaryPath)
        << "nothing extracted before the signature was checked";
    R.ShutDown();
  }

  // A key block that holds no key checks nothing, and so passes nothing.
  LoaderRun R;
  R.Environment.Publisher = TStampedKey{TStampedKey::Damaged, std::nullopt};
  R.Sealed(Files, 0, 0, 0, SignedBy(PublishersKey()));
  R.Start();
  ASSERT_EQ(R.Kit->MessageBoxes.size(), 1u);
  EXPECT_EQ(R.Kit->MessageBoxes[0].Text, Refused + ".");
}

TEST(LoaderFlow, CommandLineQuotesOnlyPartsWithBlanks) {
  struct Case {
    const char* Name;
    const char* MediaSubdirectory;  // "" for the media directory itself
    const char* TempSubdirectory;
    bool TrailingBackslash;
    const char* ProgramName;  // as stored in the catalogue
    bool QuoteProgram, QuoteArgument;
  };
  const Case Cases[] = {
      {"plain", "", "", true, "setup.exe", false, false},
      {"temporary path without trailing backslash", "", "", false, "setup.exe", false, false},
      {"blank in the loader directory", "my media", "", true, "setup.exe", false, true},
      {"blank in the temporary path", "", "temp dir", true, "setup.exe", true, false},
      {"blank in the program name", "", "", true, "set up.exe", true, false},
      {"blanks everywhere", "a b", "c d", true, "e f.exe", true, true},
      {"stored name with a directory part", "", "", true, "bin\\setup.exe", false, false},
      {"stored name with a drive", "", "", true, "d:setup.exe", false, false},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    LoaderRun R;
    std::string MediaDirectory = R.Media.Path(), TempDirectory = R.Temp.Path();
    if (*C.MediaSubdirectory) MediaDirectory = R.Media / C.MediaSubdirectory;
    if (*C.TempSubdirectory) TempDirectory = R.Temp / C.TempSubdirectory;
    std::filesystem::create_directories(testing_support::Native(MediaDirectory));
    std::filesystem::create_directories(testing_support::Native(TempDirectory));
    hand_laid::Write(MediaDirectory + "\\setup", {LiteralEntry(C.ProgramName, Bytes("MZ"))});
    R.Environment.CurrentDirectory = MediaDirectory;
    R.Environment.TemporaryPath = TempDirectory + (C.TrailingBackslash ? "\\" : "");
    R.Start();

    const std::string Program = TempDirectory + "\\" + FileNamePart(C.ProgramName);
    const std::string Expected = (C.QuoteProgram ? '"' + Program + '"' : Program) + " " +
                                 (C.QuoteArgument ? '"' + MediaDirectory + '"' : MediaDirectory);
    EXPECT_EQ(R.StartCalls(), std::vector<std::string>{Expected});
    EXPECT_EQ(R.Form->VarnCompress1.ExtractDirectory, TempDirectory);
    EXPECT_TRUE(R.Kit->MessageBoxes.empty());
  }
}

TEST(LoaderFlow, ALongCommandLineIsPassedWhole) {
  LoaderRun R;
  // Each path well inside the platform's limit, the line together far over 300 characters.
  const std::string MediaDirectory = R.Media / std::string(150, 'm');
  const std::string TempDirectory = R.Temp / std::string(150, 't');
  std::filesystem::create_directories(testing_support::Native(MediaDirectory));
  std::filesystem::create_directories(testing_support::Native(TempDirectory));
  hand_laid::Write(MediaDirectory + "\\setup", {LiteralEntry("setup.exe", Bytes("MZ"))});
  R.Environment.CurrentDirectory = MediaDirectory;
  R.Environment.TemporaryPath = TempDirectory + "\\";
  R.Start();
  const std::string Expected = TempDirectory + "\\setup.exe " + MediaDirectory;
  ASSERT_GT(Expected.size(), 300u);
  EXPECT_EQ(R.StartCalls(), std::vector<std::string>{Expected});
}

TEST(LoaderFlow, AtADriveRootTheArgumentIsTheDriveAlone) {
  LoaderRun R;
  testing_support::TDriveRoot Drive(R.Media.Path());
  if (Drive.Root().empty()) GTEST_SKIP() << "no drive letter could be mapped here";
  R.Archive({LiteralEntry("setup.exe", Bytes("MZ"))});
  R.Environment.CurrentDirectory = Drive.Root();
  R.Start();
  EXPECT_EQ(R.Form->VarnCompress1.CompressedFile(), "Q:\\setup.1");
  EXPECT_EQ(R.StartCalls(), std::vector<std::string>{R.Temp.Path() + "\\setup.exe Q:"});
  EXPECT_TRUE(R.Kit->MessageBoxes.empty());
}

TEST(LoaderFlow, AProgramThatNeedsElevationStartsThroughTheShellAndAFailedStartIsReported) {
  using platform::StartResult;
  const StartResult NeedsElevation{false, true, "The requested operation requires elevation"};
  struct Case {
    const char* Name;
    std::vector<StartResult> Starts;
    bool Elevated;       // the shell was asked
    const char* Reason;  // of the message, none when the program started
  };
  const Case Cases[] = {
      {"started", {}, false, nullptr},
      {"elevation through the shell", {NeedsElevation}, true, nullptr},
      {"consent refused",
       {NeedsElevation, {false, false, "The operation was canceled by the user"}},
       true,
       "The operation was canceled by the user"},
      {"no program: never handed to the shell",
       {{false, false, "Bad EXE format"}},
       false,
       "Bad EXE format"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    LoaderRun R;
    std::filesystem::create_directories(testing_support::Native(R.Media / "my media"));
    hand_laid::Write(R.Media / "my media\\setup", {LiteralEntry("bin\\setup.exe", Bytes("MZ"))});
    R.Environment.CurrentDirectory = R.Media / "my media";
    R.Environment.Starts = C.Starts;
    R.Start();

    const std::string Program = R.Temp / "setup.exe";
    const std::string Argument = '"' + (R.Media / "my media") + '"';
    std::vector<std::string> Calls{"current-directory", "temporary-path",
                                   "start " + Program + " " + Argument};
    if (C.Elevated) Calls.push_back("elevate " + Program + " | " + Argument);
    if (!C.Reason) Calls.push_back("quit 0");
    EXPECT_EQ(R.Environment.Calls, Calls);
    if (C.Elevated) {
      EXPECT_EQ(R.Environment.Owner, R.Form->Handle()) << "the prompt belongs to the window";
      EXPECT_NE(R.Environment.Owner, 0u);
    }
    if (!C.Reason) {
      EXPECT_TRUE(R.Kit->MessageBoxes.empty());
      EXPECT_EQ(R.App.Run(), 0);
      continue;
    }
    ASSERT_EQ(R.Kit->MessageBoxes.size(), 1u);
    EXPECT_EQ(
        R.Kit->MessageBoxes[0].Text,
        std::string("LOADER: Cannot start the installation program setup.exe: ") + C.Reason + ".");
    EXPECT_EQ(*R.StateAtBox, std::make_pair(false, true)) << "failed state before the box";
    R.ShutDown();
  }
}

TEST(LoaderFlow, ActivationsFromThePumpDuringExtractionStartNoSecondRun) {
  LoaderRun R;
  // 16000 zero bytes: two blocks of output, so the pump runs inside the extraction.
  R.Archive({ZeroEntry("setup.exe", 2000), ZeroEntry("more.dat", 2000)});
  const TWindowHandle Other = R.Kit->AddForeignWindow(true, true);
  R.Kit->Post([&] { R.Kit->ActivateWindow(Other); });
  R.Kit->Post([&] { R.Kit->ActivateWindow(R.Form->Handle()); });
  R.Kit->Post([&] { R.Kit->ActivateWindow(Other); });
  R.Kit->Post([&] { R.Kit->ActivateWindow(R.Form->Handle()); });
  R.Start();
  EXPECT_EQ(R.Kit->Pending(), 0u) << "the messages were dispatched inside the run";
  EXPECT_EQ(R.Form->Activations, 3);
  EXPECT_EQ(std::count(R.Environment.Calls.begin(), R.Environment.Calls.end(), "current-directory"),
            1);
  EXPECT_EQ(R.StartCalls().size(), 1u);
  EXPECT_EQ(R.App.Run(), 0);
}

TEST(LoaderFlow, TheBarFollowsTotalPercent) {
  LoaderRun R;
  R.Archive({});
  R.Start();  // fails, which leaves a window to report to
  R.Form->ProgressBar1.Show();
  for (const uint8_t Percent : {0, 50, 100, 37}) {
    TlzhFileStats Stats;
    Stats.TotalPercent = Percent;
    Stats.PercentDone = 3;
    R.Form->VarnCompress1Status(R.Form->VarnCompress1, Stats);
    EXPECT_EQ(R.Form->ProgressBar1.Position(), Percent);
  }
}

TEST(LoaderFlow, TheStoredComponentValuesAreTheLoaders) {
  LoaderRun R;
  R.Archive({});
  R.Start();
  EXPECT_EQ(R.Form->VarnCompress1.Name, "VarnCompress1");
  EXPECT_EQ(R.Form->VarnCompress1.Overwrite, owAlways);
  EXPECT_TRUE(R.Form->VarnCompress1.CheckSeal);
  EXPECT_FALSE(R.Form->VarnCompress1.OnNewDisk) << "the loader asks for no other disk";
  EXPECT_TRUE(R.Form->Button1.OnClick);
  EXPECT_EQ(R.Form->Caption(), "Setup");
  EXPECT_EQ(R.Form->Label1.Caption(), "Initializing installation software.");
  EXPECT_EQ(R.Form->Button1.Caption(), "&Shutdown this program");
  EXPECT_EQ(R.Form->Controls(),
            (std::vector<TControl*>{&R.Form->Label1, &R.Form->Button1, &R.Form->ProgressBar1}));
}

}  // namespace
