// A scripted server on a loopback socket: accepts one connection and runs a
// script against it on its own thread. Reads are bounded by a poll timeout,
// so a script never hangs a test.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "tests/dac/mysql/client/wire_test_support.h"
#include "tests/support/eventually.h"

namespace dac::testing {

struct ServerPacket {
  TBytes payload;
  uint8_t sequence = 0;
};

// How long the script waits for the client: only one that hangs takes longer.
inline constexpr int kPeerLimitMs = static_cast<int>(plat::testing::kHungTestLimit.count());

class PeerSocket {
 public:
  explicit PeerSocket(int fd) : fd_(fd) {}

  bool ReadExactly(uint8_t* to, size_t count, int timeout_ms = kPeerLimitMs) {
    size_t done = 0;
    while (done < count) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, timeout_ms) <= 0) return false;
      const ssize_t n = ::recv(fd_, to + done, count - done, 0);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }
  std::optional<ServerPacket> ReadPacket() {
    uint8_t header[4];
    if (!ReadExactly(header, 4)) return std::nullopt;
    ServerPacket p;
    p.sequence = header[3];
    p.payload.resize(header[0] | (header[1] << 8) | (header[2] << 16));
    if (!ReadExactly(p.payload.data(), p.payload.size())) return std::nullopt;
    return p;
  }
  void SendRaw(const TBytes& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  }
  void Send(const TBytes& payload, uint8_t sequence) { SendRaw(Frame(payload, sequence)); }
  int fd() const { return fd_; }

 private:
  int fd_;
};

class FakeServer {
 public:
  using Script = std::function<void(PeerSocket&)>;

  explicit FakeServer(Script script) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 1);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, script = std::move(script)] {
      pollfd p{listener_, POLLIN, 0};
      if (::poll(&p, 1, kPeerLimitMs) <= 0) return;
      const int fd = ::accept(listener_, nullptr, nullptr);
      if (fd < 0) return;
      PeerSocket peer(fd);
      script(peer);
      ::close(fd);
    });
  }
  ~FakeServer() {
    if (thread_.joinable()) thread_.join();
    ::close(listener_);
  }
  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;

  int Port() const { return port_; }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
};

// A loopback port nothing listens on.
inline int UnusedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

}  // namespace dac::testing
