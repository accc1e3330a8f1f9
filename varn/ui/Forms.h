#pragma once
// The form: a top-level window holding controls, built from a stored layout. The form's own
// values (caption, visibility) are mirrored by the toolkit as they change; the window's shape
// (size, position, border, style, font, colour) is read when the window is created.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <varn/framework/Component.h>
#include <varn/framework/Exceptions.h>
#include <varn/ui/Controls.h>

namespace varn {

class TApplication;

enum TPosition : uint8_t { poDesigned, poScreenCenter };
enum TFormBorderStyle : uint8_t { bsNone, bsSingle, bsSizeable, bsDialog };
enum TBorderIcon : uint8_t { biSystemMenu, biMinimize, biMaximize };
using TBorderIcons = TSet<TBorderIcon>;
enum TFormStyle : uint8_t { fsNormal, fsStayOnTop };

// One row of a stored layout: a component of the form and its stored values. Field names the
// form's member the row describes; a row without one (a non-visual component) only names it and
// leaves its values to Configure. Fields that do not apply to the row's kind are ignored.
template <class TOwnerForm>
struct TComponentLayout {
  using TField = std::variant<std::monostate, TLabel TOwnerForm::*, TButton TOwnerForm::*,
                              TProgressBar TOwnerForm::*>;
  std::string_view Name = {};
  TField Field = {};
  int32_t Left = 0, Top = 0, Width = 0, Height = 0;
  std::string_view Caption = {};
  bool Visible = true;
  bool Enabled = true;
  int32_t TabOrder = -1;
  bool AutoSize = true;                                       // labels
  int32_t Min = 0, Max = 100, Position = 0;                   // progress bars
  void (TOwnerForm::*OnClick)(TComponent& Sender) = nullptr;  // buttons
  // Sets what the framework does not know of (the properties and events of other components).
  void (*Configure)(TOwnerForm& Form) = nullptr;
};

struct TFontLayout {
  std::string_view Name = {};
  int32_t Height = -11;
  TFontPitch Pitch = fpDefault;
  TFontStyles Style = {};
  TColor Color = clWindowText;
};

// A form's whole stored layout: the window's values and its components in creation order. Meant
// to be one constant per form class, read by that class's constructor through ReadLayout.
template <class TOwnerForm, std::size_t N>
struct TFormLayout {
  std::string_view Name = {};
  std::string_view Caption = {};
  int32_t Left = 0, Top = 0;
  int32_t ClientWidth = 0, ClientHeight = 0;
  TPosition Position = poDesigned;
  TFormBorderStyle BorderStyle = bsSizeable;
  TBorderIcons BorderIcons = {biSystemMenu, biMinimize, biMaximize};
  TFormStyle FormStyle = fsNormal;
  bool Visible = false;
  TFontLayout Font = {};
  TColor Color = clBtnFace;
  int32_t PixelsPerInch = 96;
  int32_t TextHeight = 13;
  void (TOwnerForm::*OnActivate)(TComponent& Sender) = nullptr;
  std::array<TComponentLayout<TOwnerForm>, N> Components = {};
};

class TForm : public TComponent {
 public:
  // A form belongs to an application, which is what shows it and runs its handlers.
  explicit TForm(TApplication& AOwner);
  ~TForm() override;

  TApplication& OwnerApplication() const { return FApplication; }

  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& Value);

  // Read when the window is created.
  int32_t Left = 0, Top = 0;  // screen coordinates; replaced by centring under poScreenCenter
  int32_t ClientWidth = 0, ClientHeight = 0;
  TPosition Position = poDesigned;
  TFormBorderStyle BorderStyle = bsSizeable;
  TBorderIcons BorderIcons = {biSystemMenu, biMinimize, biMaximize};
  TFormStyle FormStyle = fsNormal;
  TFont Font;
  TColor Color = clBtnFace;
  int32_t PixelsPerInch = 96;  // resolution the bounds were designed at
  int32_t TextHeight = 13;

  TNotifyEvent OnActivate;

  bool Visible() const { return FVisible; }
  // Showing creates the window when it has none, shows it and makes it the active window, which
  // delivers OnActivate through the toolkit (under the application's error display).
  void SetVisible(bool Value);
  void Show();
  void Hide();

