#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <utility>

#include "platform/deadline.h"
#include "platform/files.h"

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

void FolderLock::SetAside(const std::string& folder, const std::string& aside) {
  if (fd_ < 0) throw FileError(folder, "the folder is not held");
  if (::mkdir(aside.c_str(), 0777) != 0) throw FileError(aside, std::strerror(errno));
  FolderLock fresh;
  if (fresh.Acquire(aside, 0) != Outcome::kLocked) {
    const int error = fresh.ErrorCode();
    ::rmdir(aside.c_str());
    throw FileError(aside, std::strerror(error));
  }
  if (::renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, aside.c_str(), RENAME_EXCHANGE) == 0) {
    // The held new folder now stands at `folder`; the old one goes free with `fresh`.
    std::swap(fd_, fresh.fd_);
    return;
  }
  const int error = errno;
  fresh.Release();
  ::rmdir(aside.c_str());
  if (error != EINVAL && error != ENOSYS) throw FileError(folder, std::strerror(error));
  MoveAside(folder, aside);
  Release();
  if (::mkdir(folder.c_str(), 0777) == 0) Acquire(folder, 0);
}

}  // namespace plat
