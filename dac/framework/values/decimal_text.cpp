#include "dac/framework/values/decimal_text.h"

#include <algorithm>

namespace dac {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Exponents beyond this mean overflow or zero for every consumer.
constexpr int32_t kExponentLimit = 100000;

void StripLeadingZeros(Decimal& d) {
  const size_t first = d.digits.find_first_not_of('0');
  d.digits.erase(0, first == std::string::npos ? d.digits.size() : first);
  if (d.digits.empty()) {
    d.negative = false;
    d.exponent = 0;
  }
}

}  // namespace

bool ParseDecimal(std::string_view text, char decimal_separator, Decimal& out) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  Decimal d;
  if (i < n && (text[i] == '+' || text[i] == '-')) d.negative = text[i++] == '-';
  bool any_digit = false;
  int32_t fraction_digits = 0;
  for (; i < n && IsDigit(text[i]); ++i) d.digits += text[i], any_digit = true;
  if (i < n && text[i] == decimal_separator) {
    ++i;
    for (; i < n && IsDigit(text[i]); ++i) d.digits += text[i], ++fraction_digits, any_digit = true;
  }
  if (!any_digit) return false;
  int64_t exponent = 0;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negative_exponent = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative_exponent = text[i++] == '-';
    if (i == n || !IsDigit(text[i])) return false;
    for (; i < n && IsDigit(text[i]); ++i) exponent = std::min<int64_t>(exponent * 10 + (text[i] - '0'), kExponentLimit);
    if (negative_exponent) exponent = -exponent;
  }
  while (i < n && IsBlank(text[i])) ++i;
  if (i != n) return false;
  d.exponent = static_cast<int32_t>(exponent - fraction_digits);
  StripLeadingZeros(d);
  out = TrimDecimal(d);
  return true;
}

Decimal TrimDecimal(const Decimal& value) {
  Decimal d = value;
  size_t end = d.digits.size();
  while (end > 0 && d.digits[end - 1] == '0') --end;
  d.exponent += static_cast<int32_t>(d.digits.size() - end);
  d.digits.resize(end);
  if (d.digits.empty()) d = Decimal{};
  return d;
}

Decimal RoundDecimal(const Decimal& value, int32_t places) {
  if (value.Places() <= places) return value;
  const int64_t drop = static_cast<int64_t>(-value.exponent) - places;
  Decimal d = value;
  if (drop > static_cast<int64_t>(d.digits.size())) return Decimal{};
  const size_t keep = d.digits.size() - static_cast<size_t>(drop);
  const bool round_up = d.digits[keep] >= '5';
  d.digits.resize(keep);
  d.exponent = -places;
  if (round_up) {
    size_t k = keep;
    while (k > 0 && d.digits[k - 1] == '9') d.digits[--k] = '0';
    if (k == 0) {
      d.digits.insert(d.digits.begin(), '1');
    } else {
      ++d.digits[k - 1];
    }
  }
  StripLeadingZeros(d);
  return TrimDecimal(d);
}

void SplitDecimal(const Decimal& value, std::string& integer_digits, std::string& fraction_digits) {
  integer_digits.clear();
  fraction_digits.clear();
  if (value.IsZero()) return;
  if (value.exponent >= 0) {
    integer_digits = value.digits + std::string(static_cast<size_t>(value.exponent), '0');
    return;
  }
  const size_t places = static_cast<size_t>(-static_cast<int64_t>(value.exponent));
  if (places >= value.digits.size()) {
    fraction_digits = std::string(places - value.digits.size(), '0') + value.digits;
  } else {
    integer_digits = value.digits.substr(0, value.digits.size() - places);
    fraction_digits = value.digits.substr(value.digits.size() - places);
  }
}

std::string DecimalToFixed(const Decimal& value, char decimal_separator, int32_t places) {
  const Decimal d = places >= 0 ? RoundDecimal(value, places) : value;
  std::string integer_digits;
  std::string fraction_digits;
  SplitDecimal(d, integer_digits, fraction_digits);
  if (places >= 0) {
    fraction_digits.resize(static_cast<size_t>(places), '0');
  } else {
    while (!fraction_digits.empty() && fraction_digits.back() == '0') fraction_digits.pop_back();
  }
  std::string out;
  if (d.negative && !d.IsZero()) out += '-';
  out += integer_digits.empty() ? "0" : integer_digits;
  if (!fraction_digits.empty()) {
    out += decimal_separator;
    out += fraction_digits;
  }
  return out;
}

}  // namespace dac
