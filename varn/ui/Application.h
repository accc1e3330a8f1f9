#pragma once
// The application object: the title, the forms and the main form, the message loop, the
// message pump, the quit request and the error display. It is process-wide, like the one window
// toolkit it fronts, and the process's application object of the layers below
// (ProcessApplication); tests may make their own.
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <varn/framework/CustomApplication.h>

namespace varn {

class TForm;
class TToolkit;

class TApplication : public TCustomApplication {
 public:
  TApplication();
  ~TApplication() override;

  // Caption of every error box (its first 255 characters) and the text of the application's
  // own window.
  std::string Title;

  // The toolkit that shows the forms: the one set, else the platform's own
  // (CreatePlatformToolkit), made when first needed. Set it before the first form is created;
  // it lives as long as the application.
  TToolkit& Toolkit();
  void SetToolkit(std::unique_ptr<TToolkit> Value);

  // Creates a form of class T (constructed as T(*this)), sets Reference to it before showing
  // it, keeps it until the application ends and makes the first form created the main form.
  // The window is created, and shown when the form's layout marks it visible; the activation
  // that follows runs the form's OnActivate inside this call.
  template <class T>
  void CreateForm(T*& Reference);
  TForm* MainForm() const { return FMainForm; }

  // The message loop: shows the main form if it is hidden, then takes and dispatches messages
  // until a quit request has been taken (at once when one was taken before). Returns the quit
  // request's exit code.
  int32_t Run();

  // The message pump: every pending message for the application's windows is dispatched, then
  // the call returns. It runs MessagePump when one is set (tests count or script with it),
  // otherwise the toolkit's queue. A quit request taken here ends Run before it waits.
  void ProcessMessages() override;
  std::function<void()> MessagePump;

  // Queues the quit request; Terminate asks for exit code 0.
  void PostQuit(int32_t ExitCode);
  void Terminate() { PostQuit(0); }
  // True once a quit request has been taken from the queue.
  bool Terminated() const { return FTerminated; }
  int32_t ExitCode() const { return FExitCode; }

  // The error display. The capture window, if any, is sent the cancel mode first; EAbort then
  // shows nothing; any other exception shows a modal box (owner: the application's window) with
  // the message followed by "." (always appended), captioned with the title, OK and the stop
  // icon. While it is shown every visible and enabled top-level window of the thread is
  // disabled; exactly those are enabled again afterwards and the window active before is
  // activated again.
  void HandleException(const std::exception& E);

  // Runs a notification delivered by the toolkit (activation, click, a dispatched message)
  // under the error display: nothing it throws gets out.
  void RunHandler(const std::function<void()>& Handler) noexcept;

  // Called by ~TForm.
  void FormDestroyed(TForm& Form);

 private:
  void AddForm(std::unique_ptr<TForm> Form);
  void FinishCreation(TForm& Form);
  void QuitTaken(int32_t ExitCode);

  std::unique_ptr<TToolkit> FToolkit;
  std::vector<std::unique_ptr<TForm>> FForms;
  TForm* FMainForm = nullptr;
  bool FTerminated = false;
  int32_t FExitCode = 0;
};

template <class T>
void TApplication::CreateForm(T*& Reference) {
  auto Form = std::make_unique<T>(*this);
  Reference = Form.get();
  TForm& Created = *Form;
  AddForm(std::move(Form));
  FinishCreation(Created);
}

// The process's application object; installed as ProcessApplication() before main.
TApplication& Application();

}  // namespace varn
