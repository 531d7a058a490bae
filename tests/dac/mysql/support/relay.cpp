#include "tests/dac/mysql/support/relay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <list>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace dac::testing {

namespace {

constexpr uint8_t kComQuery = 0x03;
constexpr uint8_t kComStmtPrepare = 0x16;
constexpr uint8_t kComStmtExecute = 0x17;
constexpr uint32_t kClientCompress = 0x20;
constexpr uint32_t kClientSsl = 0x800;
constexpr size_t kHeaderSize = 4;

void CloseFd(int& fd) {
  if (fd < 0) return;
  ::shutdown(fd, SHUT_RDWR);
  ::close(fd);
  fd = -1;
}

// All of it, or false when the peer is gone.
bool SendAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// The test server listens on a numeric address.
int ConnectTo(const std::string& host, int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (::inet_pton(AF_INET, host == "localhost" ? "127.0.0.1" : host.c_str(), &address.sin_addr) != 1) return -1;
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) CloseFd(fd);
  if (fd >= 0) {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  }
  return fd;
}

// The greeting without CLIENT_SSL among the server's capabilities, whose
// low two bytes follow the version text, thread id, scramble and filler.
void StripTlsOffer(std::vector<uint8_t>& greeting) {
  size_t at = kHeaderSize + 1;
  while (at < greeting.size() && greeting[at] != 0) ++at;
  at += 1 + 4 + 8 + 1;
  if (at + 2 <= greeting.size()) greeting[at + 1] &= static_cast<uint8_t>(~(kClientSsl >> 8));
}

struct Session {
  int client = -1;
  int server = -1;
  std::vector<uint8_t> pending;  // client bytes short of a whole packet
  bool raw = false;              // TLS or compression: the bytes pass unread
  bool login_seen = false;
  bool cut_in_answer = false;
  size_t answer_bytes = 0;  // of the answer still to pass before the cut
  std::string last_prepared;
  // The greeting is held until whole, to take the TLS offer out.
  bool strip_tls = false;
  std::vector<uint8_t> greeting;
  // A byte of the answer under way to alter: how far on, and to what.
  bool altering = false;
  size_t alter_at = 0;
  uint8_t alter_value = 0;

  void Close() {
    CloseFd(client);
    CloseFd(server);
  }
  bool Open() const { return client >= 0 && server >= 0; }
};

}  // namespace

struct Relay::State {
  // Shared with the test's thread.
  mutable std::mutex lock;
  std::vector<std::string> statements;
  std::string cut_text;
  Cut cut_when = Cut::kBefore;
  int cut_countdown = 0;  // 0: no cut waits
  size_t cut_reply_bytes = 0;
  bool down = false;
  int cuts = 0;
  bool strip_tls = false;
  int plain_logins = 0;
  std::string alter_text;
  size_t alter_offset = 0;
  uint8_t alter_value = 0;
  bool alter_armed = false;

  // The relay thread's own.
  std::string host;
  int port = 0;
  int listener = -1;
  int listen_port = 0;
  int wake[2] = {-1, -1};
  std::list<Session> sessions;
  std::thread thread;

  void Run();
  void Accept();
  void FromClient(Session& session);
  void FromServer(Session& session);
  void Packet(Session& session, std::vector<uint8_t> packet);
  void Login(Session& session, const std::vector<uint8_t>& packet);
  // Holds the greeting back until it is whole, then passes it on stripped.
  void PassGreeting(Session& session, const uint8_t* data, size_t size);
  // What the statement of a command packet asks of its session.
  enum class Decision { kPass, kCutBefore, kCutInAnswer };
  Decision Inspect(Session& session, const std::vector<uint8_t>& packet, size_t& reply_bytes);
  void CountCut() {
    std::lock_guard<std::mutex> guard(lock);
    ++cuts;
  }
};

