#include "dac/mysql/client/wire/packet_writer.h"

#include <cstring>

#include "dac/mysql/client/wire/client_errors.h"

namespace dac {

void PacketWriter::WriteLittleEndian(uint64_t value, int size) {
  uint8_t bytes[8];
  for (int i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  stream_->Write(bytes, 0, size);
}

void PacketWriter::WriteDouble(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  WriteLittleEndian(bits, 8);
}

void PacketWriter::Fill(uint8_t value, int count) {
  for (int i = 0; i < count; ++i) stream_->WriteByte(value);
}

void PacketWriter::WriteString(const std::string& text) {
  WriteBytes(text);
  WriteByte(0);
}

void PacketWriter::WriteFieldLength(uint64_t value) {
  if (value < 251) {
    WriteByte(static_cast<uint8_t>(value));
  } else if (value < 0x10000) {
    WriteByte(252);
    WriteLittleEndian(value, 2);
  } else if (value < 0x1000000) {
    WriteByte(253);
    WriteLittleEndian(value, 3);
  } else {
    WriteByte(254);
    WriteLittleEndian(value, 8);
  }
}

uint8_t* PacketWriter::Extend(size_t count) {
  const int at = stream_->GetPosition();
  if (count > static_cast<size_t>(INT32_MAX - at)) throw EMySqlException(kCrNetPacketTooLarge);
  stream_->SetPosition(at + static_cast<int>(count));
  return stream_->GetBuffer().data() + at;
}

void PacketWriter::WriteBytes(const uint8_t* bytes, size_t count) {
  if (count == 0) return;
  // A logical packet holds at most what a MemoryStream can index.
  if (count > static_cast<size_t>(INT32_MAX - stream_->GetPosition()))
    throw EMySqlException(kCrNetPacketTooLarge);
  stream_->Write(bytes, 0, static_cast<int>(count));
}

}  // namespace dac
