#include "dac/framework/values/variant.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/values/text_conversions.h"
#include "platform/code_page.h"
#include "platform/locale_compare.h"

namespace dac {

namespace {

// A single is held as a double. NaNs keep their payload both ways, a
// signalling one too, which the hardware conversions would quieten: a
// single read from a stream is written back bit for bit.
double SingleToDouble(float value) {
  if (!std::isnan(value)) return value;
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  const uint64_t wide = uint64_t{bits >> 31} << 63 | uint64_t{0x7FF} << 52 | uint64_t{bits & 0x7FFFFF} << 29;
  double result = 0;
  std::memcpy(&result, &wide, sizeof result);
  return result;
}

float DoubleToSingle(double value) {
  if (!std::isnan(value)) return static_cast<float>(value);
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  uint32_t narrow = static_cast<uint32_t>(bits >> 63) << 31 | uint32_t{0xFF} << 23 |
                    static_cast<uint32_t>(bits >> 29 & 0x7FFFFF);
  // A payload only in the bits a single has no room for: still a NaN.
  if ((narrow & 0x7FFFFF) == 0) narrow |= 0x400000;
  float result = 0;
  std::memcpy(&result, &narrow, sizeof result);
  return result;
}

bool IsSignedCode(VarType t) { return t == varShortInt || t == varSmallint || t == varInteger || t == varInt64; }
bool IsUnsignedCode(VarType t) { return t == varByte || t == varWord || t == varLongWord || t == varUInt64; }
bool IsFloatCode(VarType t) { return t == varSingle || t == varDouble || t == varDate; }
bool IsIntegerLike(VarType t) { return IsSignedCode(t) || IsUnsignedCode(t) || t == varBoolean; }
bool IsNumberLike(VarType t) { return IsIntegerLike(t) || IsFloatCode(t) || t == varCurrency || t == varFMTBcd; }

// Currency raw value divided by 10000, rounded half to even.
int64_t RoundCurrency(int64_t raw) {
  int64_t q = raw / Currency::kScale;
  const int64_t r = raw % Currency::kScale;
  const int64_t twice = (r < 0 ? -r : r) * 2;
  if (twice > Currency::kScale || (twice == Currency::kScale && q % 2 != 0)) q += raw < 0 ? -1 : 1;
  return q;
}

int Sign(__int128 a, __int128 b) { return a < b ? -1 : a > b ? 1 : 0; }

int CompareDoubles(double a, double b) {
  // NaN sorts first and equals itself, so the order stays total.
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) == std::isnan(b) ? 0 : std::isnan(a) ? -1 : 1;
  return a < b ? -1 : a > b ? 1 : 0;
}

}  // namespace

std::string VarTypeName(VarType type) {
  if (type == varByRef) return "ByRef";
  std::string prefix;
  if (type & varArray) prefix = "Array ";
  if (type & varByRef) prefix += "ByRef ";
  switch (type & varTypeMask) {
    case varEmpty: return prefix + "Empty";
    case varNull: return prefix + "Null";
    case varSmallint: return prefix + "Smallint";
    case varInteger: return prefix + "Integer";
    case varSingle: return prefix + "Single";
    case varDouble: return prefix + "Double";
    case varCurrency: return prefix + "Currency";
    case varDate: return prefix + "Date";
    case varOleStr: return prefix + "OleStr";
    case varBoolean: return prefix + "Boolean";
    case varVariant: return prefix + "Variant";
    case varShortInt: return prefix + "ShortInt";
    case varByte: return prefix + "Byte";
    case varWord: return prefix + "Word";
    case varLongWord: return prefix + "LongWord";
    case varInt64: return prefix + "Int64";
    case varUInt64: return prefix + "UInt64";
    case varString: return prefix + "String";
    case varFMTBcd: return prefix + "FMTBcd";
    default: return prefix + "Unknown(" + std::to_string(type) + ")";
  }
}

