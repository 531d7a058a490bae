// Temporary files in $TMPDIR (default /tmp), named with the system's prefix.
#pragma once

#include <string>

namespace plat {

// An open temporary file, mode 0600 and closed on exec, whose name starts with "~qz".
// The file stays on disk after the object goes; Close only closes the descriptor.
class TempFile {
 public:
  // Throws FileError when no file can be created.
  TempFile();
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const std::string& path() const { return path_; }
  int fd() const { return fd_; }
  void Close();

 private:
  std::string path_;
  int fd_ = -1;
};

// The folder for temporary files: $TMPDIR when set and not empty, else /tmp; with a trailing '/'.
std::string TempFolder();

}  // namespace plat
