// The win32 toolkit: real windows. A form is a top-level window of its own class, owned by the
// application's hidden window; its controls are STATIC, BUTTON and the common controls' progress
// bar. Every call from a window procedure into the model goes through RunHandler, so no C++
// exception crosses DispatchMessage or the other Win32 frames.
#include <varn/framework/platform/win32/Win32.h>
// after windows.h
#include <commctrl.h>

#include <algorithm>
#include <vector>

#include <varn/framework/Exceptions.h>
#include <varn/ui/Application.h>
#include <varn/ui/Forms.h>
#include <varn/ui/Toolkit.h>

namespace varn {

namespace {

constexpr char ApplicationClassName[] = "VarnApplication";
constexpr char FormClassName[] = "VarnForm";
constexpr int FirstControlId = 100;

HWND AsWindow(TWindowHandle Handle) {
  return reinterpret_cast<HWND>(Handle);
}
TWindowHandle AsHandle(HWND Window) {
  return reinterpret_cast<TWindowHandle>(Window);
}

COLORREF ColorOf(TColor Color) {
  const auto Value = static_cast<uint32_t>(Color);
  if ((Value >> 24) == 0xFF) return GetSysColor(static_cast<int>(Value & 0xFF));
  return Value & 0xFFFFFF;
}

LRESULT CALLBACK FormWindowProcedure(HWND Window, UINT Message, WPARAM W, LPARAM L);

BOOL CALLBACK CollectWindow(HWND Window, LPARAM List) {
  try {
    reinterpret_cast<std::vector<TWindowHandle>*>(List)->push_back(AsHandle(Window));
    return TRUE;
  } catch (...) {
    return FALSE;  // out of memory: the list stays short rather than unwinding through Win32
  }
}

class TWin32Toolkit;
// The process's one toolkit; window procedures have no other way to it.
TWin32Toolkit* CurrentToolkit = nullptr;

class TWin32Toolkit final : public TToolkit {
 public:
  explicit TWin32Toolkit(TApplication& Application) : FApplication(Application) {
    INITCOMMONCONTROLSEX Controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&Controls);
    const HINSTANCE Instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA Class{};
    Class.cbSize = sizeof Class;
    Class.lpfnWndProc = DefWindowProcA;
    Class.hInstance = Instance;
    Class.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    Class.lpszClassName = ApplicationClassName;
    RegisterClassExA(&Class);  // fails harmlessly when a former toolkit registered it
    Class.lpfnWndProc = FormWindowProcedure;
    Class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    Class.lpszClassName = FormClassName;
    RegisterClassExA(&Class);
    CurrentToolkit = this;
  }

  ~TWin32Toolkit() override {
    if (FApplicationWindow) DestroyWindow(FApplicationWindow);
    if (CurrentToolkit == this) CurrentToolkit = nullptr;
  }

