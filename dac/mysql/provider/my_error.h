// EMyError: a server or client error of the MySQL layer, with the server's
// error number, text and SQLSTATE.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dac/core/server/da_errors.h"

namespace dac {

// The server's syntax error, whose text ends with the line it was found on.
constexpr int32_t kMySqlSyntaxError = 1064;

// Whether the session is gone after an error of this code: the client's
// lost connections (2003, 2006, 2013, 2055), and the server's errors after
// which it closes the session (shutdown, an aborted or killed connection,
// a packet too large or broken, and MySQL's idle time-out 4031, a number
// that MariaDB servers, named so in server_version, give to another error).
bool IsLostSessionError(int32_t code, std::string_view server_version);

class EMyError : public EDAError {
 public:
  // For a syntax error the last run of digits in the message is the line
  // number; any other error, or a message without digits, leaves it 0.
  EMyError(int32_t error_code, std::string message);

  int32_t LineNumber() const { return line_number_; }
  // The server's SQLSTATE for a server error, "HY000" for a client error;
  // empty where whoever raised it did not say.
  const std::string& SqlState() const { return sql_state_; }
  void SetSqlState(std::string state) { sql_state_ = std::move(state); }

 private:
  int32_t line_number_ = 0;
  std::string sql_state_;
};

}  // namespace dac
