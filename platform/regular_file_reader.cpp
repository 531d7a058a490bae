#include "platform/regular_file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files.h"

namespace plat {

RegularFileReader::RegularFileReader(const std::string& path) : path_(path) {
  if (path.find('\0') != std::string::npos) throw FileError(path, "cannot open the file (invalid name)");
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd_ < 0) throw FileError(path, std::string("cannot open the file (") + std::strerror(errno) + ")");
  struct stat info {};
  if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw FileError(path, "not a regular file");
  }
}

RegularFileReader::~RegularFileReader() {
  if (fd_ >= 0) ::close(fd_);
}

size_t RegularFileReader::Read(uint8_t* buffer, size_t size) {
  ssize_t n;
  do {
    n = ::read(fd_, buffer, size);
  } while (n < 0 && errno == EINTR);
  if (n < 0) throw FileError(path_, std::string("cannot read the file (") + std::strerror(errno) + ")");
  return static_cast<size_t>(n);
}

}  // namespace plat
