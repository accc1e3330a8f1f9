#pragma once
// The packed date and time of file allocation tables, checked the same way by every backend:
// Windows versions (and Wine) differ in what they let through, the program must not.
#include <cstdint>

namespace varn::platform {

constexpr int32_t FirstPackedYear = 1980;
constexpr int32_t LastPackedYear = 2107;

// True when FatDate and FatTime name a real date and time (month 1 to 12, a day the month
// has, hour below 24, minute below 60, seconds below 60).
inline bool IsValidDosDateTime(uint16_t FatDate, uint16_t FatTime) {
  const int32_t Year = (FatDate >> 9) + FirstPackedYear, Month = (FatDate >> 5) & 15,
                Day = FatDate & 31;
  const int32_t Hour = FatTime >> 11, Minute = (FatTime >> 5) & 63, Second = (FatTime & 31) * 2;
  static constexpr int32_t DaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (Month < 1 || Month > 12 || Day < 1 || Hour > 23 || Minute > 59 || Second > 59) return false;
  const bool Leap = Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0);
  return Day <= DaysInMonth[Month - 1] + (Month == 2 && Leap ? 1 : 0);
}

}  // namespace varn::platform
