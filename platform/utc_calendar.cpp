#include "platform/utc_calendar.h"

#include <ctime>

namespace plat {

std::optional<LocalTime> UtcCalendarTime(int64_t utc_seconds) {
  const auto seconds = static_cast<std::time_t>(utc_seconds);
  std::tm fields{};
  if (::gmtime_r(&seconds, &fields) == nullptr) return std::nullopt;
  return LocalTime{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour,
                   fields.tm_min,         fields.tm_sec,     0,              fields.tm_wday};
}

}  // namespace plat
