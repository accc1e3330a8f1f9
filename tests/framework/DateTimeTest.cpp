#include <varn/framework/DateTime.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <varn/framework/Exceptions.h>

using namespace varn;

namespace {

int32_t Packed(int Year, int Month, int Day, int Hour, int Min, int Sec) {
  return static_cast<int32_t>(
      (static_cast<uint32_t>(((Year - 1980) << 9) | (Month << 5) | Day) << 16) |
      static_cast<uint32_t>((Hour << 11) | (Min << 5) | (Sec / 2)));
}

TEST(DateTime, EncodesDaysSinceTheEpoch) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(2000, 2, 29), 36585.0);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
  EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  EXPECT_DOUBLE_EQ(EncodeTime(6, 0, 0, 0), 0.25);
}

TEST(DateTime, RejectsDatesAndTimesThatDoNotExist) {
  EXPECT_THROW(EncodeDate(2001, 2, 29), EConvertError);
  EXPECT_THROW(EncodeDate(2000, 13, 1), EConvertError);
  EXPECT_THROW(EncodeDate(0, 1, 1), EConvertError);
  try {
    EncodeDate(2000, 0, 1);
    FAIL();
  } catch (const EConvertError& E) {
    EXPECT_EQ(E.Message(), "Invalid argument to date encode");
  }
  try {
    EncodeTime(24, 0, 0, 0);
    FAIL();
  } catch (const EConvertError& E) {
    EXPECT_EQ(E.Message(), "Invalid argument to time encode");
  }
}

TEST(DateTime, DecodesWhatWasEncoded) {
  TDecodedDateTime T;
  ASSERT_TRUE(DecodeDateTime(EncodeDate(2024, 2, 29) + EncodeTime(23, 59, 58, 999), T));
  EXPECT_EQ(T.Year, 2024);
  EXPECT_EQ(T.Month, 2);
  EXPECT_EQ(T.Day, 29);
  EXPECT_EQ(T.Hour, 23);
  EXPECT_EQ(T.Min, 59);
  EXPECT_EQ(T.Sec, 58);
  EXPECT_EQ(T.MSec, 999);
  // Before the epoch the integral part names the day and the fraction, unsigned, the time.
  ASSERT_TRUE(DecodeDateTime(-1.25, T));
  EXPECT_EQ(T.Year, 1899);
  EXPECT_EQ(T.Month, 12);
  EXPECT_EQ(T.Day, 29);
  EXPECT_EQ(T.Hour, 6);
  EXPECT_FALSE(DecodeDateTime(std::numeric_limits<double>::quiet_NaN(), T));
  EXPECT_FALSE(DecodeDateTime(std::numeric_limits<double>::infinity(), T));
  EXPECT_FALSE(DecodeDateTime(1e300, T));
  EXPECT_FALSE(DecodeDateTime(-1e300, T));
}

TEST(DateTime, PacksToTwoSecondsWithinTheYears1980To2099) {
  EXPECT_EQ(DateTimeToFileDate(EncodeDate(2024, 7, 15) + EncodeTime(13, 45, 31, 0)),
            Packed(2024, 7, 15, 13, 45, 30));
  EXPECT_EQ(DateTimeToFileDate(EncodeDate(1980, 1, 1)), Packed(1980, 1, 1, 0, 0, 0));
  EXPECT_EQ(DateTimeToFileDate(EncodeDate(2099, 12, 31) + EncodeTime(23, 59, 59, 0)),
            Packed(2099, 12, 31, 23, 59, 58));
  EXPECT_EQ(DateTimeToFileDate(EncodeDate(1979, 12, 31) + EncodeTime(23, 59, 59, 0)), 0);
  EXPECT_EQ(DateTimeToFileDate(EncodeDate(2100, 1, 1)), 0);
  EXPECT_EQ(DateTimeToFileDate(std::nan("")), 0);
  EXPECT_EQ(DateTimeToFileDate(-5e9), 0);
}

TEST(DateTime, UnpacksFileDatesAndRejectsTheUnreadableOne) {
  EXPECT_DOUBLE_EQ(FileDateToDateTime(Packed(2024, 7, 15, 13, 45, 30)),
                   EncodeDate(2024, 7, 15) + EncodeTime(13, 45, 30, 0));
  try {
    FileDateToDateTime(-1);  // what an unreadable file time gives
    FAIL();
  } catch (const EConvertError& E) {
    EXPECT_EQ(E.Message(), "Invalid argument to date encode");
  }
  EXPECT_THROW(FileDateToDateTime(0), EConvertError);  // month 0
}

TEST(DateTime, TakesLocalFileTimesToFullPrecision) {
  constexpr uint64_t TicksPerSecond = 10000000;
  // 30 December 1899 and 1 January 1980, counted from 1601.
  constexpr uint64_t Epoch = 109205ULL * 86400 * TicksPerSecond;
  constexpr uint64_t Ticks1980 = 119600064000000000ULL;
  EXPECT_EQ(FileTimeToDateTime({Epoch}), 0.0);
  EXPECT_EQ(FileTimeToDateTime({Ticks1980}), EncodeDate(1980, 1, 1));
  // Milliseconds exactly as EncodeTime makes them; below a millisecond, what a double holds.
  const uint64_t Afternoon = Ticks1980 + (13 * 3600 + 45 * 60 + 31) * TicksPerSecond + 1230000;
  EXPECT_EQ(FileTimeToDateTime({Afternoon}), EncodeDate(1980, 1, 1) + EncodeTime(13, 45, 31, 123));
  EXPECT_GT(FileTimeToDateTime({Afternoon + 100}), FileTimeToDateTime({Afternoon}));
  // Before the epoch the time of day is subtracted: 29 December 1899, 06:00 is -1.25.
  EXPECT_EQ(FileTimeToDateTime({Epoch - 18 * 3600 * TicksPerSecond}), -1.25);
}

TEST(DateTime, FormatsToTheSecond) {
  EXPECT_EQ(FormatDateTime(EncodeDate(2024, 7, 5) + EncodeTime(3, 4, 5, 999)),
            "2024-07-05 03:04:05");
  EXPECT_EQ(FormatDateTime(0), "1899-12-30 00:00:00");
  EXPECT_EQ(FormatDateTime(std::nan("")), "");
}

}  // namespace
