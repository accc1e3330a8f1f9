// The forms model, the application object and its error display, driven through the none
// toolkit.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include <varn/framework/Exceptions.h>
#include <varn/ui/Application.h>
#include <varn/ui/Forms.h>
#include <varn/ui/NoneToolkit.h>
#include "tests/forms/LoaderLikeForm.h"

using namespace varn;

using forms_test::TLoaderLikeForm;
using ::testing::ElementsAre;

namespace {

class FormsTest : public ::testing::Test {
 protected:
  FormsTest() {
    auto Toolkit = std::make_unique<TNoneToolkit>(App);
    Kit = Toolkit.get();
    App.SetToolkit(std::move(Toolkit));
    App.Title = "Setup";
  }

  // Index of the first log entry equal to Entry, or -1.
  int LogIndex(const std::string& Entry) const {
    const auto It = std::find(Kit->Log.begin(), Kit->Log.end(), Entry);
    return It == Kit->Log.end() ? -1 : static_cast<int>(It - Kit->Log.begin());
  }

  TApplication App;
  TNoneToolkit* Kit = nullptr;
  TLoaderLikeForm* Form1 = nullptr;
};

}  // namespace

TEST_F(FormsTest, LayoutValuesReachTheFormAndItsControls) {
  App.CreateForm(Form1);
  TLoaderLikeForm& F = *Form1;
  EXPECT_EQ(F.Name, "Form1");
  EXPECT_EQ(F.Caption(), "Setup");
  EXPECT_EQ(F.Left, 202);
  EXPECT_EQ(F.Top, 109);
  EXPECT_EQ(F.ClientWidth, 337);
  EXPECT_EQ(F.ClientHeight, 65);
  EXPECT_EQ(F.Position, poScreenCenter);
  EXPECT_EQ(F.BorderStyle, bsSingle);
  EXPECT_TRUE(F.BorderIcons.Empty());
  EXPECT_EQ(F.FormStyle, fsStayOnTop);
  EXPECT_EQ(F.Font.Name, "Arial");
  EXPECT_EQ(F.Font.Height, -11);
  EXPECT_EQ(F.Font.Pitch, fpVariable);
  EXPECT_TRUE(F.Font.Style.Empty());
  EXPECT_EQ(F.Font.Color, clWindowText);
  EXPECT_EQ(F.PixelsPerInch, 96);
  EXPECT_EQ(F.TextHeight, 14);
  EXPECT_TRUE(F.Visible());
  EXPECT_EQ(F.Worker.Name, "VarnCompress1");

  struct Expected {
    TControl* Control;
    const char* Name;
    int32_t Left, Top, Width, Height;
    const char* Caption;
    bool Visible;
    int32_t TabOrder;
  };
  const Expected Rows[] = {
      {&F.Label1, "Label1", 24, 8, 289, 14, "Initializing installation software.", true, -1},
      {&F.Button1, "Button1", 8, 32, 323, 25, "&Shutdown this program", false, 0},
      {&F.ProgressBar1, "ProgressBar1", 24, 32, 289, 25, "", true, 1},
  };
  ASSERT_EQ(F.Controls().size(), std::size(Rows));
  for (size_t I = 0; I < std::size(Rows); ++I) {
    const Expected& Row = Rows[I];
    SCOPED_TRACE(Row.Name);
    EXPECT_EQ(F.Controls()[I], Row.Control) << "creation order";
    EXPECT_EQ(Row.Control->Name, Row.Name);
    EXPECT_EQ(Row.Control->Parent(), &F);
    EXPECT_EQ(Row.Control->Left(), Row.Left);
    EXPECT_EQ(Row.Control->Top(), Row.Top);
    EXPECT_EQ(Row.Control->Width(), Row.Width);
    EXPECT_EQ(Row.Control->Height(), Row.Height);
    EXPECT_EQ(Row.Control->Caption(), Row.Caption);
    EXPECT_EQ(Row.Control->Visible(), Row.Visible);
    EXPECT_EQ(Row.Control->TabOrder, Row.TabOrder);
    EXPECT_NE(Row.Control->Handle(), 0u) << "the window and its controls exist";
  }
  EXPECT_FALSE(F.Label1.AutoSize);
  EXPECT_EQ(F.ProgressBar1.Min(), 0);
  EXPECT_EQ(F.ProgressBar1.Max(), 100);
  EXPECT_EQ(F.ProgressBar1.Position(), 0);
  EXPECT_EQ(App.MainForm(), &F);
}

TEST_F(FormsTest, CreatingAVisibleFormActivatesItOnceBeforeTheLoopRuns) {
  App.CreateForm(Form1);
  EXPECT_EQ(Form1->Activations, 1);
  EXPECT_EQ(Form1->Runs, 1);
  EXPECT_EQ(Kit->ActiveWindow(), Form1->Handle());
  // The first activation repainted the window before its work.
  EXPECT_GE(LogIndex("repaint " + std::to_string(Form1->Handle())), 0);
  // Showing an active window again is no new activation.
  Form1->Show();
  EXPECT_EQ(Form1->Activations, 1);
}

