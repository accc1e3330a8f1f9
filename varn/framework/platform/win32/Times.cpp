#include <varn/framework/platform/PackedDateTime.h>
#include <varn/framework/platform/Platform.h>
#include <varn/framework/platform/win32/Win32.h>

namespace varn::platform {

using win32::FromWin32;
using win32::ToWin32;

bool FileTimeToLocalFileTime(const FileTime& Universal, FileTime& Local) {
  const FILETIME In = ToWin32(Universal);
  FILETIME Out;
  if (!::FileTimeToLocalFileTime(&In, &Out)) return false;
  Local = FromWin32(Out);
  return true;
}

bool LocalFileTimeToFileTime(const FileTime& Local, FileTime& Universal) {
  const FILETIME In = ToWin32(Local);
  FILETIME Out;
  if (!::LocalFileTimeToFileTime(&In, &Out)) return false;
  Universal = FromWin32(Out);
  return true;
}

bool FileTimeToDosDateTime(const FileTime& Time, uint16_t& FatDate, uint16_t& FatTime) {
  const FILETIME In = ToWin32(Time);
  // Wine packs years past 2107 by dropping bits instead of failing as Windows does.
  SYSTEMTIME Fields;
  if (!FileTimeToSystemTime(&In, &Fields) || Fields.wYear > LastPackedYear) return false;
  WORD Date = 0, Clock = 0;
  if (!::FileTimeToDosDateTime(&In, &Date, &Clock)) return false;
  FatDate = Date;
  FatTime = Clock;
  return true;
}

bool DosDateTimeToFileTime(uint16_t FatDate, uint16_t FatTime, FileTime& Time) {
  FILETIME Out;
  if (!IsValidDosDateTime(FatDate, FatTime) || !::DosDateTimeToFileTime(FatDate, FatTime, &Out))
    return false;
  Time = FromWin32(Out);
  return true;
}

}  // namespace varn::platform