  void CreateFormWindow(TForm& Form) override {
    TFormData Data;
    HDC Screen = GetDC(nullptr);
    Data.Dpi = GetDeviceCaps(Screen, LOGPIXELSY);
    ReleaseDC(nullptr, Screen);
    Data.PixelsPerInch = Form.PixelsPerInch > 0 ? Form.PixelsPerInch : Data.Dpi;

    DWORD Style = WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    DWORD ExStyle = WS_EX_CONTROLPARENT;
    switch (Form.BorderStyle) {
      case bsNone:
        Style |= WS_POPUP;
        break;
      case bsSingle:
        Style |= WS_CAPTION;
        break;
      case bsSizeable:
        Style |= WS_CAPTION | WS_THICKFRAME;
        break;
      case bsDialog:
        Style |= WS_CAPTION;
        ExStyle |= WS_EX_DLGMODALFRAME;
        break;
    }
    // Without the system menu Windows shows no button in the title bar at all.
    if (Form.BorderStyle != bsNone && Form.BorderIcons.Contains(biSystemMenu)) {
      Style |= WS_SYSMENU;
      if (Form.BorderStyle != bsDialog) {
        if (Form.BorderIcons.Contains(biMinimize)) Style |= WS_MINIMIZEBOX;
        if (Form.BorderIcons.Contains(biMaximize)) Style |= WS_MAXIMIZEBOX;
      }
    }
    if (Form.FormStyle == fsStayOnTop) ExStyle |= WS_EX_TOPMOST;
    // The application's window is hidden, so the main form carries the task-bar entry.
    if (FApplication.MainForm() == &Form) ExStyle |= WS_EX_APPWINDOW;

    RECT Bounds{0, 0, Scale(Data, Form.ClientWidth), Scale(Data, Form.ClientHeight)};
    AdjustWindowRectEx(&Bounds, Style, FALSE, ExStyle);
    const int Width = Bounds.right - Bounds.left;
    const int Height = Bounds.bottom - Bounds.top;
    int X = Form.Left, Y = Form.Top;
    if (Form.Position == poScreenCenter) {
      X = (GetSystemMetrics(SM_CXSCREEN) - Width) / 2;
      Y = (GetSystemMetrics(SM_CYSCREEN) - Height) / 2;
    }
    const HWND Window =
        CreateWindowExA(ExStyle, FormClassName, Form.Caption().c_str(), Style, X, Y, Width, Height,
                        EnsureApplicationWindow(), nullptr, GetModuleHandleA(nullptr), &Form);
    if (!Window) throw Exception("Error creating window");

    const TFont& Font = Form.Font;
    const BYTE Pitch = Font.Pitch == fpVariable ? VARIABLE_PITCH
                       : Font.Pitch == fpFixed  ? FIXED_PITCH
                                                : DEFAULT_PITCH;
    Data.Font = CreateFontA(
        Scale(Data, Font.Height), 0, 0, 0, Font.Style.Contains(fsBold) ? FW_BOLD : FW_NORMAL,
        Font.Style.Contains(fsItalic), Font.Style.Contains(fsUnderline),
        Font.Style.Contains(fsStrikeOut), DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
        DEFAULT_QUALITY, Pitch | FF_DONTCARE, Font.Name.c_str());
    if ((static_cast<uint32_t>(Form.Color) >> 24) == 0xFF) {
      Data.Brush = GetSysColorBrush(static_cast<int>(Form.Color & 0xFF));
    } else {
      Data.Brush = CreateSolidBrush(ColorOf(Form.Color));
      Data.OwnsBrush = true;
    }
    FForms.emplace_back(Window, Data);
    Form.SetHandle(AsHandle(Window));

    // Z-order is the tab order for the dialog keys; controls that take no focus come first.
    // Insertion sort: stable, and a form has few controls.
    std::vector<TControl*> Ordered = Form.Controls();
    for (size_t I = 1; I < Ordered.size(); ++I)
      for (size_t J = I; J > 0 && Ordered[J]->TabOrder < Ordered[J - 1]->TabOrder; --J)
        std::swap(Ordered[J], Ordered[J - 1]);
    for (TControl* Control : Ordered)
      CreateControlWindow(*Control);
  }

  void DestroyFormWindow(TForm& Form) override {
    const HWND Window = AsWindow(Form.Handle());
    for (TControl* Control : Form.Controls())
      Control->SetHandle(0);
    Form.SetHandle(0);
    // No more calls into the form: its window may still get messages while it goes.
    SetWindowLongPtrA(Window, GWLP_USERDATA, 0);
    DestroyWindow(Window);
    const auto It = std::find_if(FForms.begin(), FForms.end(),
                                 [Window](const auto& Entry) { return Entry.first == Window; });
    if (It != FForms.end()) {
      if (It->second.Font) DeleteObject(It->second.Font);
      if (It->second.OwnsBrush) DeleteObject(It->second.Brush);
      FForms.erase(It);
    }
  }

  void ShowForm(TForm& Form) override {
    SyncTitle();
    const HWND Window = AsWindow(Form.Handle());
    // Activating the window sends WM_ACTIVATE, which delivers OnActivate from inside this call.
    ShowWindow(Window, SW_SHOWNORMAL);
    if (GetActiveWindow() != Window) SetActiveWindow(Window);
  }

  void HideForm(TForm& Form) override { ShowWindow(AsWindow(Form.Handle()), SW_HIDE); }

  void FormChanged(TForm& Form) override {
    SetWindowTextA(AsWindow(Form.Handle()), Form.Caption().c_str());
  }

