// A blocking client stream socket, TCP or Unix domain: connects within a
// time limit, then receives and sends with the socket's own time-outs.
// Failures come back as error numbers (errno values), never as exceptions
// or signals, so the caller words them.
#pragma once

#include <sys/socket.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// One address a stream socket can connect to.
struct StreamAddress {
  sockaddr_storage address{};
  socklen_t length = 0;
  int family = 0;
};

// The resolver's own code for a host name it does not know.
extern const int kUnknownHostError;

// The host's TCP addresses in the resolver's order. An empty list leaves a
// non-zero error_number: errno, or the resolver's own (negative) code.
std::vector<StreamAddress> ResolveTcpHost(const std::string& host, int port, int& error_number);

// The address of a Unix domain socket; false with EINVAL (a NUL in the path)
// or ENAMETOOLONG when the path cannot be one.
bool UnixSocketAddress(const std::string& path, StreamAddress& address, int& error_number);

class ClientSocket {
 public:
  ClientSocket() = default;
  ~ClientSocket();
  ClientSocket(const ClientSocket&) = delete;
  ClientSocket& operator=(const ClientSocket&) = delete;

  // A new socket connected to the address, waiting at most timeout_seconds
  // (0: the system's own limit; ETIMEDOUT when it passed), with that many
  // seconds as its receive and send time-outs. A listener whose backlog is
  // full (EAGAIN) is asked again until then. 0 on success, else the error
  // number; the socket is then closed. The socket must not be open.
  int Connect(const StreamAddress& address, int timeout_seconds);
  bool IsOpen() const { return fd_ >= 0; }
  // Receive and send time-outs in seconds; 0 waits without limit.
  void SetTimeouts(int seconds);
  // The same in milliseconds, for waits shorter than a second.
  void SetTimeoutMilliseconds(int64_t milliseconds);
  // TCP_NODELAY and SO_KEEPALIVE: small command packets go out at once and a
  // dead peer is noticed.
  void SetNoDelayAndKeepAlive();

  // One receive call: the bytes received, 0 at the end of the stream, -1
  // with error_number on failure (EAGAIN when the time-out passed).
  long Receive(uint8_t* buffer, size_t count, int& error_number);
  // One send call: the bytes sent, or -1 with error_number. Without wait,
  // a full send buffer fails at once with EAGAIN.
  long Send(const uint8_t* buffer, size_t count, int& error_number, bool wait = true);
  // Closes; nothing when not open. May be called while another thread is
  // inside Receive or Send: the socket is then shut down first, which wakes
  // that call (it returns 0 or fails), and closed once no call is inside.
  void Close();

 private:
  // Counts a call inside Receive or Send for as long as it lasts.
  class InsideCall;

  std::atomic<int> fd_{-1};
  std::atomic<int> calls_inside_{0};
};

}  // namespace plat
