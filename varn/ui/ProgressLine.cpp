#include <varn/ui/ProgressLine.h>

#include <algorithm>

#include <varn/framework/platform/Platform.h>

namespace varn {

std::string ProgressLine(int Percent, const std::string& Name, int Columns) {
  constexpr int WidestBar = 40, NarrowestBar = 10, ShortestName = 20;
  Percent = std::clamp(Percent, 0, 100);
  // "[", "] ", "100", "%" around the marks.
  constexpr int Frame = 7;
  const int Room = (Columns > 0 ? Columns : 80) - 1;
  // The same width for every name, so that the bar does not jump from file to file.
  const int Marks = std::clamp(Room - Frame - 2 - ShortestName, NarrowestBar, WidestBar);
  const int Filled = Percent * Marks / 100;
  const std::string Number = std::to_string(Percent);
  std::string Line = "[" + std::string(Filled, '#') + std::string(Marks - Filled, '-') + "] " +
                     std::string(3 - Number.size(), ' ') + Number + "%";
  if (static_cast<int>(Line.size()) > Room) return Number + "%";
  const int Left = Room - static_cast<int>(Line.size()) - 2;
  if (Name.empty() || Left < 4) return Line;
  const auto Width = [](const std::string& Text) {
    return static_cast<int>(platform::NativeTextWidth(Text));
  };
  if (Width(Name) <= Left) return Line + "  " + Name;
  // Cut at the start, whole characters: a byte that takes no column belongs to the one before.
  size_t Start = 0;
  while (Start < Name.size() &&
         (Width(Name.substr(Start)) > Left - 3 || Width(Name.substr(Start, 1)) == 0))
    ++Start;
  return Line + "  ..." + Name.substr(Start);
}

}  // namespace varn
