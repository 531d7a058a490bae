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

EMyError::EMyError(int32_t error_code, std::string message) : EDAError(error_code, std::move(message)) {
  if (error_code == kMySqlSyntaxError) line_number_ = LastNumberIn(Message());
}

}  // namespace dac
