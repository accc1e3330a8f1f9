#include <varn/ui/Application.h>

#include <algorithm>

#include <varn/framework/Exceptions.h>
#include <varn/ui/Forms.h>
#include <varn/ui/Toolkit.h>

namespace varn {

TApplication::TApplication() {
  Name = "Application";
}

TApplication::~TApplication() {
  // Forms first: their windows go back to the toolkit, which outlives them.
  while (!FForms.empty())
    FForms.pop_back();
  FreeOwned();
  FToolkit.reset();
}

TToolkit& TApplication::Toolkit() {
  if (!FToolkit) FToolkit = CreatePlatformToolkit(*this);
  return *FToolkit;
}

void TApplication::SetToolkit(std::unique_ptr<TToolkit> Value) {
  FToolkit = std::move(Value);
}

void TApplication::AddForm(std::unique_ptr<TForm> Form) {
  if (!FMainForm) FMainForm = Form.get();
  FForms.push_back(std::move(Form));
}

void TApplication::FinishCreation(TForm& Form) {
  Form.HandleNeeded();
  if (Form.Visible()) Form.Show();
}

void TApplication::FormDestroyed(TForm& Form) {
  if (FMainForm == &Form) FMainForm = nullptr;
}

int32_t TApplication::Run() {
  if (FMainForm && !FMainForm->Visible()) FMainForm->Show();
  while (!FTerminated) {
    if (const auto Quit = Toolkit().HandleMessage()) QuitTaken(*Quit);
  }
  return FExitCode;
}

void TApplication::ProcessMessages() {
  if (MessagePump) {
    MessagePump();
    return;
  }
  if (const auto Quit = Toolkit().ProcessMessages()) QuitTaken(*Quit);
}

void TApplication::PostQuit(int32_t Code) {
  Toolkit().PostQuit(Code);
}

void TApplication::QuitTaken(int32_t Code) {
  FTerminated = true;
  FExitCode = Code;
}

void TApplication::HandleException(const std::exception& E) {
  TToolkit& Kit = Toolkit();
  if (const TWindowHandle Capture = Kit.CaptureWindow()) Kit.SendCancelMode(Capture);
  if (dynamic_cast<const EAbort*>(&E)) return;

  const auto* Framework = dynamic_cast<const Exception*>(&E);
  const std::string Text = (Framework ? Framework->Message() : std::string(E.what())) + ".";
  // The caption is read back from the application's window, whose text holds at most 255.
  const std::string Caption = Title.substr(0, 255);

  const TWindowHandle Active = Kit.ActiveWindow();
  std::vector<TWindowHandle> Disabled;
  for (const TWindowHandle Window : Kit.ThreadWindows()) {
    if (Kit.WindowVisible(Window) && Kit.WindowEnabled(Window)) {
      Kit.SetWindowEnabled(Window, false);
      Disabled.push_back(Window);
    }
  }
  // The windows come back even if the box itself fails.
  struct Restore {
    TToolkit& Kit;
    const std::vector<TWindowHandle>& Windows;
    TWindowHandle Active;
    ~Restore() {
      for (const TWindowHandle Window : Windows)
        Kit.SetWindowEnabled(Window, true);
      if (Active) Kit.ActivateWindow(Active);
    }
  } RestoreWindows{Kit, Disabled, Active};
  Kit.ShowMessageBox(Kit.ApplicationWindow(), Text, Caption,
                     forms::MessageBoxOk | forms::MessageBoxIconStop);
}

void TApplication::RunHandler(const std::function<void()>& Handler) noexcept {
  try {
    try {
      Handler();
    } catch (const std::exception& E) {
      HandleException(E);
    } catch (...) {
      HandleException(Exception("Unknown exception"));
    }
  } catch (...) {
    // The display itself failed (out of memory); nothing is left that could show it, and it
    // must not unwind into the toolkit's frames.
  }
}

TApplication& Application() {
  static TApplication Instance;
  return Instance;
}

namespace {

TCustomApplication& InstalledApplication() {
  return Application();
}

// Before main, so that the archive component's pump and the shared version resource reach this
// object whichever of them main uses first.
[[maybe_unused]] const bool Installed = (InstallProcessApplication(InstalledApplication), true);

}  // namespace

}  // namespace varn
