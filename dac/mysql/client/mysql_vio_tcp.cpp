#include "dac/mysql/client/mysql_vio_tcp.h"

#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>

#include <cstring>

#include "dac/framework/exceptions.h"

namespace dac {

DAC_DEFINE_CLASS(TMySqlVioTcp, TMySqlVioSocket, TMetaClass)

SocketException::SocketException(int32_t code, const std::string& host, int error_number)
    : EMySqlException(code, code == kCrIpsockError ? ErrorArgs{error_number} : ErrorArgs{host, error_number},
                      std::string()) {}

std::vector<ResolvedAddress> ResolveHost(const std::string& host, int port, int& error_number) {
  error_number = 0;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* list = nullptr;
  const std::string service = std::to_string(port);
  const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
  std::vector<ResolvedAddress> out;
  if (rc != 0) {
    error_number = rc == EAI_SYSTEM ? errno : rc;
    if (error_number == 0) error_number = rc;
    return out;
  }
  for (addrinfo* a = list; a; a = a->ai_next) {
    if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
    ResolvedAddress r;
    std::memcpy(&r.address, a->ai_addr, a->ai_addrlen);
    r.length = a->ai_addrlen;
    r.family = a->ai_family;
    out.push_back(r);
  }
  ::freeaddrinfo(list);
  return out;
}

TMySqlVioTcp::TMySqlVioTcp(std::string host, int port)
    : host_(host.empty() ? "localhost" : std::move(host)), port_(port == 0 ? 3306 : port) {}

void TMySqlVioTcp::Connect() {
  DAC_ASSERT(!IsConnected(), "socket already open");
  TMySqlVio::Connect();
  int error_number = 0;
  const std::vector<ResolvedAddress> addresses = resolver_(host_, port_, error_number);
  if (addresses.empty()) throw SocketException(kCrUnknownHost, host_, error_number ? error_number : EAI_NONAME);

  bool socket_failed_only = true;
  for (const ResolvedAddress& a : addresses) {
    if (ConnectSocket(a.family, reinterpret_cast<const sockaddr*>(&a.address), a.length)) {
      socket_failed_only = false;
      break;
    }
    error_number = errno;
    // EAFNOSUPPORT and the like come from socket() itself: no connect was tried.
    if (error_number != EAFNOSUPPORT && error_number != EPROTONOSUPPORT && error_number != EMFILE &&
        error_number != ENFILE)
      socket_failed_only = false;
  }
  if (!IsConnected()) {
    SetLastError(Format("Socket error on connect. WSAGetLastError return %d($%X)", error_number, error_number));
    throw SocketException(socket_failed_only ? kCrIpsockError : kCrConnHostError, host_, error_number);
  }
  const int on = 1;
  ::setsockopt(GetSocket(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  ::setsockopt(GetSocket(), SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
}

}  // namespace dac
