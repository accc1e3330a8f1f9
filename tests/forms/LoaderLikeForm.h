#pragma once
// A form built like the loader's window: the same stored layout in one table, a first-activation
// guard, and a shutdown button. What its first activation does is up to the test.
#include <functional>

#include <varn/ui/Application.h>
#include <varn/ui/Forms.h>

namespace forms_test {

class TLoaderLikeForm : public varn::TForm {
 public:
  explicit TLoaderLikeForm(varn::TApplication& AOwner) : varn::TForm(AOwner) { ReadLayout(Layout); }

  varn::TButton Button1{this};
  varn::TProgressBar ProgressBar1{this};
  varn::TLabel Label1{this};
  varn::TComponent Worker{this};  // stands for the window's non-visual component

  // Runs on the first activation only, as the loader's sequence does.
  std::function<void(TLoaderLikeForm&)> Work;
  int Activations = 0;
  int Runs = 0;
  int ActivationsSeenInWork = -1;
  bool Activated = false;

  void FormActivate(varn::TComponent&) {
    ++Activations;
    if (Activated) return;
    Activated = true;
    Repaint();
    ++Runs;
    if (Work) Work(*this);
  }
  void Button1Click(varn::TComponent&) { Close(); }

  static const varn::TFormLayout<TLoaderLikeForm, 4> Layout;
};

inline constexpr varn::TFormLayout<TLoaderLikeForm, 4> TLoaderLikeForm::Layout = {
    .Name = "Form1",
    .Caption = "Setup",
    .Left = 202,
    .Top = 109,
    .ClientWidth = 337,
    .ClientHeight = 65,
    .Position = varn::poScreenCenter,
    .BorderStyle = varn::bsSingle,
    .BorderIcons = {},
    .FormStyle = varn::fsStayOnTop,
    .Visible = true,
    .Font = {.Name = "Arial",
             .Height = -11,
             .Pitch = varn::fpVariable,
             .Style = {},
             .Color = varn::clWindowText},
    .PixelsPerInch = 96,
    .TextHeight = 14,
    .OnActivate = &TLoaderLikeForm::FormActivate,
    .Components = {{
        {.Name = "Label1",
         .Field = &TLoaderLikeForm::Label1,
         .Left = 24,
         .Top = 8,
         .Width = 289,
         .Height = 14,
         .Caption = "Initializing installation software.",
         .AutoSize = false},
        {.Name = "Button1",
         .Field = &TLoaderLikeForm::Button1,
         .Left = 8,
         .Top = 32,
         .Width = 323,
         .Height = 25,
         .Caption = "&Shutdown this program",
         .Visible = false,
         .TabOrder = 0,
         .OnClick = &TLoaderLikeForm::Button1Click},
        {.Name = "ProgressBar1",
         .Field = &TLoaderLikeForm::ProgressBar1,
         .Left = 24,
         .Top = 32,
         .Width = 289,
         .Height = 25,
         .TabOrder = 1,
         .Min = 0,
         .Max = 100,
         .Position = 0},
        {.Name = "VarnCompress1",
         .Left = 8,
         .Top = 8,
         .Configure = [](TLoaderLikeForm& Form) { Form.Worker.Name = "VarnCompress1"; }},
    }},
};

}  // namespace forms_test
