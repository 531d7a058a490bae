// Splitting a row packet into values without copying them: each bind gets
// the value's NULL flag, offset and length inside the row. Values that would
// run past the row raise EMySqlException 2027.
#pragma once

#include <cstdint>

#include "dac/mysql/client/wire/client_records.h"
#include "dac/mysql/client/wire/mysql_binds.h"

namespace dac {

// A text row: one length-coded value per field; prefix 251 is NULL.
void DecodeTextRow(const uint8_t* row, int length, int field_count, TMySqlBinds& binds);

// A binary row: a 0 byte, the NULL bitmap of (field_count + 9) / 8 bytes
// (field i at bit i + 2), then the non-NULL values, fixed-size by type or
// length-coded. Types come from the field descriptions.
void DecodeBinaryRow(const uint8_t* row, int length, const TMySqlFieldInfos& fields, int field_count,
                     TMySqlBinds& binds);
// The same with the fields' types given, field_count of them.
void DecodeBinaryRow(const uint8_t* row, int length, const uint8_t* types, int field_count, TMySqlBinds& binds);

// The byte size of a fixed-size binary value of the type, 0 for length-coded ones.
int BinaryValueSize(uint8_t type);

}  // namespace dac
