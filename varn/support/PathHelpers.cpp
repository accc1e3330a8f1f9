#include <varn/support/PathHelpers.h>

#include <varn/framework/platform/Platform.h>

namespace varn {

namespace {

bool IsSeparator(char C) {
  return C == '\\' || C == ':';
}

// Index of the last '\' or ':', or npos.
size_t LastSeparator(const std::string& Path) {
  for (size_t I = Path.size(); I > 0; --I)
    if (IsSeparator(Path[I - 1])) return I - 1;
  return std::string::npos;
}

}  // namespace

std::string AddBackslash(const std::string& Path) {
  if (Path.empty() || Path.back() == '\\') return Path;
  return Path + '\\';
}

std::string RemoveBackslash(const std::string& Path) {
  if (Path.empty() || Path.back() != '\\') return Path;
  return Path.substr(0, Path.size() - 1);
}

std::string DirectoryPart(const std::string& Path) {
  const size_t Separator = LastSeparator(Path);
  return Separator == std::string::npos ? std::string() : Path.substr(0, Separator + 1);
}

std::string FileNamePart(const std::string& Path) {
  const size_t Separator = LastSeparator(Path);
  const size_t Start = Separator == std::string::npos ? 0 : Separator + 1;
  return Path.substr(Start, 255);
}

std::string ReplaceExtension(const std::string& Path, const std::string& Extension) {
  for (size_t I = Path.size(); I > 0; --I) {
    const char C = Path[I - 1];
    if (C == '.') return Path.substr(0, I - 1) + Extension;
    if (IsSeparator(C)) break;
  }
  return Path + Extension;
}

bool IsExistingFile(const std::string& Path) {
  const auto Entry = platform::FindEntry(Path);
  if (!Entry || (Entry->Attributes & platform::AttributeDirectory)) return false;
  // The outcome of the local-time conversion is not looked at: on failure the packing below
  // judges the unconverted time.
  platform::FileTime Local = Entry->LastWriteTime;
  platform::FileTimeToLocalFileTime(Entry->LastWriteTime, Local);
  uint16_t FatDate, FatTime;
  return platform::FileTimeToDosDateTime(Local, FatDate, FatTime);
}

bool IsExistingDirectory(const std::string& Path) {
  const auto Attributes = platform::FileAttributes(Path);
  return Attributes && (*Attributes & platform::AttributeDirectory);
}

void CreateDirectoryChain(const std::string& Directory) {
  const std::string Dir = RemoveBackslash(Directory);
  if (Dir.size() < 3 || IsExistingDirectory(Dir)) return;
  // A path ending in a colon ("ab:") would be its own parent; the climb ends there.
  if (Dir.back() != ':') CreateDirectoryChain(DirectoryPart(Dir));
  platform::CreateDirectory(Dir);
}

std::string GetDelimitedField(const std::string& Text, int32_t Index,
                              const std::string& Delimiter) {
  std::string Rest = Text;
  for (int32_t I = 1; I < Index; ++I) {
    const size_t Found = Rest.find(Delimiter);
    if (Found == std::string::npos || Delimiter.empty()) return std::string();
    // Deletes up to and including the first character of the delimiter.
    Rest.erase(0, Found + 1);
  }
  const size_t Found = Delimiter.empty() ? std::string::npos : Rest.find(Delimiter);
  return Found == std::string::npos ? Rest : Rest.substr(0, Found);
}

uint8_t CompareVersionStrings(const std::string& First, const std::string& Second) {
  int32_t Field = 1;
  std::string A = GetDelimitedField(First, Field, ".");
  std::string B = GetDelimitedField(Second, Field, ".");
  while (!A.empty() && !B.empty()) {
    // std::string compares char_traits<char>, which orders bytes as unsigned values.
    const int Order = A.compare(B);
    if (Order < 0) return 2;
    if (Order > 0) return 1;
    ++Field;
    A = GetDelimitedField(First, Field, ".");
    B = GetDelimitedField(Second, Field, ".");
  }
  if (A.empty() && B.empty()) return 0;
  return B.empty() ? 1 : 2;
}

}  // namespace varn
