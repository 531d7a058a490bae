// One content file open for reading: a file of the content folder or an
// entry of the package. It owns what it reads from, so it stays readable
// when the server switches content or the reader that opened it is gone.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "content/xor_file_handle.h"
#include "platform/tcp_connection.h"

namespace server {

class TContentFile {
 public:
  virtual ~TContentFile() = default;
  // The size as opened; reads never go beyond it.
  virtual int64_t Size() const = 0;
  // Up to count bytes from the current position; 0 at the end. Throws
  // plat::FileError when the file cannot be read.
  virtual int64_t Read(char* buffer, int64_t count) = 0;
  // The bytes not read yet, when they stand unchanged in a file on disk (so
  // a reply can send them from the file itself); none by default.
  virtual plat::FileStretch Remaining() const { return {}; }
  // The bytes not read yet, when they are held in memory; none by default.
  virtual std::string_view Resident() const { return {}; }
  // Moves on as if count bytes had been read.
  virtual void Skip(int64_t count) { (void)count; }
};

// Wraps a regular file opened for reading, whose size was size when opened.
std::unique_ptr<TContentFile> MakeDiskContentFile(plat::File file, int64_t size);
// Serves the size bytes from start of a file that others may share.
std::unique_ptr<TContentFile> MakeFileContentFile(std::shared_ptr<const plat::File> file, int64_t start, int64_t size);
// Wraps an open package entry.
std::unique_ptr<TContentFile> MakeEntryContentFile(std::unique_ptr<content::TXORFileHandle> handle);
// Serves bytes held in memory as a file of the given size (larger than the
// bytes only for a package cut short: reads end with the bytes).
std::unique_ptr<TContentFile> MakeMemoryContentFile(std::shared_ptr<const std::string> bytes, int64_t size);

// Streams a content file as the body of a reply, straight from the disk
// file where there is one.
class TContentFileSource final : public plat::RefillSource {
 public:
  explicit TContentFileSource(std::unique_ptr<TContentFile> file) : file_(std::move(file)) {}
  size_t Read(char* buffer, size_t size) override;
  plat::FileStretch Remaining() const override { return file_->Remaining(); }
  std::string_view Resident() const override { return file_->Resident(); }
  void Skip(size_t count) override { file_->Skip(static_cast<int64_t>(count)); }

 private:
  std::unique_ptr<TContentFile> file_;
};

}  // namespace server