Variant::Variant(bool value) : Variant(varBoolean, value) {}
Variant::Variant(int8_t value) : Variant(varShortInt, int64_t{value}) {}
Variant::Variant(uint8_t value) : Variant(varByte, uint64_t{value}) {}
Variant::Variant(int16_t value) : Variant(varSmallint, int64_t{value}) {}
Variant::Variant(uint16_t value) : Variant(varWord, uint64_t{value}) {}
Variant::Variant(int32_t value) : Variant(varInteger, int64_t{value}) {}
Variant::Variant(uint32_t value) : Variant(varLongWord, uint64_t{value}) {}
Variant::Variant(int64_t value) : Variant(varInt64, value) {}
Variant::Variant(uint64_t value) : Variant(varUInt64, value) {}
Variant::Variant(float value) : Variant(varSingle, SingleToDouble(value)) {}
Variant::Variant(double value) : Variant(varDouble, value) {}
Variant::Variant(Currency value) : Variant(varCurrency, value) {}
Variant::Variant(const Bcd& value) : Variant(varFMTBcd, value) {}
Variant::Variant(std::string value) : Variant(varString, std::move(value)) {}
Variant::Variant(const char* value) : Variant(varString, std::string(value ? value : "")) {}
Variant::Variant(WideString value) : Variant(varOleStr, std::move(value)) {}
Variant::Variant(const char16_t* value) : Variant(varOleStr, WideString(value ? value : u"")) {}
Variant::Variant(TBytes value) : Variant(varBytes, std::move(value)) {}
Variant::Variant(std::vector<Variant> elements)
    : Variant(varVariantArray, std::make_shared<std::vector<Variant>>(std::move(elements))) {}

Variant Variant::Null() { return Variant(varNull, std::monostate{}); }
Variant Variant::FromDateTime(DateTime value) { return Variant(varDate, value); }
Variant Variant::FromObject(TObject* object) { return Variant(varByRef, object); }

bool Variant::IsNumeric() const { return IsNumberLike(type_) && type_ != varBoolean && type_ != varDate; }
bool Variant::IsOrdinal() const { return IsIntegerLike(type_); }
bool Variant::IsFloat() const { return type_ == varSingle || type_ == varDouble; }

void Variant::CannotConvert(VarType to) const {
  throw EConvertError("Could not convert variant of type (" + VarTypeName(type_) + ") into type (" + VarTypeName(to) +
                      ")");
}

int64_t Variant::SignedValue(int64_t min, int64_t max, VarType to) const {
  __int128 value = 0;
  if (type_ == varEmpty) return 0;
  if (type_ == varBoolean) {
    value = std::get<bool>(storage_) ? 1 : 0;
  } else if (IsSignedCode(type_)) {
    value = std::get<int64_t>(storage_);
  } else if (IsUnsignedCode(type_)) {
    value = std::get<uint64_t>(storage_);
  } else if (IsFloatCode(type_)) {
    const double d = std::nearbyint(std::get<double>(storage_));
    if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) CannotConvert(to);
    value = static_cast<int64_t>(d);
  } else if (type_ == varCurrency) {
    value = RoundCurrency(std::get<Currency>(storage_).raw);
  } else if (type_ == varFMTBcd || IsString()) {
    int64_t parsed = 0;
    if (type_ != varFMTBcd && TryStrToInt64(AsString(), parsed)) {
      value = parsed;
    } else {
      // A number with a fraction, rounded as the float conversion does.
      const double d = std::nearbyint(AsDouble());
      if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) CannotConvert(to);
      value = static_cast<int64_t>(d);
    }
  } else {
    CannotConvert(to);
  }
  if (value < min || value > max) {
    throw EConvertError("Variant value " + Excerpt(VarToStr(*this)) + " is out of the range of type (" + VarTypeName(to) + ")");
  }
  return static_cast<int64_t>(value);
}

