// The local-server transport: the server's Unix domain socket, standing in
// for a named pipe.
#pragma once

#include <string>

#include "dac/mysql/client/transport/mysql_vio_socket.h"

namespace dac {

constexpr const char* kDefaultServerSocket = "/run/mysqld/mysqld.sock";

class TMySqlVioPipe : public TMySqlVioSocket {
  DAC_DECLARE_CLASS();

 public:
  // An empty path is kDefaultServerSocket. The host must name this
  // machine; the port is kept for the connection's description only.
  TMySqlVioPipe(std::string host, int port, std::string path);

  // EMySqlException 2017 naming host and path when the host is another
  // machine's; 2002 with the path and the system's error number when the
  // socket cannot be reached within the time-out.
  void Connect() override;

  const std::string& GetPath() const { return path_; }
  int GetPort() const { return port_; }

 private:
  std::string host_;
  int port_;
  std::string path_;
};

}  // namespace dac
