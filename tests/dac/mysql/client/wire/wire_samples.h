// Packets and values for the tests of the I/O-free packet code: byte
// helpers, a server greeting, an OK packet, parameter descriptors.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "dac/core/server/param_desc.h"
#include "dac/framework/values/bytes.h"
#include "dac/framework/values/variant.h"
#include "dac/mysql/client/wire/client_errors.h"

namespace dac::testing {

// The code fn fails with (0 when it succeeds), and its message.
inline int32_t ErrorCodeOf(const std::function<void()>& fn, std::string* message = nullptr) {
  try {
    fn();
  } catch (const EMySqlException& e) {
    if (message) *message = e.Message();
    return e.ErrorCode();
  }
  return 0;
}

inline TBytes Bytes(const std::string& text) { return TBytes(text.begin(), text.end()); }

inline void Append(TBytes& to, const TBytes& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

// A text of fewer than 251 bytes with its one-byte length in front.
inline TBytes LengthCoded(const std::string& text) {
  TBytes out = {static_cast<uint8_t>(text.size())};
  Append(out, Bytes(text));
  return out;
}

inline void Put24(TBytes& to, uint32_t v) {
  to.push_back(static_cast<uint8_t>(v));
  to.push_back(static_cast<uint8_t>(v >> 8));
  to.push_back(static_cast<uint8_t>(v >> 16));
}

// One physical packet: 3-byte length, sequence byte, payload.
inline TBytes Frame(const TBytes& payload, uint8_t sequence) {
  TBytes out;
  Put24(out, static_cast<uint32_t>(payload.size()));
  out.push_back(sequence);
  Append(out, payload);
  return out;
}

// A protocol-10 greeting with a 20-byte salt. Without the tail, the
// greeting ends after the 13 filler bytes (a pre-4.1 server).
inline TBytes Greeting(uint16_t capabilities, const uint8_t* salt, bool with_tail = true) {
  TBytes g = {10};
  Append(g, Bytes(std::string("5.5.5-10.11.0-Fake", 19)));
  Append(g, {42, 0, 0, 0});
  g.insert(g.end(), salt, salt + 8);
  g.push_back(0);
  g.push_back(static_cast<uint8_t>(capabilities));
  g.push_back(static_cast<uint8_t>(capabilities >> 8));
  g.push_back(8);
  Append(g, {2, 0});
  Append(g, {0, 0, 21, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  if (with_tail) {
    g.insert(g.end(), salt + 8, salt + 20);
    g.push_back(0);
    Append(g, Bytes(std::string("mysql_native_password", 22)));
  }
  return g;
}

inline TBytes OkPacket() { return {0, 0, 0, 2, 0, 0, 0}; }

inline TParamDesc* AddParam(TParamDescs& params, uint16_t type, const Variant& value,
                            TParamDirection direction = pdInput) {
  auto param = std::make_unique<TParamDesc>();
  param->SetDataType(type);
  param->SetParamType(direction);
  param->SetValue(value);
  return params.Add(std::move(param));
}

}  // namespace dac::testing
