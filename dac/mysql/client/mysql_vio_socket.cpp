#include "dac/mysql/client/mysql_vio_socket.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/time.h>
#include <unistd.h>

#include "dac/framework/exceptions.h"

namespace dac {

DAC_DEFINE_CLASS(TMySqlVioSocket, TMySqlVio, TMetaClass)

TMySqlVioSocket::~TMySqlVioSocket() {
  if (socket_ >= 0) ::close(socket_);
}

void TMySqlVioSocket::SetTimeout(int seconds) {
  if (seconds == timeout_) return;
  timeout_ = seconds;
  ApplyTimeouts();
}

void TMySqlVioSocket::ApplyTimeouts() {
  if (socket_ < 0) return;
  timeval tv{};
  tv.tv_sec = timeout_ > 0 ? timeout_ : 0;
  ::setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  ::setsockopt(socket_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

bool TMySqlVioSocket::ConnectSocket(int family, const sockaddr* address, socklen_t length) {
  DAC_ASSERT(socket_ < 0, "socket already open");
  const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  int rc;
  do {
    rc = ::connect(fd, address, length);
  } while (rc < 0 && errno == EINTR);
  if (rc < 0 && errno == EINPROGRESS) {
    // Bounded by the connect timeout rather than the system's own.
    pollfd p{fd, POLLOUT, 0};
    const int wait_ms = timeout_ > 0 ? timeout_ * 1000 : -1;
    int ready;
    do {
      ready = ::poll(&p, 1, wait_ms);
    } while (ready < 0 && errno == EINTR);
    if (ready == 0) {
      errno = ETIMEDOUT;
      rc = -1;
    } else if (ready > 0) {
      int error = 0;
      socklen_t error_length = sizeof error;
      ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &error_length);
      errno = error;
      rc = error == 0 ? 0 : -1;
    } else {
      rc = -1;
    }
  }
  if (rc < 0) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return false;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  socket_ = fd;
  ApplyTimeouts();
  return true;
}

int TMySqlVioSocket::ReadNoWait(uint8_t* buffer, int offset, int count) {
  SetLastError(std::string());
  if (socket_ < 0) return 0;
  ssize_t n;
  do {
    n = ::recv(socket_, buffer + offset, static_cast<size_t>(count), 0);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    SetLastError(Format("Socket error on read. WSAGetLastError return %d($%X)", errno, errno));
    return 0;
  }
  return static_cast<int>(n);
}

int TMySqlVioSocket::WriteNoWait(const uint8_t* buffer, int offset, int count) {
  SetLastError(std::string());
  if (socket_ < 0) return 0;
  ssize_t n;
  do {
    n = ::send(socket_, buffer + offset, static_cast<size_t>(count), MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    SetLastError(Format("Socket error on write. WSAGetLastError return %d($%X)", errno, errno));
    return 0;
  }
  return static_cast<int>(n);
}

int TMySqlVioSocket::Write(const uint8_t* buffer, int offset, int count) {
  if (socket_ < 0) return 0;
  return TMySqlVio::Write(buffer, offset, count);
}

void TMySqlVioSocket::Close() {
  if (socket_ < 0) return;
  ::shutdown(socket_, SHUT_RDWR);
  ::close(socket_);
  socket_ = -1;
}

}  // namespace dac
