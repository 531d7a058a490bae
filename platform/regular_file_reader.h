// Reads a regular file from start to end in pieces, so a large file is never
// held whole. Opening never waits on a FIFO or device, and anything but a
// regular file is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

class RegularFileReader {
 public:
  // Throws FileError: reason "cannot open the file (<system text>)" or
  // "not a regular file".
  explicit RegularFileReader(const std::string& path);
  ~RegularFileReader();
  RegularFileReader(const RegularFileReader&) = delete;
  RegularFileReader& operator=(const RegularFileReader&) = delete;

  // Up to size bytes of what follows; 0 at the end. Throws FileError with
  // reason "cannot read the file (<system text>)".
  size_t Read(uint8_t* buffer, size_t size);

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace plat
