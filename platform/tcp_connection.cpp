#include "platform/tcp_connection.h"

#include "platform/event_loop.h"

#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <deque>
#include <string>

namespace plat {
namespace {

// A source is asked for this much at a time.
constexpr size_t kRefillBlockSize = 64 * 1024;
// At most this much goes out per writable event, so one long reply does not
// keep other connections and timers waiting.
constexpr size_t kMaxBytesPerWrite = 256 * 1024;
// Reads of discarded input per readable event, for the same reason.
constexpr int kMaxDiscardReads = 16;

std::error_code ErrnoCode(int error) { return std::error_code(error, std::system_category()); }

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

}  // namespace

struct TcpConnection::Impl {
  enum class State { kOpen, kDraining, kLingering, kClosed };

  // Bytes still to send, or a source that yields more.
  struct OutputItem {
    std::string bytes;
    size_t offset = 0;
    std::unique_ptr<RefillSource> source;
  };

  Impl(TcpConnection& owner, EventLoop& loop)
      : owner(owner), loop(loop), socket(loop.Context()), close_timer(loop.Context()), stall_timer(loop.Context()) {}

  TcpConnection& owner;
  EventLoop& loop;
  asio::ip::tcp::socket socket;
  asio::steady_timer close_timer;
  // Armed while output waits for the socket; see SetSendStallTimeout.
  asio::steady_timer stall_timer;
  bool stall_armed = false;
  int stall_timeout_ms = kDefaultSendStallTimeoutMs;
  std::chrono::steady_clock::time_point last_progress = std::chrono::steady_clock::now();
  State state = State::kOpen;
  bool read_armed = false;
  bool write_armed = false;
  bool peer_ended = false;
  bool closed_notified = false;
  std::deque<OutputItem> output;
  size_t queued_bytes = 0;
  ReadableCallback on_readable;
  Callback on_peer_closed;
  ErrorCallback on_error;
  Callback on_closed;
  std::function<void()> on_release;
  std::any user_data;

  int Fd() { return socket.native_handle(); }
  // Every pending wait holds the connection, so it outlives its handlers.
  std::shared_ptr<TcpConnection> Self() { return owner.shared_from_this(); }

  size_t BytesWaiting() {
    if (state == State::kClosed) return 0;
    int waiting = 0;
    if (::ioctl(Fd(), FIONREAD, &waiting) != 0) return 0;
    return waiting > 0 ? static_cast<size_t>(waiting) : 0;
  }

  void ArmRead() {
    if (read_armed || peer_ended || state == State::kClosed) return;
    read_armed = true;
    socket.async_wait(asio::socket_base::wait_read, [self = Self()](const std::error_code& ec) {
      Impl& impl = *self->impl_;
      impl.read_armed = false;
      if (ec || impl.state == State::kClosed) return;
      impl.OnReadReady();
    });
  }

  void OnReadReady() {
    if (state != State::kOpen) {
      DiscardInput();
      return;
    }
    const size_t waiting = BytesWaiting();
    if (waiting == 0) {
      CheckEndOfStream();
      return;
    }
    // Without a handler nobody takes the bytes: notifications pause until a Receive.
    if (!on_readable) return;
    ReadableCallback call = on_readable;  // the callback may clear or replace itself
    if (!loop.Guard([&] { call(owner, waiting); })) CloseNow();
  }

