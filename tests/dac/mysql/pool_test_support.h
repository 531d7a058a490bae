// Pooled MySQL connections against the private test server: parameters
// that reach it, and a watcher that sees the server's side of a connection.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "dac/mysql/my_connection.h"
#include "dac/mysql/my_connection_pool.h"
#include "tests/dac/mysql/client/api_test_support.h"

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

// The server's id of a pooled connection's session.
inline uint32_t SessionId(TDKConnection* connection) {
  auto& my = dynamic_cast<TMySQLConnection&>(*connection);
  return my.GetAPI().mysql_thread_id(my.GetHandle());
}

// A connection of its own that looks at (and ends) other sessions.
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
    const Rows rows = ApiQuery(watcher_.GetAPI(), watcher_.GetHandle(),
                               "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " + std::to_string(id));
    return rows.size() == 1 && rows[0][0] == "1";
  }
  // Whether the session ends within five seconds (a closed session leaves
  // the server a moment later).
  bool Ends(uint32_t id) {
    for (int i = 0; i < 500; ++i) {
      if (!Alive(id)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  void Kill(uint32_t id) {
    watcher_.ExecStatement("KILL CONNECTION " + std::to_string(id));
    EXPECT_TRUE(Ends(id));
  }

 private:
  TMySQLConnection watcher_;
};

}  // namespace dac::testing
