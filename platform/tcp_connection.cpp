#include "platform/tcp_connection.h"

#include "platform/event_loop.h"

#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>

#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <string>

#include "platform/file.h"

namespace plat {
namespace {

// A source is asked for this much at a time.
constexpr size_t kRefillBlockSize = 64 * 1024;
// At most this much goes out per flush, so one long reply does not keep
// other connections and timers waiting.
constexpr size_t kMaxBytesPerWrite = 256 * 1024;
// Pieces of the queue gathered into one send.
constexpr size_t kMaxGather = 16;
// Input is taken from the socket this much at a time.
constexpr size_t kInboxSize = 16 * 1024;

std::error_code ErrnoCode(int error) { return std::error_code(error, std::system_category()); }

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

}  // namespace

struct TcpConnection::Impl {
  enum class State { kOpen, kDraining, kLingering, kClosed };

  // Bytes still to send (a copy of the caller's, or the last block read from
  // the item's source), followed by what the source has left, if any.
  struct OutputItem {
    std::string text;
    std::unique_ptr<char[]> block;
    size_t size = 0;
    size_t offset = 0;
    std::unique_ptr<RefillSource> source;
    // The source's file cannot be sent directly: read it instead.
    bool read_source = false;

    const char* Data() const { return block ? block.get() : text.data(); }
    size_t Left() const { return size - offset; }
    bool Used() const { return Left() == 0 && !source; }
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
  bool readable_posted = false;
  bool write_armed = false;
  bool flush_posted = false;
  bool peer_ended = false;
  // Close waits for the peer's end of stream after the drain.
  bool wait_for_peer = true;
  bool closed_notified = false;
  // Received bytes not taken yet: inbox[inbox_begin, inbox_end).
  std::unique_ptr<char[]> inbox;
  size_t inbox_begin = 0;
  size_t inbox_end = 0;
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
  size_t InboxCount() const { return inbox_end - inbox_begin; }

  size_t BytesWaiting() {
    if (state == State::kClosed) return 0;
    int waiting = 0;
    if (::ioctl(Fd(), FIONREAD, &waiting) != 0 || waiting < 0) waiting = 0;
    return InboxCount() + static_cast<size_t>(waiting);
  }

  // Takes the next input from the socket: at once when it is there, else
  // when it comes.
  void ArmRead() {
    if (read_armed || peer_ended || state == State::kClosed) return;
    if (InboxCount() > 0) {
      PostReadable();
      return;
    }
    if (!inbox) inbox.reset(new char[kInboxSize]);  // no need to clear what recv fills
    read_armed = true;
    socket.async_receive(asio::buffer(inbox.get(), kInboxSize),
                         [self = Self()](const std::error_code& ec, size_t count) {
                           Impl& impl = *self->impl_;
                           impl.read_armed = false;
                           if (impl.state == State::kClosed || ec == asio::error::operation_aborted) return;
                           if (ec == asio::error::eof || (!ec && count == 0)) {
                             impl.OnEndOfStream();
                           } else if (ec) {
                             impl.Fail(ec.category() == asio::system_category() ? ErrnoCode(ec.value()) : ec);
                           } else {
                             impl.inbox_begin = 0;
                             impl.inbox_end = count;
                             impl.OnReceived();
                           }
                         });
  }

  // Reports bytes still waiting in the inbox, from the loop.
  void PostReadable() {
    if (readable_posted) return;
    readable_posted = true;
    asio::post(loop.Context(), [self = Self()] {
      Impl& impl = *self->impl_;
      impl.readable_posted = false;
      if (impl.InboxCount() > 0) impl.OnReceived();
    });
  }

  void OnReceived() {
    if (state != State::kOpen) {
      // A closing connection reads only to notice the peer's end or a reset.
      inbox_begin = inbox_end = 0;
      ArmRead();
      return;
    }
    // Without a handler nobody takes the bytes: notifications pause until a Receive.
    if (!on_readable) return;
    ReadableCallback call = on_readable;  // the callback may clear or replace itself
    if (!loop.Guard([&] { call(owner, InboxCount()); })) CloseNow();
  }

