#include "dac/mysql/client/transport/mysql_vio_pipe.h"

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/wire/client_errors.h"
#include "platform/ascii.h"

namespace dac {

DAC_DEFINE_CLASS(TMySqlVioPipe, TMySqlVioSocket, TMetaClass)

TMySqlVioPipe::TMySqlVioPipe(std::string host, int port, std::string path)
    : host_(std::move(host)), port_(port), path_(path.empty() ? kDefaultServerSocket : std::move(path)) {}

namespace {

bool NamesThisMachine(const std::string& host) {
  return host.empty() || plat::AsciiLowerCase(host) == "localhost" || host == "." || host == "127.0.0.1" ||
         host == "::1";
}

}  // namespace

void TMySqlVioPipe::Connect() {
  DAC_ASSERT(!IsConnected(), "socket already open");
  // Serving the local server instead of the one named would talk to the
  // wrong server.
  if (!NamesThisMachine(host_))
    throw EMySqlException(kCrNamedpipeopenError, ErrorArgs{host_, path_, "a Unix socket reaches only this machine"},
                          std::string());
  TMySqlVio::Connect();
  plat::StreamAddress address;
  int error_number = 0;
  if (!plat::UnixSocketAddress(path_, address, error_number))
    throw EMySqlException(kCrConnectionError, ErrorArgs{path_, error_number}, std::string());
  error_number = ConnectSocket(address);
  if (error_number != 0) {
    SetLastError(Format("Socket error on connect. WSAGetLastError return %d($%X)", error_number, error_number));
    throw EMySqlException(kCrConnectionError, ErrorArgs{path_, error_number}, std::string());
  }
}

}  // namespace dac
