// Connection settings of the private test server (scripts/with-mariadb) and
// small helpers that run a query through a session and collect its rows.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "dac/mysql/client/session/mysql_result_set.h"
#include "dac/mysql/client/session/mysql_session.h"
#include "dac/mysql/client/wire/client_errors.h"
#include "tests/dac/mysql/client/wire_test_support.h"
#include "tests/support/eventually.h"

namespace dac::testing {

struct ServerSettings {
  std::string host;
  int port = 0;
  std::string socket;
  std::string user;
  std::string password;
  std::string nopw_user;
  std::string database;
  // TLS: the server's certificate (the CA to verify it by), the client's
  // certificate and key, a certificate neither side trusts, and an account
  // that needs the client certificate (with the password above).
  std::string ssl_ca;
  std::string client_cert;
  std::string client_key;
  std::string other_ca;
  std::string x509_user;
  // Certificates with their keys that the CA above signed for other names:
  // for elsewhere.invalid, and for 127.0.0.1 by common name only.
  std::string elsewhere_cert;
  std::string elsewhere_key;
  std::string common_name_cert;
  std::string common_name_key;
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
  s.ssl_ca = env("VARNEL_MYSQL_SSL_CA");
  s.client_cert = env("VARNEL_MYSQL_SSL_CLIENT_CERT");
  s.client_key = env("VARNEL_MYSQL_SSL_CLIENT_KEY");
  s.other_ca = env("VARNEL_MYSQL_SSL_OTHER_CA");
  s.x509_user = env("VARNEL_MYSQL_X509_USER");
  s.elsewhere_cert = env("VARNEL_MYSQL_SSL_ELSEWHERE_CERT");
  s.elsewhere_key = env("VARNEL_MYSQL_SSL_ELSEWHERE_KEY");
  s.common_name_cert = env("VARNEL_MYSQL_SSL_COMMON_NAME_CERT");
  s.common_name_key = env("VARNEL_MYSQL_SSL_COMMON_NAME_KEY");
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

// The first value of a query that gives one row.
inline std::string Single(TMySqlSession& session, const std::string& sql) {
  const Rows rows = Query(session, sql);
  EXPECT_EQ(rows.size(), 1u) << sql;
  if (rows.empty() || rows[0].empty() || !rows[0][0]) return "<none>";
  return *rows[0][0];
}

// A connection the server ends: the next command, even one too large for
// the socket's buffers, is a lost connection and never a signal.
inline void ExpectLostAfterKill(const ServerSettings& s, TMySqlSession& victim) {
  TMySqlSession killer;
  killer.Connect(s.host, s.user, s.password, s.database, s.port, "", 0);
  const std::string id = std::to_string(victim.GetThreadId());
  Query(killer, "KILL CONNECTION " + id);
  const std::string gone = "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " + id;
  EXPECT_TRUE(plat::testing::Eventually([&] { return Single(killer, gone) == "0"; }));
  EXPECT_EQ(ErrorCodeOf([&] { Query(victim, "SELECT '" + std::string(4'000'000, 'x') + "'"); }), kCrServerLost);
}

}  // namespace dac::testing
