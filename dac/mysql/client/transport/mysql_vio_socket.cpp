#include "dac/mysql/client/transport/mysql_vio_socket.h"

#include <algorithm>
#include <cerrno>

#include "dac/framework/classes/exceptions.h"

namespace dac {

DAC_DEFINE_CLASS(TMySqlVioSocket, TMySqlVio, TMetaClass)

void TMySqlVioSocket::SetTimeout(int seconds) {
  if (seconds == timeout_) return;
  timeout_ = seconds;
  // Not connected yet: Connect gives the socket timeout_.
  if (!socket_.IsOpen()) return;
  // No limit, where the socket has one (the connect time-out, after the
  // handshake): the socket keeps it, and a receive or send that outlasts it
  // is made again, which saves setting both time-outs back on every connect.
  if (seconds == 0 && socket_seconds_ > 0) return;
  if (seconds == socket_seconds_) return;
  socket_seconds_ = seconds;
  socket_.SetTimeouts(seconds);
}

int TMySqlVioSocket::ConnectSocket(const plat::StreamAddress& address) {
  DAC_ASSERT(!socket_.IsOpen(), "socket already open");
  // Connected, the socket has timeout_ as its time-outs already.
  const int error_number = socket_.Connect(address, timeout_);
  if (error_number == 0) socket_seconds_ = timeout_;
  return error_number;
}

// The socket's time-out passed, and there is no limit to keep.
bool TMySqlVioSocket::WaitsOn(long result, int error_number) const {
  return result < 0 && error_number == EAGAIN && timeout_ == 0 &&
         socket_seconds_ > 0;
}

long TMySqlVioSocket::SocketReceive(uint8_t* buffer, int count) {
  int error_number = 0;
  long n;
  do {
    n = socket_.Receive(buffer, static_cast<size_t>(count), error_number);
  } while (WaitsOn(n, error_number));
  if (n < 0) SetLastError(Format("Socket error on read. WSAGetLastError return %d($%X)", error_number, error_number));
  return n;
}

long TMySqlVioSocket::SocketSend(const uint8_t* buffer, int count, bool wait) {
  int error_number = 0;
  long n;
  do {
    n = socket_.Send(buffer, static_cast<size_t>(count), error_number, wait);
  } while (wait && WaitsOn(n, error_number));
  if (n < 0) SetLastError(Format("Socket error on write. WSAGetLastError return %d($%X)", error_number, error_number));
  return n;
}

int TMySqlVioSocket::ReadNoWait(uint8_t* buffer, int offset, int count) {
  SetLastError(std::string());
  if (!socket_.IsOpen()) return 0;
  return static_cast<int>(std::max(0L, SocketReceive(buffer + offset, count)));
}

int TMySqlVioSocket::WriteNoWait(const uint8_t* buffer, int offset, int count) {
  SetLastError(std::string());
  if (!socket_.IsOpen()) return 0;
  return static_cast<int>(std::max(0L, SocketSend(buffer + offset, count)));
}

int TMySqlVioSocket::Write(const uint8_t* buffer, int offset, int count) {
  if (!socket_.IsOpen()) return 0;
  return TMySqlVio::Write(buffer, offset, count);
}

void TMySqlVioSocket::Close() { socket_.Close(); }

}  // namespace dac
