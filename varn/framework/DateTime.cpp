#include <varn/framework/DateTime.h>

#include <cmath>

#include <varn/framework/Exceptions.h>

namespace varn {

namespace {
constexpr int64_t MSecsPerDay = 86400000;
// Days from 1 January 0001 to 30 December 1899.
constexpr int64_t DateDelta = 693594;

bool IsLeapYear(int32_t Year) {
  return Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0);
}

uint16_t DaysInMonth(int32_t Year, uint16_t Month) {
  static constexpr uint16_t Days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return Month == 2 && IsLeapYear(Year) ? 29 : Days[Month - 1];
}
}  // namespace

bool TryEncodeDate(uint16_t Year, uint16_t Month, uint16_t Day, TDateTime& Result) {
  if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1 ||
      Day > DaysInMonth(Year, Month))
    return false;
  int64_t Days = Day;
  for (uint16_t M = 1; M < Month; ++M)
    Days += DaysInMonth(Year, M);
  const int64_t Y = Year - 1;
  Days += Y * 365 + Y / 4 - Y / 100 + Y / 400;
  Result = static_cast<double>(Days - DateDelta);
  return true;
}

bool TryEncodeTime(uint16_t Hour, uint16_t Min, uint16_t Sec, uint16_t MSec, TDateTime& Result) {
  if (Hour > 23 || Min > 59 || Sec > 59 || MSec > 999) return false;
  const int64_t MSecs = ((Hour * 60 + Min) * 60 + Sec) * 1000 + MSec;
  Result = static_cast<double>(MSecs) / MSecsPerDay;
  return true;
}

TDateTime EncodeDate(uint16_t Year, uint16_t Month, uint16_t Day) {
  TDateTime Result;
  if (!TryEncodeDate(Year, Month, Day, Result))
    throw EConvertError("Invalid argument to date encode");
  return Result;
}

TDateTime EncodeTime(uint16_t Hour, uint16_t Min, uint16_t Sec, uint16_t MSec) {
  TDateTime Result;
  if (!TryEncodeTime(Hour, Min, Sec, MSec, Result))
    throw EConvertError("Invalid argument to time encode");
  return Result;
}

bool DecodeDateTime(TDateTime Value, TDecodedDateTime& Result) {
  // 1 January 0001 and the end of 31 December 9999, in days since the epoch.
  if (!(Value > -693594.0 && Value < 2958466.0)) return false;
  // The whole value is rounded to the millisecond; the integral part names the day and the
  // fraction, taken without its sign, the time, as the run-time library has always done.
  const auto Total = static_cast<int64_t>(std::nearbyint(Value * MSecsPerDay));
  int64_t Days = Total / MSecsPerDay + DateDelta - 1;  // since 1 January 0001, 0-based
  int64_t Time = Total % MSecsPerDay;
  if (Time < 0) Time = -Time;
  if (Days < 0) return false;

  const int64_t Y400 = Days / 146097;
  int64_t D = Days % 146097;
  int64_t Y100 = D / 36524;
  if (Y100 == 4) Y100 = 3;
  D -= Y100 * 36524;
  const int64_t Y4 = D / 1461;
  D %= 1461;
  int64_t Y1 = D / 365;
  if (Y1 == 4) Y1 = 3;
  D -= Y1 * 365;
  const auto Year = static_cast<int32_t>(Y400 * 400 + Y100 * 100 + Y4 * 4 + Y1 + 1);
  uint16_t Month = 1;
  while (D >= DaysInMonth(Year, Month))
    D -= DaysInMonth(Year, Month++);

  Result.Year = Year;
  Result.Month = Month;
  Result.Day = static_cast<uint16_t>(D + 1);
  Result.Hour = static_cast<uint16_t>(Time / 3600000);
  Result.Min = static_cast<uint16_t>(Time / 60000 % 60);
  Result.Sec = static_cast<uint16_t>(Time / 1000 % 60);
  Result.MSec = static_cast<uint16_t>(Time % 1000);
  return true;
}

int32_t DateTimeToFileDate(TDateTime Value) {
  TDecodedDateTime T;
  if (!DecodeDateTime(Value, T) || T.Year < 1980 || T.Year > 2099) return 0;
  const uint32_t Date = (static_cast<uint32_t>(T.Year - 1980) << 9) | (T.Month << 5) | T.Day;
  const uint32_t Time = (T.Hour << 11) | (T.Min << 5) | (T.Sec >> 1);
  return static_cast<int32_t>((Date << 16) | Time);
}

TDateTime FileDateToDateTime(int32_t FileDate) {
  const auto Packed = static_cast<uint32_t>(FileDate);
  const uint32_t Date = Packed >> 16, Time = Packed & 0xFFFF;
  return EncodeDate(static_cast<uint16_t>((Date >> 9) + 1980), (Date >> 5) & 15, Date & 31) +
         EncodeTime(static_cast<uint16_t>(Time >> 11), (Time >> 5) & 63, (Time & 31) << 1, 0);
}

TDateTime FileTimeToDateTime(const platform::FileTime& Local) {
  constexpr int64_t TicksPerDay = 864000000000;
  // Days from 1 January 1601, where file times count from, to 30 December 1899.
  constexpr int64_t DaysFrom1601 = 109205;
  const int64_t Days = static_cast<int64_t>(Local.Ticks / TicksPerDay) - DaysFrom1601;
  const double Fraction = static_cast<double>(Local.Ticks % TicksPerDay) / TicksPerDay;
  const auto Whole = static_cast<double>(Days);
  return Days < 0 ? Whole - Fraction : Whole + Fraction;
}

std::string FormatDateTime(TDateTime Value) {
  TDecodedDateTime T;
  if (!DecodeDateTime(Value, T)) return std::string();
  // By hand rather than with printf, which would bring a whole formatting engine into the
  // loader.
  const auto Digits = [](int32_t Value, int Width) {
    std::string Text = std::to_string(Value);
    return std::string(Text.size() < static_cast<size_t>(Width) ? Width - Text.size() : 0, '0') +
           Text;
  };
  return Digits(T.Year, 4) + "-" + Digits(T.Month, 2) + "-" + Digits(T.Day, 2) + " " +
         Digits(T.Hour, 2) + ":" + Digits(T.Min, 2) + ":" + Digits(T.Sec, 2);
}

}  // namespace varn
