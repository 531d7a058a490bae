// A bounds-checked reader over one packet payload. Every read checks that its
// bytes lie inside the payload; short or inconsistent data raise
// EMySqlException 2027 "Malformed packet", so peer input never reads past
// its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dac {

// The length-coded NULL marker (prefix byte 251).
constexpr int64_t NullLength = -1;

class PacketReader {
 public:
  PacketReader() = default;
  PacketReader(const uint8_t* data, size_t length, size_t position = 0);

  size_t Position() const { return position_; }
  // The short reads are inline: every packet is parsed through them.
  size_t Length() const { return length_; }
  size_t Remaining() const { return length_ - position_; }
  bool AtEnd() const { return position_ >= length_; }
  const uint8_t* Data() const { return data_; }
  // 2027 when the position lies beyond the payload.
  void SetPosition(size_t position);
  void Skip(size_t count) {
    Need(count);
    position_ += count;
  }

  uint8_t ReadByte() {
    Need(1);
    return data_[position_++];
  }
  // Both assemble two bytes little-endian; callers wanting a signed value
  // take the result as int16_t.
  uint16_t ReadUInt16() {
    Need(2);
    const uint8_t* p = data_ + position_;
    position_ += 2;
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
  }
  uint32_t ReadInt24() {
    Need(3);
    const uint8_t* p = data_ + position_;
    position_ += 3;
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
  }
  uint32_t ReadUInt32() {
    Need(4);
    const uint8_t* p = data_ + position_;
    position_ += 4;
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
  }
  uint64_t ReadUInt64();
  double ReadDouble();
  void ReadBytes(void* dest, size_t count);
  // The next count bytes as text.
  std::string ReadString(size_t count);
  // Up to the next 0 byte, the position after it; without one, the rest.
  std::string ReadString();
  // Length-coded integer: up to 250 the byte itself, 251 NullLength, 252 two
  // bytes, 253 three, 254 eight; 255 is malformed.
  int64_t ReadFieldLength();
  // A length-coded length that must fit in what remains; NullLength for 251.
  int64_t ReadValueLength();
  // A length-coded number of the full unsigned range (affected rows, an
  // insert id); 251, the NULL marker, is malformed here.
  uint64_t ReadFieldNumber();

 private:
  void Need(size_t count) const {
    if (count > length_ - position_) TooShort();
  }
  [[noreturn]] static void TooShort();

  const uint8_t* data_ = nullptr;
  size_t length_ = 0;
  size_t position_ = 0;
};

// Raises EMySqlException 2027 with the detail as extra text.
[[noreturn]] void ThrowMalformed(const char* detail);

}  // namespace dac
