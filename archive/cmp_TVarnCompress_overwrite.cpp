// The overwrite decision for an existing target, and its comparing rules.
#include "archive/cmp_TVarnCompress.h"
#include "framework/DateTime.h"
#include "support/PathHelpers.h"

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

// TEMPORARY until the version reader lands.
bool TVarnCompress::NewerByVersion(const std::string&) {
  throw Exception("Version comparison is not available");
}
bool TVarnCompress::NewerByVersionDate(const std::string&) {
  throw Exception("Version comparison is not available");
}
