// Drives the GuiWindow program, or the loader itself, from another process, as a person would,
// one step per call so the test script can take screenshots in between:
//   working [moving]
//             the window is up as the loader's: classes, texts, states, size, styles, centring;
//             the bar reaches 50, or with "moving" stands anywhere between 0 and 100 exclusive
//   box [TEXT]
//             the error box: caption "Setup", TEXT (default: GuiWindow's message with its full
//             stop), OK, stop icon, owned by the application's window, the form disabled
//   dismiss   presses OK: the form is enabled and active again, bar hidden, button shown
//   shutdown  presses the shutdown button
// Exit status 0 when every check held.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "tests/common/WindowInspector.h"

namespace wi = window_inspector;

namespace {

int Failures = 0;

void Check(bool Condition, const std::string& What) {
  std::printf("%s: %s\n", Condition ? "ok" : "FAIL", What.c_str());
  if (!Condition) ++Failures;
}

bool WaitFor(const std::function<bool()>& Condition, int Seconds = 30) {
  const auto End = std::chrono::steady_clock::now() + std::chrono::seconds(Seconds);
  while (std::chrono::steady_clock::now() < End) {
    if (Condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return Condition();
}

struct FormWindows {
  wi::Window Form = 0, Label = 0, Button = 0, Bar = 0;
};

FormWindows FindForm() {
  FormWindows Result;
  WaitFor([&] {
    Result.Form = wi::FindTopLevel("VarnForm", "Setup");
    return Result.Form && wi::Visible(Result.Form);
  });
  for (const wi::Window Child : wi::Children(Result.Form)) {
    const std::string Class = wi::ClassName(Child);
    if (Class == "Static") Result.Label = Child;
    if (Class == "Button") Result.Button = Child;
    if (Class == "msctls_progress32") Result.Bar = Child;
  }
  return Result;
}

wi::Window FindBox() {
  wi::Window Box = 0;
  WaitFor([&] {
    Box = wi::FindTopLevel("#32770", "Setup");
    return Box && wi::Visible(Box);
  });
  return Box;
}

void Working(bool Moving) {
  const FormWindows W = FindForm();
  Check(W.Form != 0, "form window of caption \"Setup\" is shown");
  if (!W.Form) return;
  Check(W.Label && W.Button && W.Bar, "children are a STATIC, a BUTTON and a progress bar");
  Check(wi::Children(W.Form).size() == 3, "exactly three child windows");
  Check(wi::Text(W.Label) == "Initializing installation software.", "label text");
  Check(wi::Text(W.Button) == "&Shutdown this program", "button text with access key");
  Check(wi::Visible(W.Label) && wi::Visible(W.Bar), "label and bar visible");
  Check(!wi::Visible(W.Button), "button hidden while working");
  if (Moving) {
    int32_t Seen = -1;
    Check(WaitFor([&] {
            Seen = wi::ProgressPosition(W.Bar);
            return Seen > 0 && Seen < 100;
          }),
          "bar moving (at " + std::to_string(Seen) + ")");
  } else {
    Check(WaitFor([&] { return wi::ProgressPosition(W.Bar) == 50; }), "bar reaches 50");
  }

  const wi::Rect Client = wi::ClientBounds(W.Form);
  Check(Client.Width() == 337 && Client.Height() == 65, "client area 337 x 65 (is " +
                                                            std::to_string(Client.Width()) + " x " +
                                                            std::to_string(Client.Height()) + ")");
  const wi::Styles S = wi::StylesOf(W.Form);
  Check(S.Caption, "title bar");
  Check(!S.SystemMenu && !S.MinimizeBox && !S.MaximizeBox, "no system menu, no border icons");
  Check(!S.ThickFrame, "fixed single border");
  Check(S.TopMost, "stays on top");

  const wi::Rect Bounds = wi::WindowBounds(W.Form);
  const wi::Rect Screen = wi::ScreenBounds();
  const int DX = (Bounds.Left + Bounds.Right) - Screen.Width();
  const int DY = (Bounds.Top + Bounds.Bottom) - Screen.Height();
  Check(DX >= -1 && DX <= 1 && DY >= -1 && DY <= 1, "centred on the screen (window at " +
                                                        std::to_string(Bounds.Left) + "," +
                                                        std::to_string(Bounds.Top) + ")");

  // Child positions relative to the client area: label at 24,8 289x14, bar at 24,32 289x25.
  const wi::Rect Origin = wi::ClientBoundsOnScreen(W.Form);
  const wi::Rect Label = wi::WindowBounds(W.Label);
  const wi::Rect Bar = wi::WindowBounds(W.Bar);
  const int ClientLeft = Origin.Left, ClientTop = Origin.Top;
  Check(Label.Left - ClientLeft == 24 && Label.Top - ClientTop == 8 && Label.Width() == 289 &&
            Label.Height() == 14,
        "label bounds 24,8 289x14");
  Check(Bar.Left - ClientLeft == 24 && Bar.Top - ClientTop == 32 && Bar.Width() == 289 &&
            Bar.Height() == 25,
        "bar bounds 24,32 289x25");
}

void Box(const std::string& Expected) {
  const wi::Window Box = FindBox();
  Check(Box != 0, "message box of class #32770 captioned \"Setup\" is shown");
  if (!Box) return;
  Check(wi::Text(wi::DialogItem(Box, 0xFFFF)) == Expected,
        "box text is \"" + Expected + "\" (is \"" + wi::Text(wi::DialogItem(Box, 0xFFFF)) + "\")");
  const wi::Window Ok = wi::DialogItem(Box, 1);
  Check(Ok && wi::Visible(Ok), "OK button");
  int Buttons = 0, Icons = 0;
  for (const wi::Window Child : wi::Children(Box)) {
    if (wi::ClassName(Child) == "Button" && wi::Visible(Child)) ++Buttons;
    if (wi::StylesOf(Child).IconStatic && wi::Visible(Child)) ++Icons;
  }
  Check(Buttons == 1, "one button only");
  Check(Icons == 1, "an icon");
  Check(wi::ClassName(wi::Owner(Box)) == "VarnApplication", "owned by the application's window");
  const FormWindows W = FindForm();
  Check(W.Form && !wi::Enabled(W.Form), "the form is disabled behind the box");
}

void Dismiss() {
  const wi::Window Box = FindBox();
  Check(Box != 0, "box to dismiss");
  if (!Box) return;
  wi::Click(wi::DialogItem(Box, 1));
  Check(WaitFor([] { return wi::FindTopLevel("#32770", "Setup") == 0; }), "box closed");
  const FormWindows W = FindForm();
  Check(WaitFor([&] { return wi::Enabled(W.Form); }), "form enabled again");
  Check(WaitFor([&] { return wi::Foreground() == W.Form; }), "form active again");
  Check(!wi::Visible(W.Bar), "bar hidden in the failed state");
  Check(wi::Visible(W.Button) && wi::Enabled(W.Button), "shutdown button shown");
  Check(wi::Visible(W.Label), "label still shown");
}

void Shutdown() {
  const FormWindows W = FindForm();
  Check(W.Button && wi::Visible(W.Button), "shutdown button to press");
  if (!W.Button) return;
  wi::Click(W.Button);
  Check(WaitFor([] { return wi::FindTopLevel("VarnForm", "Setup") == 0; }), "window gone");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string Step = argc > 1 ? argv[1] : "";
  const std::string Argument = argc > 2 ? argv[2] : "";
  if (Step == "working")
    Working(Argument == "moving");
  else if (Step == "box")
    Box(argc > 2 ? Argument : "Test failure raised in a handler.");
  else if (Step == "dismiss")
    Dismiss();
  else if (Step == "shutdown")
    Shutdown();
  else {
    std::printf("usage: GuiDriver working [moving] | box [TEXT] | dismiss | shutdown\n");
    return 2;
  }
  std::fflush(stdout);
  return Failures == 0 ? 0 : 1;
}