  // Closing the main form requests the end of the application (exit code 0); any other form is
  // hidden.
  void Close();

  // Paints everything of the window that needs painting before it returns.
  void Repaint();

  const std::vector<TControl*>& Controls() const { return FControls; }

  // The native window; 0 until HandleNeeded or Show created it.
  TWindowHandle Handle() const { return FHandle; }
  void HandleNeeded();
  // Set by the toolkit.
  void SetHandle(TWindowHandle Value) { FHandle = Value; }

  // Called by the toolkit when the form has become the active window: runs OnActivate, if
  // assigned. Exceptions pass to the caller (the toolkit runs it under the error display).
  void Activate();

  // Kept by TControl::SetParent.
  void InsertControl(TControl& Control);
  void RemoveControl(TControl& Control);

 protected:
  // Applies a stored layout to this form and the members it names, binds the handlers to the
  // form (of class TOwnerForm, whose constructor calls this), and places the controls on it in
  // the layout's order. The window is not created here; a stored Visible shows the form when
  // TApplication::CreateForm has finished creating it.
  template <class TOwnerForm, std::size_t N>
  void ReadLayout(const TFormLayout<TOwnerForm, N>& Layout);

 private:
  void ApplyControl(TControl& Control, std::string_view Name, int32_t Left, int32_t Top,
                    int32_t Width, int32_t Height, std::string_view Caption, bool Visible,
                    bool Enabled, int32_t TabOrder);

  TApplication& FApplication;
  std::string FCaption;
  bool FVisible = false;
  TWindowHandle FHandle = 0;
  std::vector<TControl*> FControls;
};

template <class TOwnerForm, std::size_t N>
void TForm::ReadLayout(const TFormLayout<TOwnerForm, N>& Layout) {
  auto& Self = static_cast<TOwnerForm&>(*this);
  Name = std::string(Layout.Name);
  SetCaption(std::string(Layout.Caption));
  Left = Layout.Left;
  Top = Layout.Top;
  ClientWidth = Layout.ClientWidth;
  ClientHeight = Layout.ClientHeight;
  Position = Layout.Position;
  BorderStyle = Layout.BorderStyle;
  BorderIcons = Layout.BorderIcons;
  FormStyle = Layout.FormStyle;
  Font = TFont{std::string(Layout.Font.Name), Layout.Font.Height, Layout.Font.Pitch,
               Layout.Font.Style, Layout.Font.Color};
  Color = Layout.Color;
  PixelsPerInch = Layout.PixelsPerInch;
  TextHeight = Layout.TextHeight;
  if (Layout.OnActivate)
    OnActivate = [&Self, Handler = Layout.OnActivate](TComponent& Sender) {
      (Self.*Handler)(Sender);
    };

  for (const TComponentLayout<TOwnerForm>& Row : Layout.Components) {
    auto Place = [&](TControl& Control) {
      ApplyControl(Control, Row.Name, Row.Left, Row.Top, Row.Width, Row.Height, Row.Caption,
                   Row.Visible, Row.Enabled, Row.TabOrder);
    };
    std::visit(
        [&](auto Member) {
          using TMember = decltype(Member);
          if constexpr (!std::is_same_v<TMember, std::monostate>) {
            if (!Member) throw Exception("layout row without its member");
            auto& Control = Self.*Member;
            Place(Control);
            using TKind = std::remove_reference_t<decltype(Control)>;
            if constexpr (std::is_base_of_v<TLabel, TKind>) Control.AutoSize = Row.AutoSize;
            if constexpr (std::is_base_of_v<TButton, TKind>) {
              if (Row.OnClick)
                Control.OnClick = [&Self, Handler = Row.OnClick](TComponent& Sender) {
                  (Self.*Handler)(Sender);
                };
            }
            if constexpr (std::is_base_of_v<TProgressBar, TKind>) {
              Control.SetMax(Row.Max);
              Control.SetMin(Row.Min);
              Control.SetPosition(Row.Position);
            }
          }
        },
        Row.Field);
    if (Row.Configure) Row.Configure(Self);
  }
  FVisible = Layout.Visible;
}

}  // namespace varn
