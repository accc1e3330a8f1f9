#include "tests/common/WindowProbe.h"

#include <varn/framework/platform/win32/Win32.h>
// after windows.h
#include <commctrl.h>

using namespace varn;

namespace window_probe {

namespace {

HWND AsWindow(Window W) {
  return reinterpret_cast<HWND>(W);
}
Window AsHandle(HWND W) {
  return reinterpret_cast<Window>(W);
}

BOOL CALLBACK CollectChild(HWND Child, LPARAM List) {
  reinterpret_cast<std::vector<Window>*>(List)->push_back(AsHandle(Child));
  return TRUE;
}

}  // namespace

Window FindTopLevel(const std::string& ClassName, const std::string& Caption) {
  return AsHandle(FindWindowA(ClassName.c_str(), Caption.c_str()));
}

std::vector<Window> Children(Window Parent) {
  std::vector<Window> Result;
  EnumChildWindows(AsWindow(Parent), CollectChild, reinterpret_cast<LPARAM>(&Result));
  return Result;
}

Window DialogItem(Window Dialog, int32_t Id) {
  return AsHandle(GetDlgItem(AsWindow(Dialog), Id));
}
Window Owner(Window Child) {
  return AsHandle(GetWindow(AsWindow(Child), GW_OWNER));
}
Window Foreground() {
  return AsHandle(GetForegroundWindow());
}

std::string ClassName(Window W) {
  char Buffer[256] = {};
  GetClassNameA(AsWindow(W), Buffer, sizeof Buffer);
  return Buffer;
}

std::string Text(Window W) {
  char Buffer[1024] = {};
  GetWindowTextA(AsWindow(W), Buffer, sizeof Buffer);
  return Buffer;
}

bool Visible(Window W) {
  return IsWindowVisible(AsWindow(W));
}
bool Enabled(Window W) {
  return IsWindowEnabled(AsWindow(W));
}

Rect WindowBounds(Window W) {
  RECT R{};
  GetWindowRect(AsWindow(W), &R);
  return Rect{R.left, R.top, R.right, R.bottom};
}

Rect ClientBounds(Window W) {
  RECT R{};
  GetClientRect(AsWindow(W), &R);
  return Rect{R.left, R.top, R.right, R.bottom};
}

Rect ClientBoundsOnScreen(Window W) {
  RECT R{};
  GetClientRect(AsWindow(W), &R);
  MapWindowPoints(AsWindow(W), nullptr, reinterpret_cast<POINT*>(&R), 2);
  return Rect{R.left, R.top, R.right, R.bottom};
}

Rect ScreenBounds() {
  return Rect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

Styles StylesOf(Window W) {
  const LONG Style = GetWindowLongA(AsWindow(W), GWL_STYLE);
  const LONG ExStyle = GetWindowLongA(AsWindow(W), GWL_EXSTYLE);
  Styles Result;
  Result.Caption = (Style & WS_CAPTION) == WS_CAPTION;
  Result.SystemMenu = Style & WS_SYSMENU;
  Result.ThickFrame = Style & WS_THICKFRAME;
  Result.MinimizeBox = Style & WS_MINIMIZEBOX;
  Result.MaximizeBox = Style & WS_MAXIMIZEBOX;
  Result.TopMost = ExStyle & WS_EX_TOPMOST;
  Result.IconStatic = ClassName(W) == "Static" && (Style & SS_TYPEMASK) == SS_ICON;
  return Result;
}

std::optional<Font> FontOf(Window W) {
  const auto Handle = reinterpret_cast<HFONT>(SendMessageA(AsWindow(W), WM_GETFONT, 0, 0));
  LOGFONTA Data{};
  if (!Handle || GetObjectA(Handle, sizeof Data, &Data) != sizeof Data) return std::nullopt;
  Font Result;
  Result.Face = Data.lfFaceName;
  Result.Height = Data.lfHeight;
  Result.Weight = Data.lfWeight;
  Result.Italic = Data.lfItalic;
  Result.Underline = Data.lfUnderline;
  Result.StrikeOut = Data.lfStrikeOut;
  Result.VariablePitch = (Data.lfPitchAndFamily & 3) == VARIABLE_PITCH;
  return Result;
}

int32_t ProgressPosition(Window Bar) {
  return static_cast<int32_t>(SendMessageA(AsWindow(Bar), PBM_GETPOS, 0, 0));
}

void Click(Window Button) {
  PostMessageA(AsWindow(Button), BM_CLICK, 0, 0);
}

}  // namespace window_probe