  void RepaintForm(TForm& Form) override {
    RedrawWindow(AsWindow(Form.Handle()), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }

  void ControlInserted(TControl& Control) override { CreateControlWindow(Control); }

  void ControlRemoved(TControl& Control) override {
    DestroyWindow(AsWindow(Control.Handle()));
    Control.SetHandle(0);
  }

  void ControlChanged(TControl& Control, forms::Change What) override {
    const HWND Window = AsWindow(Control.Handle());
    switch (What) {
      case forms::Change::Visible:
        ShowWindow(Window, Control.Visible() ? SW_SHOW : SW_HIDE);
        break;
      case forms::Change::Enabled:
        EnableWindow(Window, Control.Enabled());
        break;
      case forms::Change::Caption:
        SetWindowTextA(Window, Control.Caption().c_str());
        break;
      case forms::Change::Bounds: {
        const TFormData& Data = DataOf(*Control.Parent());
        MoveWindow(Window, Scale(Data, Control.Left()), Scale(Data, Control.Top()),
                   Scale(Data, Control.Width()), Scale(Data, Control.Height()), TRUE);
        break;
      }
      case forms::Change::Position:
        if (auto* Bar = dynamic_cast<TProgressBar*>(&Control))
          SendMessageA(Window, PBM_SETPOS, static_cast<WPARAM>(Bar->Position()), 0);
        break;
      case forms::Change::Range:
        if (auto* Bar = dynamic_cast<TProgressBar*>(&Control))
          SendMessageA(Window, PBM_SETRANGE32, static_cast<WPARAM>(Bar->Min()),
                       static_cast<LPARAM>(Bar->Max()));
        break;
    }
  }

  std::optional<int32_t> ProcessMessages() override {
    // Callers pump after every block of work, thousands of times a second, and each ask costs
    // a call into the window system (under Wine a round trip to its server and a look at the X
    // connection). A person notices nothing below a hundredth of a second, so the queue is
    // asked at most that often.
    // GetTickCount, not GetTickCount64, which Windows before Vista lacks; the unsigned difference
    // stays right across its wrap every 49 days.
    const DWORD Now = GetTickCount();
    if (Now - FLastPump < PumpInterval) return std::nullopt;
    FLastPump = Now;
    MSG Message;
    while (PeekMessageA(&Message, nullptr, 0, 0, PM_REMOVE)) {
      if (Message.message == WM_QUIT) return static_cast<int32_t>(Message.wParam);
      Dispatch(Message);
    }
    return std::nullopt;
  }

  std::optional<int32_t> HandleMessage() override {
    MSG Message;
    const BOOL Result = GetMessageA(&Message, nullptr, 0, 0);
    if (Result == 0) return static_cast<int32_t>(Message.wParam);
    // -1 only comes with an invalid window filter, which is never given; not spinning on it.
    if (Result == -1) return 0;
    Dispatch(Message);
    return std::nullopt;
  }

  void PostQuit(int32_t ExitCode) override { PostQuitMessage(ExitCode); }

  TWindowHandle ApplicationWindow() override { return AsHandle(EnsureApplicationWindow()); }

  std::vector<TWindowHandle> ThreadWindows() override {
    std::vector<TWindowHandle> Windows;
    EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&Windows));
    return Windows;
  }

  bool WindowVisible(TWindowHandle Window) override { return IsWindowVisible(AsWindow(Window)); }
  bool WindowEnabled(TWindowHandle Window) override { return IsWindowEnabled(AsWindow(Window)); }
  void SetWindowEnabled(TWindowHandle Window, bool Enabled) override {
    EnableWindow(AsWindow(Window), Enabled);
  }
  TWindowHandle ActiveWindow() override { return AsHandle(GetActiveWindow()); }
  void ActivateWindow(TWindowHandle Window) override { SetActiveWindow(AsWindow(Window)); }
  TWindowHandle CaptureWindow() override { return AsHandle(GetCapture()); }
  void SendCancelMode(TWindowHandle Window) override {
    SendMessageA(AsWindow(Window), WM_CANCELMODE, 0, 0);
  }

  int32_t ShowMessageBox(TWindowHandle Owner, const std::string& Text, const std::string& Caption,
                         int32_t Flags) override {
    SyncTitle();
    // A message may name a path that the ANSI code page cannot write.
    return MessageBoxW(AsWindow(Owner), platform::win32::Wide(Text).c_str(),
                       platform::win32::Wide(Caption).c_str(), static_cast<UINT>(Flags));
  }

