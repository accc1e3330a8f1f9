#include <varn/ui/NoneToolkit.h>

#include <utility>

#include <varn/framework/Exceptions.h>
#include <varn/ui/Application.h>
#include <varn/ui/Forms.h>

namespace varn {

namespace {

const char* ChangeName(forms::Change What) {
  switch (What) {
    case forms::Change::Visible:
      return "Visible";
    case forms::Change::Enabled:
      return "Enabled";
    case forms::Change::Caption:
      return "Caption";
    case forms::Change::Bounds:
      return "Bounds";
    case forms::Change::Position:
      return "Position";
    case forms::Change::Range:
      return "Range";
  }
  return "?";
}

}  // namespace

TNoneToolkit::TNoneToolkit(TApplication& Application) : FApplication(Application) {
  FWindows.emplace_back(ApplicationHandle, TWindow{nullptr, false, true});
}

void TNoneToolkit::Record(std::string Entry) {
  if (Recording) Log.push_back(std::move(Entry));
}

std::vector<TForm*> TNoneToolkit::VisibleForms() const {
  std::vector<TForm*> Result;
  for (const auto& [Handle, Window] : FWindows)
    if (Window.Form && Window.Visible) Result.push_back(Window.Form);
  return Result;
}

bool TNoneToolkit::FormShown(const TForm& Form) const {
  for (const auto& [Handle, Window] : FWindows)
    if (Handle == Form.Handle()) return Window.Visible;
  return false;
}

TNoneToolkit::TWindow* TNoneToolkit::Find(TWindowHandle Window) {
  for (auto& [Handle, Found] : FWindows)
    if (Handle == Window) return &Found;
  return nullptr;
}

TWindowHandle TNoneToolkit::AddForeignWindow(bool Visible, bool Enabled) {
  const TWindowHandle Handle = FNextHandle++;
  FWindows.emplace_back(Handle, TWindow{nullptr, Visible, Enabled});
  return Handle;
}

void TNoneToolkit::Post(std::function<void()> Message) {
  FQueue.push_back(std::move(Message));
}

bool TNoneToolkit::Click(TButton& Button) {
  TForm* Form = Button.Parent();
  if (!Form || !Form->Handle() || !Button.Visible() || !Button.Enabled()) return false;
  const TWindow* Window = Find(Form->Handle());
  if (!Window || !Window->Visible || !Window->Enabled) return false;
  FApplication.RunHandler([&Button] { Button.Click(); });
  return true;
}

void TNoneToolkit::CreateFormWindow(TForm& Form) {
  const TWindowHandle Handle = FNextHandle++;
  FWindows.emplace_back(Handle, TWindow{&Form, false, true});
  Form.SetHandle(Handle);
  for (TControl* Control : Form.Controls())
    Control->SetHandle(FNextHandle++);
}

void TNoneToolkit::DestroyFormWindow(TForm& Form) {
  if (FActive == Form.Handle()) FActive = 0;
  std::erase_if(FWindows, [&Form](const auto& Entry) { return Entry.first == Form.Handle(); });
  for (TControl* Control : Form.Controls())
    Control->SetHandle(0);
  Form.SetHandle(0);
}

void TNoneToolkit::ShowForm(TForm& Form) {
  if (TWindow* Window = Find(Form.Handle())) Window->Visible = true;
  Record("show " + std::to_string(Form.Handle()));
  ActivateWindow(Form.Handle());
}

void TNoneToolkit::HideForm(TForm& Form) {
  if (TWindow* Window = Find(Form.Handle())) Window->Visible = false;
  Record("hide " + std::to_string(Form.Handle()));
  if (FActive == Form.Handle()) FActive = 0;
}

void TNoneToolkit::FormChanged(TForm& Form) {
  Record("caption " + std::to_string(Form.Handle()));
}

void TNoneToolkit::RepaintForm(TForm& Form) {
  Record("repaint " + std::to_string(Form.Handle()));
}

void TNoneToolkit::ControlInserted(TControl& Control) {
  Control.SetHandle(FNextHandle++);
}

void TNoneToolkit::ControlRemoved(TControl& Control) {
  Control.SetHandle(0);
}

void TNoneToolkit::ControlChanged(TControl& Control, forms::Change What) {
  Record(std::string("changed ") + Control.Name + " " + ChangeName(What));
}

std::optional<int32_t> TNoneToolkit::ProcessMessages() {
  while (!FQueue.empty()) {
    const auto Message = std::move(FQueue.front());
    FQueue.pop_front();
    FApplication.RunHandler(Message);
  }
  return std::exchange(FQuit, std::nullopt);
}

std::optional<int32_t> TNoneToolkit::HandleMessage() {
  if (!FQueue.empty()) {
    const auto Message = std::move(FQueue.front());
    FQueue.pop_front();
    FApplication.RunHandler(Message);
    return std::nullopt;
  }
  if (FQuit) return std::exchange(FQuit, std::nullopt);
  return Idle();
}

std::optional<int32_t> TNoneToolkit::Idle() {
  throw Exception("the message loop waits for a message that nothing will send");
}

void TNoneToolkit::PostQuit(int32_t ExitCode) {
  FQuit = ExitCode;
}

std::vector<TWindowHandle> TNoneToolkit::ThreadWindows() {
  std::vector<TWindowHandle> Result;
  for (const auto& [Handle, Window] : FWindows)
    Result.push_back(Handle);
  return Result;
}

bool TNoneToolkit::WindowVisible(TWindowHandle Window) {
  const TWindow* Found = Find(Window);
  return Found && Found->Visible;
}

bool TNoneToolkit::WindowEnabled(TWindowHandle Window) {
  const TWindow* Found = Find(Window);
  return Found && Found->Enabled;
}

void TNoneToolkit::SetWindowEnabled(TWindowHandle Window, bool Enabled) {
  if (TWindow* Found = Find(Window)) Found->Enabled = Enabled;
  Record((Enabled ? "enable " : "disable ") + std::to_string(Window));
}

void TNoneToolkit::ActivateWindow(TWindowHandle Window) {
  if (Window == FActive) return;
  FActive = Window;
  Record("activate " + std::to_string(Window));
  const TWindow* Found = Find(Window);
  if (Found && Found->Form) {
    TForm* Form = Found->Form;
    FApplication.RunHandler([Form] { Form->Activate(); });
  }
}

void TNoneToolkit::SendCancelMode(TWindowHandle Window) {
  Record("cancelmode " + std::to_string(Window));
}

int32_t TNoneToolkit::ShowMessageBox(TWindowHandle Owner, const std::string& Text,
                                     const std::string& Caption, int32_t Flags) {
  TMessageBoxShown Box{Owner, Text, Caption, Flags, {}};
  for (const auto& [Handle, Window] : FWindows)
    if (!Window.Enabled) Box.DisabledWhileShown.push_back(Handle);
  Record("box");
  // The box takes the activation from the thread's windows while it is open.
  FActive = 0;
  if (Recording) MessageBoxes.push_back(Box);
  return OnMessageBox ? OnMessageBox(Box) : forms::ResultOk;
}

}  // namespace varn
