// Text laid out in place and handed to a StreamWriter a large chunk at a
// time, for writers that make many small pieces (the rows of an export).
#pragma once

#include <cstddef>
#include <memory>

#include "dac/store/xml/stream_writer.h"

namespace dac {

class ChunkWriter {
 public:
  // The size of chunk worth handing on.
  static constexpr size_t kChunk = 64 * 1024;

  // The writer is not owned and must outlive this one.
  explicit ChunkWriter(StreamWriter& writer) : writer_(writer) {}
  ChunkWriter(const ChunkWriter&) = delete;
  ChunkWriter& operator=(const ChunkWriter&) = delete;

  // Where room for size more bytes begins; it holds until the next Room,
  // and End(at) then takes the bytes up to at.
  char* Room(size_t size) {
    if (capacity_ - used_ < size) Grow(size);
    return buffer_.get() + used_;
  }
  void End(const char* at) { used_ = static_cast<size_t>(at - buffer_.get()); }
  // The bytes collected and not yet handed on.
  size_t Size() const { return used_; }
  // Drops what was collected after the first size bytes.
  void Truncate(size_t size) {
    if (size < used_) used_ = size;
  }
  // Hands on what was collected; it is gone even when the writer fails.
  void Flush();

 private:
  void Grow(size_t size);

  StreamWriter& writer_;
  std::unique_ptr<char[]> buffer_;
  size_t capacity_ = 0;
  size_t used_ = 0;
};

}  // namespace dac
