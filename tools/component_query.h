// dac-query --api components: the statements of a text run one by one
// through the library's components, a TMyConnection and a TMyQuery, with
// the options that keep every value exact (FMTBCD decimals, utf8mb4 text
// read as Unicode, zero dates as zero dates, TINYINT(1) as a number), each
// row printed as the other modes print it.
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
  // The session's character set; Unicode (utf8mb4, read as UTF-16) when
  // empty or a utf8 one.
  std::string charset;
  // The MariaDB client library instead of the library's own protocol.
  bool client_library = false;
  bool compress = false;
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

// The statements of a text as the mariadb client sends them: split at each
// ";" outside quotes and comments; blank ones (only blanks and comments)
// are left out.
std::vector<std::string> SplitStatements(const std::string& sql);

// Connects and runs every statement of sql in order, handing each row's
// line (as BatchLine writes it) to print; stops at the first failure and
// returns it.
std::optional<ComponentFailure> RunThroughComponents(const ComponentSettings& settings, const std::string& sql,
                                                     const std::function<void(const std::string&)>& print);

}  // namespace tools
