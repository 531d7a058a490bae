#include "platform/file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/temp_file.h"

namespace plat {

namespace {

std::string ErrnoText() { return std::strerror(errno); }

}  // namespace

File::~File() {
  if (fd_ >= 0) ::close(fd_);
}

File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

File File::OpenToRead(const std::string& path, FollowLinks links) {
  int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
  if (links == FollowLinks::kNo) flags |= O_NOFOLLOW;
  File file(::open(path.c_str(), flags), path);
  if (!file.IsOpen()) throw FileError(path, ErrnoText());
  struct stat st {};
  if (::fstat(file.fd_, &st) != 0) throw FileError(path, ErrnoText());
  if (S_ISDIR(st.st_mode)) throw NotRegularFileError(path, "is a folder");
  // A pipe or a device has no end that a read could wait for.
  if (!S_ISREG(st.st_mode)) throw NotRegularFileError(path, "not a regular file");
  return file;
}

File File::Open(const std::string& path, OpenFor mode) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case OpenFor::kWrite: flags |= O_WRONLY; break;
    case OpenFor::kReadWrite: flags |= O_RDWR; break;
    case OpenFor::kCreate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case OpenFor::kAppend: flags |= O_WRONLY | O_APPEND | O_CREAT; break;
  }
  File file(::open(path.c_str(), flags, 0666), path);
  if (!file.IsOpen()) throw FileError(path, ErrnoText());
  return file;
}

File File::CreateBeside(const std::string& path, FileAccess access) {
  int fd = -1;
  std::string temp = CreateTempFileBeside(path, &fd, access);
  return File(fd, std::move(temp));
}

File File::CreateTemporary() {
  std::string name = TempFolder() + "~qzXXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);  // created with mode 0600
  if (fd < 0) throw FileError(name, ErrnoText());
  return File(fd, std::move(name));
}

File File::CreateInMemory(const std::string& name) {
  const int fd = ::memfd_create(name.c_str(), MFD_CLOEXEC);
  if (fd < 0) throw FileError(name, ErrnoText());
  return File(fd, name);
}

int64_t File::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(fd_, static_cast<char*>(buffer) + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw FileError(path_, ErrnoText());
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t File::ReadAt(void* buffer, int64_t count, int64_t offset) const {
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd_, static_cast<char*>(buffer) + done, static_cast<size_t>(count - done),
                              static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw FileError(path_, ErrnoText());
    if (n == 0) break;
    done += n;
  }
  return done;
}

void File::Write(const void* data, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(fd_, static_cast<const char*>(data) + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw FileError(path_, ErrnoText());
    done += n;
  }
}

void File::WriteAt(const void* data, int64_t count, int64_t offset) {
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::pwrite(fd_, static_cast<const char*>(data) + done, static_cast<size_t>(count - done),
                               static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw FileError(path_, ErrnoText());
    done += n;
  }
}

int64_t File::Seek(int64_t offset, From from) {
  const int whence = from == From::kStart ? SEEK_SET : from == From::kCurrent ? SEEK_CUR : SEEK_END;
  const off_t position = ::lseek(fd_, static_cast<off_t>(offset), whence);
  if (position < 0) throw FileError(path_, ErrnoText());
  return position;
}

void File::Truncate(int64_t size) {
  if (size < 0) throw FileError(path_, "negative size");
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) throw FileError(path_, ErrnoText());
}

void File::Sync() {
  if (::fsync(fd_) != 0) throw FileError(path_, ErrnoText());
}

File::Status File::GetStatus() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) throw FileError(path_, ErrnoText());
  return Status{S_ISREG(st.st_mode), static_cast<int64_t>(st.st_size), static_cast<int64_t>(st.st_mtim.tv_sec),
                static_cast<int64_t>(st.st_atim.tv_sec)};
}

void File::Close() {
  if (fd_ < 0) return;
  if (::close(std::exchange(fd_, -1)) != 0) throw FileError(path_, ErrnoText());
}

void AppendToFile(const std::string& path, std::string_view text) { File::Open(path, OpenFor::kAppend).Write(text); }

void RenameFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) throw FileError(to, ErrnoText());
}

}  // namespace plat