uint64_t Variant::UnsignedValue(uint64_t max, VarType to) const {
  if (type_ == varUInt64) {
    const uint64_t v = std::get<uint64_t>(storage_);
    if (v > max) throw EConvertError("Variant value " + Excerpt(VarToStr(*this)) + " is out of the range of type (" + VarTypeName(to) + ")");
    return v;
  }
  if (IsString()) {
    // Text above the signed range still reads as an unsigned number.
    const std::string text = AsString();
    const char* begin = text.c_str();
    while (*begin == ' ') ++begin;
    if (*begin >= '0' && *begin <= '9') {
      char* end = nullptr;
      errno = 0;
      const unsigned long long v = std::strtoull(begin, &end, 10);
      while (*end == ' ') ++end;
      if (*end == 0 && errno == 0) {
        if (v > max) throw EConvertError("Variant value " + Excerpt(text) + " is out of the range of type (" + VarTypeName(to) + ")");
        return v;
      }
    }
  }
  const int64_t v = SignedValue(0, std::numeric_limits<int64_t>::max(), to);
  if (static_cast<uint64_t>(v) > max) {
    throw EConvertError("Variant value " + Excerpt(VarToStr(*this)) + " is out of the range of type (" + VarTypeName(to) + ")");
  }
  return static_cast<uint64_t>(v);
}

bool Variant::AsBoolean() const {
  switch (type_) {
    case varEmpty: return false;
    case varBoolean: return std::get<bool>(storage_);
    case varString:
    case varOleStr: {
      bool value = false;
      if (!TryStrToBool(AsString(), value)) CannotConvert(varBoolean);
      return value;
    }
    default:
      if (IsNumberLike(type_)) return AsDouble() != 0;
      CannotConvert(varBoolean);
  }
}

int8_t Variant::AsInt8() const { return static_cast<int8_t>(SignedValue(INT8_MIN, INT8_MAX, varShortInt)); }
uint8_t Variant::AsUInt8() const { return static_cast<uint8_t>(UnsignedValue(UINT8_MAX, varByte)); }
int16_t Variant::AsInt16() const { return static_cast<int16_t>(SignedValue(INT16_MIN, INT16_MAX, varSmallint)); }
uint16_t Variant::AsUInt16() const { return static_cast<uint16_t>(UnsignedValue(UINT16_MAX, varWord)); }
int32_t Variant::AsInt32() const { return static_cast<int32_t>(SignedValue(INT32_MIN, INT32_MAX, varInteger)); }
uint32_t Variant::AsUInt32() const { return static_cast<uint32_t>(UnsignedValue(UINT32_MAX, varLongWord)); }
int64_t Variant::AsInt64() const { return SignedValue(INT64_MIN, INT64_MAX, varInt64); }
uint64_t Variant::AsUInt64() const { return UnsignedValue(UINT64_MAX, varUInt64); }

float Variant::AsSingle() const {
  const double d = AsDouble();
  if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) {
    throw EConvertError("Variant value " + Excerpt(VarToStr(*this)) + " is out of the range of type (Single)");
  }
  return DoubleToSingle(d);
}

double Variant::AsDouble() const {
  switch (type_) {
    case varEmpty: return 0;
    case varBoolean: return std::get<bool>(storage_) ? 1 : 0;
    case varSingle:
    case varDouble:
    case varDate: return std::get<double>(storage_);
    case varCurrency: return CurrencyToDouble(std::get<Currency>(storage_));
    case varFMTBcd: return BcdToDouble(std::get<Bcd>(storage_));
    case varString:
    case varOleStr: {
      double value = 0;
      if (!TryStrToFloat(AsString(), value)) CannotConvert(varDouble);
      return value;
    }
    default:
      if (IsSignedCode(type_)) return static_cast<double>(std::get<int64_t>(storage_));
      if (IsUnsignedCode(type_)) return static_cast<double>(std::get<uint64_t>(storage_));
      CannotConvert(varDouble);
  }
}

