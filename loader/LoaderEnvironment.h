#pragma once
// What the loader asks of its process environment, behind one interface so that tests can stand
// in for the operating system and the application's quit request.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <varn/archive/ArchiveSignature.h>
#include <varn/framework/platform/Platform.h>

namespace varn {
class TApplication;
}

class TLoaderEnvironment {
 public:
  virtual ~TLoaderEnvironment() = default;

  // The process's current directory: no trailing backslash, except at a drive root.
  virtual std::string CurrentDirectory() = 0;
  // The directory for temporary files, normally with a trailing backslash; nothing when the
  // platform cannot name one.
  virtual std::optional<std::string> TemporaryPath() = 0;
  // Starts the program of the command line (program path and argument, see
  // platform::StartProgram). The Linux loader waits for it when its standard input is a
  // terminal, so that a text-mode program alone reads the keyboard; otherwise nothing waits.
  virtual varn::platform::StartResult StartProgram(const std::string& CommandLine) = 0;
  // Starts Program with Parameters through the shell, which asks the user's consent to give it
  // administrator rights; the prompt belongs to OwnerWindow.
  virtual varn::platform::StartResult StartProgramElevated(const std::string& Program,
                                                           const std::string& Parameters,
                                                           std::uintptr_t OwnerWindow) = 0;
  // Queues the end of the application's message loop.
  virtual void PostQuit(int32_t ExitCode) = 0;
  // The publisher's key stamped into the program (PublisherKey.cpp): with one, only media it
  // signed are installed.
  virtual varn::TStampedKey PublisherKey();
};

// The real environment: the platform layer, and the quit request of Application.
std::unique_ptr<TLoaderEnvironment> CreatePlatformLoaderEnvironment(
    varn::TApplication& Application);
