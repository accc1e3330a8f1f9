#pragma once
// What the commands of `varn` share besides their tables (CommandTable.h): messages on stderr
// and output formatting (tables, JSON). Paths that the user types and that varn shows are
// native; inside, paths are in the program's form (platform::InternalPath and
// platform::NativePath convert).
//
// Exit status: 0 on success; 1 on failure, with one line "varn: " and the exception's message
// on stderr; 2 on a usage error, with the problem and the command's usage on stderr.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <varn/framework/Exceptions.h>
#include "tools/varn/CommandTable.h"

namespace varn::cli {

// A failure that needs one more line to be understood: main prints "varn: " and the message, as
// for any failure, and then "varn: " and the Advice.
class AdvisedFailure : public Exception {
 public:
  AdvisedFailure(const std::string& Message, std::string Advice)
      : Exception(Message), Advice(std::move(Advice)) {}
  std::string Advice;
};

// A byte count with an optional suffix k, m or g (either case: 1024, 1024^2, 1024^3); at
// least 1.
int64_t ParseSize(const std::string& Option, const std::string& Text);

// Sets the code page of archived names from --codepage N (which the command must declare);
// Windows-1252 without it. Before any name or path of the command line is converted.
// UsageError for a code page that is no single-byte one the system can convert.
void UseCodePage(const ParsedArguments& Parsed);

// An archived name (8-bit text) as a line of output shows it: native, and control characters
// as \xNN, so that it stays on its line and can be given back as a NAME.
std::string ShownName(const std::string& Name);

// Creates Directory (program's form) and every missing directory above it, as mkdir -p does;
// Exception naming the first one that cannot be made. The library's CreateDirectoryChain skips
// components shorter than three characters (drive letters such as "C:"), so a command makes its
// own output directory before handing it on.
void CreateOutputDirectory(const std::string& Directory);

// Writes Text on stdout. When the reader of a pipe has gone (varn list | head -3), the process
// ends quietly as coreutils do, unless KeepWorkingWithoutOutput was called: a command whose
// output only reports on its real work (extract -v) goes on with that work.
// Utf8: the text is JSON, UTF-8 also in a file or pipe on Windows.
void Print(const std::string& Text, bool Utf8 = false);
void KeepWorkingWithoutOutput();
// True when stdout's reader has gone. Ends the process quietly then, unless it is still
// working (see Print); main calls it last.
bool OutputClosed();

// "varn: " and the message on stderr, terminal or not: for a warning, a choice made on the
// user's behalf, and what a command removed, which must reach a log as well. Only progress, prompts
// and summaries depend on a terminal (Tell).
void Note(const std::string& Message);

// A size as people read it: "812 B", "2.0 KiB", "15 MiB" (units of 1024; one decimal below
// 10, none above).
std::string HumanSize(int64_t Bytes);

// How many columns native Text takes on a terminal, one per character. The one measure of width
// for every table and line that varn lays out.
size_t TextWidth(const std::string& Text);

// The message alone on stderr, only when stderr is a terminal: for the summary of a successful
// run, which is no error and so carries no "varn: ".
void Tell(const std::string& Message);

// Columns separated by two blanks, numbers (Right) aligned to the right, no trailing blanks.
// The cells are native text.
std::string FormatTable(const std::vector<std::vector<std::string>>& Rows,
                        const std::vector<bool>& Right);

// A JSON string literal of 8-bit text in the code page of names, as UTF-8.
std::string JsonString(const std::string& Text);
// The shortest text that reads back as the same double; null for NaN and infinities.
std::string JsonNumber(double Value);

}  // namespace varn::cli
