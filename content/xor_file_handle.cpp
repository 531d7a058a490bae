#include "content/xor_file_handle.h"

#include <utility>

namespace content {

TXORFileHandle::TXORFileHandle(std::shared_ptr<const TXORPackageShared> shared, int64_t start, int64_t size)
    : shared_(std::move(shared)), start_(start), size_(size) {}

int64_t TXORFileHandle::Read(void* buffer, int64_t count) {
  const int64_t left = size_ - position_;
  if (count > left) count = left;
  if (count <= 0) return 0;
  char* out = static_cast<char*>(buffer);
  // Fewer bytes than asked: the file shrank under us, a short read.
  const int64_t done = shared_->file.ReadAt(out, count, start_ + position_);
  shared_->key.Apply(out, static_cast<size_t>(done), position_);
  position_ += done;
  return done;
}

}  // namespace content