TEST_F(FormsTest, LaterActivationsReachTheHandlerButNotTheWork) {
  App.CreateForm(Form1);
  const TWindowHandle Other = Kit->AddForeignWindow(true, true);
  Kit->ActivateWindow(Other);
  Kit->ActivateWindow(Form1->Handle());
  Kit->ActivateWindow(Other);
  Kit->ActivateWindow(Form1->Handle());
  EXPECT_EQ(Form1->Activations, 3);
  EXPECT_EQ(Form1->Runs, 1);
}

TEST_F(FormsTest, ActivationDeliveredFromThePumpInsideTheWorkIsTurnedAway) {
  struct TPumpingForm : TLoaderLikeForm {
    explicit TPumpingForm(TApplication& AOwner) : TLoaderLikeForm(AOwner) {
      Work = [](TLoaderLikeForm& Self) {
        for (int Block = 0; Block < 3; ++Block)
          Self.OwnerApplication().ProcessMessages();
        Self.ActivationsSeenInWork = Self.Activations;
      };
    }
  };
  TPumpingForm* Pumping = nullptr;
  const TWindowHandle Other = Kit->AddForeignWindow(true, true);
  // The person switches away and back while the work pumps messages.
  Kit->Post([&] { Kit->ActivateWindow(Other); });
  Kit->Post([&] { Kit->ActivateWindow(Pumping->Handle()); });
  App.CreateForm(Pumping);
  EXPECT_EQ(Pumping->ActivationsSeenInWork, 2) << "the re-activation arrived inside the work";
  EXPECT_EQ(Pumping->Runs, 1);
  EXPECT_EQ(Kit->Pending(), 0u);
}

TEST_F(FormsTest, ErrorDisplayShowsTheMessageWithAFullStop) {
  struct Case {
    std::function<void()> Raise;
    const char* Text;
  };
  const Case Cases[] = {
      {[] { throw Exception("LOADER: No files in setup.1"); }, "LOADER: No files in setup.1."},
      {[] { throw Exception("Already ends in a full stop."); }, "Already ends in a full stop.."},
      {[] { throw Exception(""); }, "."},
      {[] { throw std::runtime_error("plain library error"); }, "plain library error."},
      {[] { throw 42; }, "Unknown exception."},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Text);
    Kit->MessageBoxes.clear();
    App.RunHandler(C.Raise);
    ASSERT_EQ(Kit->MessageBoxes.size(), 1u);
    const auto& Box = Kit->MessageBoxes[0];
    EXPECT_EQ(Box.Text, C.Text);
    EXPECT_EQ(Box.Caption, "Setup");
    EXPECT_EQ(Box.Flags, 16) << "MB_OK | MB_ICONSTOP";
    EXPECT_EQ(Box.Owner, TNoneToolkit::ApplicationHandle);
  }
}

TEST_F(FormsTest, ErrorBoxCaptionHoldsAtMost255CharactersOfTheTitle) {
  App.Title = std::string(300, 'T');
  App.RunHandler([] { throw Exception("x"); });
  ASSERT_EQ(Kit->MessageBoxes.size(), 1u);
  EXPECT_EQ(Kit->MessageBoxes[0].Caption, std::string(255, 'T'));
}

TEST_F(FormsTest, AbortIsSilentButTheCaptureIsCancelledFirst) {
  Kit->Capture = Kit->AddForeignWindow(true, true);
  App.RunHandler([] { throw EAbort(); });
  EXPECT_TRUE(Kit->MessageBoxes.empty());
  EXPECT_THAT(Kit->Log, ElementsAre("cancelmode " + std::to_string(Kit->Capture)));

  Kit->Log.clear();
  App.RunHandler([] { throw Exception("shown"); });
  ASSERT_EQ(Kit->MessageBoxes.size(), 1u);
  EXPECT_EQ(LogIndex("cancelmode " + std::to_string(Kit->Capture)), 0) << "before anything else";
}

