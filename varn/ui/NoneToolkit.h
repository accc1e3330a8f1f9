#pragma once
// The toolkit that shows nothing. Tests drive the model through it: they script what the
// message queue delivers, click buttons and switch windows as a person would, and read back
// what was shown (message boxes) and what the window manager was asked to do, in order.
// The console toolkit builds on it.
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <varn/ui/Toolkit.h>

namespace varn {

class TButton;

class TNoneToolkit : public TToolkit {
 public:
  explicit TNoneToolkit(TApplication& Application);

  // The application's own window: hidden, the owner of message boxes.
  static constexpr TWindowHandle ApplicationHandle = 1;

  struct TMessageBoxShown {
    TWindowHandle Owner = 0;
    std::string Text;
    std::string Caption;
    int32_t Flags = 0;
    std::vector<TWindowHandle> DisabledWhileShown;  // of the thread's windows
  };
  std::vector<TMessageBoxShown> MessageBoxes;

  // Runs while a box is open (the box is the active window then); returns the button pressed.
  // Unassigned: OK is pressed at once.
  std::function<int32_t(const TMessageBoxShown& Box)> OnMessageBox;

  // Whether boxes and calls are recorded below (the console toolkit keeps no record).
  bool Recording = true;

  // The window-manager calls in order: "show 2", "hide 2", "activate 2", "disable 2",
  // "enable 2", "cancelmode 3", "box", "repaint 2".
  std::vector<std::string> Log;

  // The window that holds the mouse capture, 0 for none.
  TWindowHandle Capture = 0;

  // A top-level window of the thread that belongs to no form (another program window).
  TWindowHandle AddForeignWindow(bool Visible, bool Enabled);

  // Queues a message; the pump dispatches it under the application's error display.
  void Post(std::function<void()> Message);
  size_t Pending() const { return FQueue.size(); }

  // A person clicking the button: delivered (under the error display) only when the button can
  // be clicked, that is it and its form are visible and enabled. Returns whether it was.
  bool Click(TButton& Button);

  TWindowHandle ActiveWindow() override { return FActive; }

  void CreateFormWindow(TForm& Form) override;
  void DestroyFormWindow(TForm& Form) override;
  void ShowForm(TForm& Form) override;
  void HideForm(TForm& Form) override;
  void FormChanged(TForm& Form) override;
  void RepaintForm(TForm& Form) override;
  void ControlInserted(TControl& Control) override;
  void ControlRemoved(TControl& Control) override;
  void ControlChanged(TControl& Control, forms::Change What) override;
  std::optional<int32_t> ProcessMessages() override;
  std::optional<int32_t> HandleMessage() override;
  void PostQuit(int32_t ExitCode) override;
  TWindowHandle ApplicationWindow() override { return ApplicationHandle; }
  std::vector<TWindowHandle> ThreadWindows() override;
  bool WindowVisible(TWindowHandle Window) override;
  bool WindowEnabled(TWindowHandle Window) override;
  void SetWindowEnabled(TWindowHandle Window, bool Enabled) override;
  void ActivateWindow(TWindowHandle Window) override;
  TWindowHandle CaptureWindow() override { return Capture; }
  void SendCancelMode(TWindowHandle Window) override;
  int32_t ShowMessageBox(TWindowHandle Owner, const std::string& Text, const std::string& Caption,
                         int32_t Flags) override;

 protected:
  // Called by HandleMessage when nothing is queued. Nothing could ever arrive here, so waiting
  // would hang the test: it throws Exception. The console toolkit waits for the user.
  virtual std::optional<int32_t> Idle();

  // The forms whose windows are shown, in the order their windows were created.
  std::vector<TForm*> VisibleForms() const;
  bool FormShown(const TForm& Form) const;

  TApplication& FApplication;

 private:
  struct TWindow {
    TForm* Form = nullptr;
    bool Visible = false;
    bool Enabled = true;
  };
  TWindow* Find(TWindowHandle Window);
  void Record(std::string Entry);

  // In the order of their handles, which only grow: the thread's windows in creation order.
  std::vector<std::pair<TWindowHandle, TWindow>> FWindows;
  TWindowHandle FNextHandle = ApplicationHandle + 1;
  TWindowHandle FActive = 0;
  std::deque<std::function<void()>> FQueue;
  std::optional<int32_t> FQuit;
};

}  // namespace varn
