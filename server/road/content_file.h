// One content file open for reading: a file of the content folder or an
// entry of the package. It owns what it reads from, so it stays readable
// when the server switches content or the reader that opened it is gone.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

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
};

// Opens a regular file by its real path (no link followed at the last step,
// no wait on special files); null when it is no regular file or cannot be opened.
std::unique_ptr<TContentFile> OpenDiskContentFile(const std::string& real_path);
// Wraps an open package entry.
std::unique_ptr<TContentFile> MakeEntryContentFile(std::unique_ptr<content::TXORFileHandle> handle);

// Streams a content file as the body of a reply, in blocks of kFileBlockSize.
class TContentFileSource final : public plat::RefillSource {
 public:
  explicit TContentFileSource(std::unique_ptr<TContentFile> file) : file_(std::move(file)) {}
  size_t Read(char* buffer, size_t size) override;

 private:
  std::unique_ptr<TContentFile> file_;
};

}  // namespace server
