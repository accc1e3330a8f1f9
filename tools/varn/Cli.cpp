#include "tools/varn/Cli.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include <varn/framework/platform/Platform.h>

namespace varn::cli {

ParsedArguments ParseArguments(const std::vector<std::string>& Arguments,
                               const std::set<std::string>& WithValue,
                               const std::set<std::string>& Flags) {
  ParsedArguments Parsed;
  bool OptionsEnded = false;
  for (size_t I = 0; I < Arguments.size(); ++I) {
    const std::string& A = Arguments[I];
    if (OptionsEnded || A.size() < 2 || A[0] != '-') {
      Parsed.Operands.push_back(A);
      continue;
    }
    if (A == "--") {
      OptionsEnded = true;
      continue;
    }
    const size_t Equals = A.find('=');
    const std::string Name = A.substr(0, Equals);
    if (WithValue.count(Name)) {
      if (Equals != std::string::npos) {
        Parsed.Options.emplace_back(Name, A.substr(Equals + 1));
      } else if (I + 1 < Arguments.size()) {
        Parsed.Options.emplace_back(Name, Arguments[++I]);
      } else {
        throw UsageError("option " + Name + " needs a value");
      }
    } else if (Flags.count(Name)) {
      if (Equals != std::string::npos) throw UsageError("option " + Name + " takes no value");
      Parsed.Options.emplace_back(Name, std::string());
    } else {
      throw UsageError("unknown option " + Name);
    }
  }
  return Parsed;
}

bool AsksForHelp(const std::vector<std::string>& Arguments) {
  for (const std::string& A : Arguments) {
    if (A == "--") return false;
    if (A == "--help" || A == "-h") return true;
  }
  return false;
}

int64_t ParseSize(const std::string& Option, const std::string& Text) {
  const auto Bad = [&] {
    return UsageError("option " + Option +
                      " needs a number of bytes, optionally followed by k "
                      "or M, not \"" +
                      Text + "\"");
  };
  int64_t Value = 0;
  const char* End = Text.data() + Text.size();
  const auto [Stop, Error] = std::from_chars(Text.data(), End, Value);
  if (Error != std::errc() || Stop == Text.data() || Text[0] == '-') throw Bad();
  int64_t Unit = 1;
  const std::string Suffix(Stop, End);
  if (Suffix == "k" || Suffix == "K") {
    Unit = 1024;
  } else if (Suffix == "M") {
    Unit = 1024 * 1024;
  } else if (!Suffix.empty()) {
    throw Bad();
  }
  if (Value > std::numeric_limits<int64_t>::max() / Unit) throw Bad();
  if (Value == 0) throw UsageError("option " + Option + " needs a size of at least 1 byte");
  return Value * Unit;
}

void UseCodePage(const ParsedArguments& Parsed) {
  for (const auto& [Option, Value] : Parsed.Options) {
    if (Option != "--codepage") continue;
    uint32_t CodePage = 0;
    const auto [Stop, Error] = std::from_chars(Value.data(), Value.data() + Value.size(), CodePage);
    if (Error != std::errc() || Stop != Value.data() + Value.size() ||
        !platform::SetNameCodePage(CodePage))
      throw UsageError(
          "option --codepage needs the number of a single-byte Windows code page that this "
          "system can convert (1252, 1250, 1251, 437, ...), not \"" +
          Value + "\"");
  }
}

std::string ShownName(const std::string& Name) {
  return platform::NativeText(Name, platform::ControlCharacters::Escaped);
}

void Note(const std::string& Message) {
  if (platform::IsTerminal(platform::StandardStream::Error))
    std::fprintf(stderr, "varn: %s\n", Message.c_str());
}

std::string FormatTable(const std::vector<std::vector<std::string>>& Rows,
                        const std::vector<bool>& Right) {
  std::vector<size_t> Widths;
  for (const auto& Row : Rows)
    for (size_t C = 0; C < Row.size(); ++C) {
      if (Widths.size() <= C) Widths.push_back(0);
      Widths[C] = std::max(Widths[C], platform::NativeTextWidth(Row[C]));
    }
  std::string Out;
  for (const auto& Row : Rows) {
    std::string Line;
    for (size_t C = 0; C < Row.size(); ++C) {
      if (C) Line += "  ";
      const std::string Pad(Widths[C] - platform::NativeTextWidth(Row[C]), ' ');
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
