#include "dac/mysql/client/wire/row_decoder.h"

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/wire/packet_reader.h"

namespace dac {

namespace {

void PlaceValue(PacketReader& reader, TMySqlBind& bind) {
  const int64_t length = reader.ReadValueLength();
  if (length == NullLength) {
    bind.is_null = true;
    bind.offset = 0;
    bind.length = 0;
    return;
  }
  bind.is_null = false;
  bind.offset = static_cast<int32_t>(reader.Position());
  bind.length = static_cast<int32_t>(length);
  reader.Skip(static_cast<size_t>(length));
}

}  // namespace

int BinaryValueSize(uint8_t type) {
  switch (type) {
    case mftTiny:
      return 1;
    case mftShort:
    case mftYear:
      return 2;
    case mftLong:
    case mftFloat:
    case mftInt24:
      return 4;
    case mftDouble:
    case mftLongLong:
      return 8;
    default:
      return 0;
  }
}

void DecodeTextRow(const uint8_t* row, int length, int field_count, TMySqlBinds& binds) {
  DAC_ASSERT(binds.Count() >= field_count, "fewer binds than fields");
  const size_t size = static_cast<size_t>(length);
  size_t pos = 0;
  for (int i = 0; i < field_count; ++i) {
    TMySqlBind& bind = binds[i];
    bind.type = 0;
    // Most values are shorter than 251 bytes: a one-byte length.
    if (pos < size && row[pos] < 251) {
      const size_t n = row[pos++];
      if (n > size - pos) ThrowMalformed("value runs past the packet");
      bind.is_null = false;
      bind.offset = static_cast<int32_t>(pos);
      bind.length = static_cast<int32_t>(n);
      pos += n;
      continue;
    }
    PacketReader reader(row, size, pos);
    PlaceValue(reader, bind);
    pos = reader.Position();
  }
  binds.SetBuffer(row, length);
}

void DecodeBinaryRow(const uint8_t* row, int length, const TMySqlFieldInfos& fields, int field_count,
                     TMySqlBinds& binds) {
  DAC_ASSERT(binds.Count() >= field_count, "fewer binds than fields");
  if (fields.size() < static_cast<size_t>(field_count)) ThrowMalformed("row without its column descriptions");
  PacketReader reader(row, static_cast<size_t>(length));
  reader.Skip(1);
  const size_t bitmap_size = static_cast<size_t>(field_count + 9) / 8;
  const size_t bitmap = reader.Position();
  reader.Skip(bitmap_size);
  for (int i = 0; i < field_count; ++i) {
    TMySqlBind& bind = binds[i];
    bind.type = fields[static_cast<size_t>(i)].type;
    const int bit = i + 2;
    if (row[bitmap + static_cast<size_t>(bit / 8)] & (1u << (bit % 8))) {
      bind.is_null = true;
      bind.offset = 0;
      bind.length = 0;
      continue;
    }
    const int size = BinaryValueSize(bind.type);
    if (size == 0) {
      PlaceValue(reader, bind);
      continue;
    }
    bind.is_null = false;
    bind.offset = static_cast<int32_t>(reader.Position());
    bind.length = size;
    reader.Skip(static_cast<size_t>(size));
  }
  binds.SetBuffer(row, length);
}

}  // namespace dac
