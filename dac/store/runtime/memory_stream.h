// A growable byte buffer with a position and a length, for the packets the
// protocol layer builds. Reads are limited by the buffer's size, not by the
// length, so bytes placed straight into GetBuffer() can be read back; the
// buffer past the length always holds zeros unless the caller put bytes there.
// Buffers below 64 KiB are kept when the length shrinks; larger ones follow
// the length exactly.
#pragma once

#include <cstdint>

#include "dac/framework/values/bytes.h"

namespace dac {

class MemoryStream {
 public:
  explicit MemoryStream(int capacity = 0);

  // Empties the buffer; length and position become 0.
  void Close();

  int GetPosition() const { return position_; }
  // A position beyond the length first extends the length to it.
  void SetPosition(int position);
  int GetLength() const { return length_; }
  void SetLength(int length);

  // min(count, buffer size - position) bytes into bytes at offset (or into
  // the address plus offset); the position advances.
  int Read(TBytes& bytes, int offset, int count);
  int Read(void* address, int offset, int count);
  // ArgumentException when the position is not inside the buffer.
  uint8_t ReadByte();
  // Extends the length to position + count when needed, copies, advances.
  void Write(const TBytes& bytes, int offset, int count);
  void Write(const void* address, int offset, int count);
  void WriteByte(uint8_t value);
  // origin 0: offset; 1: position + offset; 2: buffer size - offset. Clamped
  // to 0 .. buffer size; the length is not changed.
  int Seek(int offset, int origin);

  // The buffer itself, valid until the stream grows.
  TBytes& GetBuffer() { return buffer_; }
  const TBytes& GetBuffer() const { return buffer_; }

 private:
  int BufferSize() const { return static_cast<int>(buffer_.size()); }
  int CopyOut(uint8_t* dest, int count);
  void CopyIn(const uint8_t* source, int count);

  TBytes buffer_;
  int position_ = 0;
  int length_ = 0;
};

}  // namespace dac
