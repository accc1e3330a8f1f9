#include "loader/LoaderStartup.h"

#include <varn/framework/platform/Platform.h>
#include <varn/ui/Application.h>
#include <varn/ui/Toolkit.h>
#include <varn/versioninfo/cmp_TVersion.h>
#include "loader/mainform_LoadProgram.h"

using namespace varn;

int RunLoaderProgram() {
  // Before anything else, so no DLL is loaded from the loader's own directory.
  platform::InitializeProcess();
  TApplication& App = Application();
  CreateVersionResource();
  App.Title = "Setup";
  App.SetToolkit(CreatePlatformToolkit(App));
  // Errors of the handlers have all been shown by the application's error display; one that
  // escapes the start-up itself (no window could be made) still ends the process with 0.
  App.RunHandler([&] {
    App.CreateForm(Form1);
    App.Run();
  });
  return 0;
}
