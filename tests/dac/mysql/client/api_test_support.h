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

#include "dac/core/param_desc.h"
#include "dac/mysql/client/mysql_api.h"
#include "dac/mysql/client/mysql_api_direct.h"
#include "dac/mysql/client/protocol.h"
#include "tests/dac/mysql/client/server_test_support.h"
#include "tools/query_text.h"

namespace dac::testing {

struct ApiUnderTest {
  std::string name;
  std::function<TMySQLAPI&()> api;
};
inline std::string ApiName(const ::testing::TestParamInfo<ApiUnderTest>& info) { return info.param.name; }
inline ApiUnderTest DirectApi() { return {"direct", []() -> TMySQLAPI& { return MyAPIDirect(); }}; }

// A connection handle closed at scope exit; errno() tells how connecting went.
class ApiConnection {
 public:
  ApiConnection(TMySQLAPI& api, const ServerSettings& s, uint32_t flags = 0,
                const std::optional<std::string>& password = std::nullopt, uint32_t port = 0)
      : api_(api) {
    api_.CheckMySQLLib();
    con_ = api_.mysql_init(nullptr);
    const std::string pw = password.value_or(s.password);
    EXPECT_EQ(api_.mysql_real_connect(con_, s.host.c_str(), s.user.c_str(), pw.c_str(), s.database.c_str(),
                                      port ? port : static_cast<uint32_t>(s.port), nullptr, flags),
              con_);
  }
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
    const std::vector<TMYSQL_FIELD> columns = tools::StatementColumns(api_, stmt_);
    Rows rows;
    PMySqlRow row = nullptr;
    int32_t fetched;
    while ((fetched = api_._mysql_stmt_fetch(stmt_, row)) == 0)
      rows.push_back(tools::StatementRow(api_, stmt_, columns));
    EXPECT_EQ(fetched, 100) << error();
    return rows;
  }

 private:
  TMySQLAPI& api_;
  PMySqlStmt stmt_;
};

inline TParamDesc* AddParam(TParamDescs& params, uint16_t type, const Variant& value,
                            TParamDirection direction = pdInput) {
  auto param = std::make_unique<TParamDesc>();
  param->SetDataType(type);
  param->SetParamType(direction);
  param->SetValue(value);
  return params.Add(std::move(param));
}

}  // namespace dac::testing
