#include "dac/mysql/client/mysql_vio_pipe.h"

#include <errno.h>
#include <sys/un.h>

#include <cstring>

#include "dac/framework/exceptions.h"
#include "dac/mysql/client/client_errors.h"

namespace dac {

DAC_DEFINE_CLASS(TMySqlVioPipe, TMySqlVioSocket, TMetaClass)

TMySqlVioPipe::TMySqlVioPipe(std::string host, int port, std::string path)
    : host_(std::move(host)), port_(port), path_(path.empty() ? kDefaultServerSocket : std::move(path)) {}

void TMySqlVioPipe::Connect() {
  DAC_ASSERT(!IsConnected(), "socket already open");
  TMySqlVio::Connect();
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path_.find('\0') != std::string::npos)
    throw EMySqlException(kCrConnectionError, ErrorArgs{path_, EINVAL}, std::string());
  if (path_.size() >= sizeof address.sun_path)
    throw EMySqlException(kCrConnectionError, ErrorArgs{path_, ENAMETOOLONG}, std::string());
  std::memcpy(address.sun_path, path_.data(), path_.size());
  if (!ConnectSocket(AF_UNIX, reinterpret_cast<const sockaddr*>(&address), sizeof address)) {
    const int error_number = errno;
    SetLastError(Format("Socket error on connect. WSAGetLastError return %d($%X)", error_number, error_number));
    throw EMySqlException(kCrConnectionError, ErrorArgs{path_, error_number}, std::string());
  }
}

}  // namespace dac
