#include "dac/mysql/client/wire/row_decoder.h"

#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/wire/packet_reader.h"

namespace dac {

namespace {

// A length-coded value at pos, read the long way: its offset (or
// TMySqlBinds::kNull) and length, and the position after it.
size_t PlaceCoded(const uint8_t* row, size_t size, size_t pos, int32_t& offset, unsigned long& length) {
  PacketReader reader(row, size, pos);
  const int64_t n = reader.ReadValueLength();
  if (n == NullLength) {
    offset = TMySqlBinds::kNull;
    length = 0;
    return reader.Position();
  }
  offset = static_cast<int32_t>(reader.Position());
  length = static_cast<unsigned long>(n);
  reader.Skip(static_cast<size_t>(n));
  return reader.Position();
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
  const uint8_t* at = row;
  const uint8_t* const end = row + length;
  int32_t* const offsets = binds.Offsets();
  unsigned long* const sizes = binds.MutableLengths();
  for (int i = 0; i < field_count; ++i) {
    const size_t left = static_cast<size_t>(end - at);
    if (left > 0) {
      // Most values are shorter than 251 bytes: a one-byte length.
      const size_t n = *at;
      if (n < left && n < 251) {
        offsets[i] = static_cast<int32_t>(at + 1 - row);
        sizes[i] = n;
        at += n + 1;
        continue;
      }
      if (n == 251) {
        offsets[i] = TMySqlBinds::kNull;
        sizes[i] = 0;
        ++at;
        continue;
      }
      if (n < 251) ThrowMalformed("value runs past the packet");
    }
    at = row + PlaceCoded(row, static_cast<size_t>(length), static_cast<size_t>(at - row), offsets[i], sizes[i]);
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
  int32_t* offsets = binds.Offsets();
  unsigned long* lengths = binds.MutableLengths();
  uint8_t* kinds = binds.Types();
  for (int i = 0; i < field_count; ++i) {
    const uint8_t type = types[i];
    kinds[i] = type;
    const int bit = i + 2;
    if (bitmap[bit / 8] & (1u << (bit % 8))) {
      offsets[i] = TMySqlBinds::kNull;
      lengths[i] = 0;
      continue;
    }
    const size_t fixed = static_cast<size_t>(BinaryValueSize(type));
    if (fixed > 0) {
      if (fixed > size - pos) ThrowMalformed("packet too short");
      offsets[i] = static_cast<int32_t>(pos);
      lengths[i] = fixed;
      pos += fixed;
    } else if (pos < size && row[pos] < 251) {
      const size_t n = row[pos++];
      if (n > size - pos) ThrowMalformed("value runs past the packet");
      offsets[i] = static_cast<int32_t>(pos);
      lengths[i] = n;
      pos += n;
    } else {
      pos = PlaceCoded(row, size, pos, offsets[i], lengths[i]);
    }
  }
  binds.SetBuffer(row, length);
}

}  // namespace dac
