#include "server/quiz/c_scan.h"

#include "platform/ascii.h"

namespace server {
namespace {

size_t SkipBlanks(std::string_view text, size_t pos) {
  while (pos < text.size() && IsScanBlank(text[pos])) ++pos;
  return pos;
}

}  // namespace

bool IsScanBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::optional<int32_t> ScanDecimal(std::string_view text, size_t& pos) {
  const size_t start = SkipBlanks(text, pos);
  size_t at = start;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  const size_t digits = at;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
  if (at == digits) return std::nullopt;
  const std::optional<int32_t> value = plat::ParseInt(text.substr(start, at - start));
  if (value) pos = at;
  return value;
}

std::string ScanWord(std::string_view text, size_t& pos) {
  const size_t start = SkipBlanks(text, pos);
  size_t at = start;
  while (at < text.size() && !IsScanBlank(text[at])) ++at;
  pos = at;
  return std::string(text.substr(start, at - start));
}

}  // namespace server
