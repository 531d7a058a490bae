// A capture of what a real server sends for a login and one query, for the
// tests that play it back changed and the fuzz target's seeds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "dac/framework/values/bytes.h"
#include "dac/mysql/client/wire/client_records.h"
#include "tests/dac/mysql/client/fake_server.h"
#include "tests/dac/mysql/client/wire_test_support.h"

namespace dac::testing {

inline TBytes ColumnDefinition(const std::string& name, uint8_t type, uint16_t flags) {
  TBytes d;
  for (const char* part : {"def", "shop", "t", "t"}) Append(d, LengthCoded(part));
  Append(d, LengthCoded(name));
  Append(d, LengthCoded(name));
  Append(d, {0x0C, 8, 0, 20, 0, 0, 0, type, static_cast<uint8_t>(flags), static_cast<uint8_t>(flags >> 8), 0, 0, 0});
  return d;
}

inline const TBytes kEof = {0xFE, 0, 0, 2, 0};

// What a server sends for a login and "SELECT id, name, note FROM t": the
// result header, three definitions, three rows and the end packets.
inline TBytes QueryReply(uint8_t first_sequence) {
  uint8_t seq = first_sequence;
  TBytes r;
  Append(r, Frame({3}, seq++));
  Append(r, Frame(ColumnDefinition("id", mftLong, 0x1023), seq++));
  Append(r, Frame(ColumnDefinition("name", mftVarString, 0), seq++));
  Append(r, Frame(ColumnDefinition("note", mftBlob, 0x10), seq++));
  Append(r, Frame(kEof, seq++));
  for (int i = 0; i < 3; ++i) {
    TBytes row;
    Append(row, LengthCoded(std::to_string(i + 1)));
    Append(row, i == 1 ? TBytes{0xFB} : LengthCoded("name " + std::to_string(i)));
    Append(row, {252, 0x2C, 0x01});
    Append(row, TBytes(300, static_cast<uint8_t>('a' + i)));
    Append(r, Frame(row, seq++));
  }
  Append(r, Frame(kEof, seq++));
  return r;
}

// The login and the reply, the reply compressed when asked.
inline TBytes Capture(bool compressed) {
  const uint8_t salt[20] = {3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, 8, 9, 7, 9, 3, 2, 3, 8, 4};
  uint16_t caps = 0xF7FF & ~0x800;
  if (!compressed) caps &= ~0x20;
  TBytes c = Frame(Greeting(caps, salt), 0);
  Append(c, Frame(OkPacket(), 2));
  const TBytes reply = QueryReply(1);
  if (!compressed) {
    Append(c, reply);
    return c;
  }
  // The reply in two compressed packets: one deflated, one stored.
  const size_t half = reply.size() / 2;
  Append(c, CompressedFrame(TBytes(reply.begin(), reply.begin() + static_cast<long>(half)), 1, false));
  Append(c, CompressedFrame(TBytes(reply.begin() + static_cast<long>(half), reply.end()), 2, true));
  return c;
}

}  // namespace dac::testing
