// The currency type: a 64-bit integer counting ten-thousandths.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace dac {

struct Currency {
  static constexpr int64_t kScale = 10000;
  int64_t raw = 0;  // the value times 10000

  static constexpr Currency FromRaw(int64_t raw_value) { return Currency{raw_value}; }
  static constexpr Currency FromInt(int64_t whole) { return Currency{whole * kScale}; }
  friend constexpr auto operator<=>(Currency, Currency) = default;
};

// Rounded to the nearest ten-thousandth (ties to even, as the FPU does);
// false outside the currency range or for NaN.
bool TryDoubleToCurrency(double value, Currency& out);
Currency DoubleToCurrency(double value);  // EConvertError when out of range
double CurrencyToDouble(Currency value);

// The value with its decimals and no trailing zeros ("12.5", "-0.0001", "3").
std::string CurrToStr(Currency value);
// A decimal number in the process format settings, rounded to four places
// half away from zero; false when it is no number or out of range.
bool TryStrToCurr(std::string_view text, Currency& out);
Currency StrToCurr(std::string_view text);  // EConvertError "'%s' is not a valid floating point value"

}  // namespace dac
