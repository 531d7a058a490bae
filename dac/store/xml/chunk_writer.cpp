#include "dac/store/xml/chunk_writer.h"

#include <algorithm>
#include <cstring>

namespace dac {

void ChunkWriter::Flush() {
  const size_t size = used_;
  used_ = 0;
  if (size > 0) writer_.Write(buffer_.get(), size);
}

void ChunkWriter::Grow(size_t size) {
  const size_t capacity = std::max({used_ + size, capacity_ * 2, kChunk * 2});
  auto grown = std::make_unique_for_overwrite<char[]>(capacity);
  if (used_ > 0) std::memcpy(grown.get(), buffer_.get(), used_);
  buffer_ = std::move(grown);
  capacity_ = capacity;
}

}  // namespace dac
