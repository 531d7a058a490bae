// Appends what the client sends to a packet being staged: little-endian
// integers, length-coded integers, texts and bytes. The writer holds no
// state of its own; the stream's position is where the next value goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "dac/framework/values/bytes.h"
#include "dac/store/runtime/memory_stream.h"

namespace dac {

class PacketWriter {
 public:
  explicit PacketWriter(MemoryStream& stream) : stream_(&stream) {}

  void WriteByte(uint8_t value) { stream_->WriteByte(value); }
  void WriteBool(bool value) { WriteByte(value ? 1 : 0); }
  // The low 16, 24, 32 or all 64 bits.
  void WriteInt16(int32_t value) { WriteLittleEndian(static_cast<uint32_t>(value), 2); }
  void WriteInt24(int32_t value) { WriteLittleEndian(static_cast<uint32_t>(value), 3); }
  void WriteInt32(int32_t value) { WriteLittleEndian(static_cast<uint32_t>(value), 4); }
  void WriteInt64(int64_t value) { WriteLittleEndian(static_cast<uint64_t>(value), 8); }
  void WriteDouble(double value);
  // count copies of value; nothing for a count below 1.
  void Fill(uint8_t value, int count);
  // The characters and a terminating 0 byte.
  void WriteString(const std::string& text);
  // Length-coded integer: below 251 one byte; below 0x10000 252 and 2 bytes;
  // below 0x1000000 253 and 3 bytes; else 254 and 8 bytes.
  void WriteFieldLength(uint64_t value);
  void WriteBytes(const uint8_t* bytes, size_t count);
  void WriteBytes(const TBytes& bytes) { WriteBytes(bytes.data(), bytes.size()); }
  void WriteBytes(const std::string& text) { WriteBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size()); }
  // Room for count bytes at the position, which moves past them; the
  // caller fills them before anything else is written. 2020 beyond what a
  // packet can hold.
  uint8_t* Extend(size_t count);

 private:
  void WriteLittleEndian(uint64_t value, int size);

  MemoryStream* stream_;
};

}  // namespace dac
