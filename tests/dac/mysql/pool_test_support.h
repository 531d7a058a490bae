// Pooled MySQL connections against the private test server: parameters
// that reach it, and a watcher that sees (and ends) the server's sessions.
#pragma once

#include <string>

#include "dac/mysql/provider/my_connection_pool.h"
#include "tests/dac/mysql/client/api_test_support.h"
#include "tests/support/eventually.h"

namespace dac::testing {

inline TMyConnectionParameters PoolParameters(const ServerSettings& s) {
  TMyConnectionParameters p;
  p.Server = s.host;
  p.Port = s.port;
  p.Username = s.user;
  p.Password = s.password;
  p.Database = s.database;
  return p;
}

inline TMySQLConnection& My(TDKConnection* connection) { return dynamic_cast<TMySQLConnection&>(*connection); }
inline uint32_t SessionId(TDKConnection* connection) {
  return My(connection).GetAPI().mysql_thread_id(My(connection).GetHandle());
}
inline Rows MyQuery(TDKConnection* connection, const std::string& sql) {
  return ApiQuery(My(connection).GetAPI(), My(connection).GetHandle(), sql);
}

class SessionWatcher {
 public:
  explicit SessionWatcher(const ServerSettings& s) {
    watcher_.SetServer(s.host);
    watcher_.SetPort(s.port);
    watcher_.SetUsername(s.user);
    watcher_.SetPassword(s.password);
    watcher_.Connect("");
  }

  bool Alive(uint32_t id) {
    return MyQuery(&watcher_, "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " + std::to_string(id))
               .at(0)[0] == "1";
  }
  // A closed session leaves the server a moment later.
  bool Ends(uint32_t id) {
    return plat::testing::Eventually([&] { return !Alive(id); });
  }
  void Kill(uint32_t id) {
    watcher_.ExecStatement("KILL CONNECTION " + std::to_string(id));
    EXPECT_TRUE(Ends(id));
  }

 private:
  TMySQLConnection watcher_;
};

}  // namespace dac::testing
