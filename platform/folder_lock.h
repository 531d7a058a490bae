// A lock on a folder that other processes see: one holder at a time across
// the machine. The kernel releases it when the holder ends, however it ends,
// so a crashed holder never leaves the folder locked.
#pragma once

#include <cstdint>
#include <string>

namespace plat {

class FolderLock {
 public:
  enum class Outcome {
    kLocked,    // this object holds the lock
    kMissing,   // the folder does not exist (or is not a folder): nothing to lock
    kBusy,      // another holder kept it for the whole wait
    kFailed,    // the folder could not be opened or locked for another reason
  };

  FolderLock() = default;
  // Releases the lock.
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Takes the lock on the folder, trying again until timeout_ms have passed.
  // A lock already held by this object is released first. ErrorCode tells
  // the system's reason for kMissing and kFailed, and EWOULDBLOCK for kBusy.
  Outcome Acquire(const std::string& folder, uint32_t timeout_ms);
  void Release();
  bool IsLocked() const { return fd_ >= 0; }

  // Moves the held folder, which stands at `folder`, to `aside` (a free name
  // in the same parent) and leaves a new empty folder at `folder`, which this
  // object then holds. Where the file system swaps two names in one step,
  // nobody ever finds `folder` unheld; elsewhere the new folder is taken a
  // moment after the move. Throws FileError; nothing is moved then.
  void SetAside(const std::string& folder, const std::string& aside);
  int ErrorCode() const { return error_code_; }

 private:
  int fd_ = -1;
  int error_code_ = 0;
};

}  // namespace plat
