// Provider objects against the private test server: a connection of the
// API under test, open, and the error a statement raises as "code: text".
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "dac/mysql/provider/my_connection.h"
#include "dac/mysql/provider/my_error.h"
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

// A test of the provider through the API under test, with an open
// connection to the test server (skipped without one).
class ProviderTest : public ::testing::TestWithParam<ApiUnderTest> {
 protected:
  void SetUp() override {
    const auto s = TestServer();
    if (!s) GTEST_SKIP() << "no test server";
    settings = *s;
    connection = OpenConnection(GetParam(), settings);
  }
  // The one value of a query run straight through the API; "<none>" for NULL or no row.
  std::string Value(const std::string& sql) {
    const Rows rows = ApiQuery(connection->GetAPI(), connection->GetHandle(), sql);
    return rows.size() == 1 && !rows[0].empty() && rows[0][0] ? *rows[0][0] : "<none>";
  }

  ServerSettings settings;
  std::unique_ptr<TMySQLConnection> connection;
};

inline std::string MyErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EMyError& e) {
    return std::to_string(e.ErrorCode()) + ": " + e.Message();
  }
  return "no error";
}

}  // namespace dac::testing