Currency Variant::AsCurrency() const {
  Currency c;
  switch (type_) {
    case varEmpty: return c;
    case varCurrency: return std::get<Currency>(storage_);
    case varFMTBcd:
      if (!TryBcdToCurrency(std::get<Bcd>(storage_), c)) CannotConvert(varCurrency);
      return c;
    case varString:
    case varOleStr:
      if (!TryStrToCurr(AsString(), c)) CannotConvert(varCurrency);
      return c;
    default:
      break;
  }
  if (IsIntegerLike(type_)) {
    __int128 whole = 0;
    if (type_ == varBoolean) whole = std::get<bool>(storage_) ? 1 : 0;
    else if (IsSignedCode(type_)) whole = std::get<int64_t>(storage_);
    else whole = std::get<uint64_t>(storage_);
    const __int128 scaled = whole * Currency::kScale;
    if (scaled < INT64_MIN || scaled > INT64_MAX) CannotConvert(varCurrency);
    return Currency::FromRaw(static_cast<int64_t>(scaled));
  }
  if (IsFloatCode(type_)) {
    if (!TryDoubleToCurrency(std::get<double>(storage_), c)) CannotConvert(varCurrency);
    return c;
  }
  CannotConvert(varCurrency);
}

DateTime Variant::AsDateTime() const {
  switch (type_) {
    case varEmpty: return 0;
    case varDate: return std::get<double>(storage_);
    case varString:
    case varOleStr: {
      DateTime value = 0;
      if (!TryStrToDateTime(AsString(), value)) CannotConvert(varDate);
      return value;
    }
    default:
      if (IsNumberLike(type_) && type_ != varBoolean) return AsDouble();
      CannotConvert(varDate);
  }
}

Bcd Variant::AsBcd() const {
  switch (type_) {
    case varEmpty: return Bcd{};
    case varFMTBcd: return std::get<Bcd>(storage_);
    case varCurrency: return CurrencyToBcd(std::get<Currency>(storage_));
    case varString:
    case varOleStr: {
      Bcd value;
      if (!TryStrToBcd(AsString(), value)) CannotConvert(varFMTBcd);
      return value;
    }
    default:
      break;
  }
  if (IsIntegerLike(type_)) {
    Bcd value;
    Decimal d;
    if (type_ == varBoolean) {
      d = Decimal{};
      if (std::get<bool>(storage_)) d.digits = "1";
    } else {
      ParseDecimal(IsSignedCode(type_) ? std::to_string(std::get<int64_t>(storage_))
                                       : std::to_string(std::get<uint64_t>(storage_)),
                   '.', d);
    }
    TryDecimalToBcd(d, value);
    return value;
  }
  if (IsFloatCode(type_)) {
    try {
      return DoubleToBcd(std::get<double>(storage_));
    } catch (const EConvertError&) {
      CannotConvert(varFMTBcd);
    }
  }
  CannotConvert(varFMTBcd);
}

std::string Variant::AsString() const {
  switch (type_) {
    case varEmpty: return std::string();
    case varBoolean: return BoolToStr(std::get<bool>(storage_));
    case varSingle: return SingleToStr(static_cast<float>(std::get<double>(storage_)));
    case varDouble: return FloatToStr(std::get<double>(storage_));
    case varDate: return DateTimeToStr(std::get<double>(storage_));
    case varCurrency: return CurrToStr(std::get<Currency>(storage_));
    case varFMTBcd: return BcdToStr(std::get<Bcd>(storage_));
    case varString: return std::get<std::string>(storage_);
    case varOleStr: return plat::Utf16ToAnsi(std::get<WideString>(storage_));
    default:
      if (IsSignedCode(type_)) return std::to_string(std::get<int64_t>(storage_));
      if (IsUnsignedCode(type_)) return std::to_string(std::get<uint64_t>(storage_));
      CannotConvert(varString);
  }
}

WideString Variant::AsWideString() const {
  if (type_ == varOleStr) return std::get<WideString>(storage_);
  try {
    return plat::AnsiToUtf16(AsString());
  } catch (const EConvertError&) {
    CannotConvert(varOleStr);
  }
}

const TBytes& Variant::AsBytes() const {
  if (type_ != varBytes) CannotConvert(varBytes);
  return std::get<TBytes>(storage_);
}

TObject* Variant::AsObject() const {
  if (type_ == varEmpty || type_ == varNull) return nullptr;
  if (type_ != varByRef) CannotConvert(varByRef);
  return std::get<TObject*>(storage_);
}

