#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/deadline.h"

namespace plat {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(20);

int OpenFolder(const std::string& folder) {
  int fd;
  do {
    fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

FolderLock::~FolderLock() { Release(); }

FolderLock::Outcome FolderLock::Acquire(const std::string& folder, uint32_t timeout_ms) {
  Release();
  const int fd = OpenFolder(folder);
  if (fd < 0) {
    error_code_ = errno;
    return errno == ENOENT || errno == ENOTDIR ? Outcome::kMissing : Outcome::kFailed;
  }
  const Deadline deadline = Deadline::After(timeout_ms);
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      fd_ = fd;
      error_code_ = 0;
      return Outcome::kLocked;
    }
    error_code_ = errno;
    if (errno != EWOULDBLOCK && errno != EINTR) break;
    if (deadline.Passed()) break;
    std::this_thread::sleep_for(kPollInterval);
  }
  ::close(fd);
  return error_code_ == EWOULDBLOCK ? Outcome::kBusy : Outcome::kFailed;
}

void FolderLock::Release() {
  if (fd_ < 0) return;
  // Closing the only descriptor of the open folder releases its lock.
  ::close(fd_);
  fd_ = -1;
}

}  // namespace plat
