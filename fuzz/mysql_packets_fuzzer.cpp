// One packet payload from the server (after a byte that says which packet the
// client expects and which protocol flags hold), read by the parser the
// client uses at that point of the exchange. Every outcome is a value or a
// protocol error.
#include <cstddef>
#include <cstdint>

#include "dac/mysql/client/wire/client_errors.h"
#include "dac/mysql/client/wire/protocol.h"
#include "dac/mysql/client/wire/statement_protocol.h"
#include "fuzz/fuzz_support.h"

namespace fuzz {
namespace {

void Parse(uint8_t expected, const uint8_t* data, size_t size) {
  const bool first = expected & 0x10;
  const bool second = expected & 0x20;
  switch (expected & 0x0F) {
    case 0:
      dac::ParseGreeting(data, size);
      break;
    case 1:
      dac::ParseOkPacket(data, size, first, second);
      break;
    case 2:
      dac::ParseEndPacket(data, size);
      break;
    case 3:
      dac::ParseErrorPacket(data, size);
      break;
    case 4:
      dac::ClassifyQueryReply(data, size);
      break;
    case 5:
      dac::ParseResultSetHeader(data, size);
      break;
    case 6:
      dac::ParseLocalFileRequest(data, size);
      break;
    case 7:
      dac::ParseColumnDefinition(data, size, first, second);
      break;
    case 8:
      dac::ParseAuthReply(data, size, first);
      break;
    case 9:
      dac::ParsePrepareOk(data, size);
      break;
    default:
      dac::RaiseErrorPacket(data, size);
  }
}

}  // namespace
}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  try {
    fuzz::Parse(data[0], data + 1, size - 1);
  } catch (const dac::EMySqlException&) {
  }
  return 0;
}
