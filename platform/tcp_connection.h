// One accepted TCP connection: non-blocking, driven by its event loop.
//
// Input is pulled: the readable callback says how many bytes wait, the user
// takes them with Receive, and the next readable callback comes only after a
// Receive (so bytes left unread are not reported over and over). The peer's
// end of stream is reported once the bytes before it have been received.
//
// Output is pushed into a queue that goes out as the socket accepts it, from
// the loop once the current callback has returned, gathered into as few
// system calls as the socket allows. A RefillSource in the queue is asked for
// its next block only when everything ahead of it is on its way, so a long
// file is streamed, never held whole.
//
// The connection may be closed, aborted or let go of inside any of its
// callbacks. The closed callback never runs inside Close or Abort: it follows
// from the loop, once, for every way a connection ends.
#pragma once

#include <any>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <system_error>

namespace plat {

class EventLoop;
class File;

// Bytes that stand unchanged in an open regular file: length bytes from offset.
struct FileStretch {
  const File* file = nullptr;
  int64_t offset = 0;
  int64_t length = 0;
};

// The rest of a reply, produced block by block. Owned by the connection and
// destroyed when it has been read to the end or the connection ends.
class RefillSource {
 public:
  virtual ~RefillSource() = default;
  // Copies up to `size` bytes of the next block into `buffer` and returns how
  // many; 0 means the source is exhausted. An exception goes to the loop's
  // exception hook and aborts the connection (the reply cannot be completed).
  virtual size_t Read(char* buffer, size_t size) = 0;
  // When everything the source has left stands unchanged in a file, that
  // stretch: the connection then sends it from the file without copying and
  // reports what went with Skip. A stretch that ends early (the file shrank)
  // ends the source. By default there is none and Read is used.
  virtual FileStretch Remaining() const { return {}; }
  // When everything the source has left is in memory, those bytes: the
  // connection then sends them from there and reports what went with Skip.
  // They must stay put until then. By default there are none.
  virtual std::string_view Resident() const { return {}; }
  virtual void Skip(size_t count) { (void)count; }
};

class TcpConnection : public std::enable_shared_from_this<TcpConnection> {
 public:
  using Callback = std::function<void(TcpConnection& connection)>;
  using ReadableCallback = std::function<void(TcpConnection& connection, size_t bytes_waiting)>;
  using ErrorCallback = std::function<void(TcpConnection& connection, std::error_code error)>;

  // How long a connection closed after draining waits for the peer's end of
  // stream before it closes regardless.
  static constexpr int kCloseTimeoutMs = 2000;
  // How long queued output may wait without a single byte going out before
  // the connection fails with a time-out: a peer that never reads must not
  // hold a connection for ever.
  static constexpr int kDefaultSendStallTimeoutMs = 60000;

  ~TcpConnection();
  TcpConnection(const TcpConnection&) = delete;
  TcpConnection& operator=(const TcpConnection&) = delete;

  // Bytes have arrived (bytes_waiting > 0). Not called once the connection
  // is closing.
  void SetOnReadable(ReadableCallback callback);
  // The peer ended its stream (it may still read). Without this callback the
  // connection closes after draining its output.
  void SetOnPeerClosed(Callback callback);
  // A reset or another socket error; the connection closes right after.
  void SetOnError(ErrorCallback callback);
  // The connection has ended, for whatever reason. The last callback it makes.
  void SetOnClosed(Callback callback);
  // An exception escaping the readable, peer-closed or accept callback goes to
  // the loop's exception hook and aborts the connection.

  // Bytes received and not yet taken (FIONREAD).
  size_t BytesWaiting() const;
  // Takes up to `size` waiting bytes without blocking; returns how many
  // (0 when none wait or the connection is closing).
  size_t Receive(char* buffer, size_t size);

  // Queues bytes after everything queued before. False (nothing queued) once
  // the connection is closing or closed.
  bool Send(std::string_view bytes);
  // Queues a source after everything queued before; it is read as the queue
  // drains. False once the connection is closing (the source is destroyed).
  bool SendFrom(std::unique_ptr<RefillSource> source);
  // Bytes queued and not yet sent, not counting sources.
  size_t QueuedBytes() const;
  // Replaces kDefaultSendStallTimeoutMs for this connection.
  void SetSendStallTimeout(int milliseconds);

  // Close after drain: sends what is queued, then shuts the write side,
  // discards further input and closes on the peer's end of stream or after
  // kCloseTimeoutMs. Nothing more can be sent or received.
  void Close();
  // Close for a peer that has sent all it ever will: once everything queued
  // has gone the socket closes at once, without waiting for the peer's end.
  // Input that still comes after that resets the connection.
  void CloseWhenSent();
  // Closes at once; queued output is dropped.
  void Abort();
  // Neither closing nor closed: Send and Receive work.
  bool IsOpen() const;
  // The socket is closed (the closed callback may still be pending).
  bool IsClosed() const;

  // A slot for the user's own record of this connection; destroyed with it.
  std::any& UserData();

 private:
  friend class TcpListener;
  struct Impl;

  explicit TcpConnection(EventLoop& loop);
  // Takes over an accepted socket. The loop must outlive the connection.
  static std::shared_ptr<TcpConnection> Adopt(EventLoop& loop, int socket_fd);
  void StartReading();
  // Closes without any further callback.
  void Drop();
  // Closes if needed and runs the closed callback now, unless it ran already.
  void CloseAndNotify();
  // Called once the closed callback has run (or been dropped).
  void SetReleaseHook(std::function<void()> hook);

  std::unique_ptr<Impl> impl_;
};

}  // namespace plat
