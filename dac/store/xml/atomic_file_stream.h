// A write-only file stream that replaces its file in one step: the bytes go
// to a temporary file beside it, Commit renames that into place, and a
// stream freed uncommitted removes it, so a failed writer never leaves half
// a file behind and an existing file stays as it was.
#pragma once

#include <memory>
#include <string>

#include "dac/framework/classes/streams.h"

namespace plat {
class AtomicFile;
}

namespace dac {

class TAtomicFileStream : public TStream {
  DAC_DECLARE_CLASS();

 public:
  // EFCreateError "Cannot create file \"%s\". %s".
  explicit TAtomicFileStream(const std::string& path);
  ~TAtomicFileStream() override;
  TAtomicFileStream(const TAtomicFileStream&) = delete;
  TAtomicFileStream& operator=(const TAtomicFileStream&) = delete;

  // EReadError: the stream only writes.
  int64_t Read(void* buffer, int64_t count) override;
  // EWriteError, also after Commit.
  int64_t Write(const void* buffer, int64_t count) override;
  // Reports the position; moving it raises EStreamError, as the bytes only append.
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  // EStreamError.
  void SetSize(int64_t size) override;
  int64_t GetSize() override { return size_; }

  // Puts the file in place; later calls do nothing. EFCreateError on failure,
  // after which the old file is untouched and the stream is finished (a
  // further Commit raises again).
  void Commit();
  const std::string& FileName() const { return path_; }

 private:
  std::string path_;
  std::unique_ptr<plat::AtomicFile> file_;
  int64_t size_ = 0;
  bool committed_ = false;
};

}  // namespace dac
