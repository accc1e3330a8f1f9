#include "tools/varn/Cli.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <optional>

#include <varn/framework/Exceptions.h>
#include <varn/framework/platform/Platform.h>
#include <varn/support/PathHelpers.h>

namespace varn::cli {

int64_t ParseSize(const std::string& Option, const std::string& Text) {
  const auto Bad = [&] {
    return UsageError("option " + Option +
                      " needs a number of bytes, optionally followed by k, m or g (units of "
                      "1024, 1024k, 1024m), not \"" +
                      Text + "\"");
  };
  int64_t Value = 0;
  const char* End = Text.data() + Text.size();
  const auto [Stop, Error] = std::from_chars(Text.data(), End, Value);
  if (Error != std::errc() || Stop == Text.data() || Text[0] == '-') throw Bad();
  int64_t Unit = 1;
  const std::string Suffix(Stop, End);
  if (Suffix.size() > 1) throw Bad();
  if (Suffix.size() == 1) {
    const size_t Power = std::string("kmg").find(static_cast<char>(Suffix[0] | 0x20));
    if (Power == std::string::npos) throw Bad();
    Unit = int64_t{1} << (10 * (Power + 1));
  }
  if (Value > std::numeric_limits<int64_t>::max() / Unit) throw Bad();
  if (Value == 0) throw UsageError("option " + Option + " needs a size of at least 1 byte");
  return Value * Unit;
}

void UseCodePage(const ParsedArguments& Parsed) {
  const std::optional<std::string> Value = Parsed.Value("--codepage");
  if (!Value) return;
  uint32_t CodePage = 0;
  const auto [Stop, Error] =
      std::from_chars(Value->data(), Value->data() + Value->size(), CodePage);
  if (Error != std::errc() || Stop != Value->data() + Value->size() ||
      !platform::SetNameCodePage(CodePage))
    throw UsageError(
        "option --codepage needs the number of a single-byte Windows code page that this "
        "system can convert (1252, 1250, 1251, 437, ...), not \"" +
        *Value + "\"");
}

std::string ShownName(const std::string& Name) {
  return platform::NativeText(Name, platform::ControlCharacters::Escaped);
}

void CreateOutputDirectory(const std::string& Directory) {
  // Windows takes '/' for a separator too, and the user may have typed it there.
  const auto Separator = [](char C) { return C == '\\' || C == '/'; };
  std::string Dir = Directory;
  while (Dir.size() > 1 && Separator(Dir.back()))
    Dir.pop_back();
  // The part that is never created: a root "\", a drive "C:" or "C:\", a share "\\host\share".
  size_t Start = 0;
  if (Dir.size() >= 2 && Separator(Dir[0]) && Separator(Dir[1])) {
    const auto Share = std::find_if(Dir.begin() + 2, Dir.end(), Separator);
    Start = static_cast<size_t>(
        std::find_if(Share == Dir.end() ? Share : Share + 1, Dir.end(), Separator) - Dir.begin());
  } else if (Dir.size() >= 2 && Dir[1] == ':') {
    Start = Dir.size() > 2 && Separator(Dir[2]) ? 3 : 2;
  } else if (!Dir.empty() && Separator(Dir[0])) {
    Start = 1;
  }
  for (size_t End = Start; End < Dir.size();) {
    End = static_cast<size_t>(std::find_if(Dir.begin() + End + 1, Dir.end(), Separator) -
                              Dir.begin());
    const std::string Part = Dir.substr(0, End);
    if (IsExistingDirectory(Part)) continue;
    if (!platform::CreateDirectory(Part) && !IsExistingDirectory(Part))
      throw Exception("Could not create the directory " + platform::NativePath(Part));
  }
}

namespace {
bool KeepWorking = false;
bool OutputGone = false;
}  // namespace

void Print(const std::string& Text, bool Utf8) {
  if (OutputGone) return;
  // A report on work under way is shown as it comes; a flush that fails because the reader has
  // gone is found here, not at the end, where it would look like a failure of the work.
  if (platform::WriteText(platform::StandardStream::Output, Text, Utf8) &&
      (!KeepWorking || std::fflush(stdout) == 0))
    return;
  // main reports other failures once stdout is flushed.
  if (!platform::LastWriteHadNoReader()) return;
  OutputGone = true;
  if (!KeepWorking) platform::EndAsOutputClosed();
}

void KeepWorkingWithoutOutput() {
  KeepWorking = true;
}

bool OutputClosed() {
  if (!OutputGone && std::fflush(stdout) != 0 && platform::LastWriteHadNoReader())
    OutputGone = true;
  if (OutputGone && !KeepWorking) platform::EndAsOutputClosed();
  return OutputGone;
}

void Note(const std::string& Message) {
  std::fflush(stdout);
  platform::WriteText(platform::StandardStream::Error, "varn: " + Message + "\n");
}

void Tell(const std::string& Message) {
  std::fflush(stdout);
  if (platform::IsTerminal(platform::StandardStream::Error))
    platform::WriteText(platform::StandardStream::Error, Message + "\n");
}

std::string HumanSize(int64_t Bytes) {
  if (Bytes < 1024) return std::to_string(Bytes) + " B";
  static const char* const Units[] = {"KiB", "MiB", "GiB", "TiB"};
  double Value = static_cast<double>(Bytes) / 1024;
  size_t Unit = 0;
  // Rounded as shown, so that 1023.97 KiB reads 1.0 MiB rather than 1024 KiB.
  while (Unit + 1 < std::size(Units) && std::round(Value) >= 1024) {
    Value /= 1024;
    ++Unit;
  }
  char Text[32];
  std::snprintf(Text, sizeof Text, Value < 9.95 ? "%.1f %s" : "%.0f %s", Value, Units[Unit]);
  return Text;
}

size_t TextWidth(const std::string& Text) {
  return platform::NativeTextWidth(Text);
}

std::string FormatTable(const std::vector<std::vector<std::string>>& Rows,
                        const std::vector<bool>& Right) {
  std::vector<size_t> Widths;
  for (const auto& Row : Rows)
    for (size_t C = 0; C < Row.size(); ++C) {
      if (Widths.size() <= C) Widths.push_back(0);
      Widths[C] = std::max(Widths[C], TextWidth(Row[C]));
    }
  std::string Out;
  for (const auto& Row : Rows) {
    std::string Line;
    for (size_t C = 0; C < Row.size(); ++C) {
      if (C) Line += "  ";
      const std::string Pad(Widths[C] - TextWidth(Row[C]), ' ');
      Line += C < Right.size() && Right[C] ? Pad + Row[C] : Row[C] + Pad;
    }
    while (!Line.empty() && Line.back() == ' ')
      Line.pop_back();
    Out += Line + "\n";
  }
  return Out;
}

std::string JsonString(const std::string& Text) {
  std::string Out = "\"";
  for (const char Ch : platform::Utf8Text(Text)) {
    const auto C = static_cast<unsigned char>(Ch);
    if (C == '"' || C == '\\') {
      Out += '\\';
      Out += static_cast<char>(C);
    } else if (C == '\n') {
      Out += "\\n";
    } else if (C == '\t') {
      Out += "\\t";
    } else if (C < 0x20 || C == 0x7F) {
      char Escape[8];
      std::snprintf(Escape, sizeof Escape, "\\u%04x", C);
      Out += Escape;
    } else {
      Out += static_cast<char>(C);
    }
  }
  return Out + "\"";
}

std::string JsonNumber(double Value) {
  if (!std::isfinite(Value)) return "null";
  char Text[64];
  const auto Result = std::to_chars(Text, Text + sizeof Text, Value);
  return std::string(Text, Result.ptr);
}

}  // namespace varn::cli
