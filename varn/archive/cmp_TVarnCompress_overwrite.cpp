// The overwrite decision for an existing target, and its comparing rules.
#include <varn/archive/cmp_TVarnCompress.h>
#include <varn/framework/DateTime.h>
#include <varn/support/PathHelpers.h>
#include <varn/versioninfo/cmp_TVersion.h>

namespace varn {

namespace {

// The archived version against the existing file's: 0 same, 1 archived newer, 2 older.
uint8_t CompareWithExisting(const std::string& ArchivedVersion, const std::string& Target) {
  // Library users that never started the shared instance get it here.
  if (!VersionResource) CreateVersionResource();
  VersionResource->SetFileName(Target);
  return CompareVersionStrings(ArchivedVersion, VersionResource->VersionInfo().FileVersion);
}

}  // namespace

bool TVarnCompress::OverwriteDecision(const std::string& Target) {
  switch (Overwrite) {
    case owAlways:
      return true;
    case owNever:
      return !IsExistingFile(Target);
    case owVersion:
      return NewerByVersion(Target);
    case owDate:
      return NewerByDate(Target);
    case owVersionDate:
      return NewerByVersionDate(Target);
  }
  throw Exception("Overwrite flag is not in [owNever,owAlways,owVersion,owDate,owVersionDate]");
}

bool TVarnCompress::NewerByDate(const std::string& Target) {
  // An unreadable time stays -1, which the conversion below rejects.
  int32_t Age = -1;
  try {
    TFileStream Existing(Target, TFileMode::fmOpenReadShared);
    Age = Existing.GetFileDate();
  } catch (const EFOpenError&) {
  }
  return FileDateToDateTime(Age) < FCurrentHeader->Record.FileDate();
}

bool TVarnCompress::NewerByVersion(const std::string& Target) {
  return CompareWithExisting(FCurrentHeader->Record.Version(), Target) == 1;
}

bool TVarnCompress::NewerByVersionDate(const std::string& Target) {
  switch (CompareWithExisting(FCurrentHeader->Record.Version(), Target)) {
    case 0:
      return NewerByDate(Target);
    case 1:
      return true;
    default:
      return false;
  }
}

}  // namespace varn
