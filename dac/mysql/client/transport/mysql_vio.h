// The byte transport under the packet layer: a blocking read with a
// read-ahead buffer and a blocking write with bounded retries, built on the
// primitive operations each concrete transport supplies.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dac/framework/classes/meta_class.h"

namespace dac {

class TMySqlVio : public TObject {
  DAC_DECLARE_CLASS();

 public:
  static constexpr int kReadAheadSize = 65536;
  // Reads below this size are served through the read-ahead buffer.
  static constexpr int kSmallReadLimit = 2048;

  TMySqlVio() = default;
  ~TMySqlVio() override = default;
  TMySqlVio(const TMySqlVio&) = delete;
  TMySqlVio& operator=(const TMySqlVio&) = delete;

  virtual int GetTimeout() = 0;
  virtual void SetTimeout(int seconds) = 0;
  // One receive or send call; may move fewer bytes; 0 on failure or end.
  virtual int ReadNoWait(uint8_t* buffer, int offset, int count) = 0;
  virtual int WriteNoWait(const uint8_t* buffer, int offset, int count) = 0;
  // Resets the read-ahead buffer; every override calls it first.
  virtual void Connect();
  virtual void Close() = 0;
  // Bytes handed out; fewer than count only when the connection failed.
  virtual int Read(uint8_t* buffer, int offset, int count);
  // The next count bytes in place, one after another in the read-ahead
  // buffer, read from the connection as far as needed; null when they do
  // not fit in it or the transport has none, and null with failed set when
  // the connection failed first. Valid until the next read; Consume hands
  // them out.
  const uint8_t* Peek(int count, bool& failed) {
    failed = false;
    if (count <= fill_count_ - read_position_) return read_ahead_.get() + read_position_;
    return PeekRefilled(count, failed);
  }
  // The next count bytes when the read-ahead buffer holds them all already;
  // null otherwise. Reads nothing.
  const uint8_t* PeekBuffered(int count) const {
    return count <= fill_count_ - read_position_ ? read_ahead_.get() + read_position_ : nullptr;
  }
  void Consume(int count) {
    read_position_ += count;
    if (read_position_ == fill_count_) read_position_ = fill_count_ = 0;
  }
  virtual int Write(const uint8_t* buffer, int offset, int count);
  // The point of the handshake where TLS starts. A transport that cannot
  // become secure raises EMySqlException 2026 "SSL connection error".
  virtual void SetIsSecure(bool value);
  virtual bool GetIsSecure() { return false; }

  // Set by a transport when a socket call fails; the packet layer adds it to
  // its "lost connection" error.
  const std::string& GetLastError() const { return last_error_; }

 protected:
  void SetLastError(std::string text) { last_error_ = std::move(text); }
  // False for a transport whose Read bypasses the read-ahead buffer.
  virtual bool ReadsAhead() const { return true; }

 private:
  // Peek when the bytes are not all buffered yet.
  const uint8_t* PeekRefilled(int count, bool& failed);

  std::string last_error_;
  // kReadAheadSize bytes once connected; nothing before.
  std::unique_ptr<uint8_t[]> read_ahead_;
  int fill_count_ = 0;
  int read_position_ = 0;
};

}  // namespace dac
