// A form like the loader's on the platform toolkit (the console one on Linux). "ok" runs the bar
// from 0 to 100 and requests the end; "fail" stops at 40 and fails as the loader does. The exit
// code is Run's.
#include <cstring>

#include <varn/framework/Exceptions.h>
#include <varn/ui/Application.h>
#include <varn/ui/Toolkit.h>
#include "tests/forms/LoaderLikeForm.h"

using namespace varn;

namespace {

bool Failing = false;

class TConsoleForm : public forms_test::TLoaderLikeForm {
 public:
  explicit TConsoleForm(TApplication& AOwner) : TLoaderLikeForm(AOwner) {
    Work = [](TLoaderLikeForm& Self) {
      try {
        for (int Position = 0; Position <= 100; Position += 5) {
          if (Failing && Position > 40) throw Exception("LOADER: No files in setup.1");
          Self.ProgressBar1.SetPosition(Position);
          Self.OwnerApplication().ProcessMessages();
        }
        Self.OwnerApplication().PostQuit(0);
      } catch (...) {
        Self.ProgressBar1.Hide();
        Self.Button1.Show();
        throw;
      }
    };
  }
};

}  // namespace

int main(int argc, char** argv) {
  Failing = argc > 1 && std::strcmp(argv[1], "fail") == 0;
  TApplication& App = Application();
  App.SetToolkit(CreatePlatformToolkit(App));
  App.Title = "Setup";
  TConsoleForm* Form1 = nullptr;
  App.CreateForm(Form1);
  return App.Run();
}
