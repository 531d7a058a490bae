// The packets of prepared statements as plain values, apart from any I/O:
// the server's reply to a prepare, and the execute request with its
// parameters in binary form. Short replies raise EMySqlException 2027.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dac/framework/values/bytes.h"
#include "dac/mysql/client/wire/packet_writer.h"

namespace dac {

class TParamDescs;

struct PrepareOk {
  uint32_t statement_id = 0;
  int column_count = 0;
  int param_count = 0;
  uint16_t warning_count = 0;
};
// 0, the statement id (4 bytes), columns and parameters (2 bytes each),
// then optionally a filler byte and the warning count.
PrepareOk ParsePrepareOk(const uint8_t* data, size_t length);

struct ExecuteRequest {
  uint32_t statement_id = 0;
  // The statement's placeholders.
  int param_count = 0;
  // May be null. A first item in the result direction has no placeholder
  // and is skipped.
  const TParamDescs* params = nullptr;
  // What the last execute that went out sent: two bytes per parameter, the
  // MySQL type and the unsigned flag. Null: nothing yet.
  const TBytes* types_sent_last = nullptr;
  // Text parameters go out as UTF-8.
  bool use_unicode = false;
};

// Everything after the command byte: the statement id, no cursor, one
// iteration; then, when the parameters match the placeholders, the NULL
// bitmap, the new-types byte, the types when they changed, and the values
// that are not NULL. types receives the types this packet leaves on the
// server, to be kept once it has gone out. A data type without an encoding
// fails before anything is written; a value that does not convert to its
// type raises EConvertError. Each value is read once (GetValue).
void BuildExecute(PacketWriter& out, const ExecuteRequest& request, TBytes& types);
// The same, the types returned.
TBytes BuildExecute(PacketWriter& out, const ExecuteRequest& request);

}  // namespace dac
