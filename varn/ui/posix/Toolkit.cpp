// The console toolkit: the terminal front end of a form on Linux. Labels and progress bars are
// drawn on stderr (a bar is redrawn in place on a terminal, and written as a line per tenth of
// its range otherwise), the error display's text goes to stderr, and a visible button is
// pressed with Enter when stdin is a terminal, or at once when it is not.
#include <errno.h>
#include <unistd.h>

#include <string>
#include <string_view>

#include <varn/framework/platform/Platform.h>
#include <varn/ui/Application.h>
#include <varn/ui/Forms.h>
#include <varn/ui/NoneToolkit.h>
#include <varn/ui/ProgressLine.h>

namespace varn {

namespace {

// The caption as a person reads it: "&&" is an ampersand, a single '&' marks the access key.
std::string PlainCaption(const std::string& Caption) {
  std::string Result;
  for (size_t I = 0; I < Caption.size(); ++I) {
    if (Caption[I] == '&' && I + 1 < Caption.size()) ++I;
    Result += Caption[I];
  }
  return Result;
}

class TConsoleToolkit final : public TNoneToolkit {
 public:
  explicit TConsoleToolkit(TApplication& Application)
      : TNoneToolkit(Application), FTerminal(isatty(2) == 1), FInputTerminal(isatty(0) == 1) {
    Recording = false;
  }

  // The shell's prompt must not land on the end of an open bar line.
  ~TConsoleToolkit() override { EndLine(); }

  void ShowForm(TForm& Form) override {
    // Drawn before the activation the base delivers, so the text is there before any work.
    if (!FormShown(Form)) {
      for (TControl* Control : Form.Controls()) {
        if (!Control->Visible()) continue;
        if (dynamic_cast<TLabel*>(Control)) WriteLine(PlainCaption(Control->Caption()));
        if (auto* Bar = dynamic_cast<TProgressBar*>(Control)) DrawBar(*Bar);
      }
    }
    TNoneToolkit::ShowForm(Form);
  }

  void ControlChanged(TControl& Control, forms::Change What) override {
    if (!Control.Parent() || !FormShown(*Control.Parent())) return;
    if (auto* Bar = dynamic_cast<TProgressBar*>(&Control)) {
      if (!Bar->Visible())
        EndLine();
      else if (What != forms::Change::Caption)
        DrawBar(*Bar);
    } else if (dynamic_cast<TLabel*>(&Control) && Control.Visible() &&
               (What == forms::Change::Caption || What == forms::Change::Visible)) {
      WriteLine(PlainCaption(Control.Caption()));
    }
  }

  int32_t ShowMessageBox(TWindowHandle, const std::string& Text, const std::string&,
                         int32_t) override {
    WriteLine(Text);
    return forms::ResultOk;
  }

 protected:
  std::optional<int32_t> Idle() override {
    TButton* Button = FindButton();
    // Nothing on screen could ever send a message, and without input no one can press the
    // button again: the loop ends rather than waits for ever.
    if (!Button || FPressedWithoutInput) return 0;
    EndLine();
    if (FInputTerminal) {
      Write("Press Enter: " + PlainCaption(Button->Caption()) + "\n");
      if (!WaitForEnter()) FInputTerminal = false;
    } else {
      FPressedWithoutInput = true;
    }
    Click(*Button);
    return std::nullopt;
  }

 private:
  TButton* FindButton() {
    for (TForm* Form : VisibleForms())
      for (TControl* Control : Form->Controls())
        if (auto* Button = dynamic_cast<TButton*>(Control))
          if (Button->Visible() && Button->Enabled()) return Button;
    return nullptr;
  }

  // False when stdin ended or failed before a line did.
  bool WaitForEnter() {
    char Character = 0;
    for (;;) {
      const ssize_t N = read(0, &Character, 1);
      if (N == 1 && Character == '\n') return true;
      if (N == 0 || (N < 0 && errno != EINTR)) return false;
    }
  }

  void DrawBar(const TProgressBar& Bar) {
    const int64_t Range = int64_t{Bar.Max()} - Bar.Min();
    const int Percent =
        Range > 0 ? static_cast<int>((int64_t{Bar.Position()} - Bar.Min()) * 100 / Range) : 0;
    if (!FTerminal) {
      // Sparse lines: once per tenth reached, so a log file stays short.
      if (Percent / 10 == FLastTenth) return;
      FLastTenth = Percent / 10;
    }
    const std::string Line = ProgressLine(
        Percent, std::string(), platform::TerminalColumns(platform::StandardStream::Error));
    if (FTerminal) {
      Write("\r" + Line + "\x1b[K");
      FLineOpen = true;
    } else {
      Write(Line + "\n");
    }
  }

  void EndLine() {
    if (FLineOpen) Write("\n");
    FLineOpen = false;
  }

  // The window's texts are 8-bit text of the code page of names, like the names they carry.
  void WriteLine(const std::string& Text) {
    EndLine();
    Write(platform::NativeText(Text) + "\n");
  }

  void Write(std::string_view Text) {
    while (!Text.empty()) {
      const ssize_t N = write(2, Text.data(), Text.size());
      if (N < 0 && errno == EINTR) continue;
      if (N <= 0) return;
      Text.remove_prefix(static_cast<size_t>(N));
    }
  }

  bool FTerminal;
  bool FInputTerminal;
  bool FLineOpen = false;
  bool FPressedWithoutInput = false;
  int FLastTenth = -1;
};

}  // namespace

std::unique_ptr<TToolkit> CreatePlatformToolkit(TApplication& Application) {
  return std::make_unique<TConsoleToolkit>(Application);
}

}  // namespace varn
