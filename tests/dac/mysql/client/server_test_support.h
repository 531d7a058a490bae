// Connection settings of the private test server (scripts/with-mariadb) and
// small helpers that run a query through a session and collect its rows.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "dac/mysql/client/mysql_result_set.h"
#include "dac/mysql/client/mysql_session.h"

namespace dac::testing {

struct ServerSettings {
  std::string host;
  int port = 0;
  std::string socket;
  std::string user;
  std::string password;
  std::string nopw_user;
  std::string database;
};

// The settings from VARNEL_MYSQL_*; nullopt when they are absent.
inline std::optional<ServerSettings> TestServer() {
  const char* host = std::getenv("VARNEL_MYSQL_HOST");
  const char* port = std::getenv("VARNEL_MYSQL_PORT");
  if (!host || !port) return std::nullopt;
  auto env = [](const char* name) {
    const char* v = std::getenv(name);
    return std::string(v ? v : "");
  };
  ServerSettings s;
  s.host = host;
  s.port = std::atoi(port);
  s.socket = env("VARNEL_MYSQL_SOCKET");
  s.user = env("VARNEL_MYSQL_USER");
  s.password = env("VARNEL_MYSQL_PASSWORD");
  s.nopw_user = env("VARNEL_MYSQL_NOPW_USER");
  s.database = env("VARNEL_MYSQL_DATABASE");
  return s;
}

#define REQUIRE_TEST_SERVER(settings)                                                            \
  const auto settings##_opt = ::dac::testing::TestServer();                                      \
  if (!settings##_opt)                                                                           \
    GTEST_SKIP() << "no test server: VARNEL_MYSQL_HOST/PORT are unset (scripts/test provides them)"; \
  const ::dac::testing::ServerSettings& settings = *settings##_opt

using Row = std::vector<std::optional<std::string>>;
using Rows = std::vector<Row>;

inline void SendQuery(TMySqlSession& session, const std::string& sql) {
  session.SimpleCommand(scQuery, reinterpret_cast<const uint8_t*>(sql.data()), true, static_cast<int>(sql.size()));
  session.ReadQueryResult();
}

inline Row RowValues(const TMySqlBinds& binds, int count) {
  Row row;
  for (int i = 0; i < count; ++i) {
    if (binds[i].is_null)
      row.push_back(std::nullopt);
    else
      row.push_back(std::string(reinterpret_cast<const char*>(binds.GetBuffer() + binds[i].offset),
                                static_cast<size_t>(binds[i].length)));
  }
  return row;
}

// The rows of the pending result, buffered (store) or one by one (use).
inline Rows FetchRows(TMySqlSession& session, bool store) {
  Rows rows;
  if (session.GetFieldCount() == 0) return rows;
  TMySqlResultSet result(&session);
  if (store) result.ReadRows();
  TMySqlBinds* binds = result.GetBinds();
  while (result.Read(binds)) rows.push_back(RowValues(*binds, result.GetFieldCount()));
  return rows;
}

inline Rows Query(TMySqlSession& session, const std::string& sql, bool store = false) {
  SendQuery(session, sql);
  return FetchRows(session, store);
}

}  // namespace dac::testing
