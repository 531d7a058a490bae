// Exact decimal numbers as text: the common ground of the float, currency and
// BCD conversions, so that text never passes through binary rounding twice.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dac {

struct Decimal {
  bool negative = false;
  std::string digits;  // significant digits, no leading zeros; empty for zero
  int32_t exponent = 0;  // value = digits x 10^exponent

  bool IsZero() const { return digits.empty(); }
  // Digits after the decimal point (0 when the exponent is not negative).
  int32_t Places() const { return exponent < 0 ? -exponent : 0; }
};

// [blanks][sign]digits[separator digits][(e|E)[sign]digits][blanks] with at
// least one mantissa digit; no thousands separators.
bool ParseDecimal(std::string_view text, char decimal_separator, Decimal& out);

// Rounded to at most `places` digits after the point, half away from zero.
Decimal RoundDecimal(const Decimal& value, int32_t places);
// Trailing zero digits folded into the exponent.
Decimal TrimDecimal(const Decimal& value);

// Fixed notation, exactly `places` digits after the point when places >= 0,
// else as many as the value has (trailing zeros dropped). "0" for zero.
std::string DecimalToFixed(const Decimal& value, char decimal_separator, int32_t places = -1);

// The digits before and after the point, each as text ("" when none).
void SplitDecimal(const Decimal& value, std::string& integer_digits, std::string& fraction_digits);

}  // namespace dac
