#include "server/sessions/session_stream.h"

#include <limits>

namespace server {

std::string_view TSessionReader::Take(size_t count) {
  if (count > rest_.size()) throw SessionFormatError("the stored session ends early");
  const std::string_view piece = rest_.substr(0, count);
  rest_.remove_prefix(count);
  return piece;
}

void WriteStreamInt(std::string& stream, int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) stream.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
}

void WriteStreamString(std::string& stream, std::string_view text) {
  if (text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
    throw SessionFormatError("a text too long to store");
  WriteStreamInt(stream, static_cast<int32_t>(text.size()));
  stream.append(text);
}

int32_t ReadStreamInt(TSessionReader& stream) {
  const std::string_view bytes = stream.Take(4);
  uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  return static_cast<int32_t>(bits);
}

std::string ReadStreamString(TSessionReader& stream) {
  const int32_t length = ReadStreamInt(stream);
  if (length < 0 || static_cast<size_t>(length) > stream.Remaining())
    throw SessionFormatError("a stored text's length is out of range");
  const std::string_view text = stream.Take(static_cast<size_t>(length));
  return std::string(text.substr(0, text.find('\0')));
}

}  // namespace server