  LRESULT FormProcedure(TForm& Form, HWND Window, UINT Message, WPARAM W, LPARAM L) {
    switch (Message) {
      case WM_ACTIVATE: {
        const LRESULT Result = DefWindowProcA(Window, Message, W, L);
        if (LOWORD(W) != WA_INACTIVE) {
          FocusFirstControl(Form);
          FApplication.RunHandler([&Form] { Form.Activate(); });
        }
        return Result;
      }
      case WM_SETFOCUS:
        FocusFirstControl(Form);
        return 0;
      case WM_COMMAND:
        if (L != 0 && HIWORD(W) == BN_CLICKED) {
          auto* Control = reinterpret_cast<TControl*>(
              GetWindowLongPtrA(reinterpret_cast<HWND>(L), GWLP_USERDATA));
          if (auto* Button = dynamic_cast<TButton*>(Control))
            FApplication.RunHandler([Button] { Button->Click(); });
        }
        return 0;
      case WM_CLOSE:
        FApplication.RunHandler([&Form] { Form.Close(); });
        return 0;
      case WM_ERASEBKGND: {
        const TFormData* Data = FindData(Window);
        if (!Data) break;
        RECT Client;
        GetClientRect(Window, &Client);
        FillRect(reinterpret_cast<HDC>(W), &Client, Data->Brush);
        return 1;
      }
      case WM_CTLCOLORSTATIC: {
        const TFormData* Data = FindData(Window);
        if (!Data) break;
        const HDC Context = reinterpret_cast<HDC>(W);
        SetTextColor(Context, ColorOf(Form.Font.Color));
        SetBkColor(Context, ColorOf(Form.Color));
        return reinterpret_cast<LRESULT>(Data->Brush);
      }
      default:
        break;
    }
    return DefWindowProcA(Window, Message, W, L);
  }

 private:
  struct TFormData {
    int Dpi = 96;
    int PixelsPerInch = 96;
    HFONT Font = nullptr;
    HBRUSH Brush = nullptr;
    bool OwnsBrush = false;
  };

  // Layout values are pixels at the form's PixelsPerInch; the screen may have another.
  static int Scale(const TFormData& Data, int32_t Value) {
    return MulDiv(Value, Data.Dpi, Data.PixelsPerInch);
  }

  // Only forms whose window this toolkit made have a handle.
  const TFormData& DataOf(const TForm& Form) const { return *FindData(AsWindow(Form.Handle())); }

  // For window procedures, which must not throw.
  const TFormData* FindData(HWND Window) const {
    for (const auto& [Handle, Data] : FForms)
      if (Handle == Window) return &Data;
    return nullptr;
  }

  HWND EnsureApplicationWindow() {
    if (!FApplicationWindow) {
      FApplicationWindow =
          CreateWindowExA(0, ApplicationClassName, FApplication.Title.c_str(),
                          WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                          GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0,
                          0, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
      if (!FApplicationWindow) throw Exception("Error creating window");
      FShownTitle = FApplication.Title;
    }
    return FApplicationWindow;
  }

  // The title is a plain member; the window's text follows it whenever it is about to show.
  void SyncTitle() {
    if (FApplicationWindow && FShownTitle != FApplication.Title) {
      SetWindowTextA(FApplicationWindow, FApplication.Title.c_str());
      FShownTitle = FApplication.Title;
    }
  }

  void CreateControlWindow(TControl& Control) {
    TForm& Form = *Control.Parent();
    const HWND Parent = AsWindow(Form.Handle());
    const TFormData& Data = DataOf(Form);
    const char* ClassName = nullptr;
    DWORD Style =
        WS_CHILD | (Control.Visible() ? WS_VISIBLE : 0) | (Control.Enabled() ? 0 : WS_DISABLED);
    auto* Label = dynamic_cast<TLabel*>(&Control);
    auto* Bar = dynamic_cast<TProgressBar*>(&Control);
    if (Label) {
      ClassName = "STATIC";
      Style |= SS_LEFT;
    } else if (dynamic_cast<TButton*>(&Control)) {
      ClassName = "BUTTON";
      Style |= BS_PUSHBUTTON | WS_TABSTOP;
    } else if (Bar) {
      ClassName = PROGRESS_CLASSA;
    } else {
      throw Exception("Control " + Control.Name + " has no window class");
    }
    if (Label && Label->AutoSize) SizeToText(*Label, Parent, Data);
    const auto Id = static_cast<intptr_t>(FirstControlId + FNextControlId++);
    const HWND Window = CreateWindowExA(
        0, ClassName, Control.Caption().c_str(), Style, Scale(Data, Control.Left()),
        Scale(Data, Control.Top()), Scale(Data, Control.Width()), Scale(Data, Control.Height()),
        Parent, reinterpret_cast<HMENU>(Id), GetModuleHandleA(nullptr), nullptr);
    if (!Window) throw Exception("Error creating window");
    SetWindowLongPtrA(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&Control));
    SendMessageA(Window, WM_SETFONT, reinterpret_cast<WPARAM>(Data.Font), FALSE);
    if (Bar) {
      SendMessageA(Window, PBM_SETRANGE32, static_cast<WPARAM>(Bar->Min()),
                   static_cast<LPARAM>(Bar->Max()));
      SendMessageA(Window, PBM_SETPOS, static_cast<WPARAM>(Bar->Position()), 0);
    }
    Control.SetHandle(AsHandle(Window));
  }

