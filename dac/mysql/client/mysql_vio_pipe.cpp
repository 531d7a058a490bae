#include "dac/mysql/client/mysql_vio_pipe.h"


#include "dac/framework/exceptions.h"
#include "dac/mysql/client/client_errors.h"

namespace dac {

DAC_DEFINE_CLASS(TMySqlVioPipe, TMySqlVioSocket, TMetaClass)

TMySqlVioPipe::TMySqlVioPipe(std::string host, int port, std::string path)
    : host_(std::move(host)), port_(port), path_(path.empty() ? kDefaultServerSocket : std::move(path)) {}

void TMySqlVioPipe::Connect() {
  DAC_ASSERT(!IsConnected(), "socket already open");
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
