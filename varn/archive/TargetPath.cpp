#include <varn/archive/TargetPath.h>

#include <algorithm>
#include <array>
#include <string_view>

#include <varn/support/PathHelpers.h>
#include <varn/support/Text.h>

namespace varn {

std::string TargetFileName(const std::string& Name) {
  std::string Result = FileNamePart(Name);
  const size_t Slash = Result.rfind('/');
  if (Slash != std::string::npos) Result.erase(0, Slash + 1);
  return Result;
}

const char* TargetNameProblem(const std::string& Name) {
  // Windows drops trailing blanks and dots from a name, so ". ." is ".." there.
  const size_t Kept = Name.find_last_not_of(" .");
  if (Kept == std::string::npos) return "is empty or only blanks and dots";
  if (Name.find_first_of(std::string_view("\\/:\0", 4)) != std::string::npos)
    return "holds a separator or a NUL";
  // Windows opens the device for "nul", "NUL.txt" and "nul  .x" alike.
  std::string Base = Name.substr(0, Name.find('.'));
  while (!Base.empty() && (Base.back() == ' ' || Base.back() == '.'))
    Base.pop_back();
  std::transform(Base.begin(), Base.end(), Base.begin(), UpperAscii);
  static constexpr std::array<std::string_view, 4> Plain = {"CON", "PRN", "AUX", "NUL"};
  constexpr const char* Device = "is a Windows device name";
  if (std::find(Plain.begin(), Plain.end(), Base) != Plain.end()) return Device;
  const bool Numbered =
      Base.size() == 4 && (Base.compare(0, 3, "COM") == 0 || Base.compare(0, 3, "LPT") == 0);
  if (!Numbered) return nullptr;
  // Windows also takes the superscript digits of code page 1252 as port numbers.
  const auto Digit = static_cast<unsigned char>(Base[3]);
  const bool Port =
      (Digit >= '1' && Digit <= '9') || Digit == 0xB9 || Digit == 0xB2 || Digit == 0xB3;
  return Port ? Device : nullptr;
}

bool IsSafeTargetName(const std::string& Name) {
  return TargetNameProblem(Name) == nullptr;
}

std::string ArchivedNameProblem(const std::string& Name) {
  for (const char C : Name) {
    const auto Code = static_cast<unsigned char>(C);
    if (Code < 32 || Code == 127)
      return "it holds a control character (code " + std::to_string(Code) + ")";
  }
  if (Name.find('/') != std::string::npos)
    return "it holds a /, which Windows takes for a separator";
  if (Name.find(';') != std::string::npos)
    return "it holds a ;, and an entry is looked up by the text before its first ;";
  const std::string Kept = TargetFileName(Name);
  const std::string It =
      Kept == Name ? "it " : "the part that extraction keeps, \"" + Kept + "\", ";
  if (const char* Problem = TargetNameProblem(Kept)) return It + Problem;
  // What Windows cannot create, or creates under another name.
  const size_t Reserved = Name.find_first_of("<>\"|?*");
  if (Reserved != std::string::npos)
    return std::string("it holds a ") + Name[Reserved] + ", which Windows does not allow in a name";
  if (Kept.back() == '.') return It + "ends in a dot, which Windows drops from a name";
  if (Kept.back() == ' ') return It + "ends in a blank, which Windows drops from a name";
  return std::string();
}

}  // namespace varn
