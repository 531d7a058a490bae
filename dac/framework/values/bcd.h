// The packed-decimal (BCD) record: a precision byte, a sign-and-places byte
// (bit 7 negative, bits 0-5 the decimal places) and 32 bytes of decimal
// digits, two per byte, high nibble first, most significant digit first.
// The first `precision` nibbles hold the digits; the last `places` of them
// lie after the decimal point.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dac/framework/values/currency.h"
#include "dac/framework/values/decimal_text.h"

namespace dac {

struct Bcd {
  uint8_t precision = 1;
  uint8_t sign_special_places = 0;
  uint8_t fraction[32] = {};
};
static_assert(sizeof(Bcd) == 34, "the record is stored byte for byte");

constexpr int kMaxBcdPrecision = 64;
constexpr int kMaxBcdPlaces = 63;

inline bool BcdIsNegative(const Bcd& value) { return (value.sign_special_places & 0x80) != 0; }
inline int BcdScale(const Bcd& value) { return value.sign_special_places & 0x3F; }
inline int BcdPrecision(const Bcd& value) { return value.precision; }

// The record's value; EConvertError "Invalid BCD value" for a record whose
// precision, places or nibbles are out of range.
Decimal BcdToDecimal(const Bcd& value);
// The decimal with exactly the digits it needs (trailing fraction zeros kept
// down to `min_places`); false when it needs more than 64 digits even after
// rounding the fraction.
bool TryDecimalToBcd(const Decimal& value, Bcd& out, int min_places = 0);

// Text in the process format settings; the fraction keeps the places the
// text gave ("1.50" has 2 places).
bool TryStrToBcd(std::string_view text, Bcd& out);
Bcd StrToBcd(std::string_view text);  // EConvertError "'%s' is not a valid BCD value"
// Trailing fraction zeros are not written ("1.5"), "0" for zero.
std::string BcdToStr(const Bcd& value);

// The value with `places` decimals (rounded half away from zero, or padded)
// in `precision` digits; false, and out untouched, when the integer part does
// not fit.
bool NormalizeBcd(const Bcd& in, Bcd& out, int precision, int places);

// -1, 0 or 1 by value (1.50 equals 1.5).
int BcdCompare(const Bcd& a, const Bcd& b);

bool TryBcdToCurrency(const Bcd& value, Currency& out);  // false outside the currency range
Currency BcdToCurrency(const Bcd& value);                // EConvertError
Bcd CurrencyToBcd(Currency value);                       // four places
double BcdToDouble(const Bcd& value);
// With the 15 significant digits of the general float form; EConvertError for NaN or infinity.
Bcd DoubleToBcd(double value);
Bcd IntegerToBcd(int64_t value);

}  // namespace dac