const std::vector<Variant>& Variant::AsArray() const {
  if (type_ != varVariantArray) CannotConvert(varVariantArray);
  return *std::get<std::shared_ptr<std::vector<Variant>>>(storage_);
}

Variant Variant::ChangeType(VarType type) const {
  if (type == type_) return *this;
  switch (type) {
    case varEmpty: return Variant();
    case varNull: return Null();
    case varBoolean: return Variant(AsBoolean());
    case varShortInt: return Variant(AsInt8());
    case varByte: return Variant(AsUInt8());
    case varSmallint: return Variant(AsInt16());
    case varWord: return Variant(AsUInt16());
    case varInteger: return Variant(AsInt32());
    case varLongWord: return Variant(AsUInt32());
    case varInt64: return Variant(AsInt64());
    case varUInt64: return Variant(AsUInt64());
    case varSingle: return Variant(AsSingle());
    case varDouble: return Variant(AsDouble());
    case varCurrency: return Variant(AsCurrency());
    case varDate: return FromDateTime(AsDateTime());
    case varFMTBcd: return Variant(AsBcd());
    case varString: return Variant(AsString());
    case varOleStr: return Variant(AsWideString());
    case varBytes: return Variant(AsBytes());
    case varVariantArray: return Variant(AsArray());
    case varByRef: return FromObject(AsObject());
    default: CannotConvert(type);
  }
}

size_t Variant::ArrayCount() const {
  if (type_ == varBytes) return std::get<TBytes>(storage_).size();
  return AsArray().size();
}

Variant Variant::ArrayElement(size_t index) const {
  if (index >= ArrayCount()) throw ArgumentException("Variant array index out of bounds");
  if (type_ == varBytes) return Variant(std::get<TBytes>(storage_)[index]);
  return AsArray()[index];
}

void Variant::SetArrayElement(size_t index, const Variant& value) {
  if (index >= ArrayCount()) throw ArgumentException("Variant array index out of bounds");
  if (type_ == varBytes) {
    std::get<TBytes>(storage_)[index] = value.AsUInt8();
    return;
  }
  auto& shared = std::get<std::shared_ptr<std::vector<Variant>>>(storage_);
  // Variants are values: copy the elements before the first change of a shared array.
  if (shared.use_count() > 1) shared = std::make_shared<std::vector<Variant>>(*shared);
  (*shared)[index] = value;
}

namespace {

// Exact comparison of two number-like variants.
int CompareNumbers(const Variant& a, const Variant& b);

}  // namespace

bool operator==(const Variant& a, const Variant& b) {
  const VarType ta = a.Type();
  const VarType tb = b.Type();
  if (ta <= varNull || tb <= varNull) return ta == tb;
  try {
    if (a.IsString() && b.IsString()) {
      if (ta == varString && tb == varString) return std::get<std::string>(a.storage_) == std::get<std::string>(b.storage_);
      return a.AsWideString() == b.AsWideString();
    }
    if (IsNumberLike(ta) && IsNumberLike(tb)) return CompareNumbers(a, b) == 0;
    if ((a.IsString() && IsNumberLike(tb)) || (IsNumberLike(ta) && b.IsString())) return VarCompare(a, b) == 0;
    if (ta != tb) return false;
    if (ta == varBytes) return a.AsBytes() == b.AsBytes();
    if (ta == varVariantArray) return a.AsArray() == b.AsArray();
    if (ta == varByRef) return a.AsObject() == b.AsObject();
  } catch (const EConvertError&) {
    return false;
  }
  return false;
}

