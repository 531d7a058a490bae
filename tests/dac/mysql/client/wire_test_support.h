// In-memory transports and packet helpers for the protocol tests.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "dac/framework/values/bytes.h"
#include "dac/mysql/client/transport/io_handler.h"
#include "dac/mysql/client/transport/mysql_vio.h"
#include "dac/mysql/client/wire/client_errors.h"
#include "tests/dac/mysql/client/wire/wire_samples.h"

namespace dac::testing {

// One compressed packet around bytes: deflated unless stored is asked for.
inline TBytes CompressedFrame(const TBytes& bytes, uint8_t sequence, bool stored) {
  TBytes out;
  if (stored) {
    Put24(out, static_cast<uint32_t>(bytes.size()));
    out.push_back(sequence);
    Put24(out, 0);
    Append(out, bytes);
    return out;
  }
  uLongf length = compressBound(static_cast<uLong>(bytes.size()));
  TBytes deflated(length);
  compress(deflated.data(), &length, bytes.data(), static_cast<uLong>(bytes.size()));
  deflated.resize(length);
  Put24(out, static_cast<uint32_t>(length));
  out.push_back(sequence);
  Put24(out, static_cast<uint32_t>(bytes.size()));
  Append(out, deflated);
  return out;
}

struct PhysicalPacket {
  uint32_t length = 0;
  uint8_t sequence = 0;
  TBytes payload;
};

// Splits a byte stream into physical packets (a short tail is dropped).
inline std::vector<PhysicalPacket> SplitPackets(const TBytes& stream) {
  std::vector<PhysicalPacket> out;
  size_t pos = 0;
  while (pos + 4 <= stream.size()) {
    PhysicalPacket p;
    p.length = stream[pos] | (stream[pos + 1] << 8) | (stream[pos + 2] << 16);
    p.sequence = stream[pos + 3];
    if (pos + 4 + p.length > stream.size()) break;
    p.payload.assign(stream.begin() + static_cast<long>(pos) + 4, stream.begin() + static_cast<long>(pos + 4 + p.length));
    out.push_back(std::move(p));
    pos += 4 + p.length;
  }
  return out;
}

struct CompressedPacket {
  uint32_t compressed_length = 0;
  uint8_t sequence = 0;
  uint32_t uncompressed_length = 0;
  TBytes content;  // inflated (or stored) bytes
};

inline std::vector<CompressedPacket> SplitCompressed(const TBytes& stream) {
  std::vector<CompressedPacket> out;
  size_t pos = 0;
  while (pos + 7 <= stream.size()) {
    CompressedPacket p;
    p.compressed_length = stream[pos] | (stream[pos + 1] << 8) | (stream[pos + 2] << 16);
    p.sequence = stream[pos + 3];
    p.uncompressed_length = stream[pos + 4] | (stream[pos + 5] << 8) | (stream[pos + 6] << 16);
    const uint8_t* data = stream.data() + pos + 7;
    if (p.uncompressed_length == 0) {
      p.content.assign(data, data + p.compressed_length);
    } else {
      p.content.resize(p.uncompressed_length);
      uLongf n = p.uncompressed_length;
      uncompress(p.content.data(), &n, data, p.compressed_length);
    }
    out.push_back(std::move(p));
    pos += 7 + p.compressed_length;
  }
  return out;
}

// A transport over two byte queues: what the peer sends (input) and what was
// written (output). Reads may be cut into chunks of at most max_chunk bytes.
class MemoryVio : public TMySqlVio {
 public:
  explicit MemoryVio(TBytes input = {}) : input_(std::move(input)) {}

  int GetTimeout() override { return timeout_; }
  void SetTimeout(int seconds) override { timeout_ = seconds; }
  int ReadNoWait(uint8_t* buffer, int offset, int count) override {
    const size_t n = std::min({static_cast<size_t>(count), input_.size() - read_position_, max_chunk_});
    if (n > 0) std::memcpy(buffer + offset, input_.data() + read_position_, n);
    read_position_ += n;
    return static_cast<int>(n);
  }
  int WriteNoWait(const uint8_t* buffer, int offset, int count) override {
    output_.insert(output_.end(), buffer + offset, buffer + offset + count);
    return count;
  }
  void Close() override { closed_ = true; }

  void AddInput(const TBytes& bytes) { Append(input_, bytes); }
  const TBytes& Output() const { return output_; }
  void ClearOutput() { output_.clear(); }
  size_t Unread() const { return input_.size() - read_position_; }
  void SetMaxChunk(size_t n) { max_chunk_ = n; }
  bool Closed() const { return closed_; }

 private:
  TBytes input_;
  size_t read_position_ = 0;
  TBytes output_;
  size_t max_chunk_ = SIZE_MAX;
  int timeout_ = 0;
  bool closed_ = false;
};

// An application transport that plays back the bytes a server would send
// and discards what the client writes; a session connects through it
// without any socket.
class PlaybackHandler : public TMyIOHandler {
 public:
  explicit PlaybackHandler(TBytes input) : input_(std::move(input)) {}

  TObject* Connect(const std::string&, int, const std::string&, const std::string&, const std::string&) override {
    return &handle_;
  }
  void Disconnect(TObject*) override {}
  int Read(TObject*, uint8_t* buffer, int offset, int count) override {
    const size_t n = std::min(static_cast<size_t>(count), input_.size() - position_);
    if (n > 0) std::memcpy(buffer + offset, input_.data() + position_, n);
    position_ += n;
    return static_cast<int>(n);
  }
  int Write(TObject*, const uint8_t*, int, int count) override { return count; }
  int GetTimeout(TObject*) override { return 0; }
  void SetTimeout(TObject*, int) override {}

 private:
  TBytes input_;
  size_t position_ = 0;
  TObject handle_;
};

}  // namespace dac::testing
