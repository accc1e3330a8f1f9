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

bool IsSafeTargetName(const std::string& Name) {
  // Windows drops trailing blanks and dots from a name, so ". ." is ".." there.
  const size_t Kept = Name.find_last_not_of(" .");
  if (Kept == std::string::npos) return false;
  if (Name.find_first_of(std::string_view("\\/:\0", 4)) != std::string::npos) return false;
  // Windows opens the device for "nul", "NUL.txt" and "nul  .x" alike.
  std::string Base = Name.substr(0, Name.find('.'));
  while (!Base.empty() && (Base.back() == ' ' || Base.back() == '.'))
    Base.pop_back();
  std::transform(Base.begin(), Base.end(), Base.begin(), UpperAscii);
  static constexpr std::array<std::string_view, 4> Plain = {"CON", "PRN", "AUX", "NUL"};
  if (std::find(Plain.begin(), Plain.end(), Base) != Plain.end()) return false;
  const bool Numbered =
      Base.size() == 4 && (Base.compare(0, 3, "COM") == 0 || Base.compare(0, 3, "LPT") == 0);
  if (!Numbered) return true;
  // Windows also takes the superscript digits of code page 1252 as port numbers.
  const auto Digit = static_cast<unsigned char>(Base[3]);
  return !((Digit >= '1' && Digit <= '9') || Digit == 0xB9 || Digit == 0xB2 || Digit == 0xB3);
}

}  // namespace varn
