// The TCP/IP transport and its connect failure.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "dac/mysql/client/transport/mysql_vio_socket.h"
#include "dac/mysql/client/wire/client_errors.h"

namespace dac {

// A failed TCP connect: 2003 (refused, unreachable, timed out), 2004 (no
// socket) or 2005 (unknown host); the message is that text filled with the
// host and the system's error number.
class SocketException : public EMySqlException {
 public:
  SocketException(int32_t code, const std::string& host, int error_number);
};

// Host name and port to the addresses to try in order; on failure an empty
// list and a non-zero error number. plat::ResolveTcpHost unless a test
// gives another.
using AddressResolver =
    std::function<std::vector<plat::StreamAddress>(const std::string& host, int port, int& error_number)>;

class TMySqlVioTcp : public TMySqlVioSocket {
  DAC_DECLARE_CLASS();

 public:
  // Port 0 is 3306 and an empty host "localhost".
  TMySqlVioTcp(std::string host, int port);

  // Resolves the host and tries each address within the timeout, then sets
  // TCP_NODELAY and keep-alive.
  void Connect() override;

  const std::string& GetHost() const { return host_; }
  int GetPort() const { return port_; }
  void SetResolver(AddressResolver resolver) { resolver_ = std::move(resolver); }

 private:
  std::string host_;
  int port_;
  AddressResolver resolver_ = plat::ResolveTcpHost;
};

}  // namespace dac
