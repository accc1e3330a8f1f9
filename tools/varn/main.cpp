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

const Command* const Commands[] = {
    &varn::cli::PackCommand,    &varn::cli::ListCommand,    &varn::cli::TestCommand,
    &varn::cli::ExtractCommand, &varn::cli::VersionCommand, &varn::cli::KeygenCommand,
    &varn::cli::SignCommand,    &varn::cli::StampCommand,   &varn::cli::VerifyCommand};

std::string Usage() {
  std::string Text;
  for (const Command* C : Commands)
    Text += (Text.empty() ? "usage: varn " : "       varn ") + varn::cli::Synopsis(*C) + "\n";
  return Text + "       varn help [COMMAND]\n       varn --version\n";
}

void PrintHelp() {
  std::string Text = Usage() + "\nCommands:\n";
  for (const Command* C : Commands)
    Text += "\nvarn " + varn::cli::Synopsis(*C) + "\n" + varn::cli::HelpText(*C);
  varn::cli::Print(Text);
}

int UsageFailure(const std::string& Problem, const std::string& UsageText) {
  std::fflush(stdout);
  platform::WriteText(platform::StandardStream::Error, "varn: " + Problem + "\n" + UsageText);
  return 2;
}

// What went before on stdout comes first, also when both go to one pipe.
int Failure(const std::string& Message, const std::string& Advice = std::string()) {
  std::fflush(stdout);
  platform::WriteText(platform::StandardStream::Error, "varn: " + Message + "\n");
  if (!Advice.empty())
    platform::WriteText(platform::StandardStream::Error, "varn: " + Advice + "\n");
  return 1;
}

const Command* FindCommand(const std::string& Name) {
  for (const Command* C : Commands)
    if (Name == C->Name) return C;
  return nullptr;
}

void PrintCommandHelp(const Command& C) {
  varn::cli::Print("usage: varn " + varn::cli::Synopsis(C) + "\n\n" + varn::cli::HelpText(C));
}

int Run(const std::vector<std::string>& Arguments) {
  if (Arguments.empty()) return UsageFailure("no command given", Usage());
  const std::string& Name = Arguments[0];
  if (Name == "--version") {
    varn::cli::Print("varn " VARN_PROJECT_VERSION "\n");
    return 0;
  }
  if (Name == "help" && Arguments.size() > 1) {
    const Command* Asked = FindCommand(Arguments[1]);
    if (!Asked || Arguments.size() > 2)
      return UsageFailure(
          Asked ? "help takes one command" : "unknown command \"" + Arguments[1] + "\"", Usage());
    PrintCommandHelp(*Asked);
    return 0;
  }
  if (Name == "--help" || Name == "-h" || Name == "help") {
    PrintHelp();
    return 0;
  }
  const Command* Chosen = FindCommand(Name);
  if (!Chosen) return UsageFailure("unknown command \"" + Name + "\"", Usage());

  const std::vector<std::string> Rest(Arguments.begin() + 1, Arguments.end());
  const std::string CommandUsage = "usage: varn " + varn::cli::Synopsis(*Chosen) + "\n";
  if (varn::cli::AsksForHelp(Rest)) {
    PrintCommandHelp(*Chosen);
    return 0;
  }
  try {
    return Chosen->Run(varn::cli::ParseArguments(*Chosen, Rest));
  } catch (const varn::cli::UsageError& E) {
    return UsageFailure(E.what(), CommandUsage);
  } catch (const varn::cli::AdvisedFailure& E) {
    varn::cli::EndIfInterrupted();
    return Failure(E.Message(), E.Advice);
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
  const int Status = Run(platform::CommandLineArguments(argc, argv));
  // A reader that stopped reading is no failure of ours (varn list ... | head -3).
  if (varn::cli::OutputClosed()) return Status;
  if (std::fflush(stdout) != 0 || std::ferror(stdout))
    return Status == 0 ? Failure("Could not write to standard output") : Status;
  return Status;
}
