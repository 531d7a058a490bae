#include "dac/framework/values/bcd.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/values/text_conversions.h"
#include "platform/format_settings.h"

namespace dac {

namespace {

int Nibble(const Bcd& value, int index) {
  const uint8_t byte = value.fraction[index / 2];
  return index % 2 == 0 ? byte >> 4 : byte & 0x0F;
}

void SetNibble(Bcd& value, int index, int digit) {
  uint8_t& byte = value.fraction[index / 2];
  byte = index % 2 == 0 ? static_cast<uint8_t>((byte & 0x0F) | (digit << 4))
                        : static_cast<uint8_t>((byte & 0xF0) | digit);
}

int CompareMagnitude(const Decimal& a, const Decimal& b) {
  // Compare by the position of the leading digit, then digit by digit.
  const int64_t ma = static_cast<int64_t>(a.digits.size()) + a.exponent;
  const int64_t mb = static_cast<int64_t>(b.digits.size()) + b.exponent;
  if (a.IsZero() || b.IsZero()) return a.IsZero() == b.IsZero() ? 0 : a.IsZero() ? -1 : 1;
  if (ma != mb) return ma < mb ? -1 : 1;
  const size_t n = std::max(a.digits.size(), b.digits.size());
  for (size_t i = 0; i < n; ++i) {
    const char da = i < a.digits.size() ? a.digits[i] : '0';
    const char db = i < b.digits.size() ? b.digits[i] : '0';
    if (da != db) return da < db ? -1 : 1;
  }
  return 0;
}

[[noreturn]] void InvalidBcd() { throw EConvertError("Invalid BCD value"); }

}  // namespace

Decimal BcdToDecimal(const Bcd& value) {
  const int precision = value.precision;
  const int places = BcdScale(value);
  if (precision < 1 || precision > kMaxBcdPrecision || places > precision) InvalidBcd();
  Decimal d;
  d.negative = BcdIsNegative(value);
  d.digits.reserve(static_cast<size_t>(precision));
  for (int i = 0; i < precision; ++i) {
    const int digit = Nibble(value, i);
    if (digit > 9) InvalidBcd();
    d.digits += static_cast<char>('0' + digit);
  }
  d.exponent = -places;
  const size_t first = d.digits.find_first_not_of('0');
  d.digits.erase(0, first == std::string::npos ? d.digits.size() : first);
  if (d.digits.empty()) d = Decimal{};
  return TrimDecimal(d);
}

bool TryDecimalToBcd(const Decimal& value, Bcd& out, int min_places) {
  Decimal d = RoundDecimal(value, kMaxBcdPlaces);
  std::string integer_digits;
  std::string fraction_digits;
  SplitDecimal(d, integer_digits, fraction_digits);
  // Too many digits in all: give up fraction digits, rounding (which may add
  // an integer digit, hence the second pass).
  for (int pass = 0; pass < 2; ++pass) {
    if (integer_digits.size() > static_cast<size_t>(kMaxBcdPrecision)) return false;
    const size_t room = static_cast<size_t>(kMaxBcdPrecision) - integer_digits.size();
    if (fraction_digits.size() <= room) break;
    d = RoundDecimal(d, static_cast<int32_t>(room));
    SplitDecimal(d, integer_digits, fraction_digits);
  }
  if (integer_digits.size() + fraction_digits.size() > static_cast<size_t>(kMaxBcdPrecision)) return false;
  const size_t room = static_cast<size_t>(kMaxBcdPrecision) - integer_digits.size();
  const size_t wanted = static_cast<size_t>(std::clamp(min_places, 0, kMaxBcdPlaces));
  if (fraction_digits.size() < wanted) fraction_digits.resize(std::min(wanted, room), '0');
  if (integer_digits.empty() && fraction_digits.empty()) integer_digits = "0";
  const std::string digits = integer_digits + fraction_digits;
  Bcd result;
  result.precision = static_cast<uint8_t>(digits.size());
  result.sign_special_places =
      static_cast<uint8_t>(fraction_digits.size() | (d.negative && !d.IsZero() ? 0x80 : 0));
  for (size_t i = 0; i < digits.size(); ++i) SetNibble(result, static_cast<int>(i), digits[i] - '0');
  out = result;
  return true;
}

bool TryStrToBcd(std::string_view text, Bcd& out) {
  Decimal d;
  if (!ParseDecimal(text, plat::ProcessFormatSettings().decimal_separator, d)) return false;
  // Keep the places the text wrote, trailing zeros included.
  int places = 0;
  const char sep = plat::ProcessFormatSettings().decimal_separator;
  const size_t point = text.find(sep);
  if (point != std::string_view::npos && text.find_first_of("eE") == std::string_view::npos) {
    for (size_t i = point + 1; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) ++places;
  }
  return TryDecimalToBcd(d, out, places);
}

Bcd StrToBcd(std::string_view text) {
  Bcd value;
  if (!TryStrToBcd(text, value)) {
    throw EConvertError("'" + Excerpt(text) + "' is not a valid BCD value");
  }
  return value;
}

std::string BcdToStr(const Bcd& value) {
  return DecimalToFixed(BcdToDecimal(value), plat::ProcessFormatSettings().decimal_separator);
}

bool NormalizeBcd(const Bcd& in, Bcd& out, int precision, int places) {
  if (precision < 1 || precision > kMaxBcdPrecision || places < 0 || places > precision || places > kMaxBcdPlaces)
    return false;
  const Decimal rounded = RoundDecimal(BcdToDecimal(in), places);
  std::string integer_digits;
  std::string fraction_digits;
  SplitDecimal(rounded, integer_digits, fraction_digits);
  if (integer_digits.size() > static_cast<size_t>(precision - places)) return false;
  fraction_digits.resize(static_cast<size_t>(places), '0');
  const std::string digits =
      std::string(static_cast<size_t>(precision - places) - integer_digits.size(), '0') + integer_digits + fraction_digits;
  Bcd result;
  result.precision = static_cast<uint8_t>(precision);
  result.sign_special_places = static_cast<uint8_t>(places | (rounded.negative && !rounded.IsZero() ? 0x80 : 0));
  for (size_t i = 0; i < digits.size(); ++i) SetNibble(result, static_cast<int>(i), digits[i] - '0');
  out = result;
  return true;
}

int BcdCompare(const Bcd& a, const Bcd& b) {
  const Decimal da = BcdToDecimal(a);
  const Decimal db = BcdToDecimal(b);
  if (da.negative != db.negative) return da.negative ? -1 : 1;
  const int m = CompareMagnitude(da, db);
  return da.negative ? -m : m;
}

bool TryBcdToCurrency(const Bcd& value, Currency& out) {
  return TryStrToCurr(DecimalToFixed(BcdToDecimal(value), plat::ProcessFormatSettings().decimal_separator), out);
}

Currency BcdToCurrency(const Bcd& value) {
  Currency c;
  if (!TryBcdToCurrency(value, c)) throw EConvertError("BCD overflow: " + BcdToStr(value) + " is not within the currency range");
  return c;
}

Bcd CurrencyToBcd(Currency value) {
  Bcd out;
  Decimal d;
  ParseDecimal(CurrToStr(value), plat::ProcessFormatSettings().decimal_separator, d);
  TryDecimalToBcd(d, out, 4);
  return out;
}

double BcdToDouble(const Bcd& value) {
  const Decimal d = BcdToDecimal(value);
  if (d.IsZero()) return 0;
  double result = 0;
  // Through the plain text form, read back with the same separator.
  TryStrToFloat(DecimalToFixed(d, plat::ProcessFormatSettings().decimal_separator), result);
  return result;
}

Bcd DoubleToBcd(double value) {
  if (!std::isfinite(value)) throw EConvertError("Invalid BCD value");
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.14e", value);
  Decimal d;
  if (!ParseDecimal(buffer, '.', d)) throw EConvertError("Invalid BCD value");
  Bcd out;
  if (!TryDecimalToBcd(d, out)) throw EConvertError("BCD overflow");
  return out;
}

Bcd IntegerToBcd(int64_t value) {
  Decimal d;
  ParseDecimal(std::to_string(value), '.', d);
  Bcd out;
  TryDecimalToBcd(d, out);
  return out;
}

}  // namespace dac
