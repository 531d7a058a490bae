// The class library's streams: the abstract stream with its buffer helpers,
// a memory stream and a file stream.
#pragma once

#include <cstdint>
#include <string>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/classes/meta_class.h"
#include "platform/file.h"

namespace dac {

class EStreamError : public Exception {
 public:
  using Exception::Exception;
};
class EReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

enum class SeekOrigin { Beginning = 0, Current = 1, End = 2 };

class TStream : public TObject {
  DAC_DECLARE_CLASS();

 public:
  // Bytes actually moved (fewer at the end of the stream).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // The new position.
  virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
  virtual void SetSize(int64_t size) = 0;
  virtual int64_t GetSize();

  int64_t GetPosition() { return Seek(0, SeekOrigin::Current); }
  void SetPosition(int64_t position) { Seek(position, SeekOrigin::Beginning); }
  // Exactly count bytes, or EReadError "Stream read error" / EWriteError "Stream write error".
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies count bytes from source's position (count 0: the whole source from its start); returns the count.
  int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
  DAC_DECLARE_CLASS();

 public:
  TMemoryStream() = default;
  ~TMemoryStream() override;
  TMemoryStream(const TMemoryStream&) = delete;
  TMemoryStream& operator=(const TMemoryStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int64_t GetSize() override { return size_; }

  // The bytes, valid until the stream grows.
  void* Memory() { return memory_; }
  const void* Memory() const { return memory_; }
  void Clear();
  void LoadFromStream(TStream& source);
  void SaveToStream(TStream& dest);
  void LoadFromFile(const std::string& path);
  // Written to a temporary file and renamed into place.
  void SaveToFile(const std::string& path);

 private:
  void SetCapacity(int64_t capacity);

  uint8_t* memory_ = nullptr;
  int64_t size_ = 0;
  int64_t position_ = 0;
  int64_t capacity_ = 0;
};

// Open modes of TFileStream.
enum class FileMode { Create, OpenRead, OpenWrite, OpenReadWrite };

class TFileStream : public TStream {
  DAC_DECLARE_CLASS();

 public:
  // EFCreateError "Cannot create file \"%s\". %s" / EFOpenError "Cannot open file \"%s\". %s".
  TFileStream(const std::string& path, FileMode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  void SetSize(int64_t size) override;
  const std::string& FileName() const { return path_; }

 private:
  std::string path_;
  plat::File file_;
};

}  // namespace dac
