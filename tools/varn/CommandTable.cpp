#include "tools/varn/CommandTable.h"

#include <algorithm>

namespace varn::cli {

namespace {

// The help text's lines are at most this long, as its hand-wrapped paragraphs are.
constexpr size_t HelpWidth = 91;

const Option* FindLong(const Command& C, std::string_view Long) {
  for (const Option& O : C.Options)
    if (Long == O.Long) return &O;
  return nullptr;
}

const Option* FindShort(const Command& C, char Short) {
  for (const Option& O : C.Options)
    if (O.Short != 0 && O.Short == Short) return &O;
  return nullptr;
}

// Adds one occurrence of O, refusing a second one of an option that does not repeat.
void Give(std::vector<std::pair<const Option*, std::string>>& Given, const Option& O,
          std::string Value) {
  if (!O.Repeatable &&
      std::any_of(Given.begin(), Given.end(), [&](const auto& G) { return G.first == &O; }))
    throw UsageError(std::string("option ") + O.Long + " given twice");
  Given.emplace_back(&O, std::move(Value));
}

// "  -o, --output FILE" or "  --volume-size SIZE".
std::string OptionColumn(const Option& O) {
  std::string Text = "  ";
  if (O.Short) Text += std::string("-") + O.Short + ", ";
  Text += O.Long;
  if (O.Value) Text += std::string(" ") + O.Value;
  return Text;
}

// Text broken into lines of at most Width characters at blanks, the first line after Lead and
// the others indented by Lead's width.
std::string Wrapped(const std::string& Lead, const std::string& Text, size_t Width) {
  std::string Out = Lead, Line;
  const std::string Indent(Lead.size(), ' ');
  size_t Start = 0;
  while (Start < Text.size()) {
    size_t End = Text.find(' ', Start);
    if (End == std::string::npos) End = Text.size();
    const std::string Word = Text.substr(Start, End - Start);
    Start = End + 1;
    if (Word.empty()) continue;
    if (!Line.empty() && Lead.size() + Line.size() + 1 + Word.size() > Width) {
      Out += Line + "\n" + Indent;
      Line.clear();
    }
    Line += (Line.empty() ? "" : " ") + Word;
  }
  return Out + Line + "\n";
}

}  // namespace

const Option& ParsedArguments::Declared(std::string_view Long) const {
  const Option* O = FCommand ? FindLong(*FCommand, Long) : nullptr;
  if (!O) throw std::logic_error("option " + std::string(Long) + " is not declared");
  return *O;
}

bool ParsedArguments::Has(std::string_view Long) const {
  const Option* O = &Declared(Long);
  return std::any_of(FGiven.begin(), FGiven.end(), [&](const auto& G) { return G.first == O; });
}

std::optional<std::string> ParsedArguments::Value(std::string_view Long) const {
  const Option* O = &Declared(Long);
  if (O->Repeatable || !O->Value)
    throw std::logic_error("option " + std::string(Long) + " has no single value");
  for (const auto& [Given, Value] : FGiven)
    if (Given == O) return Value;
  return std::nullopt;
}

std::vector<std::string> ParsedArguments::Values(std::string_view Long) const {
  const Option* O = &Declared(Long);
  if (!O->Value) throw std::logic_error("option " + std::string(Long) + " takes no value");
  std::vector<std::string> Values;
  for (const auto& [Given, Value] : FGiven)
    if (Given == O) Values.push_back(Value);
  return Values;
}

ParsedArguments ParseArguments(const Command& Chosen, const std::vector<std::string>& Arguments) {
  ParsedArguments Parsed;
  Parsed.FCommand = &Chosen;
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
    if (A[1] != '-') {
      for (size_t L = 1; L < A.size(); ++L) {
        const std::string Short = std::string("-") + A[L];
        const Option* O = FindShort(Chosen, A[L]);
        if (!O) throw UsageError("unknown option " + Short);
        if (!O->Value) {
          Give(Parsed.FGiven, *O, std::string());
          continue;
        }
        if (L + 1 < A.size()) {
          Give(Parsed.FGiven, *O, A.substr(L + 1));
        } else if (I + 1 < Arguments.size()) {
          Give(Parsed.FGiven, *O, Arguments[++I]);
        } else {
          throw UsageError("option " + Short + " needs a value");
        }
        break;
      }
      continue;
    }
    const size_t Equals = A.find('=');
    const std::string Name = A.substr(0, Equals);
    const Option* O = FindLong(Chosen, Name);
    if (!O) throw UsageError("unknown option " + Name);
    if (!O->Value) {
      if (Equals != std::string::npos) throw UsageError("option " + Name + " takes no value");
      Give(Parsed.FGiven, *O, std::string());
    } else if (Equals != std::string::npos) {
      Give(Parsed.FGiven, *O, A.substr(Equals + 1));
    } else if (I + 1 < Arguments.size()) {
      Give(Parsed.FGiven, *O, Arguments[++I]);
    } else {
      throw UsageError("option " + Name + " needs a value");
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

std::string Synopsis(const Command& C) {
  std::string Text = C.Name;
  for (const Option& O : C.Options) {
    Text += std::string(" [") + O.Long;
    if (O.Value) Text += std::string(" ") + O.Value;
    Text += O.Repeatable ? "]..." : "]";
  }
  return *C.Operands ? Text + " " + C.Operands : Text;
}

std::string HelpText(const Command& C) {
  size_t Column = 0;
  for (const Option& O : C.Options)
    Column = std::max(Column, OptionColumn(O).size() + 2);
  std::string Text = C.Description;
  for (const Option& O : C.Options) {
    std::string Lead = OptionColumn(O);
    Lead.resize(Column, ' ');
    Text += Wrapped(Lead, O.Help, HelpWidth);
  }
  return Text + C.Epilogue;
}

}  // namespace varn::cli
