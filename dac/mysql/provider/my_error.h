// EMyError: a server or client error of the MySQL layer, with the server's
// error number and text.
#pragma once

#include <cstdint>
#include <string>

#include "dac/core/server/da_errors.h"

namespace dac {

// The server's syntax error, whose text ends with the line it was found on.
constexpr int32_t kMySqlSyntaxError = 1064;

class EMyError : public EDAError {
 public:
  // For a syntax error the last run of digits in the message is the line
  // number; any other error, or a message without digits, leaves it 0.
  EMyError(int32_t error_code, std::string message);

  int32_t LineNumber() const { return line_number_; }

 private:
  int32_t line_number_ = 0;
};

}  // namespace dac
