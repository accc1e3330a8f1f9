#pragma once
// The loader's one window and the loader sequence it runs on its first activation: find
// setup.1 in the current directory, read its catalogue, extract every file into the temporary
// directory, start the first one with the loader's directory as its argument, and end the
// application. Every failure hides the bar, shows the shutdown button and raises the exception
// again, unchanged, for the application's error display.
#include <memory>
#include <string>

#include <varn/archive/cmp_TVarnCompress.h>
#include <varn/ui/Forms.h>
#include "loader/LoaderEnvironment.h"

class TForm1 : public varn::TForm {
 public:
  // The window on the real process environment.
  explicit TForm1(varn::TApplication& AOwner);
  TForm1(varn::TApplication& AOwner, std::unique_ptr<TLoaderEnvironment> Environment);
  ~TForm1() override;

  varn::TVarnCompress VarnCompress1{this};
  varn::TButton Button1{this};
  varn::TProgressBar ProgressBar1{this};
  varn::TLabel Label1{this};

  // The first call repaints the window and runs the loader sequence; later calls do nothing.
  void FormActivate(varn::TComponent& Sender);
  // Closes the window, and with it the application.
  void Button1Click(varn::TComponent& Sender);
  // The bar follows the run's TotalPercent.
  void VarnCompress1Status(varn::TVarnCompress& VarnCompress, const varn::TlzhFileStats& FileStats);

  static const varn::TFormLayout<TForm1, 4> Layout;

 private:
  void RunLoader();

  std::unique_ptr<TLoaderEnvironment> FEnvironment;
  bool Activated = false;
  std::string LoaderDirectory;
};

// The main window, once the application has created it.
extern TForm1* Form1;
