#include "platform/date_time.h"

#include <gtest/gtest.h>

namespace plat {
namespace {

TEST(DateTime, EpochAndKnownDays) {
  DateTime d = -1;
  ASSERT_TRUE(TryEncodeDate(1899, 12, 30, d));
  EXPECT_EQ(d, 0.0);
  ASSERT_TRUE(TryEncodeDate(2000, 1, 1, d));
  EXPECT_EQ(d, 36526.0);
  ASSERT_TRUE(TryEncodeDate(1970, 1, 1, d));
  EXPECT_EQ(d, kUnixDateDelta);
  EXPECT_FALSE(TryEncodeDate(2001, 2, 29, d));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, d));
  EXPECT_FALSE(TryEncodeDate(2000, 13, 1, d));
  EXPECT_TRUE(TryEncodeDate(2000, 2, 29, d));
}

TEST(DateTime, DecodeRoundTripsAcrossCenturies) {
  for (int year : {1, 1600, 1899, 1900, 2000, 2024, 9999}) {
    for (int month = 1; month <= 12; ++month) {
      DateTime d = 0;
      ASSERT_TRUE(TryEncodeDate(year, month, DaysInMonth(year, month), d));
      const CalendarDate back = DecodeDate(JoinDateTime(static_cast<int64_t>(d), 18 * 3600000));
      EXPECT_EQ(back.year, year);
      EXPECT_EQ(back.month, month);
      EXPECT_EQ(back.day, DaysInMonth(year, month));
    }
  }
}

TEST(DateTime, NegativeValuesKeepTheTimeRunningForward) {
  const CalendarDate date = DecodeDate(-1.25);
  EXPECT_EQ(date.year, 1899);
  EXPECT_EQ(date.month, 12);
  EXPECT_EQ(date.day, 29);
  EXPECT_EQ(DecodeTime(-1.25).hour, 6);
}

TEST(DateTime, TimeIsRoundedToTheMillisecond) {
  DateTime t = 0;
  ASSERT_TRUE(TryEncodeTime(23, 59, 59, 999, t));
  const TimeOfDay back = DecodeTime(36526.0 + t);
  EXPECT_EQ(back.hour, 23);
  EXPECT_EQ(back.minute, 59);
  EXPECT_EQ(back.second, 59);
  EXPECT_EQ(back.millisecond, 999);
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, t));
}

TEST(DateTime, DayOfWeekSundayIsOne) {
  DateTime d = 0;
  ASSERT_TRUE(TryEncodeDate(2026, 12, 6, d));  // a Sunday
  EXPECT_EQ(DayOfWeek(d), 1);
  EXPECT_EQ(DayOfWeek(0), 7);  // 30 December 1899, a Saturday
}

}  // namespace
}  // namespace plat

namespace plat {
namespace {

TEST(DateTime, DateAndTimeBeforeTheEpochCountAwayFromZero) {
  DateTime v = 0;
  ASSERT_TRUE(TryEncodeDateTime(1899, 12, 30, 12, 0, 0, 0, v));
  EXPECT_EQ(v, 0.5);  // day 0 adds the time
  ASSERT_TRUE(TryEncodeDateTime(1899, 12, 29, 6, 0, 0, 0, v));
  EXPECT_EQ(v, -1.25);
  EXPECT_EQ(DecodeTime(v).hour, 6);
  EXPECT_FALSE(TryEncodeDateTime(1900, 2, 29, 0, 0, 0, 0, v));
  EXPECT_FALSE(TryEncodeDateTime(2000, 1, 1, 0, 60, 0, 0, v));
}

TEST(DateTime, TimeStampsRoundTrip) {
  for (double v : {0.0, 0.5, 36526.75, -1.25, -700.5, -693593.0, -693593.5, kZeroDateTime}) {
    const TimeStamp s = DateTimeToTimeStamp(v);
    DateTime back = 99;
    ASSERT_TRUE(TryTimeStampToDateTime(s, back));
    EXPECT_EQ(back, v);
    TimeStamp again;
    ASSERT_TRUE(TryMSecsToTimeStamp(TimeStampToMSecs(s), again));
    EXPECT_EQ(again.date, s.date);
    EXPECT_EQ(again.time, s.time);
  }
  EXPECT_EQ(DateTimeToTimeStamp(0).date, kDateDelta);
  DateTime out = 0;
  EXPECT_FALSE(TryTimeStampToDateTime(TimeStamp{-1, 5}, out));
  // Day 0 is the zero date's, at midnight only; 1 January 0001 is a day of its own.
  EXPECT_FALSE(TryTimeStampToDateTime(TimeStamp{1, 0}, out));
  EXPECT_EQ(DateTimeToTimeStamp(kZeroDateTime).date, 0);
  EXPECT_EQ(DecodeDate(kZeroDateTime).year, 0);
  EXPECT_EQ(DecodeDate(kZeroDateTime).day, 0);
  EXPECT_EQ(DecodeDate(-693593.0).year, 1);
  EXPECT_EQ(DecodeDate(-693593.0).day, 1);
  TimeStamp s;
  EXPECT_FALSE(TryMSecsToTimeStamp(-1, s));
  EXPECT_FALSE(TryMSecsToTimeStamp(1e300, s));
  // Values beyond every day still split into a time of day in range.
  for (double v : {1e300, -1e300, 1e20, -1e20}) {
    const int32_t ms = SplitDateTime(v).milliseconds;
    EXPECT_TRUE(ms >= 0 && ms < kMSecsPerDay) << v;
  }
}

}  // namespace
}  // namespace plat
