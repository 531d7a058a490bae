#include "dac/mysql/client/transport/mysql_vio_tcp.h"

#include <cerrno>

#include "dac/framework/classes/exceptions.h"

namespace dac {

DAC_DEFINE_CLASS(TMySqlVioTcp, TMySqlVioSocket, TMetaClass)

SocketException::SocketException(int32_t code, const std::string& host, int error_number)
    : EMySqlException(code, code == kCrIpsockError ? ErrorArgs{error_number} : ErrorArgs{host, error_number},
                      std::string()) {}

TMySqlVioTcp::TMySqlVioTcp(std::string host, int port)
    : host_(host.empty() ? "localhost" : std::move(host)), port_(port == 0 ? 3306 : port) {}

void TMySqlVioTcp::Connect() {
  DAC_ASSERT(!IsConnected(), "socket already open");
  TMySqlVio::Connect();
  int error_number = 0;
  const std::vector<plat::StreamAddress> addresses = resolver_(host_, port_, error_number);
  if (addresses.empty())
    throw SocketException(kCrUnknownHost, host_, error_number ? error_number : plat::kUnknownHostError);

  bool socket_failed_only = true;
  for (const plat::StreamAddress& a : addresses) {
    error_number = ConnectSocket(a);
    if (error_number == 0) {
      socket_failed_only = false;
      break;
    }
    // EAFNOSUPPORT and the like come from socket() itself: no connect was tried.
    if (error_number != EAFNOSUPPORT && error_number != EPROTONOSUPPORT && error_number != EMFILE &&
        error_number != ENFILE)
      socket_failed_only = false;
  }
  if (!IsConnected()) {
    SetLastError(Format("Socket error on connect. WSAGetLastError return %d($%X)", error_number, error_number));
    throw SocketException(socket_failed_only ? kCrIpsockError : kCrConnHostError, host_, error_number);
  }
  Socket().SetNoDelayAndKeepAlive();
}

}  // namespace dac
