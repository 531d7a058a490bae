// Helpers for tests that drive the event loop against real loopback sockets.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

#include "platform/event_loop.h"
#include "platform/tcp_connection.h"
#include "platform/window_timers.h"
#include "tests/support/eventually.h"

namespace plat::testing {

// Runs the loop until `done` holds (checked every few milliseconds) or the
// time is up. True when `done` held.
inline bool RunUntil(EventLoop& loop, const std::function<bool()>& done,
                     int timeout_ms = static_cast<int>(kHungTestLimit.count())) {
  WindowTimers timers(loop);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  bool met = false;
  timers.Set(1, WindowTimers::kMinimumIntervalMs, [&] {
    met = done();
    if (met || std::chrono::steady_clock::now() >= deadline) loop.Quit();
  });
  loop.Run();
  return met;
}

// A blocking client socket connected to ip:port, with a receive timeout so
// that a test fails instead of hanging; -1 when the connection failed.
inline int ConnectTo(uint16_t port, const char* ip = "127.0.0.1") {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  timeval timeout{std::chrono::duration_cast<std::chrono::seconds>(kHungTestLimit).count(), 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  ::inet_pton(AF_INET, ip, &address.sin_addr);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

inline bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

// Reads until the peer's end of stream, an error or `limit` bytes.
inline std::string ReadUpTo(int fd, size_t limit = SIZE_MAX) {
  std::string all;
  char buffer[64 * 1024];
  while (all.size() < limit) {
    const ssize_t got = ::recv(fd, buffer, std::min(sizeof buffer, limit - all.size()), 0);
    if (got <= 0) break;
    all.append(buffer, static_cast<size_t>(got));
  }
  return all;
}

// The byte at offset i of every generated reply.
inline char PatternByte(size_t i) { return static_cast<char>('a' + (i * 7 + i / 251) % 26); }

inline std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = PatternByte(i);
  return bytes;
}

// Yields `size` pattern bytes in blocks of at most `block` bytes; counts the
// blocks asked for and notes its own destruction.
class PatternSource : public RefillSource {
 public:
  PatternSource(size_t size, size_t block, std::atomic<bool>* destroyed, int* reads = nullptr)
      : size_(size), block_(block), destroyed_(destroyed), reads_(reads) {}
  ~PatternSource() override {
    if (destroyed_ != nullptr) *destroyed_ = true;
  }
  size_t Read(char* buffer, size_t size) override {
    if (reads_ != nullptr) ++*reads_;
    const size_t count = std::min({size, block_, size_ - position_});
    for (size_t i = 0; i < count; ++i) buffer[i] = PatternByte(position_ + i);
    position_ += count;
    return count;
  }

 private:
  size_t size_;
  size_t block_;
  size_t position_ = 0;
  std::atomic<bool>* destroyed_;
  int* reads_;
};

}  // namespace plat::testing
