#pragma once
// The commands of varn and their options, each declared once. Parsing, the usage line, the help
// text and the checks of a command line all come from these declarations, so the rules are the
// same in every command:
// - "--name VALUE" or "--name=VALUE" for an option with a value, "--name" for a flag (a value
//   given to a flag is a usage error); a short form "-x" where one is declared. Flags may be
//   bundled ("-qv"), and a value may follow its letter ("-oFILE") or come as the next argument.
// - "--" ends the options, and a lone "-" is an operand.
// - An option that is not declared, a value missing, and an option given twice that is not
//   declared Repeatable are usage errors (UsageError).
// Adding an option is one line in its command's table; adding a command is one Command and its
// entry in main.cpp's list.
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace varn::cli {

// A malformed command line.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Option {
  const char* Long;             // "--output"
  char Short = 0;               // 'o' for -o; 0 for none
  const char* Value = nullptr;  // the value's name in the help ("FILE"); nullptr for a flag
  const char* Help = "";        // one paragraph, wrapped to fit beside the option in --help
  bool Repeatable = false;      // may be given more than once, each value kept
};

class ParsedArguments;

struct Command {
  const char* Name;
  std::vector<Option> Options;  // in the order of the usage line and of --help
  const char* Operands;         // "ARCHIVE [NAME...]", after the options in the usage line
  std::string Description;      // the text before the options, as printed (lines end in \n)
  std::string Epilogue;         // the text after the options: exit status, lists
  // Runs the command on its parsed arguments. Throws UsageError for a malformed command line
  // and any Exception for a failure.
  int (*Run)(const ParsedArguments& Arguments);
};

class ParsedArguments {
 public:
  // Whether the option (by its long name) was given. Asking for an option the command does not
  // declare is a fault of the program (std::logic_error), not of the command line.
  bool Has(std::string_view Long) const;
  // The value of an option that is not Repeatable; nothing when it was not given.
  std::optional<std::string> Value(std::string_view Long) const;
  // Every value of a Repeatable option, in the order given.
  std::vector<std::string> Values(std::string_view Long) const;

  std::vector<std::string> Operands;

 private:
  friend ParsedArguments ParseArguments(const Command& Chosen,
                                        const std::vector<std::string>& Arguments);
  const Option& Declared(std::string_view Long) const;

  const Command* FCommand = nullptr;
  std::vector<std::pair<const Option*, std::string>> FGiven;  // in order; flags have no value
};

// The arguments after the command's name, by the rules above.
ParsedArguments ParseArguments(const Command& Chosen, const std::vector<std::string>& Arguments);

// True when the arguments ask for help ("--help" or "-h" before any "--"): every command takes
// it, whatever else the line holds.
bool AsksForHelp(const std::vector<std::string>& Arguments);

// "pack [--output FILE] [--name ARCHIVED=PATH]... PATH...": the usage line without "usage: varn ".
std::string Synopsis(const Command& C);

// The description, one line or more per option ("  -o, --output FILE  text", the texts in one
// column and wrapped), and the epilogue.
std::string HelpText(const Command& C);

}  // namespace varn::cli
