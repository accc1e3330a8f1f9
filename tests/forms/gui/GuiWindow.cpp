// A form like the loader's window on the real win32 toolkit, for the on-screen test. Its first
// activation checks what can only be read in its own process (the fonts), moves the bar to 50,
// waits for the file "raise-error" in the current directory and then fails as the loader does:
// bar hidden, button shown, exception raised into the error display. The shutdown button ends
// the program with Run's exit code; any failed check makes it 1.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <varn/framework/Exceptions.h>
#include <varn/framework/platform/Platform.h>
#include <varn/ui/Application.h>
#include <varn/ui/Forms.h>
#include <varn/ui/Toolkit.h>
#include "tests/common/WindowProbe.h"
#include "tests/forms/LoaderLikeForm.h"

using namespace varn;

namespace {

int Failures = 0;

void Check(bool Condition, const char* What) {
  if (Condition) return;
  std::printf("FAIL (window): %s\n", What);
  std::fflush(stdout);
  ++Failures;
}

void CheckFont(const TControl& Control) {
  const auto Font = window_probe::FontOf(Control.Handle());
  Check(Font.has_value(), "the control has a font");
  if (!Font) return;
  Check(Font->Face == "Arial", "font face Arial");
  Check(Font->Height == -11, "font height -11");
  Check(Font->Weight == 400 && !Font->Italic && !Font->Underline && !Font->StrikeOut,
        "font style regular");
  Check(Font->VariablePitch, "font pitch variable");
}

void PumpFor(TApplication& App, std::chrono::milliseconds Time) {
  const auto End = std::chrono::steady_clock::now() + Time;
  while (std::chrono::steady_clock::now() < End) {
    App.ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

class TGuiForm : public forms_test::TLoaderLikeForm {
 public:
  explicit TGuiForm(TApplication& AOwner) : TLoaderLikeForm(AOwner) {
    Work = [](TLoaderLikeForm& Self) {
      TApplication& App = Self.OwnerApplication();
      CheckFont(Self.Label1);
      CheckFont(Self.Button1);
      for (int Position = 0; Position <= 50; Position += 10) {
        Self.ProgressBar1.SetPosition(Position);
        PumpFor(App, std::chrono::milliseconds(30));
      }
      while (!platform::FindEntry("raise-error"))
        PumpFor(App, std::chrono::milliseconds(50));
      try {
        throw Exception("Test failure raised in a handler");
      } catch (...) {
        Self.ProgressBar1.Hide();
        Self.Button1.Show();
        throw;
      }
    };
  }
};

}  // namespace

int main() {
  // Never outlives its test, whatever the driver does.
  std::thread([] {
    std::this_thread::sleep_for(std::chrono::seconds(150));
    std::printf("FAIL (window): timed out\n");
    std::fflush(stdout);
    std::_Exit(3);
  }).detach();

  TApplication& App = Application();
  App.SetToolkit(CreatePlatformToolkit(App));
  App.Title = "Setup";
  TGuiForm* Form1 = nullptr;
  App.CreateForm(Form1);
  Check(Form1->Runs == 1, "the first activation ran the work once");
  const int32_t ExitCode = App.Run();
  Check(Form1->Runs == 1, "no later activation ran the work again");
  Check(Form1->Activations >= 2, "the form was activated again after the error box");
  std::printf("window: exit code %d, activations %d\n", static_cast<int>(ExitCode),
              Form1->Activations);
  return Failures == 0 ? ExitCode : 1;
}
