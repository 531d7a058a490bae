#include "dac/mysql/client/transport/mysql_vio_socket.h"

#include <algorithm>

#include "dac/framework/classes/exceptions.h"

namespace dac {

DAC_DEFINE_CLASS(TMySqlVioSocket, TMySqlVio, TMetaClass)

void TMySqlVioSocket::SetTimeout(int seconds) {
  if (seconds == timeout_) return;
  timeout_ = seconds;
  socket_.SetTimeouts(timeout_);
}

int TMySqlVioSocket::ConnectSocket(const plat::StreamAddress& address) {
  DAC_ASSERT(!socket_.IsOpen(), "socket already open");
  // Connected, the socket has timeout_ as its time-outs already.
  return socket_.Connect(address, timeout_);
}

long TMySqlVioSocket::SocketReceive(uint8_t* buffer, int count) {
  int error_number = 0;
  const long n = socket_.Receive(buffer, static_cast<size_t>(count), error_number);
  if (n < 0) SetLastError(Format("Socket error on read. WSAGetLastError return %d($%X)", error_number, error_number));
  return n;
}

long TMySqlVioSocket::SocketSend(const uint8_t* buffer, int count, bool wait) {
  int error_number = 0;
  const long n = socket_.Send(buffer, static_cast<size_t>(count), error_number, wait);
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
