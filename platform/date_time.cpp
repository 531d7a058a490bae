#include "platform/date_time.h"

#include <cmath>

namespace plat {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

CalendarDate CivilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = yoe + era * 400;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return CalendarDate{static_cast<int>(y + (m <= 2)), m, d};
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, DateTime& out) {
  if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
  if (day < 1 || day > DaysInMonth(year, month)) return false;
  out = static_cast<double>(DaysFromCivil(year, month, day) + kUnixDateDelta);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, DateTime& out) {
  if (hour < 0 || hour >= 24 || minute < 0 || minute >= 60 || second < 0 || second >= 60 ||
      millisecond < 0 || millisecond >= 1000)
    return false;
  const int64_t ms = ((static_cast<int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
  out = static_cast<double>(ms) / static_cast<double>(kMSecsPerDay);
  return true;
}

bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond,
                       DateTime& out) {
  DateTime date = 0;
  DateTime time = 0;
  if (!TryEncodeDate(year, month, day, date) || !TryEncodeTime(hour, minute, second, millisecond, time))
    return false;
  out = date >= 0 ? date + time : date - time;
  return true;
}

DayAndTime SplitDateTime(DateTime value) {
  // Rounded to the millisecond; the date part truncates towards zero and the
  // time part is the absolute remainder, as the day-count form defines it.
  const int64_t total = std::llround(value * static_cast<double>(kMSecsPerDay));
  DayAndTime result;
  result.days_since_epoch = total / kMSecsPerDay;
  // The magnitude unsigned: a value beyond the 64-bit range rounds to the
  // lowest one, which has no positive counterpart.
  const uint64_t magnitude = total < 0 ? 0 - static_cast<uint64_t>(total) : static_cast<uint64_t>(total);
  result.milliseconds = static_cast<int32_t>(magnitude % static_cast<uint64_t>(kMSecsPerDay));
  return result;
}

DateTime JoinDateTime(int64_t days_since_epoch, int32_t milliseconds) {
  const double fraction = static_cast<double>(milliseconds) / static_cast<double>(kMSecsPerDay);
  const double days = static_cast<double>(days_since_epoch);
  return days >= 0 ? days + fraction : days - fraction;
}

int CompareDateTime(DateTime a, DateTime b) {
  const double day_a = std::trunc(a);
  const double day_b = std::trunc(b);
  if (day_a != day_b) return day_a < day_b ? -1 : 1;
  const double time_a = std::fabs(a - day_a);
  const double time_b = std::fabs(b - day_b);
  return time_a < time_b ? -1 : time_a > time_b ? 1 : 0;
}

CalendarDate DecodeDate(DateTime value) {
  if (IsZeroDateTime(value)) return CalendarDate{};
  return CivilFromDays(SplitDateTime(value).days_since_epoch - kUnixDateDelta);
}

TimeOfDay DecodeTime(DateTime value) {
  int32_t ms = SplitDateTime(value).milliseconds;
  TimeOfDay t;
  t.millisecond = ms % 1000;
  ms /= 1000;
  t.second = ms % 60;
  ms /= 60;
  t.minute = ms % 60;
  t.hour = ms / 60;
  return t;
}

int DayOfWeek(DateTime value) {
  // 30 December 1899 was a Saturday (7).
  const int64_t days = SplitDateTime(value).days_since_epoch;
  const int64_t r = ((days - 1) % 7 + 7) % 7;  // 0 = Sunday
  return static_cast<int>(r) + 1;
}

TimeStamp DateTimeToTimeStamp(DateTime value) {
  const DayAndTime split = SplitDateTime(value);
  TimeStamp stamp;
  stamp.date = static_cast<int32_t>(split.days_since_epoch + kDateDelta);
  stamp.time = split.milliseconds;
  return stamp;
}

bool TryTimeStampToDateTime(const TimeStamp& stamp, DateTime& out) {
  if (stamp.date == 0 && stamp.time == 0) {
    out = kZeroDateTime;
    return true;
  }
  if (stamp.time < 0 || stamp.date <= 0) return false;
  const double day = static_cast<double>(stamp.date) - kDateDelta;
  const double fraction = static_cast<double>(stamp.time) / static_cast<double>(kMSecsPerDay);
  out = day >= 0 ? day + fraction : day - fraction;
  return true;
}

double TimeStampToMSecs(const TimeStamp& stamp) {
  return static_cast<double>(stamp.date) * static_cast<double>(kMSecsPerDay) + stamp.time;
}

bool TryMSecsToTimeStamp(double msecs, TimeStamp& out) {
  // Up to the end of 31 December 9999 (day 3652059).
  if (!(msecs >= 0) || msecs >= 3652060.0 * static_cast<double>(kMSecsPerDay)) return false;
  const int64_t whole = std::llround(msecs);
  out.date = static_cast<int32_t>(whole / kMSecsPerDay);
  out.time = static_cast<int32_t>(whole % kMSecsPerDay);
  return out.date > 0 || whole == 0;
}

DateTime ToDateTime(const LocalTime& time) {
  DateTime date = 0;
  DateTime tod = 0;
  TryEncodeDate(time.year, time.month, time.day, date);
  TryEncodeTime(time.hour, time.minute, time.second, time.hundredths * 10, tod);
  return date + tod;
}

}  // namespace plat
