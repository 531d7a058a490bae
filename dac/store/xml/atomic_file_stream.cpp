#include "dac/store/xml/atomic_file_stream.h"

#include <string_view>

#include "platform/atomic_file.h"
#include "platform/files.h"

namespace dac {

DAC_DEFINE_CLASS(TAtomicFileStream, TStream, ::dac::TMetaClass)

namespace {

[[noreturn]] void CannotCreate(const std::string& path, const plat::FileError& e) {
  throw EFCreateError("Cannot create file \"" + path + "\". " + e.reason());
}

}  // namespace

TAtomicFileStream::TAtomicFileStream(const std::string& path) : path_(path) {
  try {
    file_ = std::make_unique<plat::AtomicFile>(path);
  } catch (const plat::FileError& e) {
    CannotCreate(path, e);
  }
}

TAtomicFileStream::~TAtomicFileStream() = default;

int64_t TAtomicFileStream::Read(void*, int64_t) { throw EReadError("Stream read error: " + path_ + " is write-only"); }

int64_t TAtomicFileStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (!file_) throw EWriteError("Stream write error: " + path_ + " is closed");
  try {
    file_->Write(std::string_view(static_cast<const char*>(buffer), static_cast<size_t>(count)));
  } catch (const plat::FileError& e) {
    throw EWriteError("Stream write error: " + path_ + ": " + e.reason());
  }
  size_ += count;
  return count;
}

int64_t TAtomicFileStream::Seek(int64_t offset, SeekOrigin origin) {
  // Current and End are the same place: the bytes only ever append.
  const int64_t target = origin == SeekOrigin::Beginning ? offset : size_ + offset;
  if (target != size_) throw EStreamError("Invalid stream position: " + path_ + " only appends");
  return size_;
}

void TAtomicFileStream::SetSize(int64_t) { throw EStreamError("Cannot set the size of " + path_); }

void TAtomicFileStream::Commit() {
  if (committed_) return;
  if (!file_) throw EFCreateError("Cannot create file \"" + path_ + "\". An earlier attempt failed");
  std::unique_ptr<plat::AtomicFile> file = std::move(file_);
  try {
    file->Commit();
  } catch (const plat::FileError& e) {
    CannotCreate(path_, e);
  }
  committed_ = true;
}

}  // namespace dac
