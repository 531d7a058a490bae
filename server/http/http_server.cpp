#include "server/http/http_server.h"

#include <algorithm>
#include <any>
#include <array>
#include <exception>
#include <string>
#include <utility>

#include "content/debug_log.h"
#include "platform/clock.h"
#include "server/http/http_request.h"
#include "server/http/method_log.h"
#include "server/http/replies.h"

namespace server {
namespace {

constexpr plat::WindowTimers::TimerId kIdleCheckTimer = 2;

// Ports that browsers refuse to connect to: the server must not pick them.
constexpr std::array<uint16_t, 16> kBrowserRefusedPorts = {1719, 1720, 1723, 2049, 3659, 4045, 5060, 5061,
                                                           6000, 6566, 6665, 6666, 6667, 6668, 6669, 6697};

constexpr std::string_view kInvalidRequest = "Invalid request";

constexpr int kAcceptOnFirstBytesS = 5;

std::shared_ptr<TSessionSocketData> RecordOf(plat::TcpConnection& connection) {
  auto* record = std::any_cast<std::shared_ptr<TSessionSocketData>>(&connection.UserData());
  return record ? *record : nullptr;
}

// Takes and drops waiting input.
void DiscardInput(plat::TcpConnection& connection, size_t bytes_waiting) {
  char scratch[4096];
  connection.Receive(scratch, std::min(bytes_waiting, sizeof scratch));
}

}  // namespace

THttpServer::THttpServer(plat::EventLoop& loop, uint16_t port, const TServerLimits& limits,
                         TRequestCallback on_request)
    : limits_(limits),
      on_request_(std::move(on_request)),
      timers_(loop),
      connections_(limits.max_connections),
      listener_(loop) {
  listener_.SetOnAccept([this](const std::shared_ptr<plat::TcpConnection>& c) { OnClientConnect(c); });
  // A browser speaks first: waking for a connection only once its request
  // has begun saves a round of the loop and a read that finds nothing.
  listener_.SetAcceptOnFirstBytes(kAcceptOnFirstBytesS);
  scanned_port_ = port == 0;
  port_ = scanned_port_ ? ListenOnScannedPort() : port;
  timers_.Set(kIdleCheckTimer, limits_.idle_check_interval_ms, [this] { OnIdleCheckTimer(); });
}

THttpServer::~THttpServer() { listener_.Close(); }

uint16_t THttpServer::ListenOnScannedPort() {
  const uint16_t port = listener_.ListenOnFirstFree(kFirstScanPort, kLastScanPort, kBrowserRefusedPorts);
  if (port == 0) content::LogMessage("no free port from %d to %d", kFirstScanPort, kLastScanPort);
  return port;
}

bool THttpServer::Open() {
  TMethodLog log("Open");
  if (port_ == 0) return false;
  if (const std::error_code error = listener_.Listen(port_)) {
    content::LogMessage("cannot listen on port %d: %s", port_, error.message().c_str());
    if (!scanned_port_) return false;
    // Another program took the port while the listener was closed: the
    // browser must not be sent to it. Find a port of our own again.
    port_ = ListenOnScannedPort();
    return port_ != 0;
  }
  return true;
}

void THttpServer::Close() {
  TMethodLog log("Close");
  listener_.Close();
}

void THttpServer::StopListening() {
  TMethodLog log("StopListening");
  listener_.StopListening();
  connections_.CloseUnfinished(plat::ProcessClock().TickCount(), 0);
}

void THttpServer::OnClientConnect(const std::shared_ptr<plat::TcpConnection>& connection) {
  TMethodLog log("OnClientConnect");
  if (!connections_.MakeRoom()) {
    content::LogMessage("connection limit reached: refusing a new connection");
    connection->Abort();
    return;
  }
  auto record = std::make_shared<TSessionSocketData>();
  record->accepted_tick = plat::ProcessClock().TickCount();
  connection->UserData() = record;
  connections_.Add(connection, std::move(record));
  connection->SetSendStallTimeout(limits_.send_stall_timeout_ms);
  connection->SetOnReadable([this](plat::TcpConnection& c, size_t waiting) { OnClientRead(c, waiting); });
  connection->SetOnError([this](plat::TcpConnection& c, std::error_code error) { OnSocketErrorEvent(c, error); });
  connection->SetOnClosed([this](plat::TcpConnection& c) { OnClientDisconnect(c); });
}

void THttpServer::OnClientDisconnect(plat::TcpConnection& connection) {
  TMethodLog log("OnClientDisconnect");
  connections_.Remove(connection);
  connection.UserData().reset();
}

void THttpServer::OnSocketErrorEvent(plat::TcpConnection& connection, std::error_code error) {
  TMethodLog log("OnSocketErrorEvent");
  content::LogMessage("socket error: %s", error.message().c_str());
  if (const auto record = RecordOf(connection)) record->error = true;
}

void THttpServer::OnClientRead(plat::TcpConnection& connection, size_t bytes_waiting) {
  TMethodLog log("OnClientRead");
  const std::shared_ptr<TSessionSocketData> record = RecordOf(connection);
  if (!record || record->complete) {
    // One request per connection: whatever follows it is not read as another.
    if (record) record->input_after_request = true;
    DiscardInput(connection, bytes_waiting);
    return;
  }
  const size_t room = kRequestBufferSize - 1 - record->length;
  if (room <= bytes_waiting) {
    content::LogMessage("request too long: closing the connection");
    connection.Abort();
    return;
  }
  const size_t search_from = record->length >= 3 ? record->length - 3 : 0;
  record->length += connection.Receive(record->buffer.data() + record->length, bytes_waiting);
  record->buffer[record->length] = '\0';
  if (!IsRequestComplete(record->Received().substr(search_from))) return;
  record->complete = true;
  AnswerRequest(connection);
}

void THttpServer::AnswerRequest(plat::TcpConnection& connection) {
  TMethodLog log("AnswerRequest");
  TNetStream channel(connection.shared_from_this());
  const std::string_view request = channel.GetRecord().Received();
  bool answered = false;
  try {
    // A NUL cannot stand in a request: it would cut names short on the way.
    answered = request.find('\0') == std::string_view::npos && on_request_(&channel, request);
  } catch (const std::exception& e) {
    content::LogMessage("request failed: %s", e.what());
    answered = channel.BytesWritten() > 0;  // a reply begun cannot be replaced
  }
  if (!answered) ReturnHttpError(&channel, kInvalidRequest);
  channel.Close();
}

void THttpServer::OnIdleCheckTimer() {
  TMethodLog log("OnIdleCheckTimer");
  connections_.CloseUnfinished(plat::ProcessClock().TickCount(), limits_.idle_timeout_ms);
}

}  // namespace server
