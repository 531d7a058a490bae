// One open entry of a content package: its own read position on the
// package's shared descriptor.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "content/package_scramble.h"
#include "platform/file.h"

namespace content {

// What every handle of one package shares, kept alive by the handles
// themselves so that a handle outlives the reader that opened it.
struct TXORPackageShared {
  TXORPackageShared(std::string path, std::string_view key, plat::File file)
      : path(std::move(path)), key(key), file(std::move(file)) {}

  std::string path;
  TScrambleKey key;
  // Read mode: the package file. Reads go by offset, never by a shared
  // position, so any number of handles read it side by side.
  plat::File file;
};

// Reads one entry from its first byte on, unscrambling as it goes. Each handle
// keeps its own position and reads at its own offsets, so handles never
// disturb each other, take no lock, and stay readable after the reader is freed.
class TXORFileHandle {
 public:
  // start and size are already checked against the file.
  TXORFileHandle(std::shared_ptr<const TXORPackageShared> shared, int64_t start, int64_t size);
  TXORFileHandle(const TXORFileHandle&) = delete;
  TXORFileHandle& operator=(const TXORFileHandle&) = delete;

  // Up to count bytes from the current position, unscrambled; the number read,
  // 0 at the end of the entry (or when the file was cut short since it was
  // opened). The key phase follows the entry position, so any block sizes give
  // the same bytes. Throws plat::FileError when the file cannot be read.
  int64_t Read(void* buffer, int64_t count);

  int64_t GetSize() const { return size_; }
  // The entry's offset in the package: with the size, it tells entries apart.
  int64_t GetStart() const { return start_; }
  int64_t GetPosition() const { return position_; }

 private:
  std::shared_ptr<const TXORPackageShared> shared_;
  int64_t start_;
  int64_t size_;
  int64_t position_ = 0;
};

}  // namespace content
