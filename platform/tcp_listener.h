// A listening TCP socket on the loopback address 127.0.0.1, never on other
// interfaces. It owns the connections it accepts until they have closed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <system_error>

#include "platform/tcp_connection.h"

namespace plat {

class EventLoop;

class TcpListener {
 public:
  // A new connection. Set its callbacks here; reading starts when this returns.
  using AcceptCallback = std::function<void(const std::shared_ptr<TcpConnection>& connection)>;

  // After a failed accept for want of descriptors or memory, the listener
  // waits this long before it tries again rather than spin.
  static constexpr int kAcceptRetryMs = 100;

  // The loop must outlive the listener.
  explicit TcpListener(EventLoop& loop);
  // Stops listening and drops every connection without any callback.
  ~TcpListener();

  TcpListener(const TcpListener&) = delete;
  TcpListener& operator=(const TcpListener&) = delete;

  // Without this callback new connections are closed at once.
  void SetOnAccept(AcceptCallback callback);
  // For peers that speak first: a connection is accepted only once its first
  // bytes have come (or the system gives up waiting after about `seconds`),
  // so the first read finds them. Applies from the next Listen.
  void SetAcceptOnFirstBytes(int seconds);

  // Listens on 127.0.0.1:port with SO_REUSEADDR; port 0 takes any free port.
  // Already listening on that port: nothing changes. Returns the error, if any.
  std::error_code Listen(uint16_t port);
  // Listens on the first port of first..last that is not in `skip` and binds.
  // Returns that port, or 0 when none could be opened.
  uint16_t ListenOnFirstFree(uint16_t first, uint16_t last, std::span<const uint16_t> skip = {});

  bool IsListening() const;
  // The port listened on; 0 when not listening.
  uint16_t Port() const;
  // Connections accepted whose closed callback has not run yet.
  size_t ConnectionCount() const;

  // Stops accepting; the connections accepted stay open. Listen may be
  // called again.
  void StopListening();
  // Stops listening and closes every connection at once; their closed
  // callbacks run before this returns. Listen may be called again.
  void Close();

  struct Impl;  // opaque

 private:
  std::shared_ptr<Impl> impl_;
};

}  // namespace plat
