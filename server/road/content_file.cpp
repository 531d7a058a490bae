#include "server/road/content_file.h"

#include <algorithm>
#include <utility>

#include "platform/file.h"

namespace server {
namespace {

class DiskContentFile final : public TContentFile {
 public:
  DiskContentFile(plat::File file, int64_t size) : file_(std::move(file)), size_(size) {}

  int64_t Size() const override { return size_; }

  int64_t Read(char* buffer, int64_t count) override {
    count = std::min(count, size_ - position_);
    if (count <= 0) return 0;
    const int64_t got = file_.ReadAt(buffer, count, position_);
    position_ += got;
    return got;
  }

  plat::FileStretch Remaining() const override { return {&file_, position_, size_ - position_}; }
  void Skip(int64_t count) override { position_ = std::min(size_, position_ + count); }

 private:
  plat::File file_;
  int64_t size_;
  int64_t position_ = 0;
};

class EntryContentFile final : public TContentFile {
 public:
  explicit EntryContentFile(std::unique_ptr<content::TXORFileHandle> handle) : handle_(std::move(handle)) {}
  int64_t Size() const override { return handle_->GetSize(); }
  int64_t Read(char* buffer, int64_t count) override { return handle_->Read(buffer, count); }

 private:
  std::unique_ptr<content::TXORFileHandle> handle_;
};

}  // namespace

std::unique_ptr<TContentFile> MakeDiskContentFile(plat::File file, int64_t size) {
  return std::make_unique<DiskContentFile>(std::move(file), size);
}

std::unique_ptr<TContentFile> MakeEntryContentFile(std::unique_ptr<content::TXORFileHandle> handle) {
  if (!handle) return nullptr;
  return std::make_unique<EntryContentFile>(std::move(handle));
}

size_t TContentFileSource::Read(char* buffer, size_t size) {
  const int64_t got = file_->Read(buffer, static_cast<int64_t>(size));
  return got > 0 ? static_cast<size_t>(got) : 0;
}

}  // namespace server
