#include "dac/framework/values/currency.h"

#include <cmath>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/values/decimal_text.h"
#include "platform/format_settings.h"

namespace dac {

namespace {

char DecimalSeparator() { return plat::ProcessFormatSettings().decimal_separator; }

// The decimal's value times 10000 when it fits in 64 bits.
bool DecimalToRaw(const Decimal& value, int64_t& raw) {
  const Decimal rounded = RoundDecimal(value, 4);
  std::string integer_digits;
  std::string fraction_digits;
  SplitDecimal(rounded, integer_digits, fraction_digits);
  fraction_digits.resize(4, '0');
  const std::string digits = integer_digits + fraction_digits;
  if (digits.size() > 19) return false;
  // Accumulated as a negative number so that the minimum fits.
  int64_t acc = 0;
  for (char c : digits) {
    const int d = c - '0';
    if (acc < (INT64_MIN + d) / 10) return false;
    acc = acc * 10 - d;
  }
  if (!rounded.negative) {
    if (acc == INT64_MIN) return false;
    acc = -acc;
  }
  raw = acc;
  return true;
}

}  // namespace

bool TryDoubleToCurrency(double value, Currency& out) {
  const double scaled = std::nearbyint(value * static_cast<double>(Currency::kScale));
  if (!(scaled >= -9223372036854775808.0 && scaled < 9223372036854775808.0)) return false;
  out = Currency::FromRaw(static_cast<int64_t>(scaled));
  return true;
}

Currency DoubleToCurrency(double value) {
  Currency c;
  if (!TryDoubleToCurrency(value, c)) throw EConvertError(Format("%g is not within the currency range", value));
  return c;
}

double CurrencyToDouble(Currency value) {
  return static_cast<double>(value.raw) / static_cast<double>(Currency::kScale);
}

std::string CurrToStr(Currency value) {
  const bool negative = value.raw < 0;
  // Magnitude as unsigned so that the minimum value negates cleanly.
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value.raw) : static_cast<uint64_t>(value.raw);
  std::string out = negative ? "-" : "";
  out += std::to_string(magnitude / Currency::kScale);
  std::string fraction = std::to_string(magnitude % Currency::kScale + Currency::kScale).substr(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) out += DecimalSeparator() + fraction;
  return out;
}

bool TryStrToCurr(std::string_view text, Currency& out) {
  Decimal d;
  int64_t raw = 0;
  if (!ParseDecimal(text, DecimalSeparator(), d) || !DecimalToRaw(d, raw)) return false;
  out = Currency::FromRaw(raw);
  return true;
}

Currency StrToCurr(std::string_view text) {
  Currency c;
  if (!TryStrToCurr(text, c)) {
    throw EConvertError("'" + Excerpt(text) + "' is not a valid floating point value");
  }
  return c;
}

}  // namespace dac
