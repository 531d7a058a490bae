#include "dac/mysql/client/wire/row_decoder.h"

#include <vector>

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

namespace {

// A length-coded value at pos: one byte for most, the reader for the rest.
// The position after it.
inline size_t PlaceCoded(const uint8_t* row, size_t size, size_t pos, TMySqlBind& bind) {
  if (pos < size && row[pos] < 251) {
    const size_t n = row[pos++];
    if (n > size - pos) ThrowMalformed("value runs past the packet");
    bind.is_null = false;
    bind.offset = static_cast<int32_t>(pos);
    bind.length = static_cast<int32_t>(n);
    return pos + n;
  }
  PacketReader reader(row, size, pos);
  PlaceValue(reader, bind);
  return reader.Position();
}

}  // namespace

void DecodeTextRow(const uint8_t* row, int length, int field_count, TMySqlBinds& binds) {
  DAC_ASSERT(binds.Count() >= field_count, "fewer binds than fields");
  const uint8_t* at = row;
  const uint8_t* const end = row + length;
  TMySqlBind* bind = binds.Data();
  TMySqlBind* const last = bind + field_count;
  for (; bind != last; ++bind) {
    // Most values are shorter than 251 bytes: a one-byte length.
    const size_t n = at < end ? *at : 255;
    if (n < 251 && n < static_cast<size_t>(end - at)) {
      ++at;
      bind->offset = static_cast<int32_t>(at - row);
      bind->length = static_cast<int32_t>(n);
      bind->is_null = false;
      bind->type = 0;
      at += n;
      continue;
    }
    const size_t pos = static_cast<size_t>(at - row);
    if (at < end && *at < 251) ThrowMalformed("value runs past the packet");
    PacketReader reader(row, static_cast<size_t>(length), pos);
    PlaceValue(reader, *bind);
    bind->type = 0;
    at = row + reader.Position();
  }
  binds.SetBuffer(row, length);
}

void DecodeBinaryRow(const uint8_t* row, int length, const TMySqlFieldInfos& fields, int field_count,
                     TMySqlBinds& binds) {
  if (fields.size() < static_cast<size_t>(field_count)) ThrowMalformed("row without its column descriptions");
  std::vector<uint8_t> types(fields.size());
  for (size_t i = 0; i < fields.size(); ++i) types[i] = fields[i].type;
  DecodeBinaryRow(row, length, types.data(), field_count, binds);
}

void DecodeBinaryRow(const uint8_t* row, int length, const uint8_t* types, int field_count, TMySqlBinds& binds) {
  DAC_ASSERT(binds.Count() >= field_count, "fewer binds than fields");
  const size_t size = static_cast<size_t>(length);
  const size_t bitmap_size = static_cast<size_t>(field_count + 9) / 8;
  if (size < 1 + bitmap_size) ThrowMalformed("packet too short");
  const uint8_t* bitmap = row + 1;
  size_t pos = 1 + bitmap_size;
  TMySqlBind* bind = binds.Data();
  for (int i = 0; i < field_count; ++i, ++bind) {
    const uint8_t type = types[i];
    bind->type = type;
    const int bit = i + 2;
    if (bitmap[bit / 8] & (1u << (bit % 8))) {
      bind->is_null = true;
      bind->offset = 0;
      bind->length = 0;
      continue;
    }
    const size_t fixed = static_cast<size_t>(BinaryValueSize(type));
    if (fixed == 0) {
      pos = PlaceCoded(row, size, pos, *bind);
      continue;
    }
    if (fixed > size - pos) ThrowMalformed("packet too short");
    bind->is_null = false;
    bind->offset = static_cast<int32_t>(pos);
    bind->length = static_cast<int32_t>(fixed);
    pos += fixed;
  }
  binds.SetBuffer(row, length);
}

}  // namespace dac
