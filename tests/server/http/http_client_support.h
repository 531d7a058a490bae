// Loopback clients for tests of a server on its own event loop, and the exact
// replies they expect.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "platform/event_loop.h"
#include "tests/platform/loopback_test_util.h"

namespace server {

// The exact reply a file of this type and body gets.
inline std::string FileReply(const std::string& type, const std::string& body) {
  return "HTTP/1.0 200 OK\r\nServer: Varnel Server 1.0\r\nConnection: close\r\nPragma: no-cache\r\n"
         "Expires: -1\r\nContent-Type: " +
         type + "\r\nAccept-Ranges: bytes\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

inline const std::string kInvalidRequestPage =
    "HTTP/1.0 200 OK\r\nServer: Ostrand HTTP Server 1.0\r\nPragma: no-cache\r\nExpires: -1\r\n"
    "Content-Type: text/html\r\n\r\n<HTML><BODY><CENTER><B><H1>Server error:</B> Invalid request"
    "</CENTER></BODY></HTML>";

// Clients on threads of their own while the loop serves.
class HttpClientTest : public ::testing::Test {
 protected:
  virtual uint16_t Port() const = 0;
  virtual size_t ConnectionCount() const = 0;

  // Runs client on a thread of its own while the loop serves; false when it
  // did not finish before the limit for a hung test.
  bool WithClient(const std::function<void()>& client) {
    std::atomic<bool> done = false;
    std::jthread thread([&] {
      client();
      done = true;
    });
    return plat::testing::RunUntil(loop_, [&] { return done.load(); });
  }

  // One request on a connection of its own; everything the server sent until it closed.
  std::string Fetch(const std::string& request) {
    std::string reply;
    EXPECT_TRUE(WithClient([&] {
      const int fd = plat::testing::ConnectTo(Port());
      if (fd < 0) return;
      plat::testing::WriteAll(fd, request);
      reply = plat::testing::ReadUpTo(fd);
      ::close(fd);
    }));
    return reply;
  }

  std::string Get(const std::string& target) { return Fetch("GET " + target + " HTTP/1.0\r\n\r\n"); }

  // Serves until every connection has closed.
  bool SettleConnections() {
    return plat::testing::RunUntil(loop_, [&] { return ConnectionCount() == 0; });
  }

  plat::EventLoop loop_;
};

}  // namespace server
