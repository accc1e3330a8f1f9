#include <varn/ui/Controls.h>

#include <algorithm>

#include <varn/ui/Application.h>
#include <varn/ui/Forms.h>
#include <varn/ui/Toolkit.h>

namespace varn {

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {}

TControl::~TControl() {
  SetParent(nullptr);
}

void TControl::SetParent(TForm* AParent) {
  if (AParent == FParent) return;
  if (FParent) {
    if (FParent->Handle()) FParent->OwnerApplication().Toolkit().ControlRemoved(*this);
    FParent->RemoveControl(*this);
  }
  FParent = AParent;
  if (FParent) {
    FParent->InsertControl(*this);
    if (FParent->Handle()) FParent->OwnerApplication().Toolkit().ControlInserted(*this);
  }
}

void TControl::Changed(forms::Change What) {
  if (FParent && FParent->Handle() && FHandle)
    FParent->OwnerApplication().Toolkit().ControlChanged(*this, What);
}

void TControl::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  Changed(forms::Change::Bounds);
}

void TControl::SetVisible(bool Value) {
  if (Value == FVisible) return;
  FVisible = Value;
  Changed(forms::Change::Visible);
}

void TControl::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  Changed(forms::Change::Enabled);
}

void TControl::SetCaption(const std::string& Value) {
  if (Value == FCaption) return;
  FCaption = Value;
  Changed(forms::Change::Caption);
}

void TButton::Click() {
  if (OnClick) OnClick(*this);
}

void TProgressBar::SetMin(int32_t Value) {
  FMin = Value;
  FMax = std::max(FMax, FMin);
  Changed(forms::Change::Range);
  SetPosition(FPosition);
}

void TProgressBar::SetMax(int32_t Value) {
  FMax = Value;
  FMin = std::min(FMin, FMax);
  Changed(forms::Change::Range);
  SetPosition(FPosition);
}

void TProgressBar::SetPosition(int32_t Value) {
  Value = std::clamp(Value, FMin, FMax);
  if (Value == FPosition) return;
  FPosition = Value;
  Changed(forms::Change::Position);
}

}  // namespace varn