TEST_F(FormsTest, ErrorDisplayDisablesExactlyTheVisibleEnabledWindowsAndRestoresThem) {
  App.CreateForm(Form1);
  const TWindowHandle Form = Form1->Handle();
  const TWindowHandle OtherEnabled = Kit->AddForeignWindow(true, true);
  const TWindowHandle OtherDisabled = Kit->AddForeignWindow(true, false);
  const TWindowHandle Hidden = Kit->AddForeignWindow(false, true);
  Kit->ActivateWindow(Form);
  const int ActivationsBefore = Form1->Activations;

  std::vector<bool> EnabledDuringBox;
  Kit->OnMessageBox = [&](const TNoneToolkit::TMessageBoxShown&) {
    for (TWindowHandle W : {Form, OtherEnabled, OtherDisabled, Hidden})
      EnabledDuringBox.push_back(Kit->WindowEnabled(W));
    EXPECT_EQ(Kit->ActiveWindow(), 0u) << "the box holds the activation";
    return forms::ResultOk;
  };
  Kit->Log.clear();
  App.RunHandler([] { throw Exception("boom"); });

  EXPECT_THAT(EnabledDuringBox, ElementsAre(false, false, false, true));
  // The application's window is hidden and so is left alone, like the hidden foreign one.
  EXPECT_THAT(
      Kit->Log,
      ElementsAre("disable " + std::to_string(Form), "disable " + std::to_string(OtherEnabled),
                  "box", "enable " + std::to_string(Form), "enable " + std::to_string(OtherEnabled),
                  "activate " + std::to_string(Form)));
  EXPECT_TRUE(Kit->WindowEnabled(Form));
  EXPECT_TRUE(Kit->WindowEnabled(OtherEnabled));
  EXPECT_FALSE(Kit->WindowEnabled(OtherDisabled)) << "was disabled before, stays so";
  EXPECT_EQ(Kit->ActiveWindow(), Form);
  EXPECT_EQ(Form1->Activations, ActivationsBefore + 1) << "re-activation reaches the handler";
  EXPECT_EQ(Form1->Runs, 1);
}

TEST_F(FormsTest, ErrorDisplayReactivatesAForeignWindowThatWasActive) {
  App.CreateForm(Form1);
  const TWindowHandle Other = Kit->AddForeignWindow(true, true);
  Kit->ActivateWindow(Other);
  App.RunHandler([] { throw Exception("boom"); });
  EXPECT_EQ(Kit->ActiveWindow(), Other);
}

TEST_F(FormsTest, ErrorDisplayRestoresTheWindowsWhenTheBoxItselfFails) {
  App.CreateForm(Form1);
  Kit->OnMessageBox = [](const TNoneToolkit::TMessageBoxShown&) -> int32_t {
    throw std::bad_alloc();
  };
  App.RunHandler([] { throw Exception("boom"); });
  EXPECT_TRUE(Kit->WindowEnabled(Form1->Handle()));
  EXPECT_EQ(Kit->ActiveWindow(), Form1->Handle());
}

TEST_F(FormsTest, FailedFirstActivationLeavesTheShutdownButtonThatEndsTheLoopWithZero) {
  struct TFailingForm : TLoaderLikeForm {
    explicit TFailingForm(TApplication& AOwner) : TLoaderLikeForm(AOwner) {
      Work = [](TLoaderLikeForm& Self) {
        Self.ProgressBar1.SetPosition(40);
        try {
          throw Exception("LOADER: Cannot create the temporary path");
        } catch (...) {
          Self.ProgressBar1.Hide();
          Self.Button1.Show();
          throw;
        }
      };
    }
  };
  TFailingForm* Failing = nullptr;
  App.CreateForm(Failing);  // the exception stops in the error display, not here

  ASSERT_EQ(Kit->MessageBoxes.size(), 1u);
  EXPECT_EQ(Kit->MessageBoxes[0].Text, "LOADER: Cannot create the temporary path.");
  EXPECT_FALSE(Failing->ProgressBar1.Visible());
  EXPECT_EQ(Failing->ProgressBar1.Position(), 40) << "keeps its last position";
  EXPECT_TRUE(Failing->Button1.Visible());
  const int Hidden = LogIndex("changed ProgressBar1 Visible");
  const int Shown = LogIndex("changed Button1 Visible");
  ASSERT_GE(Hidden, 0);
  EXPECT_LT(Hidden, Shown) << "the bar is hidden first, then the button shown";
  EXPECT_LT(Shown, LogIndex("box"));

  // The loop waits for the person; a handler that throws on the way is shown and the loop goes
  // on to the click.
  Kit->Post([] { throw Exception("stray"); });
  Kit->Post([&] { EXPECT_TRUE(Kit->Click(Failing->Button1)); });
  EXPECT_EQ(App.Run(), 0);
  EXPECT_TRUE(App.Terminated());
  ASSERT_EQ(Kit->MessageBoxes.size(), 2u);
  EXPECT_EQ(Kit->MessageBoxes[1].Text, "stray.");
  EXPECT_EQ(Failing->Runs, 1);
}

TEST_F(FormsTest, AHiddenButtonCannotBeClickedAndAShownOneCan) {
  App.CreateForm(Form1);
  EXPECT_FALSE(Kit->Click(Form1->Button1));
  EXPECT_FALSE(App.Terminated());

  Form1->Button1.Show();
  Form1->Button1.SetEnabled(false);
  EXPECT_FALSE(Kit->Click(Form1->Button1));
  Form1->Button1.SetEnabled(true);
  EXPECT_TRUE(Kit->Click(Form1->Button1));
  App.ProcessMessages();
  EXPECT_TRUE(App.Terminated());
  EXPECT_EQ(App.ExitCode(), 0);
}