namespace {

int CompareNumbers(const Variant& a, const Variant& b) {
  const VarType ta = a.Type();
  const VarType tb = b.Type();
  auto integer = [](const Variant& v) -> __int128 {
    if (v.Type() == varUInt64 || v.Type() == varLongWord || v.Type() == varWord || v.Type() == varByte)
      return v.AsUInt64();
    return v.AsInt64();
  };
  if (IsIntegerLike(ta) && IsIntegerLike(tb)) return Sign(integer(a), integer(b));
  if (ta == varFMTBcd || tb == varFMTBcd) {
    if (IsFloatCode(ta) && !std::isfinite(a.AsDouble())) return CompareDoubles(a.AsDouble(), b.AsDouble());
    if (IsFloatCode(tb) && !std::isfinite(b.AsDouble())) return CompareDoubles(a.AsDouble(), b.AsDouble());
    return BcdCompare(a.AsBcd(), b.AsBcd());
  }
  const bool a_exact = IsIntegerLike(ta) || ta == varCurrency;
  const bool b_exact = IsIntegerLike(tb) || tb == varCurrency;
  if (a_exact && b_exact) {
    auto scaled = [&integer](const Variant& v) -> __int128 {
      return v.Type() == varCurrency ? v.AsCurrency().raw : integer(v) * Currency::kScale;
    };
    return Sign(scaled(a), scaled(b));
  }
  return CompareDoubles(a.AsDouble(), b.AsDouble());
}

int CompareText(const Variant& a, const Variant& b) {
  if (a.Type() == varString && b.Type() == varString) {
    const std::string x = a.AsString();
    const std::string y = b.AsString();
    const int r = plat::LocaleCompareAnsi(x, y, false);
    if (r != 0) return r;
    return x < y ? -1 : x > y ? 1 : 0;
  }
  const WideString x = a.AsWideString();
  const WideString y = b.AsWideString();
  const int r = plat::LocaleCompareWide(x, y, false);
  if (r != 0) return r;
  return x < y ? -1 : x > y ? 1 : 0;
}

// Text against a number: the text read as the number's kind.
int CompareTextWithNumber(const Variant& text, const Variant& number) {
  if (number.Type() == varDate) {
    DateTime d = 0;
    if (TryStrToDateTime(text.AsString(), d)) return CompareDoubles(d, number.AsDouble());
  }
  if (number.Type() == varFMTBcd || number.Type() == varCurrency) return CompareNumbers(Variant(text.AsBcd()), number);
  return CompareNumbers(Variant(text.AsDouble()), number);
}

}  // namespace

int VarCompare(const Variant& a, const Variant& b) {
  const VarType ta = a.Type();
  const VarType tb = b.Type();
  if (ta <= varNull || tb <= varNull) {
    const int ra = ta <= varNull ? ta : 2;
    const int rb = tb <= varNull ? tb : 2;
    return ra < rb ? -1 : ra > rb ? 1 : 0;
  }
  if (a.IsString() && b.IsString()) return CompareText(a, b);
  if (IsNumberLike(ta) && IsNumberLike(tb)) return CompareNumbers(a, b);
  if (a.IsString() && IsNumberLike(tb)) return CompareTextWithNumber(a, b);
  if (IsNumberLike(ta) && b.IsString()) return -CompareTextWithNumber(b, a);
  if (ta == varBytes && tb == varBytes) {
    const TBytes& x = a.AsBytes();
    const TBytes& y = b.AsBytes();
    const size_t n = std::min(x.size(), y.size());
    const int r = n ? std::memcmp(x.data(), y.data(), n) : 0;
    if (r != 0) return r < 0 ? -1 : 1;
    return x.size() < y.size() ? -1 : x.size() > y.size() ? 1 : 0;
  }
  if (ta == varVariantArray && tb == varVariantArray) {
    const auto& x = a.AsArray();
    const auto& y = b.AsArray();
    for (size_t i = 0; i < x.size() && i < y.size(); ++i) {
      const int r = VarCompare(x[i], y[i]);
      if (r != 0) return r;
    }
    return x.size() < y.size() ? -1 : x.size() > y.size() ? 1 : 0;
  }
  if (ta == varByRef && tb == varByRef && a.AsObject() == b.AsObject()) return 0;
  throw EConvertError("Could not compare variant of type (" + VarTypeName(ta) + ") with type (" + VarTypeName(tb) + ")");
}

std::string VarToStr(const Variant& v) { return v.IsEmptyOrNull() ? std::string() : v.AsString(); }
WideString VarToWideStr(const Variant& v) { return v.IsEmptyOrNull() ? WideString() : v.AsWideString(); }

}  // namespace dac
