#pragma once
// What the commands of `varn` share: the command table entry, argument parsing, usage errors,
// messages on stderr, and output formatting (tables, JSON). Paths that the user types and
// that varn shows are native; inside, paths are in the program's form (platform::InternalPath
// and platform::NativePath convert).
//
// Exit status: 0 on success; 1 on failure, with one line "varn: " and the exception's message
// on stderr; 2 on a usage error, with the problem and the command's usage on stderr.
#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace varn::cli {

// A malformed command line.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Command {
  const char* Name;
  const char* Synopsis;  // the usage line without "usage: varn "
  const char* Help;      // what --help prints after the usage line
  // Runs the command on the arguments after its name. Throws UsageError for a malformed
  // command line and any Exception for a failure.
  int (*Run)(const std::vector<std::string>& Arguments);
};

struct ParsedArguments {
  std::vector<std::pair<std::string, std::string>> Options;  // in order; flags have no value
  std::vector<std::string> Operands;
};

// Options are "--name VALUE" or "--name=VALUE" for the names in WithValue and "--name" for
// those in Flags; "--" ends the options, and a lone "-" is an operand. Anything else that
// begins with "-" is a UsageError.
ParsedArguments ParseArguments(const std::vector<std::string>& Arguments,
                               const std::set<std::string>& WithValue,
                               const std::set<std::string>& Flags);

// True when the arguments ask for help ("--help" or "-h" before any "--").
bool AsksForHelp(const std::vector<std::string>& Arguments);

// A byte count with an optional suffix k or K (1024) or M (1024 * 1024); at least 1.
int64_t ParseSize(const std::string& Option, const std::string& Text);

// Sets the code page of archived names from the last --codepage N (the command's parsing must
// accept it); Windows-1252 without one. Before any name or path of the command line is
// converted. UsageError for a code page that is no single-byte one the system can convert.
void UseCodePage(const ParsedArguments& Parsed);

// An archived name (8-bit text) as a line of output shows it: native, and control characters
// as \xNN, so that it stays on its line and can be given back as a NAME.
std::string ShownName(const std::string& Name);

// "varn: " and the message on stderr, only when stderr is a terminal: a successful run says
// nothing on stderr otherwise.
void Note(const std::string& Message);

// Columns separated by two blanks, numbers (Right) aligned to the right, no trailing blanks.
// The cells are native text; their widths are counted in characters.
std::string FormatTable(const std::vector<std::vector<std::string>>& Rows,
                        const std::vector<bool>& Right);

// A JSON string literal of 8-bit text in the code page of names, as UTF-8.
std::string JsonString(const std::string& Text);
// The shortest text that reads back as the same double; null for NaN and infinities.
std::string JsonNumber(double Value);

}  // namespace varn::cli
