#pragma once
// Where an archived file may be written: the one place that decides it. An archived name
// never places a file outside the extraction directory.
#include <string>

namespace varn {

// The name an archived file is written under: the part after the last '\' or ':' (and, since
// Windows takes it as a separator too, after the last '/'), at most 255 characters.
std::string TargetFileName(const std::string& Name);

// False for a name that would not be a file of its own in the extraction directory: empty,
// only blanks and dots ("." and ".." among them), holding a separator or a NUL (the OS would
// see only the part before it, which is not the name checked here), or a Windows device name
// (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, and COM and LPT with a superscript 1, 2 or 3 in
// code page 1252, with or without an extension, in any letter case, trailing blanks and dots
// ignored).
bool IsSafeTargetName(const std::string& Name);

// Which rule of IsSafeTargetName the name breaks, as the end of a sentence about it ("is a
// Windows device name"); nullptr when it breaks none.
const char* TargetNameProblem(const std::string& Name);

// Why a catalogue entry of this name could never be extracted, on Windows too, as the end of a
// sentence about it; empty when it can be. The part that extraction keeps (TargetFileName) must
// pass IsSafeTargetName and may not end in a dot or a blank (Windows drops them, so "a.txt." is
// written as "a.txt"), and the whole name may hold no control character, no '/' (the OS of the
// extracting machine may take it for a separator), none of < > " | ? * (Windows allows none in
// a name) and no ';' (an entry is looked up by the text before its first ';', so a name holding
// one is never found). For packing only: extraction applies IsSafeTargetName alone.
std::string ArchivedNameProblem(const std::string& Name);

}  // namespace varn