Relay::Relay(const std::string& host, int port) : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.host = host;
  s.port = port;
  if (::pipe(s.wake) != 0) throw std::runtime_error("relay: no pipe");
  s.listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (s.listener < 0 || ::bind(s.listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(s.listener, 64) != 0 || ::getsockname(s.listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("relay: cannot listen");
  s.listen_port = ntohs(address.sin_port);
  s.thread = std::thread([&s] { s.Run(); });
}

Relay::~Relay() {
  State& s = *state_;
  const uint8_t stop = 1;
  (void)!::write(s.wake[1], &stop, 1);
  s.thread.join();
  for (Session& session : s.sessions) session.Close();
  CloseFd(s.listener);
  CloseFd(s.wake[0]);
  CloseFd(s.wake[1]);
}

int Relay::Port() const { return state_->listen_port; }

void Relay::CutOn(const std::string& text, Cut when, int occurrence, size_t reply_bytes) {
  std::lock_guard<std::mutex> guard(state_->lock);
  state_->cut_text = text;
  state_->cut_when = when;
  state_->cut_countdown = std::max(occurrence, 1);
  state_->cut_reply_bytes = when == Cut::kInReply || when == Cut::kInExecuteReply ? reply_bytes : 0;
}

void Relay::AlterReply(const std::string& text, size_t offset, uint8_t value) {
  std::lock_guard<std::mutex> guard(state_->lock);
  state_->alter_text = text;
  state_->alter_offset = offset;
  state_->alter_value = value;
  state_->alter_armed = true;
}

void Relay::SetStripTls(bool strip) {
  std::lock_guard<std::mutex> guard(state_->lock);
  state_->strip_tls = strip;
}

int Relay::PlainLogins() const {
  std::lock_guard<std::mutex> guard(state_->lock);
  return state_->plain_logins;
}

void Relay::SetDown(bool down) {
  std::lock_guard<std::mutex> guard(state_->lock);
  state_->down = down;
}

std::vector<std::string> Relay::Statements() const {
  std::lock_guard<std::mutex> guard(state_->lock);
  return state_->statements;
}

int Relay::Count(const std::string& text) const {
  const std::vector<std::string> all = Statements();
  return static_cast<int>(
      std::count_if(all.begin(), all.end(), [&](const std::string& s) { return s.find(text) != std::string::npos; }));
}

void Relay::ClearStatements() {
  std::lock_guard<std::mutex> guard(state_->lock);
  state_->statements.clear();
}

int Relay::Cuts() const {
  std::lock_guard<std::mutex> guard(state_->lock);
  return state_->cuts;
}

// ---- the relay's thread ----

void Relay::State::Run() {
  for (;;) {
    std::vector<pollfd> fds{{wake[0], POLLIN, 0}, {listener, POLLIN, 0}};
    for (Session& session : sessions) {
      fds.push_back({session.client, POLLIN, 0});
      fds.push_back({session.server, POLLIN, 0});
    }
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[0].revents) return;
    size_t i = 2;
    for (Session& session : sessions) {
      const short client = fds[i++].revents;
      const short server = fds[i++].revents;
      if (session.Open() && client) FromClient(session);
      if (session.Open() && server) FromServer(session);
    }
    if (fds[1].revents & POLLIN) Accept();
    sessions.remove_if([](Session& session) {
      if (session.Open()) return false;
      session.Close();
      return true;
    });
  }
}

void Relay::State::Accept() {
  const int client = ::accept(listener, nullptr, nullptr);
  if (client < 0) return;
  bool is_down = false;
  Session session;
  {
    std::lock_guard<std::mutex> guard(lock);
    is_down = down;
    session.strip_tls = strip_tls;
  }
  session.client = client;
  if (!is_down) session.server = ConnectTo(host, port);
  if (session.server < 0) {
    session.Close();
    return;
  }
  const int on = 1;
  ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  sessions.push_back(std::move(session));
}

void Relay::State::FromClient(Session& session) {
  uint8_t buffer[65536];
  const ssize_t n = ::recv(session.client, buffer, sizeof buffer, 0);
  if (n <= 0) return session.Close();
  if (session.raw) {
    if (!SendAll(session.server, buffer, static_cast<size_t>(n))) session.Close();
    return;
  }
  session.pending.insert(session.pending.end(), buffer, buffer + n);
  while (session.Open() && !session.raw && session.pending.size() >= kHeaderSize) {
    const size_t length = session.pending[0] | (session.pending[1] << 8) | (session.pending[2] << 16);
    if (session.pending.size() < kHeaderSize + length) return;
    std::vector<uint8_t> packet(session.pending.begin(), session.pending.begin() + kHeaderSize + length);
    session.pending.erase(session.pending.begin(), session.pending.begin() + kHeaderSize + length);
    Packet(session, std::move(packet));
  }
  // What follows a request for TLS or compression is not packets we can read.
  if (session.Open() && session.raw && !session.pending.empty()) {
    if (!SendAll(session.server, session.pending.data(), session.pending.size())) session.Close();
    session.pending.clear();
  }
}

void Relay::State::Packet(Session& session, std::vector<uint8_t> packet) {
  const uint8_t sequence = packet[3];
  if (sequence == 1 && !session.login_seen) Login(session, packet);
  size_t reply_bytes = 0;
  const Decision decision = sequence == 0 ? Inspect(session, packet, reply_bytes) : Decision::kPass;
  if (decision == Decision::kCutBefore) {
    CountCut();
    return session.Close();
  }
  if (!SendAll(session.server, packet.data(), packet.size())) return session.Close();
  if (decision == Decision::kCutInAnswer) {
    session.cut_in_answer = true;
    session.answer_bytes = reply_bytes;
  }
}

// The log-in packet (or the TLS request in its place): its capabilities
// tell whether the packets stay plain.
void Relay::State::Login(Session& session, const std::vector<uint8_t>& packet) {
  session.login_seen = true;
  if (packet.size() < kHeaderSize + 4) return;
  const uint32_t capabilities =
      packet[4] | (packet[5] << 8) | (packet[6] << 16) | (static_cast<uint32_t>(packet[7]) << 24);
  if (capabilities & (kClientSsl | kClientCompress)) session.raw = true;
  if (capabilities & kClientSsl) return;
  std::lock_guard<std::mutex> guard(lock);
  ++plain_logins;
}

Relay::State::Decision Relay::State::Inspect(Session& session, const std::vector<uint8_t>& packet,
                                             size_t& reply_bytes) {
  if (packet.size() <= kHeaderSize) return Decision::kPass;
  const uint8_t command = packet[kHeaderSize];
  const bool execute = command == kComStmtExecute;
  if (command != kComQuery && command != kComStmtPrepare && !execute) return Decision::kPass;
  const std::string text = execute ? session.last_prepared : std::string(packet.begin() + kHeaderSize + 1, packet.end());
  if (command == kComStmtPrepare) session.last_prepared = text;
  std::lock_guard<std::mutex> guard(lock);
  if (!execute) statements.push_back(text);
  if (alter_armed && !execute && text.find(alter_text) != std::string::npos) {
    alter_armed = false;
    session.altering = true;
    session.alter_at = alter_offset;
    session.alter_value = alter_value;
  }
  if (cut_countdown == 0 || execute != (cut_when == Cut::kInExecuteReply) ||
      text.find(cut_text) == std::string::npos || --cut_countdown > 0)
    return Decision::kPass;
  reply_bytes = cut_reply_bytes;
  return cut_when == Cut::kBefore ? Decision::kCutBefore : Decision::kCutInAnswer;
}

void Relay::State::PassGreeting(Session& session, const uint8_t* data, size_t size) {
  std::vector<uint8_t>& greeting = session.greeting;
  greeting.insert(greeting.end(), data, data + size);
  if (greeting.size() < kHeaderSize) return;
  const size_t length = greeting[0] | (greeting[1] << 8) | (greeting[2] << 16);
  if (greeting.size() < kHeaderSize + length) return;
  StripTlsOffer(greeting);
  session.strip_tls = false;
  if (!SendAll(session.client, greeting.data(), greeting.size())) session.Close();
  greeting.clear();
}

void Relay::State::FromServer(Session& session) {
  uint8_t buffer[65536];
  const ssize_t n = ::recv(session.server, buffer, sizeof buffer, 0);
  if (n <= 0) return session.Close();
  if (session.strip_tls) return PassGreeting(session, buffer, static_cast<size_t>(n));
  if (session.altering && session.alter_at < static_cast<size_t>(n)) {
    buffer[session.alter_at] = session.alter_value;
    session.altering = false;
  } else if (session.altering) {
    session.alter_at -= static_cast<size_t>(n);
  }
  size_t pass = static_cast<size_t>(n);
  if (session.cut_in_answer) pass = std::min(pass, session.answer_bytes);
  if (pass > 0 && !SendAll(session.client, buffer, pass)) return session.Close();
  if (!session.cut_in_answer) return;
  session.answer_bytes -= pass;
  if (session.answer_bytes > 0) return;
  CountCut();
  session.Close();
}

}  // namespace dac::testing
