// One request as a browser on this machine could send it: the bytes reach the
// player's transport over a real loopback connection, in pieces of a size the
// input's first byte picks, so the request buffer fills and its end marker is
// searched across reads. A complete request goes through the request line,
// Host and name readers, and the reply must close the connection.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

// After the standard headers: asio chooses how it allocates from what they
// define, and must choose as the platform's own sources do.
#include <asio/io_context.hpp>

#include "fuzz/fuzz_support.h"
#include "platform/event_loop.h"
#include "server/http/http_request.h"
#include "server/http/http_server.h"
#include "server/http/replies.h"
#include "server/http/session_socket_data.h"

namespace fuzz {
namespace {

constexpr auto kServeLimit = std::chrono::seconds(1);

bool Answer(server::TNetStream* channel, std::string_view request) {
  Require(server::IsRequestComplete(request), "an incomplete request was answered");
  Require(request.size() <= server::kRequestBufferSize - 2, "a request longer than the buffer was answered");
  Require(request.find('\0') == std::string_view::npos, "a request holding NUL was answered");
  const std::optional<std::string> token = server::ReadGetToken(request);
  if (!token || server::HasForeignHost(request)) return false;
  server::ReturnHTML(channel, server::RequestedName(*token), false);
  return true;
}

class Server {
 public:
  Server() : http_(loop_, 0, server::TServerLimits{}, Answer) { Require(http_.GetPort() != 0, "no port to listen on"); }

  // Sends the request in pieces, serving between them, then serves until
  // the server has closed the connection and dropped it from its table.
  void Exchange(std::string_view request, size_t piece) {
    const int fd = Connect();
    while (!request.empty() && Send(fd, request.substr(0, piece))) {
      request.remove_prefix(std::min(piece, request.size()));
      Context().poll();
    }
    ::shutdown(fd, SHUT_WR);
    const auto deadline = std::chrono::steady_clock::now() + kServeLimit;
    while (!PeerClosed(fd)) {
      Require(std::chrono::steady_clock::now() < deadline, "the server never closed the connection");
      Context().run_one_for(std::chrono::milliseconds(10));
    }
    ::close(fd);
    while (http_.GetConnectionCount() != 0) {
      Require(std::chrono::steady_clock::now() < deadline, "a closed connection stayed in the table");
      Context().run_one_for(std::chrono::milliseconds(10));
    }
  }

 private:
  asio::io_context& Context() { return loop_.Context(); }

  // A few tries: on a busy machine a connect can fail for a moment (every
  // local port still waiting out an earlier close).
  int Connect() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(http_.GetPort());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int attempt = 0; attempt < 50; ++attempt) {
      const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return fd;
      if (fd >= 0) ::close(fd);
      Context().run_one_for(std::chrono::milliseconds(20));
    }
    std::perror("connect");
    Require(false, "cannot connect to the server");
    return -1;
  }

  // False once the server has stopped reading (it answered or refused).
  bool Send(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (sent < 0 && errno != EAGAIN) return false;
      if (sent > 0) bytes.remove_prefix(static_cast<size_t>(sent));
      Context().poll();
    }
    return true;
  }

  // Reads what has come; true at the end of the stream or after a reset.
  static bool PeerClosed(int fd) {
    char buffer[4096];
    for (;;) {
      const ssize_t got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
      if (got > 0) continue;
      return got == 0 || errno != EAGAIN;
    }
  }

  plat::EventLoop loop_;
  server::THttpServer http_;
};

}  // namespace
}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A connection must carry bytes: one that sends none may wait for the
  // server's idle timeout.
  if (size < 2) return 0;
  static fuzz::Server server;
  server.Exchange(fuzz::AsText(data + 1, size - 1), size_t{1} << (data[0] % 13));
  return 0;
}
