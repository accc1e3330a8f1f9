// varn: the command-line tool for making and checking installation media. Dispatches to the
// commands of Commands.h and turns their errors into the exit status and messages of Cli.h.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include <varn/framework/Exceptions.h>
#include <varn/framework/platform/Platform.h>
#include "tools/varn/Commands.h"
#include "tools/varn/Safeguards.h"

using namespace varn;

namespace {

using varn::cli::Command;

const Command* const Commands[] = {&varn::cli::PackCommand, &varn::cli::ListCommand,
                                   &varn::cli::TestCommand, &varn::cli::ExtractCommand,
                                   &varn::cli::VersionCommand};

std::string Usage() {
  std::string Text;
  for (const Command* C : Commands)
    Text += std::string(Text.empty() ? "usage: varn " : "       varn ") + C->Synopsis + "\n";
  return Text + "       varn --help\n";
}

void PrintHelp() {
  std::string Text = Usage() + "\nCommands:\n";
  for (const Command* C : Commands)
    Text += std::string("\nvarn ") + C->Synopsis + "\n" + C->Help;
  std::fputs(Text.c_str(), stdout);
}

int UsageFailure(const std::string& Problem, const std::string& UsageText) {
  std::fprintf(stderr, "varn: %s\n%s", Problem.c_str(), UsageText.c_str());
  return 2;
}

int Failure(const std::string& Message) {
  std::fprintf(stderr, "varn: %s\n", Message.c_str());
  return 1;
}

int Run(const std::vector<std::string>& Arguments) {
  if (Arguments.empty()) return UsageFailure("no command given", Usage());
  const std::string& Name = Arguments[0];
  if (Name == "--help" || Name == "-h" || Name == "help") {
    PrintHelp();
    return 0;
  }
  const Command* Chosen = nullptr;
  for (const Command* C : Commands)
    if (Name == C->Name) Chosen = C;
  if (!Chosen) return UsageFailure("unknown command \"" + Name + "\"", Usage());

  const std::vector<std::string> Rest(Arguments.begin() + 1, Arguments.end());
  const std::string CommandUsage = std::string("usage: varn ") + Chosen->Synopsis + "\n";
  if (varn::cli::AsksForHelp(Rest)) {
    std::fputs((CommandUsage + "\n" + Chosen->Help).c_str(), stdout);
    return 0;
  }
  try {
    return Chosen->Run(Rest);
  } catch (const varn::cli::UsageError& E) {
    return UsageFailure(E.what(), CommandUsage);
  } catch (const Exception& E) {
    varn::cli::EndIfInterrupted();
    return Failure(E.Message());
  } catch (const std::exception& E) {
    varn::cli::EndIfInterrupted();
    return Failure(E.what());
  }
}

}  // namespace

int main(int argc, char** argv) {
  platform::InitializeProcess();
  const int Status = Run(std::vector<std::string>(argv + 1, argv + argc));
  if (std::fflush(stdout) != 0 || std::ferror(stdout))
    return Status == 0 ? Failure("Could not write to standard output") : Status;
  return Status;
}
