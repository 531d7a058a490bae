// The pieces of a stored session: little-endian int32 values and strings
// written as an int32 byte count followed by the bytes. Reading checks every
// count against the bytes that remain, so a cut or forged file fails cleanly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace server {

// A stored session that cannot be read back whole.
class SessionFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a stored session front to back, never past its end.
class TSessionReader {
 public:
  explicit TSessionReader(std::string_view bytes) : rest_(bytes) {}

  size_t Remaining() const { return rest_.size(); }
  // The next count bytes; throws SessionFormatError when fewer remain.
  std::string_view Take(size_t count);

 private:
  std::string_view rest_;
};

void WriteStreamInt(std::string& stream, int32_t value);
// Throws SessionFormatError for a text longer than an int32 count can say.
void WriteStreamString(std::string& stream, std::string_view text);

// Throw SessionFormatError when the stream ends early. A string's count must
// lie between 0 and the bytes that remain; its text ends at an embedded NUL
// (the whole count is still consumed).
int32_t ReadStreamInt(TSessionReader& stream);
std::string ReadStreamString(TSessionReader& stream);

}  // namespace server
