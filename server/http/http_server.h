// The player's HTTP/1.0 transport. The browser reaches it at
// http://127.0.0.1:<port>/; it reads one request per connection and hands it,
// once complete, to the request callback, whose reply closes the connection.
//
// Everything runs on one event loop. Connections that never finish their
// request, peers that never read their reply and floods of connections are
// held to the limits below, so none can lock the learner out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <system_error>

#include "platform/event_loop.h"
#include "platform/tcp_connection.h"
#include "platform/tcp_listener.h"
#include "platform/window_timers.h"
#include "server/http/connection_table.h"
#include "server/http/net_stream.h"

namespace server {

struct TServerLimits {
  // Open connections at most; at the cap a newcomer displaces the oldest
  // connection that has not sent a whole request yet.
  size_t max_connections = 256;
  // A request not complete after this long is closed without a reply.
  uint32_t idle_timeout_ms = 60000;
  // How often unfinished requests are checked against the timeout.
  uint32_t idle_check_interval_ms = 1000;
  // A reply whose reader takes no byte for this long is dropped, so peers
  // that never read cannot fill the connection table.
  int send_stall_timeout_ms = plat::TcpConnection::kDefaultSendStallTimeoutMs;
};

// Answers one complete request (never holding a NUL) through the channel;
// false, or an exception before any reply byte, sends the error page.
using TRequestCallback = std::function<bool(TNetStream* channel, std::string_view request)>;

class THttpServer {
 public:
  // The port scan: the first port of this range that opens, skipping the
  // ports browsers refuse to connect to.
  static constexpr uint16_t kFirstScanPort = 1000;
  static constexpr uint16_t kLastScanPort = 9999;

  // Port 0 scans for a free port and listens on it at once (GetPort stays 0
  // when none opens); any other port is only remembered until Open. The loop
  // must outlive the server, and the callback must stay callable while it lives.
  THttpServer(plat::EventLoop& loop, uint16_t port, const TServerLimits& limits, TRequestCallback on_request);
  // Closes the listener and every connection.
  ~THttpServer();
  THttpServer(const THttpServer&) = delete;
  THttpServer& operator=(const THttpServer&) = delete;

  // Listens on the port (already listening: nothing changes). A scanned port
  // that another program took while the listener was closed is replaced by a
  // new scan, so read GetPort after Open. False when it cannot listen, or
  // when there is no port.
  bool Open();
  // Stops listening; every connection closes, replies in flight included.
  void Close();
  // Stops accepting and closes the connections that have not sent a whole
  // request; replies under way go on, so GetConnectionCount falls to 0 as
  // they finish.
  void StopListening();

  uint16_t GetPort() const { return port_; }
  bool IsListening() const { return listener_.IsListening(); }
  size_t GetConnectionCount() const { return connections_.Count(); }

 private:
  void OnClientConnect(const std::shared_ptr<plat::TcpConnection>& connection);
  void OnClientDisconnect(plat::TcpConnection& connection);
  void OnClientRead(plat::TcpConnection& connection, size_t bytes_waiting);
  void OnSocketErrorEvent(plat::TcpConnection& connection, std::error_code error);
  void OnIdleCheckTimer();
  void AnswerRequest(plat::TcpConnection& connection);
  // Scans for a free port and listens on it; 0 when none opens.
  uint16_t ListenOnScannedPort();

  TServerLimits limits_;
  TRequestCallback on_request_;
  plat::WindowTimers timers_;
  TConnectionTable connections_;
  // Last: destroyed first, while everything its connections call still exists.
  plat::TcpListener listener_;
  uint16_t port_ = 0;
  // The port was found by scanning, not given.
  bool scanned_port_ = false;
};

}  // namespace server
