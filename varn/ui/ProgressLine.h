#pragma once
// The progress bar of the terminal front ends (the Linux loader, varn), drawn alike by both.
#include <string>

namespace varn {

// One line "[#########---------]  42%  NAME" that takes at most Columns - 1 columns, so that a
// terminal never wraps it: the bar narrows (from 40 marks to 10 at least, keeping 20 columns for
// NAME whether there is one or not) and NAME is cut at its start, between characters, "..."
// marking the cut, or left out when there is no room. Percent is clamped to 0..100; Columns of
// 0 means the usual 80. NAME is native text (as platform::NativeText gives it).
std::string ProgressLine(int Percent, const std::string& Name, int Columns);

}  // namespace varn