  static void SizeToText(TLabel& Label, HWND Parent, const TFormData& Data) {
    const HDC Context = GetDC(Parent);
    const HGDIOBJ Former = SelectObject(Context, Data.Font);
    RECT Text{0, 0, 0, 0};
    DrawTextA(Context, Label.Caption().c_str(), -1, &Text, DT_CALCRECT | DT_LEFT);
    SelectObject(Context, Former);
    ReleaseDC(Parent, Context);
    Label.SetBounds(Label.Left(), Label.Top(), MulDiv(Text.right, Data.PixelsPerInch, Data.Dpi),
                    MulDiv(Text.bottom, Data.PixelsPerInch, Data.Dpi));
  }

  void FocusFirstControl(TForm& Form) {
    TButton* First = nullptr;
    for (TControl* Control : Form.Controls()) {
      auto* Button = dynamic_cast<TButton*>(Control);
      if (Button && Button->Visible() && Button->Enabled() && Button->Handle() &&
          (!First || Button->TabOrder < First->TabOrder))
        First = Button;
    }
    if (First) SetFocus(AsWindow(First->Handle()));
  }

  void Dispatch(MSG& Message) {
    // The dialog keys (Tab, access keys, Space on the focused button) for our forms.
    const HWND Root = Message.hwnd ? GetAncestor(Message.hwnd, GA_ROOT) : nullptr;
    if (Root && FindData(Root) && IsDialogMessageA(Root, &Message)) return;
    TranslateMessage(&Message);
    DispatchMessageA(&Message);
  }

  static constexpr DWORD PumpInterval = 10;  // milliseconds

  TApplication& FApplication;
  HWND FApplicationWindow = nullptr;
  DWORD FLastPump = 0;
  std::string FShownTitle;
  // A program has a form or two: a list searched in order serves them, without a tree's code
  // in the download.
  std::vector<std::pair<HWND, TFormData>> FForms;
  int FNextControlId = 0;
};

LRESULT CALLBACK FormWindowProcedure(HWND Window, UINT Message, WPARAM W, LPARAM L) {
  if (Message == WM_NCCREATE) {
    const auto* Create = reinterpret_cast<const CREATESTRUCTA*>(L);
    SetWindowLongPtrA(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Create->lpCreateParams));
  }
  auto* Form = reinterpret_cast<TForm*>(GetWindowLongPtrA(Window, GWLP_USERDATA));
  // Messages before the form's data is in place (creation) or after it left go the default way.
  if (Form && CurrentToolkit && Form->Handle() == AsHandle(Window))
    return CurrentToolkit->FormProcedure(*Form, Window, Message, W, L);
  return DefWindowProcA(Window, Message, W, L);
}

}  // namespace

std::unique_ptr<TToolkit> CreatePlatformToolkit(TApplication& Application) {
  return std::make_unique<TWin32Toolkit>(Application);
}

}  // namespace varn
