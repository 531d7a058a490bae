// A folder on a file system of its own, small enough to fill: what a user's
// full disk or write-protected stick looks like to the player. A tmpfs,
// mounted where the test may mount (root); elsewhere ok() is false and the
// test skips itself.
#pragma once

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace plat::testing {

class SmallDisk {
 public:
  explicit SmallDisk(int size_kb) {
    char pattern[] = "/tmp/varnel-disk-XXXXXX";
    if (!::mkdtemp(pattern)) return;
    path_ = pattern;
    options_ = "size=" + std::to_string(size_kb) + "k,mode=0755";
    mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options_.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    if (!path_.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(path_, ignored);
    }
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool ok() const { return mounted_; }
  const std::string& path() const { return path_; }

  // Remounts the file system read-only or writable again; false when refused.
  bool SetReadOnly(bool read_only) {
    const unsigned long flags = MS_REMOUNT | MS_NOSUID | MS_NODEV | (read_only ? MS_RDONLY : 0);
    return ::mount("tmpfs", path_.c_str(), "tmpfs", flags, options_.c_str()) == 0;
  }

  // Takes every free block (a hidden filler file) until writes fail with ENOSPC.
  void Fill() {
    const std::string filler = path_ + "/.filler";
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return;
    char block[4096] = {};
    while (::write(fd, block, sizeof block) > 0) {
    }
    // The last partial block too.
    while (::write(fd, block, 1) > 0) {
    }
    ::close(fd);
  }
  // Gives the filler's room back.
  void Unfill() { ::unlink((path_ + "/.filler").c_str()); }

 private:
  std::string path_;
  std::string options_;
  bool mounted_ = false;
};

}  // namespace plat::testing
