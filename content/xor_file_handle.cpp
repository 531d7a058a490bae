#include "content/xor_file_handle.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "content/package_scramble.h"
#include "platform/files.h"

TXORFileHandle::TXORFileHandle(int fd, std::shared_ptr<const TXORPackageShared> shared, int64_t start,
                               int64_t size)
    : fd_(fd), shared_(std::move(shared)), start_(start), size_(size) {}

TXORFileHandle::~TXORFileHandle() {
  if (fd_ >= 0) ::close(fd_);
}

int64_t TXORFileHandle::Read(void* buffer, int64_t count) {
  const int64_t left = size_ - position_;
  if (count > left) count = left;
  if (count <= 0) return 0;

  char* out = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd_, out + done, static_cast<size_t>(count - done),
                              static_cast<off_t>(start_ + position_ + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw plat::FileError(shared_->path, std::strerror(errno));
    }
    if (n == 0) break;  // the file shrank under us: a short read
    done += n;
  }
  ScrambleRun(out, static_cast<size_t>(done), shared_->key, position_);
  position_ += done;
  return done;
}
