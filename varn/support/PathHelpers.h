#pragma once
// Stateless path, file, directory and version-string routines. Paths are Windows paths: the
// backslash is the only separator, and the splitting routines also stop at a colon (a drive
// prefix counts as a directory part). Everything works on single bytes, case-sensitively.
// No routine throws or reports a failure other than through its result.
#include <cstdint>
#include <string>

namespace varn {

// The path with a backslash appended, unless it is empty or already ends in one.
std::string AddBackslash(const std::string& Path);

// The path without its last character when that is a backslash (exactly one is removed, so a
// drive root "C:\" becomes "C:" and a lone "\" becomes empty).
std::string RemoveBackslash(const std::string& Path);

// Everything up to and including the last '\' or ':'; empty when there is none.
std::string DirectoryPart(const std::string& Path);

// Everything after the last '\' or ':', cut to its first 255 characters.
std::string FileNamePart(const std::string& Path);

// The path with its extension (from the last '.' after the last separator) replaced by
// Extension, which carries its own dot; a path without extension gets Extension appended.
std::string ReplaceExtension(const std::string& Path, const std::string& Extension);

// True when a search for the path (wildcards act as wildcards) finds an entry that is not a
// directory and whose local last-write time fits the packed date form (years 1980 to 2107).
bool IsExistingFile(const std::string& Path);

// True when the path's attributes can be read and carry the directory attribute.
bool IsExistingDirectory(const std::string& Path);

// Creates the directory and its missing parents, outermost first. Components shorter than
// three characters (a drive such as "C:") are never created; failures are silently skipped.
void CreateDirectoryChain(const std::string& Directory);

// The Index-th field (1-based; 0 or below gives the first) of Text, fields separated by
// Delimiter; empty for a field that is missing or empty.
std::string GetDelimitedField(const std::string& Text, int32_t Index, const std::string& Delimiter);

// Compares dotted version strings field by field, each field as text (so "10" < "9"):
// 0 when the same, 1 when First is newer, 2 when First is older. An empty field ends a string.
uint8_t CompareVersionStrings(const std::string& First, const std::string& Second);

}  // namespace varn
