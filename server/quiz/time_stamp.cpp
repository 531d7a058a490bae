#include "server/quiz/time_stamp.h"

#include <ctime>

std::string FormatTimeStamp(int64_t utc_seconds) {
  const auto seconds = static_cast<std::time_t>(utc_seconds);
  std::tm fields{};
  if (::gmtime_r(&seconds, &fields) == nullptr) return "";
  return std::to_string(fields.tm_min) + "-" + std::to_string(fields.tm_hour) + "-" + std::to_string(fields.tm_mday) +
         "-" + std::to_string(fields.tm_mon + 1) + "-" + std::to_string(fields.tm_year + 1900);
}
