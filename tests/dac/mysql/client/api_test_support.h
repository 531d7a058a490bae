// Driving any client API object against the test server: connections that
// close themselves, rows of text and prepared results as text, and the
// parameter that names the API under test. The conformance and round-trip
// suites take the API as their parameter, so every implementation runs them.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dac/core/server/param_desc.h"
#include "dac/mysql/client/api/mysql_api.h"
#include "dac/mysql/client/api/mysql_api_client.h"
#include "dac/mysql/client/api/mysql_api_direct.h"
#include "dac/mysql/client/wire/protocol.h"
#include "tests/dac/mysql/client/server_test_support.h"
#include "tests/dac/mysql/client/wire/wire_samples.h"
#include "tools/query_text.h"

namespace dac::testing {

struct ApiUnderTest {
  std::string name;
  std::function<TMySQLAPI&()> api;
  // Connect through the server's Unix socket instead of TCP.
  bool socket = false;
  // The server it talks to; the test server when unset.
  std::function<std::optional<ServerSettings>()> server;
};
inline std::string ApiName(const ::testing::TestParamInfo<ApiUnderTest>& info) { return info.param.name; }
inline ApiUnderTest DirectApi() { return {"direct", []() -> TMySQLAPI& { return MyAPIDirect(); }, false, {}}; }
inline ApiUnderTest ClientApi(bool socket) {
  return {socket ? "client_socket" : "client_tcp", []() -> TMySQLAPI& { return MyAPIClient(); }, socket, {}};
}
inline std::optional<ServerSettings> ServerOf(const ApiUnderTest& api) {
  return api.server ? api.server() : TestServer();
}

// A connection handle closed at scope exit; errno() tells how connecting went.
// Over the socket when `socket`; an empty host is the default one.
class ApiConnection {
 public:
  ApiConnection(TMySQLAPI& api, const ServerSettings& s, uint32_t flags = 0,
                const std::optional<std::string>& password = std::nullopt, uint32_t port = 0, bool socket = false)
      : api_(api) {
    api_.CheckMySQLLib();
    con_ = api_.mysql_init(nullptr);
    const std::string pw = password.value_or(s.password);
    const uint32_t protocol = MYSQL_PROTOCOL_SOCKET;
    if (socket) api_.mysql_options(con_, MYSQL_OPT_PROTOCOL, &protocol);
    const char* host = socket ? "localhost" : s.host.empty() ? nullptr : s.host.c_str();
    EXPECT_EQ(api_.mysql_real_connect(con_, host, s.user.c_str(), pw.c_str(), s.database.c_str(),
                                      port ? port : static_cast<uint32_t>(s.port), socket ? s.socket.c_str() : nullptr,
                                      flags),
              con_);
  }
  ApiConnection(const ApiUnderTest& under_test, const ServerSettings& s, uint32_t flags = 0,
                const std::optional<std::string>& password = std::nullopt, uint32_t port = 0)
      : ApiConnection(under_test.api(), s, flags, password, port, under_test.socket) {}
  ~ApiConnection() { api_.mysql_close(con_); }
  ApiConnection(const ApiConnection&) = delete;
  ApiConnection& operator=(const ApiConnection&) = delete;

  PMySqlCon get() const { return con_; }
  uint32_t errno_() const { return api_.mysql_errno(con_); }
  std::string error() const { return api_.mysql_error(con_); }
  // Hands the handle over: the caller closes it.
  PMySqlCon release() { return std::exchange(con_, nullptr); }

 private:
  TMySQLAPI& api_;
  PMySqlCon con_ = nullptr;
};

// The rows of the last statement, read one by one.
inline Rows FetchAll(TMySQLAPI& api, PMySqlCon con) {
  Rows rows;
  PMySqlRes result = api.mysql_use_result(con);
  if (!result) return rows;
  const uint32_t count = api.mysql_num_fields(result);
  while (PMySqlRow row = api.mysql_fetch_row(result)) rows.push_back(tools::TextRow(api, row, count));
  api.mysql_free_result(result);
  return rows;
}

// The statement and its rows, which must succeed.
inline Rows ApiQuery(TMySQLAPI& api, PMySqlCon con, const std::string& sql) {
  EXPECT_EQ(api.mysql_real_query(con, sql, static_cast<uint32_t>(sql.size())), 0)
      << sql << ": " << api.mysql_error(con);
  Rows rows = FetchAll(api, con);
  EXPECT_EQ(api.mysql_errno(con), 0u) << sql << ": " << api.mysql_error(con);
  return rows;
}

// A statement handle closed at scope exit.
class ApiStatement {
 public:
  ApiStatement(TMySQLAPI& api, PMySqlCon con) : api_(api), stmt_(api.mysql_stmt_init(con)) {}
  ~ApiStatement() { api_.mysql_stmt_close(stmt_); }
  ApiStatement(const ApiStatement&) = delete;
  ApiStatement& operator=(const ApiStatement&) = delete;

  PMySqlStmt get() const { return stmt_; }
  int32_t Prepare(const std::string& sql) {
    return api_.mysql_stmt_prepare(stmt_, sql, static_cast<uint32_t>(sql.size()));
  }
  int32_t Execute(const TParamDescs& params, bool unicode = false) {
    return api_._mysql_stmt_execute(stmt_, params, unicode);
  }
  std::string error() const { return api_.mysql_stmt_error(stmt_); }

  // The rows of the last execute, each value as the server writes it as text.
  Rows FetchAll() {
    tools::StatementRows reader(api_, stmt_);
    Rows rows;
    Row row;
    int32_t fetched;
    while ((fetched = reader.Next(row)) == 0) rows.push_back(row);
    EXPECT_EQ(fetched, kMySqlNoData) << error();
    return rows;
  }

 private:
  TMySQLAPI& api_;
  PMySqlStmt stmt_;
};

}  // namespace dac::testing
