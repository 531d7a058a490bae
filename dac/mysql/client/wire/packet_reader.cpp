#include "dac/mysql/client/wire/packet_reader.h"

#include <cstring>

#include "dac/mysql/client/wire/client_errors.h"

namespace dac {

void ThrowMalformed(const char* detail) { throw EMySqlException(kCrMalformedPacket, std::string(detail)); }

PacketReader::PacketReader(const uint8_t* data, size_t length, size_t position)
    : data_(data), length_(length), position_(position) {
  if (position > length) ThrowMalformed("position beyond the packet");
}

void PacketReader::TooShort() { ThrowMalformed("packet too short"); }

void PacketReader::SetPosition(size_t position) {
  if (position > length_) ThrowMalformed("position beyond the packet");
  position_ = position;
}

uint64_t PacketReader::ReadUInt64() {
  const uint64_t low = ReadUInt32();
  const uint64_t high = ReadUInt32();
  return low | (high << 32);
}

double PacketReader::ReadDouble() {
  const uint64_t bits = ReadUInt64();
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void PacketReader::ReadBytes(void* dest, size_t count) {
  Need(count);
  if (count > 0) std::memcpy(dest, data_ + position_, count);
  position_ += count;
}

std::string PacketReader::ReadString(size_t count) {
  Need(count);
  std::string text(reinterpret_cast<const char*>(data_ + position_), count);
  position_ += count;
  return text;
}

std::string PacketReader::ReadString() {
  const uint8_t* start = data_ + position_;
  const size_t rest = length_ - position_;
  const void* zero = rest > 0 ? std::memchr(start, 0, rest) : nullptr;
  if (!zero) {
    position_ = length_;
    return std::string(reinterpret_cast<const char*>(start), rest);
  }
  const size_t n = static_cast<size_t>(static_cast<const uint8_t*>(zero) - start);
  position_ += n + 1;
  return std::string(reinterpret_cast<const char*>(start), n);
}

int64_t PacketReader::ReadFieldLength() {
  const uint8_t b = ReadByte();
  if (b <= 250) return b;
  switch (b) {
    case 251:
      return NullLength;
    case 252:
      return ReadUInt16();
    case 253:
      return ReadInt24();
    case 254: {
      const uint64_t value = ReadUInt64();
      if (value > static_cast<uint64_t>(INT64_MAX)) ThrowMalformed("length-coded value out of range");
      return static_cast<int64_t>(value);
    }
    default:
      ThrowMalformed("length prefix 255");
  }
}

uint64_t PacketReader::ReadFieldNumber() {
  const uint8_t b = ReadByte();
  if (b <= 250) return b;
  switch (b) {
    case 252:
      return ReadUInt16();
    case 253:
      return ReadInt24();
    case 254:
      return ReadUInt64();
    default:
      ThrowMalformed(b == 251 ? "NULL in place of a number" : "length prefix 255");
  }
}

int64_t PacketReader::ReadValueLength() {
  const int64_t n = ReadFieldLength();
  if (n != NullLength && static_cast<uint64_t>(n) > Remaining()) ThrowMalformed("value runs past the packet");
  return n;
}

}  // namespace dac
