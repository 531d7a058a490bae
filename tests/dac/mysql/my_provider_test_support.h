// Provider objects against the private test server: a connection of the
// API under test, open, and the error a statement raises as "code: text".
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "dac/mysql/my_connection.h"
#include "dac/mysql/my_error.h"
#include "tests/dac/mysql/client/api_test_support.h"

namespace dac::testing {

inline std::unique_ptr<TMySQLConnection> OpenConnection(const ApiUnderTest& api, const ServerSettings& s) {
  auto connection = std::make_unique<TMySQLConnection>();
  connection->SetAPI(api.api());
  connection->SetServer(s.host);
  connection->SetPort(s.port);
  connection->SetUsername(s.user);
  connection->SetPassword(s.password);
  connection->SetDatabase(s.database);
  connection->Connect("");
  return connection;
}

inline std::string MyErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EMyError& e) {
    return std::to_string(e.ErrorCode()) + ": " + e.Message();
  }
  return "no error";
}

}  // namespace dac::testing
