#include "platform/tcp_listener.h"

#include "platform/event_loop.h"
#include "platform/process_setup.h"

#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <unordered_map>
#include <vector>

namespace plat {
namespace {

// Accepts per readable event, so a burst of connections does not hold up the loop.
constexpr int kMaxAcceptsPerEvent = 32;

// Errors of one pending connection that leave the listener fine.
bool IsTransientAcceptError(int error) {
  switch (error) {
    case EINTR:
    case ECONNABORTED:
    case EPROTO:
    case EPERM:
    case ENETDOWN:
    case ENOPROTOOPT:
    case EHOSTDOWN:
    case ENONET:
    case EHOSTUNREACH:
    case EOPNOTSUPP:
    case ENETUNREACH:
      return true;
    default:
      return false;
  }
}

}  // namespace

struct TcpListener::Impl : std::enable_shared_from_this<TcpListener::Impl> {
  explicit Impl(EventLoop& loop) : loop(loop), acceptor(loop.Context()), retry_timer(loop.Context()) {}

  EventLoop& loop;
  asio::ip::tcp::acceptor acceptor;
  asio::steady_timer retry_timer;
  AcceptCallback on_accept;
  int accept_on_first_bytes_s = 0;
  std::unordered_map<const TcpConnection*, std::shared_ptr<TcpConnection>> connections;
  // Bumped whenever listening starts or stops, so waits armed before know they are stale.
  uint64_t generation = 0;

  std::error_code Listen(uint16_t port) {
    // Files go out with sendfile, which has no flag against SIGPIPE: a peer
    // that leaves in the middle of a reply must not end the process.
    IgnoreBrokenPipes();
    std::error_code ec;
    acceptor.open(asio::ip::tcp::v4(), ec);
    if (ec) return ec;
    ::fcntl(acceptor.native_handle(), F_SETFD, FD_CLOEXEC);  // children (a browser) must not inherit it
    acceptor.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec) acceptor.bind(asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), port), ec);
    if (!ec && accept_on_first_bytes_s > 0 &&
        ::setsockopt(acceptor.native_handle(), IPPROTO_TCP, TCP_DEFER_ACCEPT, &accept_on_first_bytes_s,
                     sizeof accept_on_first_bytes_s) != 0)
      ec = std::error_code(errno, std::system_category());
    if (!ec) acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (!ec) acceptor.native_non_blocking(true, ec);
    if (ec) {
      std::error_code ignored;
      acceptor.close(ignored);
      return ec;
    }
    ++generation;
    WaitForConnection();
    return {};
  }

  void StopListening() {
    ++generation;
    std::error_code ignored;
    acceptor.close(ignored);
    retry_timer.cancel();
  }

  void WaitForConnection() {
    acceptor.async_wait(asio::socket_base::wait_read,
                        [weak = weak_from_this(), generation = generation](const std::error_code& ec) {
                          std::shared_ptr<Impl> impl = weak.lock();
                          if (impl && !ec && impl->generation == generation) impl->AcceptPending();
                        });
  }

  void RetryLater() {
    retry_timer.expires_after(std::chrono::milliseconds(kAcceptRetryMs));
    retry_timer.async_wait([weak = weak_from_this(), generation = generation](const std::error_code& ec) {
      std::shared_ptr<Impl> impl = weak.lock();
      if (impl && !ec && impl->generation == generation) impl->AcceptPending();
    });
  }

  void AcceptPending() {
    const uint64_t listening = generation;
    for (int accepted = 0; accepted < kMaxAcceptsPerEvent;) {
      const int fd = ::accept4(acceptor.native_handle(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) break;
        if (IsTransientAcceptError(errno)) continue;
        // Out of descriptors or memory: the connection stays queued and the
        // socket stays readable, so waiting for readiness would spin.
        RetryLater();
        return;
      }
      ++accepted;
      Welcome(fd);
      if (generation != listening) return;  // closed or moved inside the accept callback
    }
    WaitForConnection();
  }

  void Welcome(int fd) {
    std::shared_ptr<TcpConnection> connection;
    if (!loop.Guard([&] { connection = TcpConnection::Adopt(loop, fd); })) return;
    connections.emplace(connection.get(), connection);
    connection->SetReleaseHook([weak = weak_from_this(), key = connection.get()] {
      if (std::shared_ptr<Impl> impl = weak.lock()) impl->connections.erase(key);
    });
    AcceptCallback call = on_accept;
    if (!call || !loop.Guard([&] { call(connection); })) {
      connection->Abort();
      return;
    }
    connection->StartReading();
  }

  // Takes the connections out first: their callbacks may touch the listener.
  std::vector<std::shared_ptr<TcpConnection>> TakeConnections() {
    std::vector<std::shared_ptr<TcpConnection>> taken;
    taken.reserve(connections.size());
    for (auto& entry : connections) taken.push_back(std::move(entry.second));
    connections.clear();
    return taken;
  }
};

TcpListener::TcpListener(EventLoop& loop) : impl_(std::make_shared<Impl>(loop)) {}

TcpListener::~TcpListener() {
  impl_->StopListening();
  for (const auto& connection : impl_->TakeConnections()) connection->Drop();
}

void TcpListener::SetOnAccept(AcceptCallback callback) { impl_->on_accept = std::move(callback); }
void TcpListener::SetAcceptOnFirstBytes(int seconds) { impl_->accept_on_first_bytes_s = seconds; }

std::error_code TcpListener::Listen(uint16_t port) {
  if (IsListening()) {
    if (port == 0 || port == Port()) return {};
    impl_->StopListening();
  }
  return impl_->Listen(port);
}

uint16_t TcpListener::ListenOnFirstFree(uint16_t first, uint16_t last, std::span<const uint16_t> skip) {
  for (uint32_t port = std::max<uint32_t>(first, 1); port <= last; ++port) {
    if (std::find(skip.begin(), skip.end(), port) != skip.end()) continue;
    if (!Listen(static_cast<uint16_t>(port))) return static_cast<uint16_t>(port);
  }
  return 0;
}

bool TcpListener::IsListening() const { return impl_->acceptor.is_open(); }

uint16_t TcpListener::Port() const {
  if (!IsListening()) return 0;
  std::error_code ec;
  const asio::ip::tcp::endpoint local = impl_->acceptor.local_endpoint(ec);
  return ec ? 0 : local.port();
}

size_t TcpListener::ConnectionCount() const { return impl_->connections.size(); }

void TcpListener::StopListening() { impl_->StopListening(); }

void TcpListener::Close() {
  impl_->StopListening();
  // Nothing of the listener is touched below: a closed callback may destroy it.
  for (const auto& connection : impl_->TakeConnections()) connection->CloseAndNotify();
}

}  // namespace plat
