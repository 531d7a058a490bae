#include "content/xor_file_handle.h"

#include <utility>

#include "content/package_scramble.h"

namespace content {

TXORFileHandle::TXORFileHandle(plat::File file, std::shared_ptr<const TXORPackageShared> shared, int64_t start,
                               int64_t size)
    : file_(std::move(file)), shared_(std::move(shared)), start_(start), size_(size) {}

int64_t TXORFileHandle::Read(void* buffer, int64_t count) {
  const int64_t left = size_ - position_;
  if (count > left) count = left;
  if (count <= 0) return 0;
  char* out = static_cast<char*>(buffer);
  // Fewer bytes than asked: the file shrank under us, a short read.
  const int64_t done = file_.ReadAt(out, count, start_ + position_);
  ScrambleRun(out, static_cast<size_t>(done), shared_->key, position_);
  position_ += done;
  return done;
}

}  // namespace content
