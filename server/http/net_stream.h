// The reply channel of one request: every byte of a reply goes through it.
//
// Socket mode writes to an accepted connection, whose output queue sends the
// bytes as the socket takes them; nothing here waits. Memory mode writes to a
// TReplySink. A handler writes its one reply and closes the channel.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/tcp_connection.h"
#include "server/http/reply_sink.h"
#include "server/http/session_socket_data.h"

namespace server {

class TNetStream {
 public:
  // Socket mode over the connection; its record is the one the server keeps
  // in the connection's user data (absent records count as failed).
  explicit TNetStream(std::shared_ptr<plat::TcpConnection> socket);
  // Memory mode: the channel owns a fresh record. The sink must outlive it.
  explicit TNetStream(TReplySink& sink);
  ~TNetStream();
  TNetStream(const TNetStream&) = delete;
  TNetStream& operator=(const TNetStream&) = delete;

  // Sends the whole text; returns its length, or 0 when it cannot go out
  // (connection closing, sink failing), which also marks the record.
  int WriteString(std::string_view text);
  int Write(const char* buffer, int length);
  // Queues the rest of a reply behind what was written; it is read block by
  // block as the client takes the bytes, and destroyed when used up or when
  // the connection ends. Memory mode reads it to the end at once. False when
  // it cannot go out.
  bool WriteFrom(std::unique_ptr<plat::RefillSource> source);
  // Ends the reply: the connection closes once everything queued has gone.
  // Further writes fail.
  void Close();

  // The connection record; never null.
  TSessionSocketData& GetRecord() { return *record_; }
  // A write failed or the connection reported an error.
  bool HasFailed() const { return record_->error; }
  // Bytes accepted so far, so callers can tell whether a reply has begun.
  int64_t BytesWritten() const { return written_; }

 private:
  bool Put(std::string_view bytes);

  std::shared_ptr<plat::TcpConnection> socket_;
  TReplySink* sink_ = nullptr;
  std::shared_ptr<TSessionSocketData> record_;
  int64_t written_ = 0;
};

}  // namespace server