  void OnEndOfStream() {
    peer_ended = true;
    if (state == State::kLingering) {
      CloseNow();
      return;
    }
    if (state != State::kOpen) return;  // draining: the end of the drain closes
    if (!on_peer_closed) {
      CloseAfterDrain();
      return;
    }
    Callback call = on_peer_closed;
    if (!loop.Guard([&] { call(owner); })) CloseNow();
  }

  size_t Receive(char* buffer, size_t size) {
    if (state != State::kOpen || size == 0) return 0;
    const size_t count = std::min(size, InboxCount());
    std::memcpy(buffer, inbox.get() + inbox_begin, count);
    inbox_begin += count;
    if (InboxCount() > 0) {
      PostReadable();
    } else {
      // Once the callback is done: a reply it closes at once needs no read.
      asio::post(loop.Context(), [self = Self()] {
        Impl& impl = *self->impl_;
        if (impl.state == State::kOpen || impl.wait_for_peer) impl.ArmRead();
      });
    }
    return count;
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

  // Sends what is queued once the current callback is done, so that a reply
  // written in pieces goes out in one call.
  void ScheduleFlush() {
    if (flush_posted || write_armed || state == State::kClosed || state == State::kLingering) return;
    flush_posted = true;
    asio::post(loop.Context(), [self = Self()] {
      Impl& impl = *self->impl_;
      impl.flush_posted = false;
      if (impl.write_armed || impl.state == State::kClosed || impl.state == State::kLingering) return;
      impl.Flush();
    });
  }

  enum class Sent { kMore, kWait, kEnded };

  void Flush() {
    size_t budget = kMaxBytesPerWrite;
    while (!output.empty()) {
      OutputItem& front = output.front();
      if (front.Used()) {
        output.pop_front();
        continue;
      }
      if (budget == 0) {
        ArmWrite();
        return;
      }
      Sent sent = Sent::kMore;
      if (front.Left() > 0 || !Resident(front).empty()) {
        sent = SendGathered(budget);
      } else if (const FileStretch stretch = Stretch(front); stretch.length > 0) {
        sent = SendStretch(front, stretch, budget);
      } else if (!Refill(front)) {
        CloseNow();
        return;
      }
      if (sent == Sent::kEnded) return;
      if (sent == Sent::kWait) {
        ArmWrite();
        return;
      }
    }
    if (state == State::kDraining) FinishDrain();
  }

  static FileStretch Stretch(const OutputItem& item) {
    if (!item.source || item.read_source) return {};
    return item.source->Remaining();
  }

  // Sends the bytes at the front of the queue, with the blocks of the
  // sources between them, in one call.
  Sent SendGathered(size_t& budget) {
    iovec pieces[kMaxGather];
    size_t count = 0;
    size_t total = 0;
    bool more = false;
    bool failed = false;
    for (size_t i = 0; i < output.size() && count < kMaxGather && total < budget;) {
      OutputItem& item = output[i];
      const std::string_view resident = Resident(item);
      const std::string_view bytes = item.Left() > 0 ? std::string_view(item.Data() + item.offset, item.Left()) : resident;
      if (!bytes.empty()) {
        const size_t length = std::min(bytes.size(), budget - total);
        pieces[count++] = iovec{const_cast<char*>(bytes.data()), length};
        total += length;
        if (length < bytes.size()) break;
      }
      if (!item.source || !resident.empty()) {
        ++i;
        continue;
      }
      if (Stretch(item).length > 0) {
        more = true;  // the file's bytes follow at once
        break;
      }
      if (item.Left() > 0) break;  // its next block only once this one is sent
      if (!Refill(item)) {
        failed = true;
        break;
      }
    }
    ssize_t sent = 0;
    if (count > 0 && state != State::kClosed) {
      msghdr message{};
      message.msg_iov = pieces;
      message.msg_iovlen = count;
      sent = ::sendmsg(Fd(), &message, MSG_NOSIGNAL | MSG_DONTWAIT | (more ? MSG_MORE : 0));
    }
    if (failed) {
      // What stood ahead of the failed source has gone as far as it could.
      CloseNow();
      return Sent::kEnded;
    }
    if (count == 0) return Sent::kMore;
    if (sent < 0) return SendFailed();
    Consumed(static_cast<size_t>(sent));
    budget -= static_cast<size_t>(sent);
    return static_cast<size_t>(sent) < total ? Sent::kWait : Sent::kMore;
  }

  // The bytes a source holds in memory, once its own block has gone.
  static std::string_view Resident(const OutputItem& item) {
    if (!item.source || item.Left() > 0) return {};
    return item.source->Resident();
  }

  // Sends from the file of the source at the front of the queue.
  Sent SendStretch(OutputItem& front, const FileStretch& stretch, size_t& budget) {
    off_t offset = stretch.offset;
    const size_t length = std::min(static_cast<size_t>(stretch.length), budget);
    const ssize_t sent = ::sendfile(Fd(), stretch.file->Id(), &offset, length);
    if (sent < 0) {
      if (errno == EINVAL || errno == ENOSYS) {
        front.read_source = true;  // a file the system cannot send from
        return Sent::kMore;
      }
      return SendFailed();
    }
    if (sent == 0) {
      front.source.reset();  // the file ended early: so does the reply
      return Sent::kMore;
    }
    last_progress = std::chrono::steady_clock::now();
    front.source->Skip(static_cast<size_t>(sent));
    budget -= static_cast<size_t>(sent);
    return static_cast<size_t>(sent) < length ? Sent::kWait : Sent::kMore;
  }

  Sent SendFailed() {
    if (errno == EINTR) return Sent::kMore;
    if (WouldBlock(errno)) return Sent::kWait;
    Fail(ErrnoCode(errno));
    return Sent::kEnded;
  }

  // Takes count sent bytes off the front of the queue.
  void Consumed(size_t count) {
    if (count > 0) last_progress = std::chrono::steady_clock::now();
    while (count > 0) {
      OutputItem& front = output.front();
      if (const size_t resident = Resident(front).size(); resident > 0) {
        const size_t taken = std::min(count, resident);
        front.source->Skip(taken);
        count -= taken;
        if (taken == resident) front.source.reset();
      } else {
        const size_t taken = std::min(count, front.Left());
        front.offset += taken;
        queued_bytes -= taken;
        count -= taken;
        if (taken == 0 && !front.Used()) break;  // only what was gathered can have gone
      }
      if (front.Used()) output.pop_front();
    }
  }

  // Reads the next block of the item's source into the item, or drops the
  // source when it is exhausted. False when the source failed (or the
  // connection ended meanwhile): the reply cannot be completed.
  bool Refill(OutputItem& item) {
    if (!item.block) item.block.reset(new char[kRefillBlockSize]);
    size_t count = 0;
    RefillSource& source = *item.source;
    if (!loop.Guard([&] { count = source.Read(item.block.get(), kRefillBlockSize); }) || state == State::kClosed)
      return false;
    if (count == 0) item.source.reset();
    item.offset = 0;
    item.size = std::min(count, kRefillBlockSize);
    queued_bytes += item.size;
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
    OutputItem item;
    item.text.assign(bytes);
    item.size = bytes.size();
    output.push_back(std::move(item));
    queued_bytes += bytes.size();
    ScheduleFlush();
    return true;
  }

  bool SendFrom(std::unique_ptr<RefillSource> source) {
    if (state != State::kOpen) return false;
    if (!source) return true;
    if (output.empty()) last_progress = std::chrono::steady_clock::now();
    OutputItem item;
    item.source = std::move(source);
    output.push_back(std::move(item));
    ScheduleFlush();
    return true;
  }

  void CloseAfterDrain(bool wait = true) {
    if (state != State::kOpen) return;
    state = State::kDraining;
    wait_for_peer = wait;
    if (wait_for_peer) ArmRead();
    ScheduleFlush();  // an empty queue finishes at once, from the loop
  }

  // Everything went out: half-close, then wait a bounded time for the peer
  // to end its side, so it reads the whole reply before the socket goes.
  void FinishDrain() {
    state = State::kLingering;
    if (peer_ended || !wait_for_peer || ::shutdown(Fd(), SHUT_WR) != 0) {
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
    inbox_begin = inbox_end = 0;
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
void TcpConnection::CloseWhenSent() { impl_->CloseAfterDrain(false); }
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
