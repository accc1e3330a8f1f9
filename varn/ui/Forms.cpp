#include <varn/ui/Forms.h>

#include <algorithm>

#include <varn/ui/Application.h>
#include <varn/ui/Toolkit.h>

namespace varn {

TForm::TForm(TApplication& AOwner) : TComponent(&AOwner), FApplication(AOwner) {}

TForm::~TForm() {
  // Controls that outlive the form (members of a derived form are already gone) leave it first.
  while (!FControls.empty())
    FControls.back()->SetParent(nullptr);
  if (FHandle) FApplication.Toolkit().DestroyFormWindow(*this);
  FApplication.FormDestroyed(*this);
}

void TForm::SetCaption(const std::string& Value) {
  if (Value == FCaption) return;
  FCaption = Value;
  if (FHandle) FApplication.Toolkit().FormChanged(*this);
}

void TForm::SetVisible(bool Value) {
  if (Value)
    Show();
  else
    Hide();
}

void TForm::Show() {
  HandleNeeded();
  FVisible = true;
  FApplication.Toolkit().ShowForm(*this);
}

void TForm::Hide() {
  FVisible = false;
  if (FHandle) FApplication.Toolkit().HideForm(*this);
}

void TForm::Close() {
  if (FApplication.MainForm() == this)
    FApplication.Terminate();
  else
    Hide();
}

void TForm::Repaint() {
  if (FHandle) FApplication.Toolkit().RepaintForm(*this);
}

void TForm::HandleNeeded() {
  if (!FHandle) FApplication.Toolkit().CreateFormWindow(*this);
}

void TForm::Activate() {
  if (OnActivate) OnActivate(*this);
}

void TForm::InsertControl(TControl& Control) {
  FControls.push_back(&Control);
}

void TForm::RemoveControl(TControl& Control) {
  std::erase(FControls, &Control);
}

void TForm::ApplyControl(TControl& Control, std::string_view ControlName, int32_t ALeft,
                         int32_t ATop, int32_t AWidth, int32_t AHeight, std::string_view ACaption,
                         bool AVisible, bool AEnabled, int32_t ATabOrder) {
  Control.Name = std::string(ControlName);
  Control.SetBounds(ALeft, ATop, AWidth, AHeight);
  Control.SetCaption(std::string(ACaption));
  Control.SetVisible(AVisible);
  Control.SetEnabled(AEnabled);
  Control.TabOrder = ATabOrder;
  Control.SetParent(this);
}

}  // namespace varn
