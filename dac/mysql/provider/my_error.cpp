#include "dac/mysql/provider/my_error.h"

#include <cstdint>
#include <string_view>

namespace dac {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The last run of decimal digits in the text; 0 when there is none. A run
// too long for 32 bits gives 0 rather than a wrapped number.
int32_t LastNumberIn(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && !IsDigit(text[end - 1])) --end;
  size_t begin = end;
  while (begin > 0 && IsDigit(text[begin - 1])) --begin;
  int64_t value = 0;
  for (size_t i = begin; i < end; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT32_MAX) return 0;
  }
  return static_cast<int32_t>(value);
}

}  // namespace

bool IsLostSessionError(int32_t code, std::string_view server_version) {
  switch (code) {
    case 1053:  // server shutdown in progress
    case 1077:  // normal shutdown
    case 1079:  // shutdown complete
    case 1080:  // forcing close of a thread
    case 1152:  // aborted connection
    case 1184:
    case 1927:  // connection killed
    case 2003:
    case 2006:
    case 2013:
    case 2055:
      return true;
    case 4031:
      return server_version.find("MariaDB") == std::string_view::npos;
    default:
      // 1153 to 1161: a packet too large, out of order, broken or cut.
      return code >= 1153 && code <= 1161;
  }
}

EMyError::EMyError(int32_t error_code, std::string message) : EDAError(error_code, std::move(message)) {
  if (error_code == kMySqlSyntaxError) line_number_ = LastNumberIn(Message());
}

}  // namespace dac
