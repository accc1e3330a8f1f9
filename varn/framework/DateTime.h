#pragma once
// Date and time values of the run-time library: TDateTime counts days since 30 December 1899,
// the fraction being the time of day, local time.
#include <cstdint>
#include <string>

#include <varn/framework/platform/Platform.h>

namespace varn {

using TDateTime = double;

// EConvertError "Invalid argument to date encode" for a date outside 1/1/1 to 31/12/9999.
TDateTime EncodeDate(uint16_t Year, uint16_t Month, uint16_t Day);
// EConvertError "Invalid argument to time encode" for an hour above 23, and so on.
TDateTime EncodeTime(uint16_t Hour, uint16_t Min, uint16_t Sec, uint16_t MSec);
bool TryEncodeDate(uint16_t Year, uint16_t Month, uint16_t Day, TDateTime& Result);
bool TryEncodeTime(uint16_t Hour, uint16_t Min, uint16_t Sec, uint16_t MSec, TDateTime& Result);

struct TDecodedDateTime {
  int32_t Year = 0;
  uint16_t Month = 0, Day = 0, Hour = 0, Min = 0, Sec = 0, MSec = 0;
};
// Splits a value, rounded to the millisecond; false for a value that names no day between the
// years 1 and 9999 (NaN and infinities included).
bool DecodeDateTime(TDateTime Value, TDecodedDateTime& Result);

// The packed date and time of file allocation tables (date in the high 16 bits, seconds
// halved and rounded down); 0 for a year before 1980 or after 2099, or a value that names no
// date at all.
int32_t DateTimeToFileDate(TDateTime Value);
// The inverse; EConvertError "Invalid argument to date encode" when the date half is no date
// (so the -1 of an unreadable file time fails), "... time encode" when the time half is none.
TDateTime FileDateToDateTime(int32_t FileDate);

// A file time taken as local time (as FileTimeToLocalFileTime gives it) as a TDateTime, to the
// full precision of a double: whole days since 30 December 1899, the time of day as the
// fraction (for days before that date the fraction is subtracted, as the run-time library
// counts them).
TDateTime FileTimeToDateTime(const platform::FileTime& Local);

// "YYYY-MM-DD HH:MM:SS", the value rounded to the millisecond and then truncated to the second;
// empty for a value that names no day (DecodeDateTime).
std::string FormatDateTime(TDateTime Value);

}  // namespace varn
