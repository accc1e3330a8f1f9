#include <time.h>

#include <varn/framework/platform/PackedDateTime.h>
#include <varn/framework/platform/Platform.h>

namespace varn::platform {
namespace {

constexpr int64_t TicksPerSecond = 10000000;
constexpr int64_t SecondsFrom1601To1970 = 11644473600;
constexpr int64_t SecondsPerDay = 86400;

// Days since 1 January 1970 of a date in the proleptic Gregorian calendar, and back.
int64_t DaysFromCivil(int64_t Year, int64_t Month, int64_t Day) {
  Year -= Month <= 2;
  const int64_t Era = (Year >= 0 ? Year : Year - 399) / 400;
  const int64_t YearOfEra = Year - Era * 400;
  const int64_t DayOfYear = (153 * (Month + (Month > 2 ? -3 : 9)) + 2) / 5 + Day - 1;
  const int64_t DayOfEra = YearOfEra * 365 + YearOfEra / 4 - YearOfEra / 100 + DayOfYear;
  return Era * 146097 + DayOfEra - 719468;
}

void CivilFromDays(int64_t Days, int64_t& Year, int64_t& Month, int64_t& Day) {
  Days += 719468;
  const int64_t Era = (Days >= 0 ? Days : Days - 146096) / 146097;
  const int64_t DayOfEra = Days - Era * 146097;
  const int64_t YearOfEra =
      (DayOfEra - DayOfEra / 1460 + DayOfEra / 36524 - DayOfEra / 146096) / 365;
  const int64_t DayOfYear = DayOfEra - (365 * YearOfEra + YearOfEra / 4 - YearOfEra / 100);
  const int64_t MonthIndex = (5 * DayOfYear + 2) / 153;
  Day = DayOfYear - (153 * MonthIndex + 2) / 5 + 1;
  Month = MonthIndex < 10 ? MonthIndex + 3 : MonthIndex - 9;
  Year = YearOfEra + Era * 400 + (Month <= 2);
}

int64_t UnixSeconds(const FileTime& Time) {
  return static_cast<int64_t>(Time.Ticks / TicksPerSecond) - SecondsFrom1601To1970;
}

bool FromUnixSeconds(int64_t Seconds, uint64_t Fraction, FileTime& Time) {
  const int64_t Since1601 = Seconds + SecondsFrom1601To1970;
  if (Since1601 < 0 || Since1601 > INT64_MAX / TicksPerSecond - 1) return false;
  Time.Ticks = static_cast<uint64_t>(Since1601) * TicksPerSecond + Fraction;
  return true;
}

}  // namespace

bool FileTimeToLocalFileTime(const FileTime& Universal, FileTime& Local) {
  const time_t Seconds = static_cast<time_t>(UnixSeconds(Universal));
  tm Broken;
  if (!localtime_r(&Seconds, &Broken)) return false;
  return FromUnixSeconds(UnixSeconds(Universal) + Broken.tm_gmtoff,
                         Universal.Ticks % TicksPerSecond, Local);
}

bool LocalFileTimeToFileTime(const FileTime& Local, FileTime& Universal) {
  const int64_t LocalSeconds = UnixSeconds(Local);
  int64_t Year, Month, Day;
  CivilFromDays(LocalSeconds >= 0 ? LocalSeconds / SecondsPerDay
                                  : (LocalSeconds - SecondsPerDay + 1) / SecondsPerDay,
                Year, Month, Day);
  const int64_t SecondOfDay = LocalSeconds - DaysFromCivil(Year, Month, Day) * SecondsPerDay;
  if (Year < 1 || Year > 30000) return false;
  tm Broken{};
  Broken.tm_year = static_cast<int>(Year - 1900);
  Broken.tm_mon = static_cast<int>(Month - 1);
  Broken.tm_mday = static_cast<int>(Day);
  Broken.tm_hour = static_cast<int>(SecondOfDay / 3600);
  Broken.tm_min = static_cast<int>(SecondOfDay / 60 % 60);
  Broken.tm_sec = static_cast<int>(SecondOfDay % 60);
  Broken.tm_isdst = -1;
  const time_t Seconds = mktime(&Broken);
  if (Seconds == static_cast<time_t>(-1) && LocalSeconds != -1) return false;
  return FromUnixSeconds(Seconds, Local.Ticks % TicksPerSecond, Universal);
}

bool FileTimeToDosDateTime(const FileTime& Time, uint16_t& FatDate, uint16_t& FatTime) {
  const auto Seconds = static_cast<int64_t>(Time.Ticks / TicksPerSecond) - SecondsFrom1601To1970;
  const int64_t Days =
      Seconds >= 0 ? Seconds / SecondsPerDay : (Seconds - SecondsPerDay + 1) / SecondsPerDay;
  const int64_t SecondOfDay = Seconds - Days * SecondsPerDay;
  int64_t Year, Month, Day;
  CivilFromDays(Days, Year, Month, Day);
  if (Year < FirstPackedYear || Year > LastPackedYear) return false;
  FatDate = static_cast<uint16_t>(((Year - 1980) << 9) | (Month << 5) | Day);
  FatTime = static_cast<uint16_t>(((SecondOfDay / 3600) << 11) | ((SecondOfDay / 60 % 60) << 5) |
                                  (SecondOfDay % 60 / 2));
  return true;
}

bool DosDateTimeToFileTime(uint16_t FatDate, uint16_t FatTime, FileTime& Time) {
  const int64_t Year = (FatDate >> 9) + 1980, Month = (FatDate >> 5) & 15, Day = FatDate & 31;
  const int64_t Hour = FatTime >> 11, Minute = (FatTime >> 5) & 63, Second = (FatTime & 31) * 2;
  if (!IsValidDosDateTime(FatDate, FatTime)) return false;
  return FromUnixSeconds(
      DaysFromCivil(Year, Month, Day) * SecondsPerDay + Hour * 3600 + Minute * 60 + Second, 0,
      Time);
}

}  // namespace varn::platform
