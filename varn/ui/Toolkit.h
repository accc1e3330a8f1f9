#pragma once
// The window toolkit behind the forms model: one object per application mirrors the forms and
// their controls on screen, runs the message queue and offers the window-manager calls the
// error display needs. Backends: win32 (real windows), console (the Linux terminal front end),
// none (tests). Every notification a toolkit delivers into the model (activation, click, a
// message it dispatches) runs through TApplication::RunHandler, so no exception ever leaves
// into the toolkit.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <varn/ui/Controls.h>

namespace varn {

class TApplication;
class TForm;

class TToolkit {
 public:
  virtual ~TToolkit() = default;

  // Creates the form's window and the windows of its controls, hidden, from the model's values;
  // sets the handles. Throws Exception when the window cannot be created.
  virtual void CreateFormWindow(TForm& Form) = 0;
  virtual void DestroyFormWindow(TForm& Form) = 0;
  // Shows the window and makes it the active window; the form gets its activation (at once or
  // through the queue) when it was not active before.
  virtual void ShowForm(TForm& Form) = 0;
  virtual void HideForm(TForm& Form) = 0;
  virtual void FormChanged(TForm& Form) = 0;  // the caption
  virtual void RepaintForm(TForm& Form) = 0;
  virtual void ControlInserted(TControl& Control) = 0;  // placed on a form that has a window
  virtual void ControlRemoved(TControl& Control) = 0;
  virtual void ControlChanged(TControl& Control, forms::Change What) = 0;

  // Dispatches every pending message, then returns. A quit request taken from the queue ends
  // the call and its exit code is returned. A toolkit whose queue is costly to ask may skip
  // the asking when it asked less than a hundredth of a second ago.
  virtual std::optional<int32_t> ProcessMessages() = 0;
  // Waits for one message and dispatches it; the exit code when it was the quit request.
  virtual std::optional<int32_t> HandleMessage() = 0;
  // Queues the quit request; it is taken once the messages before it have been dispatched.
  virtual void PostQuit(int32_t ExitCode) = 0;

  // Window-manager calls for the error display. Windows are the thread's top-level windows.
  virtual TWindowHandle ApplicationWindow() = 0;
  virtual std::vector<TWindowHandle> ThreadWindows() = 0;
  virtual bool WindowVisible(TWindowHandle Window) = 0;
  virtual bool WindowEnabled(TWindowHandle Window) = 0;
  virtual void SetWindowEnabled(TWindowHandle Window, bool Enabled) = 0;
  virtual TWindowHandle ActiveWindow() = 0;
  virtual void ActivateWindow(TWindowHandle Window) = 0;
  virtual TWindowHandle CaptureWindow() = 0;
  virtual void SendCancelMode(TWindowHandle Window) = 0;
  // A modal message box; returns the button pressed (IDOK is 1).
  virtual int32_t ShowMessageBox(TWindowHandle Owner, const std::string& Text,
                                 const std::string& Caption, int32_t Flags) = 0;
};

// The platform's own toolkit: win32 on Windows, console elsewhere.
std::unique_ptr<TToolkit> CreatePlatformToolkit(TApplication& Application);

// Message box flags and results, with the values of the Win32 interface (MB_OK, MB_ICONSTOP,
// IDOK); named apart from its macros.
namespace forms {
constexpr int32_t MessageBoxOk = 0x00;
constexpr int32_t MessageBoxIconStop = 0x10;
constexpr int32_t ResultOk = 1;
}  // namespace forms

}  // namespace varn
