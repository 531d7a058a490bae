#include "dac/framework/classes/streams.h"


#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "platform/files.h"

namespace dac {

DAC_DEFINE_CLASS(TStream, TObject, ::dac::TMetaClass)
DAC_DEFINE_CLASS(TMemoryStream, TStream, ::dac::TMetaClassOf<TMemoryStream>)
DAC_DEFINE_CLASS(TFileStream, TStream, ::dac::TMetaClass)

// --- TStream -------------------------------------------------------------

int64_t TStream::GetSize() {
  const int64_t position = Seek(0, SeekOrigin::Current);
  const int64_t size = Seek(0, SeekOrigin::End);
  Seek(position, SeekOrigin::Beginning);
  return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.GetSize();
  }
  constexpr int64_t kChunk = 61440;
  std::vector<uint8_t> chunk(kChunk);
  uint8_t* buffer = chunk.data();
  int64_t left = count;
  while (left > 0) {
    const int64_t n = std::min(left, kChunk);
    source.ReadBuffer(buffer, n);
    WriteBuffer(buffer, n);
    left -= n;
  }
  return count;
}

// --- TMemoryStream --------------------------------------------------------

TMemoryStream::~TMemoryStream() { std::free(memory_); }

void TMemoryStream::SetCapacity(int64_t capacity) {
  if (capacity == capacity_) return;
  if (capacity == 0) {
    std::free(memory_);
    memory_ = nullptr;
    capacity_ = 0;
    return;
  }
  void* grown = std::realloc(memory_, static_cast<size_t>(capacity));
  if (!grown) throw std::bad_alloc();
  memory_ = static_cast<uint8_t*>(grown);
  capacity_ = capacity;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || position_ >= size_) return 0;
  const int64_t n = std::min(count, size_ - position_);
  std::memcpy(buffer, memory_ + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  int64_t end = 0;
  // A position far past the content must not wrap the end around.
  if (count <= 0 || __builtin_add_overflow(position_, count, &end)) return 0;
  if (end > capacity_) SetCapacity(std::max(end, capacity_ + capacity_ / 2));
  if (position_ > size_) std::memset(memory_ + size_, 0, static_cast<size_t>(position_ - size_));
  std::memcpy(memory_ + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  size_ = std::max(size_, end);
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, SeekOrigin origin) {
  int64_t target = offset;
  bool overflow = false;
  if (origin == SeekOrigin::Current) overflow = __builtin_add_overflow(position_, offset, &target);
  if (origin == SeekOrigin::End) overflow = __builtin_add_overflow(size_, offset, &target);
  if (overflow || target < 0) throw EStreamError("Invalid stream position");
  position_ = target;
  return position_;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) throw EStreamError("Invalid stream size");
  if (size > capacity_) SetCapacity(size);
  // Growth shows zero bytes, never what an earlier, longer content left.
  if (size > size_) std::memset(memory_ + size_, 0, static_cast<size_t>(size - size_));
  size_ = size;
  position_ = std::min(position_, size_);
}

void TMemoryStream::Clear() {
  SetCapacity(0);
  size_ = 0;
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
  source.SetPosition(0);
  const int64_t count = source.GetSize();
  SetSize(count);
  if (count != 0) source.ReadBuffer(memory_, count);
  position_ = 0;
}

void TMemoryStream::SaveToStream(TStream& dest) { dest.WriteBuffer(memory_, size_); }

void TMemoryStream::LoadFromFile(const std::string& path) {
  TFileStream file(path, FileMode::OpenRead);
  LoadFromStream(file);
}

void TMemoryStream::SaveToFile(const std::string& path) {
  try {
    plat::WriteFileAtomic(path, std::string_view(reinterpret_cast<const char*>(memory_), static_cast<size_t>(size_)));
  } catch (const plat::FileError& e) {
    throw EFCreateError("Cannot create file \"" + path + "\". " + e.reason());
  }
}

// --- TFileStream ----------------------------------------------------------

TFileStream::TFileStream(const std::string& path, FileMode mode) : path_(path) {
  try {
    switch (mode) {
      case FileMode::Create: file_ = plat::File::Open(path, plat::OpenFor::kCreate); break;
      case FileMode::OpenRead: file_ = plat::File::OpenToRead(path); break;
      case FileMode::OpenWrite: file_ = plat::File::Open(path, plat::OpenFor::kWrite); break;
      case FileMode::OpenReadWrite: file_ = plat::File::Open(path, plat::OpenFor::kReadWrite); break;
    }
  } catch (const plat::FileError& e) {
    if (mode == FileMode::Create) throw EFCreateError("Cannot create file \"" + path + "\". " + e.reason());
    throw EFOpenError("Cannot open file \"" + path + "\". " + e.reason());
  }
}

TFileStream::~TFileStream() = default;

int64_t TFileStream::Read(void* buffer, int64_t count) {
  try {
    return file_.Read(buffer, count);
  } catch (const plat::FileError& e) {
    throw EReadError("Stream read error: " + path_ + ": " + e.reason());
  }
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  try {
    file_.Write(buffer, count);
  } catch (const plat::FileError& e) {
    throw EWriteError("Stream write error: " + path_ + ": " + e.reason());
  }
  return count;
}

int64_t TFileStream::Seek(int64_t offset, SeekOrigin origin) {
  const plat::File::From from = origin == SeekOrigin::Beginning ? plat::File::From::kStart
                                : origin == SeekOrigin::Current ? plat::File::From::kCurrent
                                                                : plat::File::From::kEnd;
  try {
    return file_.Seek(offset, from);
  } catch (const plat::FileError&) {
    throw EStreamError("Invalid stream position: " + path_);
  }
}

void TFileStream::SetSize(int64_t size) {
  try {
    file_.Truncate(size);
  } catch (const plat::FileError&) {
    throw EStreamError("Cannot set the size of " + path_);
  }
  if (GetPosition() > size) Seek(size, SeekOrigin::Beginning);
}

}  // namespace dac
