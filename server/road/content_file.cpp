#include "server/road/content_file.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/file.h"

namespace server {
namespace {

// Bytes that stand in a file: length bytes from start.
class FileContentFile final : public TContentFile {
 public:
  FileContentFile(std::shared_ptr<const plat::File> file, int64_t start, int64_t size)
      : file_(std::move(file)), start_(start), size_(size) {}

  int64_t Size() const override { return size_; }

  int64_t Read(char* buffer, int64_t count) override {
    count = std::min(count, size_ - position_);
    if (count <= 0) return 0;
    const int64_t got = file_->ReadAt(buffer, count, start_ + position_);
    position_ += got;
    return got;
  }

  plat::FileStretch Remaining() const override { return {file_.get(), start_ + position_, size_ - position_}; }
  void Skip(int64_t count) override { position_ = std::min(size_, position_ + count); }

 private:
  std::shared_ptr<const plat::File> file_;
  int64_t start_;
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

class MemoryContentFile final : public TContentFile {
 public:
  MemoryContentFile(std::shared_ptr<const std::string> bytes, int64_t size) : bytes_(std::move(bytes)), size_(size) {}

  int64_t Size() const override { return size_; }

  int64_t Read(char* buffer, int64_t count) override {
    const std::string_view rest = Resident();
    const size_t taken = std::min(rest.size(), static_cast<size_t>(std::max<int64_t>(count, 0)));
    std::memcpy(buffer, rest.data(), taken);
    position_ += taken;
    return static_cast<int64_t>(taken);
  }

  std::string_view Resident() const override { return std::string_view(*bytes_).substr(position_); }
  void Skip(int64_t count) override { position_ = std::min(bytes_->size(), position_ + static_cast<size_t>(count)); }

 private:
  std::shared_ptr<const std::string> bytes_;
  int64_t size_;
  size_t position_ = 0;
};

}  // namespace

std::unique_ptr<TContentFile> MakeMemoryContentFile(std::shared_ptr<const std::string> bytes, int64_t size) {
  return std::make_unique<MemoryContentFile>(std::move(bytes), size);
}

std::unique_ptr<TContentFile> MakeDiskContentFile(plat::File file, int64_t size) {
  return MakeFileContentFile(std::make_shared<const plat::File>(std::move(file)), 0, size);
}

std::unique_ptr<TContentFile> MakeFileContentFile(std::shared_ptr<const plat::File> file, int64_t start, int64_t size) {
  return std::make_unique<FileContentFile>(std::move(file), start, size);
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
