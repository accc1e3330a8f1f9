#pragma once
// Reading and pressing real windows, for the on-screen tests of the win32 toolkit: finding a
// top-level window, its children, their class, text, state, styles and geometry, the progress
// bar's position, and a click as a person makes it. Windows of other processes work too, except
// FontOf, which reads the font object and so only works in the window's own process.
// Backend: tests/common/win32/ (Windows builds only).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace window_probe {

using Window = std::uintptr_t;  // 0 is none

// The first visible or hidden top-level window of that class and caption; 0 when there is none.
Window FindTopLevel(const std::string& ClassName, const std::string& Caption);
std::vector<Window> Children(Window Parent);
Window DialogItem(Window Dialog, int32_t Id);
Window Owner(Window Child);
Window Foreground();

std::string ClassName(Window W);
std::string Text(Window W);
bool Visible(Window W);
bool Enabled(Window W);

struct Rect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
};
Rect WindowBounds(Window W);
Rect ClientBounds(Window W);          // Left and Top are 0
Rect ClientBoundsOnScreen(Window W);  // the client area in screen coordinates
Rect ScreenBounds();

struct Styles {
  bool Caption = false;
  bool SystemMenu = false;
  bool ThickFrame = false;
  bool MinimizeBox = false;
  bool MaximizeBox = false;
  bool TopMost = false;
  bool IconStatic = false;  // a STATIC that shows an icon
};
Styles StylesOf(Window W);

struct Font {
  std::string Face;
  int32_t Height = 0;
  int32_t Weight = 0;
  bool Italic = false, Underline = false, StrikeOut = false;
  bool VariablePitch = false;
};
std::optional<Font> FontOf(Window W);

int32_t ProgressPosition(Window Bar);

// Posts a button click, as pressing it with the mouse would.
void Click(Window Button);

}  // namespace window_probe
