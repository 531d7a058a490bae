#include "platform/temp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"

namespace plat {

std::string TempFolder() {
  const char* dir = std::getenv("TMPDIR");
  return WithTrailingSlash(dir && *dir ? dir : "/tmp");
}

TempFile::TempFile() {
  std::string name = TempFolder() + "~qzXXXXXX";
  fd_ = ::mkostemp(name.data(), O_CLOEXEC);  // created with mode 0600
  if (fd_ < 0) throw FileError(name, std::strerror(errno));
  path_ = name;
}

TempFile::~TempFile() { Close(); }

void TempFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace plat
