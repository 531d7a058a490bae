#include "dac/store/runtime/memory_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "dac/framework/classes/exceptions.h"

namespace dac {

namespace {

constexpr int kKeptBufferLimit = 65536;

void CheckArrayRange(size_t size, int offset, int count) {
  if (offset < 0 || count < 0 || static_cast<size_t>(offset) + static_cast<size_t>(count) > size)
    throw ArgumentException("Offset and count out of the array's bounds");
}

}  // namespace

MemoryStream::MemoryStream(int capacity) {
  if (capacity < 0) throw ArgumentException("Negative capacity");
  buffer_.resize(static_cast<size_t>(capacity));
}

void MemoryStream::Close() {
  buffer_.clear();
  buffer_.shrink_to_fit();
  position_ = 0;
  length_ = 0;
}

void MemoryStream::SetPosition(int position) {
  if (position < 0) throw ArgumentException("Negative position");
  if (position > length_) SetLength(position);
  position_ = position;
}

void MemoryStream::SetLength(int length) {
  if (length < 0) throw ArgumentException("Negative length");
  if (BufferSize() >= length && BufferSize() < kKeptBufferLimit) {
    // The kept buffer past the new length reads as zeros, not as old content.
    if (length < length_) std::fill(buffer_.begin() + length, buffer_.begin() + std::min(length_, BufferSize()), 0);
  } else {
    buffer_.resize(static_cast<size_t>(length));  // new bytes are zero
  }
  length_ = length;
}

int MemoryStream::CopyOut(uint8_t* dest, int count) {
  const int n = std::max(0, std::min(count, BufferSize() - position_));
  if (n > 0) std::memcpy(dest, buffer_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

void MemoryStream::CopyIn(const uint8_t* source, int count) {
  if (count <= 0) return;
  if (count > std::numeric_limits<int>::max() - position_) throw ArgumentException("Stream too long");
  const int end = position_ + count;
  if (end > length_) SetLength(end);
  if (end > BufferSize()) buffer_.resize(static_cast<size_t>(end));  // a kept buffer that was too small
  std::memcpy(buffer_.data() + position_, source, static_cast<size_t>(count));
  position_ = end;
}

int MemoryStream::Read(TBytes& bytes, int offset, int count) {
  CheckArrayRange(bytes.size(), offset, count);
  return CopyOut(bytes.data() + offset, count);
}

int MemoryStream::Read(void* address, int offset, int count) {
  if (count < 0) throw ArgumentException("Negative count");
  return CopyOut(static_cast<uint8_t*>(address) + offset, count);
}

uint8_t MemoryStream::ReadByte() {
  if (position_ < 0 || position_ >= BufferSize()) throw ArgumentException("ReadByte beyond the end of the buffer");
  return buffer_[static_cast<size_t>(position_++)];
}

void MemoryStream::Write(const TBytes& bytes, int offset, int count) {
  CheckArrayRange(bytes.size(), offset, count);
  CopyIn(bytes.data() + offset, count);
}

void MemoryStream::Write(const void* address, int offset, int count) {
  if (count < 0) throw ArgumentException("Negative count");
  CopyIn(static_cast<const uint8_t*>(address) + offset, count);
}

void MemoryStream::WriteByte(uint8_t value) { CopyIn(&value, 1); }

int MemoryStream::Seek(int offset, int origin) {
  int64_t target = 0;
  switch (origin) {
    case 0: target = offset; break;
    case 1: target = static_cast<int64_t>(position_) + offset; break;
    case 2: target = static_cast<int64_t>(BufferSize()) - offset; break;
    default: throw ArgumentException("Invalid seek origin");
  }
  position_ = static_cast<int>(std::clamp<int64_t>(target, 0, BufferSize()));
  return position_;
}

}  // namespace dac
