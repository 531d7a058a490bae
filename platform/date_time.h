// The day-count date-time: days since 30 December 1899, the time of day as
// the fraction. Negative values count days backwards while the fraction still
// runs forward from midnight (-1.25 is 29 December 1899, 06:00).
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace plat {

using DateTime = double;

constexpr int64_t kMSecsPerDay = 86400000;
constexpr int32_t kSecsPerDay = 86400;
// Days from 1 January 0001 to 30 December 1899.
constexpr int32_t kDateDelta = 693594;
// Days from 30 December 1899 to 1 January 1970.
constexpr int32_t kUnixDateDelta = 25569;
// A database's all-zero date (0000-00-00): day 0 of the time stamp, the day
// before 1 January 0001, which no date of the years 1 to 9999 is. It
// decodes to year, month and day 0 and midnight; its time stamp is {0, 0},
// its milliseconds 0.
constexpr DateTime kZeroDateTime = -static_cast<DateTime>(kDateDelta);
inline bool IsZeroDateTime(DateTime value) { return value == kZeroDateTime; }

struct CalendarDate {
  int year = 0;
  int month = 0;
  int day = 0;
};

struct TimeOfDay {
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Years 1..9999; false when any part is out of range.
bool TryEncodeDate(int year, int month, int day, DateTime& out);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, DateTime& out);
// Both parts valid; the time is added from 30 December 1899 on and counted
// away from zero before it, as the day-count form defines.
bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond,
                       DateTime& out);

CalendarDate DecodeDate(DateTime value);
TimeOfDay DecodeTime(DateTime value);
// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(DateTime value);

// Milliseconds of the value, rounded, with the date and time split as decoding does.
struct DayAndTime {
  int64_t days_since_epoch = 0;  // days since 30 December 1899
  int32_t milliseconds = 0;      // 0 .. kMSecsPerDay - 1
};
DayAndTime SplitDateTime(DateTime value);
DateTime JoinDateTime(int64_t days_since_epoch, int32_t milliseconds);

// -1, 0 or 1 in time order: by the day, then by the time of day. Raw values
// misorder the times of a day before 30 December 1899, whose fraction counts
// away from zero (-1.75 is 18:00, after -1.25 at 06:00).
int CompareDateTime(DateTime a, DateTime b);

// The class library's time stamp: milliseconds of the day, and days counted
// from 1 January 0001 as day 1 (so 30 December 1899 is kDateDelta).
struct TimeStamp {
  int32_t time = 0;
  int32_t date = 0;
};
TimeStamp DateTimeToTimeStamp(DateTime value);
// False when the time is negative or the date not above 0, but for the
// zero date's stamp {0, 0}.
bool TryTimeStampToDateTime(const TimeStamp& stamp, DateTime& out);
double TimeStampToMSecs(const TimeStamp& stamp);
// False when the milliseconds give no valid stamp (date not above 0), but
// for the zero date's 0.
bool TryMSecsToTimeStamp(double msecs, TimeStamp& out);

DateTime ToDateTime(const LocalTime& time);

}  // namespace plat
