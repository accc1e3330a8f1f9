#include "loader/LoaderEnvironment.h"

#include <varn/framework/platform/Platform.h>
#include <varn/ui/Application.h>

using namespace varn;

namespace {

class TPlatformLoaderEnvironment final : public TLoaderEnvironment {
 public:
  explicit TPlatformLoaderEnvironment(TApplication& Application) : FApplication(Application) {}

  std::string CurrentDirectory() override { return platform::CurrentDirectory(); }
  std::optional<std::string> TemporaryPath() override { return platform::TemporaryPath(); }
  platform::StartResult StartProgram(const std::string& CommandLine) override {
    // loader.exe, a windowed program, has no console and so never waits.
    return platform::StartProgram(CommandLine,
                                  platform::IsTerminal(platform::StandardStream::Input));
  }
  platform::StartResult StartProgramElevated(const std::string& Program,
                                             const std::string& Parameters,
                                             std::uintptr_t OwnerWindow) override {
    return platform::StartProgramElevated(Program, Parameters, OwnerWindow);
  }
  void PostQuit(int32_t ExitCode) override { FApplication.PostQuit(ExitCode); }

 private:
  TApplication& FApplication;
};

}  // namespace

std::unique_ptr<TLoaderEnvironment> CreatePlatformLoaderEnvironment(TApplication& Application) {
  return std::make_unique<TPlatformLoaderEnvironment>(Application);
}
