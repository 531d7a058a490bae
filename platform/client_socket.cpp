#include "platform/client_socket.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace plat {

const int kUnknownHostError = EAI_NONAME;

std::vector<StreamAddress> ResolveTcpHost(const std::string& host, int port, int& error_number) {
  error_number = 0;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* list = nullptr;
  const std::string service = std::to_string(port);
  const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
  std::vector<StreamAddress> out;
  if (rc != 0) {
    error_number = rc == EAI_SYSTEM && errno != 0 ? errno : rc;
    return out;
  }
  for (addrinfo* a = list; a; a = a->ai_next) {
    if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
    StreamAddress r;
    std::memcpy(&r.address, a->ai_addr, a->ai_addrlen);
    r.length = a->ai_addrlen;
    r.family = a->ai_family;
    out.push_back(r);
  }
  ::freeaddrinfo(list);
  if (out.empty()) error_number = kUnknownHostError;
  return out;
}

bool UnixSocketAddress(const std::string& path, StreamAddress& address, int& error_number) {
  sockaddr_un un{};
  un.sun_family = AF_UNIX;
  if (path.find('\0') != std::string::npos) {
    error_number = EINVAL;
    return false;
  }
  if (path.size() >= sizeof un.sun_path) {
    error_number = ENAMETOOLONG;
    return false;
  }
  std::memcpy(un.sun_path, path.data(), path.size());
  address = StreamAddress();
  std::memcpy(&address.address, &un, sizeof un);
  address.length = sizeof un;
  address.family = AF_UNIX;
  error_number = 0;
  return true;
}

ClientSocket::~ClientSocket() {
  const int fd = fd_.load();
  if (fd >= 0) ::close(fd);
}

class ClientSocket::InsideCall {
 public:
  explicit InsideCall(std::atomic<int>& count) : count_(count) { count_.fetch_add(1); }
  ~InsideCall() { count_.fetch_sub(1); }
  InsideCall(const InsideCall&) = delete;
  InsideCall& operator=(const InsideCall&) = delete;

 private:
  std::atomic<int>& count_;
};

namespace {

// Waits for an interrupted TCP connect to finish: 0 or the error number.
int FinishConnect(int fd, int timeout_seconds) {
  pollfd p{fd, POLLOUT, 0};
  const int wait_ms = timeout_seconds > 0 ? timeout_seconds * 1000 : -1;
  int ready;
  do {
    ready = ::poll(&p, 1, wait_ms);
  } while (ready < 0 && errno == EINTR);
  if (ready == 0) return ETIMEDOUT;
  if (ready < 0) return errno;
  int error = 0;
  socklen_t error_length = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &error_length) != 0) return errno;
  return error;
}

void SetTimeoutsOf(int fd, int64_t milliseconds) {
  timeval tv{};
  if (milliseconds > 0) {
    tv.tv_sec = static_cast<time_t>(milliseconds / 1000);
    tv.tv_usec = static_cast<suseconds_t>(milliseconds % 1000 * 1000);
  }
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

// connect() on a blocking socket, which the send time-out bounds (EINPROGRESS
// when it passed): 0 or the error number. Interrupted, a TCP connection goes
// on and is waited for, a Unix one was not made and is asked for again; a
// Unix listener with a full backlog (EAGAIN) is asked again until the
// time-out passes.
int ConnectWithin(int fd, const StreamAddress& address, int timeout_seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  for (;;) {
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address.address), address.length) == 0) return 0;
    if (errno == EINTR) {
      if (address.family == AF_UNIX) continue;
      return FinishConnect(fd, timeout_seconds);
    }
    if (errno == EINPROGRESS) return ETIMEDOUT;
    if (errno != EAGAIN || (timeout_seconds > 0 && std::chrono::steady_clock::now() >= deadline)) return errno;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

int ClientSocket::Connect(const StreamAddress& address, int timeout_seconds) {
  if (fd_.load() >= 0) return EISCONN;
  const int fd = ::socket(address.family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return errno;
  // The time-outs bound the connect itself, and the exchanges after it: a
  // blocking connect needs no poll and no switch between modes.
  if (timeout_seconds > 0) SetTimeoutsOf(fd, timeout_seconds * int64_t{1000});
  const int error = ConnectWithin(fd, address, timeout_seconds);
  if (error != 0) {
    ::close(fd);
    return error;
  }
  fd_.store(fd);
  return 0;
}

void ClientSocket::SetTimeouts(int seconds) { SetTimeoutMilliseconds(seconds > 0 ? seconds * int64_t{1000} : 0); }

void ClientSocket::SetTimeoutMilliseconds(int64_t milliseconds) {
  const int fd = fd_.load();
  if (fd >= 0) SetTimeoutsOf(fd, milliseconds);
}

void ClientSocket::SetNoDelayAndKeepAlive() {
  const int fd = fd_.load();
  if (fd < 0) return;
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
}

// The count goes up before the descriptor is read, so that a Close that
// took the descriptor away sees the call and does not close under it.
long ClientSocket::Receive(uint8_t* buffer, size_t count, int& error_number) {
  const InsideCall inside(calls_inside_);
  const int fd = fd_.load();
  if (fd < 0) {
    error_number = EBADF;
    return -1;
  }
  ssize_t n;
  do {
    n = ::recv(fd, buffer, count, 0);
  } while (n < 0 && errno == EINTR);
  if (n < 0) error_number = errno;
  return static_cast<long>(n);
}

long ClientSocket::Send(const uint8_t* buffer, size_t count, int& error_number, bool wait) {
  const InsideCall inside(calls_inside_);
  const int fd = fd_.load();
  if (fd < 0) {
    error_number = EBADF;
    return -1;
  }
  ssize_t n;
  do {
    n = ::send(fd, buffer, count, MSG_NOSIGNAL | (wait ? 0 : MSG_DONTWAIT));
  } while (n < 0 && errno == EINTR);
  if (n < 0) error_number = errno;
  return static_cast<long>(n);
}

// A close from the thread that uses the socket, the common case, is one
// call; a shutdown is needed only to wake a call inside in another thread.
void ClientSocket::Close() {
  const int fd = fd_.exchange(-1);
  if (fd < 0) return;
  if (calls_inside_.load() > 0) {
    ::shutdown(fd, SHUT_RDWR);
    // Shut down, the socket lets every call inside return at once.
    while (calls_inside_.load() > 0) std::this_thread::yield();
  }
  ::close(fd);
}

}  // namespace plat
