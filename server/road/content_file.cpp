#include "server/road/content_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/files.h"
#include "server/http/http_reply.h"

namespace {

class DiskContentFile final : public TContentFile {
 public:
  DiskContentFile(int fd, std::string path, int64_t size) : fd_(fd), path_(std::move(path)), size_(size) {}
  ~DiskContentFile() override { ::close(fd_); }
  DiskContentFile(const DiskContentFile&) = delete;
  DiskContentFile& operator=(const DiskContentFile&) = delete;

  int64_t Size() const override { return size_; }

  int64_t Read(char* buffer, int64_t count) override {
    count = std::min(count, size_ - position_);
    if (count <= 0) return 0;
    ssize_t got;
    do {
      got = ::pread(fd_, buffer, static_cast<size_t>(count), position_);
    } while (got < 0 && errno == EINTR);
    if (got < 0) throw plat::FileError(path_, std::strerror(errno));
    position_ += got;
    return got;
  }

 private:
  int fd_;
  std::string path_;
  int64_t size_;
  int64_t position_ = 0;
};

class EntryContentFile final : public TContentFile {
 public:
  explicit EntryContentFile(std::unique_ptr<TXORFileHandle> handle) : handle_(std::move(handle)) {}
  int64_t Size() const override { return handle_->GetSize(); }
  int64_t Read(char* buffer, int64_t count) override { return handle_->Read(buffer, count); }

 private:
  std::unique_ptr<TXORFileHandle> handle_;
};

}  // namespace

std::unique_ptr<TContentFile> OpenDiskContentFile(const std::string& real_path) {
  // O_NONBLOCK: opening a FIFO for reading must not wait for a writer.
  const int fd = ::open(real_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<DiskContentFile>(fd, real_path, static_cast<int64_t>(info.st_size));
}

std::unique_ptr<TContentFile> MakeEntryContentFile(std::unique_ptr<TXORFileHandle> handle) {
  if (!handle) return nullptr;
  return std::make_unique<EntryContentFile>(std::move(handle));
}

size_t TContentFileSource::Read(char* buffer, size_t size) {
  const auto count = static_cast<int64_t>(std::min(size, kFileBlockSize));
  const int64_t got = file_->Read(buffer, count);
  return got > 0 ? static_cast<size_t>(got) : 0;
}
