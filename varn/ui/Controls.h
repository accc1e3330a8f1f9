#pragma once
// The controls of a form: a label, a push button and a progress bar. Each holds its state; once
// its form has a window, every change that shows on screen (visibility, enabled state, caption,
// bounds, position) is handed to the application's toolkit at once. Values that are only read
// when the window is created (TabOrder, AutoSize) are plain members.
#include <cstdint>
#include <initializer_list>
#include <string>

#include <varn/framework/Component.h>

namespace varn {

class TForm;

// A set of a small enumeration, as the form's BorderIcons and the font's Style are.
template <class E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> Elements) {
    for (E Element : Elements)
      FBits |= Bit(Element);
  }
  constexpr bool Contains(E Element) const { return (FBits & Bit(Element)) != 0; }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr void Include(E Element) { FBits |= Bit(Element); }
  constexpr void Exclude(E Element) { FBits &= ~Bit(Element); }
  friend constexpr bool operator==(const TSet&, const TSet&) = default;

 private:
  static constexpr uint32_t Bit(E Element) { return 1u << static_cast<unsigned>(Element); }
  uint32_t FBits = 0;
};

// A colour: 0x00BBGGRR, or a system colour (high byte 0xFF, low byte the system's colour index).
using TColor = int32_t;
constexpr TColor clWindowText = static_cast<TColor>(0xFF000008);
constexpr TColor clBtnFace = static_cast<TColor>(0xFF00000F);

enum TFontPitch : uint8_t { fpDefault, fpVariable, fpFixed };
enum TFontStyle : uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;

// Height is in pixels; negative means the character height without internal leading.
struct TFont {
  std::string Name = "MS Sans Serif";
  int32_t Height = -11;
  TFontPitch Pitch = fpDefault;
  TFontStyles Style;
  TColor Color = clWindowText;
};

namespace forms {
// What of a control changed, so the toolkit mirrors only that.
enum class Change : uint8_t { Visible, Enabled, Caption, Bounds, Position, Range };
}  // namespace forms

// The toolkit's name of a native window; 0 is none.
using TWindowHandle = std::uintptr_t;

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* AOwner = nullptr);
  // Leaves its form's control list, and its window with it.
  ~TControl() override;

  // The form the control lies on; the control joins the end of the form's list.
  TForm* Parent() const { return FParent; }
  void SetParent(TForm* AParent);

  // Bounds in pixels relative to the form's client area, at the form's PixelsPerInch.
  int32_t Left() const { return FLeft; }
  int32_t Top() const { return FTop; }
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight);

  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);

  // '&' marks the next character as the access key; "&&" is a literal ampersand.
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& Value);

  // Position in the form's tab sequence; -1 for controls that take no focus.
  int32_t TabOrder = -1;

  // Set by the toolkit while the control has a native window.
  TWindowHandle Handle() const { return FHandle; }
  void SetHandle(TWindowHandle Value) { FHandle = Value; }

 protected:
  // Hands a change to the toolkit when the control is on screen.
  void Changed(forms::Change What);

 private:
  TForm* FParent = nullptr;
  int32_t FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  bool FVisible = true;
  bool FEnabled = true;
  std::string FCaption;
  TWindowHandle FHandle = 0;
};

class TLabel : public TControl {
 public:
  using TControl::TControl;
  // When true the toolkit sizes the label to its text when it creates the window.
  bool AutoSize = true;
};

class TButton : public TControl {
 public:
  using TControl::TControl;
  TNotifyEvent OnClick;
  // Runs OnClick, if assigned, with the button as Sender; exceptions pass to the caller.
  void Click();
};

class TProgressBar : public TControl {
 public:
  using TControl::TControl;
  int32_t Min() const { return FMin; }
  int32_t Max() const { return FMax; }
  // Setting Min above Max (or Max below Min) moves the other bound along; the position is
  // kept inside the range.
  void SetMin(int32_t Value);
  void SetMax(int32_t Value);
  int32_t Position() const { return FPosition; }
  // Clamped to Min..Max, as the native control does.
  void SetPosition(int32_t Value);

 private:
  int32_t FMin = 0, FMax = 100, FPosition = 0;
};

}  // namespace varn