  // Readable with nothing waiting: the peer's end of stream, an error, or a
  // spurious wake-up.
  void CheckEndOfStream() {
    char byte;
    const ssize_t got = ::recv(Fd(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (got > 0 || (got < 0 && (WouldBlock(errno) || errno == EINTR))) {
      ArmRead();
      return;
    }
    if (got < 0) {
      Fail(ErrnoCode(errno));
      return;
    }
    peer_ended = true;
    if (!on_peer_closed) {
      CloseAfterDrain();
      return;
    }
    Callback call = on_peer_closed;
    if (!loop.Guard([&] { call(owner); })) CloseNow();
  }

  // A closing connection reads only to notice the peer's end or a reset.
  void DiscardInput() {
    char scratch[16 * 1024];
    for (int reads = 0; reads < kMaxDiscardReads; ++reads) {
      const ssize_t got = ::recv(Fd(), scratch, sizeof scratch, MSG_DONTWAIT);
      if (got > 0) continue;
      if (got == 0) {
        peer_ended = true;
        if (state == State::kLingering) CloseNow();
        return;
      }
      if (errno == EINTR) continue;
      if (!WouldBlock(errno)) {
        Fail(ErrnoCode(errno));
        return;
      }
      break;
    }
    ArmRead();
  }

  size_t Receive(char* buffer, size_t size) {
    if (state != State::kOpen || size == 0) return 0;
    ssize_t got;
    do {
      got = ::recv(Fd(), buffer, size, MSG_DONTWAIT);
    } while (got < 0 && errno == EINTR);
    if (got < 0 && !WouldBlock(errno)) {
      // Reported from the loop: never call back into the caller's handler.
      asio::post(loop.Context(), [self = Self(), error = ErrnoCode(errno)] { self->impl_->Fail(error); });
      return 0;
    }
    ArmRead();
    return got > 0 ? static_cast<size_t>(got) : 0;
  }

  void ArmWrite() {
    if (write_armed || state == State::kClosed || state == State::kLingering) return;
    write_armed = true;
    if (!output.empty()) ArmStallTimer();
    socket.async_wait(asio::socket_base::wait_write, [self = Self()](const std::error_code& ec) {
      Impl& impl = *self->impl_;
      impl.write_armed = false;
      if (ec || impl.state == State::kClosed || impl.state == State::kLingering) return;
      impl.Flush();
    });
  }

  void Flush() {
    size_t budget = kMaxBytesPerWrite;
    while (!output.empty()) {
      OutputItem& front = output.front();
      if (front.source) {
        if (!RefillFront()) return;
        continue;
      }
      if (budget == 0) {
        ArmWrite();
        return;
      }
      const size_t length = std::min(front.bytes.size() - front.offset, budget);
      const ssize_t sent = ::send(Fd(), front.bytes.data() + front.offset, length, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (sent < 0) {
        if (errno == EINTR) continue;
        if (WouldBlock(errno)) {
          ArmWrite();
          return;
        }
        Fail(ErrnoCode(errno));
        return;
      }
      const auto count = static_cast<size_t>(sent);
      if (count > 0) last_progress = std::chrono::steady_clock::now();
      front.offset += count;
      queued_bytes -= count;
      budget -= count;
      if (front.offset == front.bytes.size()) output.pop_front();
    }
    if (state == State::kDraining) FinishDrain();
  }

  // Turns the next block of the source at the front into bytes ahead of it,
  // or drops the source when it is exhausted. False when the connection ended.
  bool RefillFront() {
    std::string block(kRefillBlockSize, '\0');
    size_t count = 0;
    RefillSource& source = *output.front().source;
    if (!loop.Guard([&] { count = source.Read(block.data(), block.size()); })) {
      CloseNow();
      return false;
    }
    if (state == State::kClosed) return false;
    if (count == 0) {
      output.pop_front();
      return true;
    }
    block.resize(std::min(count, block.size()));
    queued_bytes += block.size();
    output.push_front(OutputItem{std::move(block), 0, nullptr});
    return true;
  }

  // Fails the connection when its output has made no progress for the
  // stall time-out; re-arms itself while output is pending and moving.
  void ArmStallTimer() {
    if (stall_armed || state == State::kClosed) return;
    stall_armed = true;
    const auto deadline = last_progress + std::chrono::milliseconds(stall_timeout_ms);
    stall_timer.expires_at(deadline);
    stall_timer.async_wait([self = Self()](const std::error_code& ec) {
      Impl& impl = *self->impl_;
      impl.stall_armed = false;
      if (ec || impl.state == State::kClosed || impl.state == State::kLingering || impl.output.empty()) return;
      const auto stalled = std::chrono::steady_clock::now() - impl.last_progress;
      if (stalled >= std::chrono::milliseconds(impl.stall_timeout_ms)) {
        impl.Fail(std::make_error_code(std::errc::timed_out));
        return;
      }
      impl.ArmStallTimer();
    });
  }

  bool Send(std::string_view bytes) {
    if (state != State::kOpen) return false;
    if (bytes.empty()) return true;
    if (output.empty()) last_progress = std::chrono::steady_clock::now();
    output.push_back(OutputItem{std::string(bytes), 0, nullptr});
    queued_bytes += bytes.size();
    ArmWrite();
    return true;
  }

  bool SendFrom(std::unique_ptr<RefillSource> source) {
    if (state != State::kOpen) return false;
    if (!source) return true;
    if (output.empty()) last_progress = std::chrono::steady_clock::now();
    output.push_back(OutputItem{std::string(), 0, std::move(source)});
    ArmWrite();
    return true;
  }

  void CloseAfterDrain() {
    if (state != State::kOpen) return;
    state = State::kDraining;
    ArmRead();
    ArmWrite();  // an empty queue finishes at once, from the loop
  }

  // Everything went out: half-close, then wait a bounded time for the peer
  // to end its side, so it reads the whole reply before the socket goes.
  void FinishDrain() {
    state = State::kLingering;
    if (peer_ended || ::shutdown(Fd(), SHUT_WR) != 0) {
      CloseNow();
      return;
    }
    close_timer.expires_after(std::chrono::milliseconds(kCloseTimeoutMs));
    close_timer.async_wait([self = Self()](const std::error_code& ec) {
      Impl& impl = *self->impl_;
      if (!ec && impl.state == State::kLingering) impl.CloseNow();
    });
    ArmRead();
  }

  void Fail(std::error_code error) {
    if (state == State::kClosed) return;
    ErrorCallback call = on_error;
    if (call) loop.Guard([&] { call(owner, error); });
    CloseNow();
  }

  void CloseNow() {
    if (state == State::kClosed) return;
    state = State::kClosed;
    output.clear();  // destroys the sources
    queued_bytes = 0;
    close_timer.cancel();
    stall_timer.cancel();
    std::error_code ignored;
    socket.close(ignored);
    if (!closed_notified) asio::post(loop.Context(), [self = Self()] { self->impl_->Notify(); });
  }

  void Notify() {
    if (closed_notified) return;
    closed_notified = true;
    Callback call = std::move(on_closed);
    if (call) loop.Guard([&] { call(owner); });
    ClearCallbacks();
    std::function<void()> release = std::move(on_release);
    on_release = nullptr;
    if (release) release();
  }

  // Drops the user's callbacks, which may hold references to the connection.
  void ClearCallbacks() {
    on_readable = nullptr;
    on_peer_closed = nullptr;
    on_error = nullptr;
    on_closed = nullptr;
  }
};

std::shared_ptr<TcpConnection> TcpConnection::Adopt(EventLoop& loop, int socket_fd) {
  std::shared_ptr<TcpConnection> connection(new TcpConnection(loop));
  std::error_code ec;
  connection->impl_->socket.assign(asio::ip::tcp::v4(), socket_fd, ec);
  if (ec) {
    ::close(socket_fd);
    throw std::system_error(ec, "Cannot watch the connection");
  }
  connection->impl_->socket.native_non_blocking(true, ec);
  return connection;
}

TcpConnection::TcpConnection(EventLoop& loop) : impl_(std::make_unique<Impl>(*this, loop)) {}

TcpConnection::~TcpConnection() = default;

void TcpConnection::SetOnReadable(ReadableCallback callback) { impl_->on_readable = std::move(callback); }
void TcpConnection::SetOnPeerClosed(Callback callback) { impl_->on_peer_closed = std::move(callback); }
void TcpConnection::SetOnError(ErrorCallback callback) { impl_->on_error = std::move(callback); }
void TcpConnection::SetOnClosed(Callback callback) { impl_->on_closed = std::move(callback); }

size_t TcpConnection::BytesWaiting() const { return impl_->BytesWaiting(); }
size_t TcpConnection::Receive(char* buffer, size_t size) { return impl_->Receive(buffer, size); }
bool TcpConnection::Send(std::string_view bytes) { return impl_->Send(bytes); }
bool TcpConnection::SendFrom(std::unique_ptr<RefillSource> source) { return impl_->SendFrom(std::move(source)); }
size_t TcpConnection::QueuedBytes() const { return impl_->queued_bytes; }

void TcpConnection::SetSendStallTimeout(int milliseconds) { impl_->stall_timeout_ms = milliseconds; }
void TcpConnection::Close() { impl_->CloseAfterDrain(); }
void TcpConnection::Abort() { impl_->CloseNow(); }
bool TcpConnection::IsOpen() const { return impl_->state == Impl::State::kOpen; }
bool TcpConnection::IsClosed() const { return impl_->state == Impl::State::kClosed; }

std::any& TcpConnection::UserData() { return impl_->user_data; }

void TcpConnection::StartReading() { impl_->ArmRead(); }

void TcpConnection::Drop() {
  impl_->closed_notified = true;
  impl_->ClearCallbacks();
  impl_->on_release = nullptr;
  impl_->CloseNow();
}

void TcpConnection::CloseAndNotify() {
  impl_->CloseNow();
  impl_->Notify();
}

void TcpConnection::SetReleaseHook(std::function<void()> hook) { impl_->on_release = std::move(hook); }

}  // namespace plat
