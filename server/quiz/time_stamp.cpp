#include "server/quiz/time_stamp.h"

#include <optional>

#include "platform/utc_calendar.h"

namespace server {

std::string FormatTimeStamp(int64_t utc_seconds) {
  const std::optional<plat::LocalTime> time = plat::UtcCalendarTime(utc_seconds);
  if (!time) return "";
  return std::to_string(time->minute) + "-" + std::to_string(time->hour) + "-" + std::to_string(time->day) + "-" +
         std::to_string(time->month) + "-" + std::to_string(time->year);
}

}  // namespace server
