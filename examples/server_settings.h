// Where the example finds its server: options on its command line, else the
// environment variables the mariadb client reads.
#pragma once

#include <string>
#include <vector>

namespace examples {

struct ServerSettings {
  std::string host;  // empty: the library's default
  int port = 0;      // 0: the library's default
  std::string user;
  std::string password;
  std::string database;
};

struct SettingsLine {
  bool help = false;
  // What is wrong with the command line; empty when it is good.
  std::string problem;
  ServerSettings settings;
};

// --host, --port, --user, --password and --database, each followed by its
// value or written --name=VALUE; -h and --help. A setting not given comes
// from MYSQL_HOST, MYSQL_TCP_PORT, USER or MYSQL_PWD; the database must be
// given.
SettingsLine ReadServerSettings(const std::vector<std::string>& words);

}  // namespace examples
