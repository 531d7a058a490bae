#include "server/quiz_session.h"

#include <any>
#include <array>
#include <string>

#include "content/debug_log.h"
#include "content/percent_codec.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/random.h"
#include "server/http/http_reply.h"
#include "server/http/http_request.h"
#include "server/http/method_log.h"

namespace {

constexpr plat::WindowTimers::TimerId kSweepTimer = 1;
constexpr plat::WindowTimers::TimerId kIdleCheckTimer = 2;

// Ports that browsers refuse to connect to: the server must not pick them.
constexpr std::array<uint16_t, 16> kBrowserRefusedPorts = {1719, 1720, 1723, 2049, 3659, 4045, 5060, 5061,
                                                           6000, 6566, 6665, 6666, 6667, 6668, 6669, 6697};

constexpr std::string_view kInvalidRequest = "Invalid request";

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

TQuizSession::TQuizSession(plat::EventLoop& loop, uint16_t port, const TServerLimits& limits)
    : loop_(loop), limits_(limits), timers_(loop), connections_(limits.max_connections), listener_(loop) {
  TMethodLog log("TQuizSession");
  plat::SeedProcessRandom(static_cast<uint64_t>(plat::ProcessClock().UtcSeconds()));
  RegisterActions();
  listener_.SetOnAccept([this](const std::shared_ptr<plat::TcpConnection>& c) { OnClientConnect(c); });
  scanned_port_ = port == 0;
  if (port != 0) {
    port_ = port;
  } else {
    port_ = listener_.ListenOnFirstFree(kFirstScanPort, kLastScanPort, kBrowserRefusedPorts);
    if (port_ == 0) LogMessage("no free port from %d to %d", kFirstScanPort, kLastScanPort);
  }
  timers_.Set(kSweepTimer, kSweepIntervalMs, [this] { OnSweepTimer(); });
  timers_.Set(kIdleCheckTimer, limits_.idle_check_interval_ms, [this] { OnIdleCheckTimer(); });
}

TQuizSession::~TQuizSession() {
  TMethodLog log("~TQuizSession");
  listener_.Close();
}

bool TQuizSession::Open() {
  TMethodLog log("Open");
  if (port_ == 0) return false;
  if (const std::error_code error = listener_.Listen(port_)) {
    LogMessage("cannot listen on port %d: %s", port_, error.message().c_str());
    if (!scanned_port_) return false;
    // Another program took the port while the content switched: the browser
    // must not be sent to it. Find a port of our own again.
    port_ = listener_.ListenOnFirstFree(kFirstScanPort, kLastScanPort, kBrowserRefusedPorts);
    if (port_ == 0) LogMessage("no free port from %d to %d", kFirstScanPort, kLastScanPort);
    return port_ != 0;
  }
  return true;
}

void TQuizSession::Close() {
  TMethodLog log("Close");
  listener_.Close();
}

void TQuizSession::StopListening() {
  TMethodLog log("StopListening");
  listener_.StopListening();
  connections_.CloseUnfinished(plat::ProcessClock().TickCount(), 0);
}

bool TQuizSession::ProcessHttpRequest(TNetStream* channel, std::string_view request) {
  TMethodLog log("ProcessHttpRequest");
  if (request.empty()) return false;
  const std::optional<std::string> token = ReadGetToken(request);
  if (!token) return false;
  if (HasForeignHost(request)) {
    LogMessage("request for another host refused");
    return false;
  }
  const std::string name = RequestedName(*token);
  if (const size_t query = name.find('?'); query != std::string::npos)
    return ProcessRequest(channel, std::string_view(name).substr(query + 1));
  if (!content_.RequestedFileExists(name)) return false;
  return SendFile(channel, name);
}

bool TQuizSession::SendFile(TNetStream* channel, std::string_view path) {
  TMethodLog log("SendFile");
  LogMessage("filename: %s", std::string(path).c_str());
  const std::string_view type = ContentTypeOf(path);
  if (type.empty()) {
    LogMessage("invalid file type");
    return false;
  }
  if (channel == nullptr) return false;
  std::unique_ptr<TContentFile> file = content_.Open(path);
  if (!file) return false;
  const int64_t size = file->Size();
  // The reply owns the open file: switching content or a disconnect in the
  // middle of the reply frees nothing it still reads.
  if (!channel->WriteString(FileReplyHeader(type, size)) ||
      !channel->WriteFrom(std::make_unique<TContentFileSource>(std::move(file))))
    LogMessage("error");
  channel->Close();
  return true;
}

std::string TQuizSession::LoadFileToString(std::string_view path) {
  TMethodLog log("LoadFileToString");
  return LoadFileText(path).value_or("");
}

std::optional<std::string> TQuizSession::LoadFileText(std::string_view path) {
  return ReadContentText(path, NulEnd::kEachBlock);
}

std::optional<std::string> TQuizSession::ReadContentText(std::string_view name, NulEnd nul_end) const {
  std::unique_ptr<TContentFile> file = content_.Open(name);
  if (!file) return std::nullopt;
  std::string text;
  std::string block(kFileBlockSize, '\0');
  for (;;) {
    const int64_t got = file->Read(block.data(), static_cast<int64_t>(block.size()));
    if (got <= 0) break;
    const std::string_view piece(block.data(), static_cast<size_t>(got));
    const size_t nul = piece.find('\0');
    text.append(piece.substr(0, nul));
    if (nul != std::string_view::npos && nul_end == NulEnd::kWholeText) break;
  }
  return text;
}

void TQuizSession::ReturnHttpError(TNetStream* channel, std::string_view message) {
  TMethodLog log("ReturnHttpError");
  if (channel == nullptr) return;
  channel->WriteString(ErrorPage(message));
}

void TQuizSession::ReturnXML(TNetStream* channel, std::string_view body) {
  TMethodLog log("ReturnXML");
  if (channel == nullptr) return;
  LogMessage("data: %s", std::string(body).c_str());
  channel->WriteString(BodyReply("text/xml", body));
  channel->Close();
}

void TQuizSession::ReturnHTML(TNetStream* channel, std::string_view html, bool raw) {
  TMethodLog log("ReturnHTML");
  if (channel == nullptr) return;
  channel->WriteString(BodyReply("text/html", raw ? std::string(html) : PercentEncode(html)));
  channel->Close();
}

void TQuizSession::OnClientConnect(const std::shared_ptr<plat::TcpConnection>& connection) {
  TMethodLog log("OnClientConnect");
  if (!connections_.MakeRoom()) {
    LogMessage("connection limit reached: refusing a new connection");
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

void TQuizSession::OnClientDisconnect(plat::TcpConnection& connection) {
  TMethodLog log("OnClientDisconnect");
  connections_.Remove(connection);
  connection.UserData().reset();
}

void TQuizSession::OnSocketErrorEvent(plat::TcpConnection& connection, std::error_code error) {
  TMethodLog log("OnSocketErrorEvent");
  LogMessage("socket error: %s", error.message().c_str());
  if (const auto record = RecordOf(connection)) record->error = true;
}

void TQuizSession::OnClientRead(plat::TcpConnection& connection, size_t bytes_waiting) {
  TMethodLog log("OnClientRead");
  const std::shared_ptr<TSessionSocketData> record = RecordOf(connection);
  if (!record || record->complete) {
    // One request per connection: whatever follows it is not read as another.
    DiscardInput(connection, bytes_waiting);
    return;
  }
  const size_t room = kRequestBufferSize - 1 - record->length;
  if (room <= bytes_waiting) {
    LogMessage("request too long: closing the connection");
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

void TQuizSession::AnswerRequest(plat::TcpConnection& connection) {
  TMethodLog log("AnswerRequest");
  TNetStream channel(connection.shared_from_this());
  const std::string_view request = channel.GetRecord().Received();
  bool answered = false;
  try {
    // A NUL cannot stand in a request: it would cut names short on the way.
    answered = request.find('\0') == std::string_view::npos && ProcessHttpRequest(&channel, request);
  } catch (const std::exception& e) {
    LogMessage("request failed: %s", e.what());
    answered = channel.BytesWritten() > 0;  // a reply begun cannot be replaced
  }
  if (!answered) ReturnHttpError(&channel, kInvalidRequest);
  channel.Close();
}

void TQuizSession::OnIdleCheckTimer() {
  TMethodLog log("OnIdleCheckTimer");
  connections_.CloseUnfinished(plat::ProcessClock().TickCount(), limits_.idle_timeout_ms);
}