TEST_F(FormsTest, ControlChangesAreMirroredOnlyWhenTheyChangeSomething) {
  App.CreateForm(Form1);
  Kit->Log.clear();
  Form1->ProgressBar1.Hide();
  Form1->ProgressBar1.Hide();
  Form1->Button1.Show();
  Form1->Label1.SetCaption(Form1->Label1.Caption());
  Form1->ProgressBar1.SetPosition(50);
  Form1->ProgressBar1.SetPosition(50);
  EXPECT_THAT(Kit->Log, ElementsAre("changed ProgressBar1 Visible", "changed Button1 Visible",
                                    "changed ProgressBar1 Position"));
}

TEST_F(FormsTest, ProgressPositionStaysInsideTheRange) {
  TProgressBar Bar;
  struct Case {
    int32_t Given, Shown;
  };
  for (const Case C : {Case{0, 0}, Case{50, 50}, Case{100, 100}, Case{-5, 0}, Case{150, 100}}) {
    Bar.SetPosition(C.Given);
    EXPECT_EQ(Bar.Position(), C.Shown) << C.Given;
  }
  Bar.SetMax(60);
  EXPECT_EQ(Bar.Position(), 60) << "a shrinking range takes the position along";
  Bar.SetMin(80);
  EXPECT_EQ(Bar.Max(), 80);
  EXPECT_EQ(Bar.Position(), 80);
}

TEST_F(FormsTest, ClosingTheMainFormEndsRunWithExitCodeZero) {
  App.CreateForm(Form1);
  TLoaderLikeForm* Second = nullptr;
  App.CreateForm(Second);
  EXPECT_EQ(App.MainForm(), Form1);

  Kit->Post([&] { Second->Close(); });
  Kit->Post([&] { EXPECT_FALSE(Second->Visible()) << "another form only hides"; });
  bool LaterMessageDispatched = false;
  Kit->Post([&] { Form1->Close(); });
  Kit->Post([&] { LaterMessageDispatched = true; });
  // The quit request is handed out when nothing else is queued, as Windows does.
  EXPECT_EQ(App.Run(), 0);
  EXPECT_TRUE(LaterMessageDispatched);
}

TEST_F(FormsTest, QuitRequestedBeforeTheLoopEndsItAtOnce) {
  struct TQuittingForm : TLoaderLikeForm {
    explicit TQuittingForm(TApplication& AOwner) : TLoaderLikeForm(AOwner) {
      Work = [](TLoaderLikeForm& Self) { Self.OwnerApplication().PostQuit(0); };
    }
  };
  TQuittingForm* Quitting = nullptr;
  App.CreateForm(Quitting);
  EXPECT_FALSE(App.Terminated());
  EXPECT_EQ(App.Run(), 0);
  EXPECT_EQ(Quitting->Runs, 1);
}

TEST_F(FormsTest, QuitTakenByThePumpBeforeTheLoopStillEndsTheLoop) {
  App.CreateForm(Form1);
  App.PostQuit(3);
  App.ProcessMessages();
  EXPECT_TRUE(App.Terminated());
  // Nothing is queued any more: Run must not wait for a message.
  EXPECT_EQ(App.Run(), 3);
}

TEST_F(FormsTest, MessagePumpHookTakesThePlaceOfTheToolkitQueue) {
  int Pumped = 0;
  bool Delivered = false;
  Kit->Post([&] { Delivered = true; });
  App.MessagePump = [&] { ++Pumped; };
  App.ProcessMessages();
  EXPECT_EQ(Pumped, 1);
  EXPECT_FALSE(Delivered);
  App.MessagePump = nullptr;
  App.ProcessMessages();
  EXPECT_TRUE(Delivered);
}

TEST_F(FormsTest, ControlsAndFormsLeaveTheirOwnersWhenDestroyed) {
  App.CreateForm(Form1);
  {
    TLabel Extra;
    Extra.Name = "Extra";
    Extra.SetParent(Form1);
    EXPECT_EQ(Form1->Controls().size(), 4u);
    EXPECT_NE(Extra.Handle(), 0u) << "placed on a form with a window, it gets one";
  }
  EXPECT_EQ(Form1->Controls().size(), 3u);

  auto Loose = std::make_unique<TLoaderLikeForm>(App);
  TButton Orphan;
  Orphan.SetParent(Loose.get());
  Loose.reset();
  EXPECT_EQ(Orphan.Parent(), nullptr);
  EXPECT_EQ(App.MainForm(), Form1);
}
