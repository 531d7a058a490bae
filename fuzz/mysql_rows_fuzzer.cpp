// One row packet from the server (after a byte with the column count and one
// type byte per column): split as a text row and as a binary row. Every value
// a row yields must lie inside the row; anything else is a protocol error.
#include <cstddef>
#include <cstdint>

#include "dac/mysql/client/wire/client_errors.h"
#include "dac/mysql/client/wire/client_records.h"
#include "dac/mysql/client/wire/row_decoder.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/row_bounds.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int count = data[0] % 32 + 1;
  if (size < 1 + static_cast<size_t>(count)) return 0;
  dac::TMySqlFieldInfos fields;
  for (int i = 0; i < count; ++i)
    fields.push_back(dac::MySqlFieldInfo("f", "", "", "", "", "", 10, 0, 0, 0, 8, data[1 + i]));
  const uint8_t* row = data + 1 + count;
  const int length = static_cast<int>(size - 1 - static_cast<size_t>(count));
  dac::TMySqlBinds binds(count);
  for (bool binary : {false, true}) {
    try {
      if (binary)
        dac::DecodeBinaryRow(row, length, fields, count, binds);
      else
        dac::DecodeTextRow(row, length, count, binds);
      fuzz::RequireValuesInsideRow(binds, length);
    } catch (const dac::EMySqlException& e) {
      fuzz::Require(e.ErrorCode() == dac::kCrMalformedPacket, "a row fails with another error than a malformed packet");
    }
  }
  return 0;
}
