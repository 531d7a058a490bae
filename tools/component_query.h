// dac-query --api components: the statements of a script run one by one
// through the library's components, a TMyConnection and a TMyQuery, with
// the options that keep every value exact (FMTBCD decimals, text as its
// bytes both ways, zero dates as zero dates, TINYINT(1) as a number), every
// result of each statement in turn (OpenNext), each row printed as the
// other modes print it. The run is a host of the library: it starts the
// MySQL provider up and shuts it down.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tools {

struct ComponentSettings {
  std::string host;
  uint32_t port = 0;
  std::string user;
  std::string password;
  std::string database;
  // The session's character set (utf8mb4 when empty); statements and
  // values pass as its bytes.
  std::string charset;
  // The MariaDB client library instead of the library's own protocol.
  bool client_library = false;
  bool compress = false;
  // Through the local server's Unix socket (its default path when empty)
  // instead of TCP.
  bool socket = false;
  std::string socket_path;
  // TLS, with these files when given.
  bool tls = false;
  std::string ca, cert, key, cipher;
  // Each statement prepared and executed, its rows from the binary protocol.
  bool prepare = false;
  // Seconds to wait for the server's greeting and login; 0: the default.
  int32_t connect_timeout = 0;
};

// An error as the server or the client reported it.
struct ComponentFailure {
  uint32_t code = 0;
  std::string message;
  std::string sqlstate;  // empty where the error carries none
};

// Connects and runs the statements in order, handing each row's line (as
// BatchLine writes it) to print; stops at the first failure and returns it.
// A prepared statement prints its first result only: the components do not
// open the next result of a prepared statement.
std::optional<ComponentFailure> RunThroughComponents(const ComponentSettings& settings,
                                                     const std::vector<std::string>& statements,
                                                     const std::function<void(const std::string&)>& print);

}  // namespace tools
