#include "platform/atomic_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files.h"

namespace plat {

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) { temp_ = CreateTempFileBeside(path_, &fd_); }

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

void AtomicFile::Write(std::string_view data) {
  if (fd_ < 0) throw FileError(path_, "the file is closed");
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd_, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileError(path_, std::strerror(errno));
    }
    done += static_cast<size_t>(n);
  }
}

void AtomicFile::Commit() {
  if (fd_ < 0) throw FileError(path_, "the file is closed");
  const int fd = fd_;
  fd_ = -1;
  int err = 0;
  if (::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(temp_.c_str(), path_.c_str()) != 0) err = errno;
  if (err != 0) {
    Discard();
    throw FileError(path_, std::strerror(err));
  }
  temp_.clear();
}

}  // namespace plat
