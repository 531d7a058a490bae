#include "content/percent_codec.h"

namespace content {

std::string PercentEncode(std::string_view text) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.resize(text.size() * 3);
  char* p = out.data();
  for (unsigned char c : text) {
    *p++ = '%';
    *p++ = kDigits[c >> 4];
    *p++ = kDigits[c & 0x0F];
  }
  return out;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    // A '%' needs two characters after it to be an escape.
    if (text[i] != '%' || i + 2 >= text.size()) {
      out += text[i];
      ++i;
      continue;
    }
    out += static_cast<char>(16 * HexDigitValue(text[i + 1]) + HexDigitValue(text[i + 2]));
    i += 3;
  }
  return out;
}

}  // namespace content
