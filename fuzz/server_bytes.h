// A MySQL server played back from the input's bytes, below the packet layer.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "dac/mysql/client/transport/mysql_vio.h"

namespace fuzz {

// Thrown once the server's bytes are used up. A real transport reports the
// end by reading nothing, after which a long read pauses 10 ms before it
// gives up: too slow for every input, and the packet layer's handling of a
// short read is the same whatever the bytes were.
struct EndOfServerBytes {};

class ServerBytes : public dac::TMySqlVio {
 public:
  // Reads take at most max_chunk bytes each; what the client writes is dropped.
  ServerBytes(const uint8_t* data, size_t size, size_t max_chunk) : data_(data), size_(size), max_chunk_(max_chunk) {}

  int GetTimeout() override { return 0; }
  void SetTimeout(int) override {}
  int ReadNoWait(uint8_t* buffer, int offset, int count) override {
    if (position_ == size_) throw EndOfServerBytes();
    const size_t n = std::min({static_cast<size_t>(count), size_ - position_, max_chunk_});
    std::memcpy(buffer + offset, data_ + position_, n);
    position_ += n;
    return static_cast<int>(n);
  }
  int WriteNoWait(const uint8_t*, int, int count) override { return count; }
  void Close() override {}

  bool UsedUp() const { return position_ == size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t max_chunk_;
  size_t position_ = 0;
};

}  // namespace fuzz
