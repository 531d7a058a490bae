#include "dac/framework/data/numeric_fields.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "dac/framework/data/field_write.h"
#include "dac/framework/values/text_conversions.h"

namespace dac {

DAC_DEFINE_CLASS(TNumericField, TField, ::dac::TComponentClassOf<TNumericField>)
DAC_DEFINE_CLASS(TIntegerField, TNumericField, ::dac::TComponentClassOf<TIntegerField>)
DAC_DEFINE_CLASS(TSmallintField, TIntegerField, ::dac::TComponentClassOf<TSmallintField>)
DAC_DEFINE_CLASS(TWordField, TIntegerField, ::dac::TComponentClassOf<TWordField>)
DAC_DEFINE_CLASS(TAutoIncField, TIntegerField, ::dac::TComponentClassOf<TAutoIncField>)
DAC_DEFINE_CLASS(TLargeintField, TNumericField, ::dac::TComponentClassOf<TLargeintField>)
DAC_DEFINE_CLASS(TFloatField, TNumericField, ::dac::TComponentClassOf<TFloatField>)
DAC_DEFINE_CLASS(TCurrencyField, TFloatField, ::dac::TComponentClassOf<TCurrencyField>)
DAC_DEFINE_CLASS(TBCDField, TNumericField, ::dac::TComponentClassOf<TBCDField>)
DAC_DEFINE_CLASS(TFMTBCDField, TNumericField, ::dac::TComponentClassOf<TFMTBCDField>)

namespace {

// Doubles at or beyond these bounds do not fit a 64-bit integer.
constexpr double kInt64Low = -9223372036854775808.0;
constexpr double kInt64High = 9223372036854775808.0;

std::string IntText(int64_t value) { return std::to_string(value); }

}  // namespace

void TNumericField::CheckPlaces(int size) const {
  if (size < 0 || size > kMaxBcdPlaces) FieldError("Invalid field size");
}

// ---- TIntegerField and kin ----

TIntegerField::TIntegerField(TComponent* owner) : TIntegerField(owner, ftInteger, INT32_MIN, INT32_MAX) {}

TIntegerField::TIntegerField(TComponent* owner, TFieldType type, int64_t min_range, int64_t max_range)
    : TNumericField(owner), min_range_(min_range), max_range_(max_range) {
  SetDataType(type);
}

TSmallintField::TSmallintField(TComponent* owner) : TIntegerField(owner, ftSmallint, INT16_MIN, INT16_MAX) {}
TWordField::TWordField(TComponent* owner) : TIntegerField(owner, ftWord, 0, UINT16_MAX) {}
TAutoIncField::TAutoIncField(TComponent* owner) : TIntegerField(owner, ftAutoInc, INT32_MIN, INT32_MAX) {}

int TIntegerField::GetDataSize() const { return DataType() == ftSmallint || DataType() == ftWord ? 2 : 4; }

bool TIntegerField::GetValue(int64_t& value) {
  uint8_t data[4] = {};
  if (!GetData(data)) return false;
  if (DataType() == ftSmallint) {
    int16_t v;
    std::memcpy(&v, data, sizeof v);
    value = v;
  } else if (DataType() == ftWord) {
    uint16_t v;
    std::memcpy(&v, data, sizeof v);
    value = v;
  } else {
    int32_t v;
    std::memcpy(&v, data, sizeof v);
    value = v;
  }
  return true;
}

int32_t TIntegerField::GetAsInteger() { return static_cast<int32_t>(GetAsLargeInt()); }

int64_t TIntegerField::GetAsLargeInt() {
  int64_t value = 0;
  return GetValue(value) ? value : 0;
}

void TIntegerField::OutOfRange(int64_t value) const {
  RangeError(IntText(value), IntText(MinLimit()), IntText(MaxLimit()));
}

void TIntegerField::SetAsLargeInt(int64_t value) {
  if (value < MinLimit() || value > MaxLimit()) OutOfRange(value);
  // The short types: two bytes (the same, signed or not) and two zeroes.
  uint8_t data[4];
  if (DataType() == ftSmallint || DataType() == ftWord) {
    const auto v = static_cast<uint16_t>(value);
    std::memcpy(data, &v, sizeof v);
    data[2] = data[3] = 0;
  } else {
    const auto v = static_cast<int32_t>(value);
    std::memcpy(data, &v, sizeof v);
  }
  WriteFieldData(*this, data);
}

void TIntegerField::SetAsFloat(double value) {
  const double rounded = std::nearbyint(value);
  if (!(rounded >= static_cast<double>(MinLimit()) && rounded <= static_cast<double>(MaxLimit()))) {
    RangeError(FloatToStr(value), IntText(MinLimit()), IntText(MaxLimit()));
  }
  SetAsLargeInt(static_cast<int64_t>(rounded));
}

std::string TIntegerField::GetAsString() {
  int64_t value = 0;
  return GetValue(value) ? IntText(value) : std::string();
}

void TIntegerField::SetAsString(const std::string& value) {
  if (!ClearIfEmpty(value)) SetAsLargeInt(StrToInt64(value));
}

Variant TIntegerField::GetAsVariant() {
  const int64_t value = GetAsLargeInt();
  if (DataType() == ftSmallint) return Variant(static_cast<int16_t>(value));
  if (DataType() == ftWord) return Variant(static_cast<uint16_t>(value));
  return Variant(static_cast<int32_t>(value));
}

// ---- TLargeintField ----

TLargeintField::TLargeintField(TComponent* owner) : TNumericField(owner) { SetDataType(ftLargeint); }

int32_t TLargeintField::GetAsInteger() {
  const int64_t value = GetAsLargeInt();
  if (value < INT32_MIN || value > INT32_MAX) RangeError(IntText(value), IntText(INT32_MIN), IntText(INT32_MAX));
  return static_cast<int32_t>(value);
}

int64_t TLargeintField::GetAsLargeInt() {
  int64_t value = 0;
  return GetData(&value) ? value : 0;
}

void TLargeintField::SetAsLargeInt(int64_t value) {
  if (Outside(value)) RangeError(IntText(value), IntText(MinValue()), IntText(MaxValue()));
  SetData(&value);
}

void TLargeintField::SetAsFloat(double value) {
  const double rounded = std::nearbyint(value);
  if (!(rounded >= kInt64Low && rounded < kInt64High)) {
    RangeError(FloatToStr(value), IntText(INT64_MIN), IntText(INT64_MAX));
  }
  SetAsLargeInt(static_cast<int64_t>(rounded));
}

std::string TLargeintField::GetAsString() {
  int64_t value = 0;
  return GetData(&value) ? IntText(value) : std::string();
}

void TLargeintField::SetAsString(const std::string& value) {
  if (!ClearIfEmpty(value)) SetAsLargeInt(StrToInt64(value));
}

// ---- TFloatField ----

TFloatField::TFloatField(TComponent* owner) : TFloatField(owner, ftFloat) {}

TFloatField::TFloatField(TComponent* owner, TFieldType type) : TNumericField(owner) { SetDataType(type); }

TCurrencyField::TCurrencyField(TComponent* owner) : TFloatField(owner, ftCurrency) { SetCurrency(true); }

double TFloatField::GetAsFloat() {
  double value = 0;
  return GetData(&value) ? value : 0;
}

void TFloatField::OutOfRange(double value) const {
  RangeError(FloatToStr(value), FloatToStr(MinValue()), FloatToStr(MaxValue()));
}

void TFloatField::SetAsFloat(double value) {
  if (Outside(value)) OutOfRange(value);
  WriteFieldData(*this, &value);
}

int32_t TFloatField::GetAsInteger() {
  const double value = std::nearbyint(GetAsFloat());
  if (!(value >= INT32_MIN && value <= INT32_MAX)) {
    RangeError(FloatToStr(value), IntText(INT32_MIN), IntText(INT32_MAX));
  }
  return static_cast<int32_t>(value);
}

int64_t TFloatField::GetAsLargeInt() {
  const double value = std::nearbyint(GetAsFloat());
  if (!(value >= kInt64Low && value < kInt64High)) {
    RangeError(FloatToStr(value), IntText(INT64_MIN), IntText(INT64_MAX));
  }
  return static_cast<int64_t>(value);
}

std::string TFloatField::GetAsString() {
  double value = 0;
  if (std::string exact; ExactText(exact)) return exact;
  return GetData(&value) ? FloatToStr(value) : std::string();
}

void TFloatField::SetAsString(const std::string& value) {
  if (!ClearIfEmpty(value)) SetAsFloat(StrToFloat(value));
}

// ---- TBCDField ----

TBCDField::TBCDField(TComponent* owner) : TNumericField(owner) {
  SetDataType(ftBCD);
  InitSize(4);
}

Currency TBCDField::GetAsCurrency() {
  Currency value;
  return GetData(&value.raw, false) ? value : Currency();
}

void TBCDField::SetAsCurrency(Currency value) {
  if (Outside(value)) RangeError(CurrToStr(value), CurrToStr(MinValue()), CurrToStr(MaxValue()));
  SetData(&value.raw, false);
}

void TBCDField::SetAsLargeInt(int64_t value) {
  constexpr int64_t kLimit = INT64_MAX / Currency::kScale;
  if (value < -kLimit || value > kLimit) RangeError(IntText(value), IntText(-kLimit), IntText(kLimit));
  SetAsCurrency(Currency::FromInt(value));
}

std::string TBCDField::GetAsString() {
  if (std::string exact; ExactText(exact)) return exact;
  return IsNull() ? std::string() : CurrToStr(GetAsCurrency());
}

void TBCDField::SetAsString(const std::string& value) {
  if (!ClearIfEmpty(value)) SetAsCurrency(StrToCurr(value));
}

// ---- TFMTBCDField ----

TFMTBCDField::TFMTBCDField(TComponent* owner) : TNumericField(owner) {
  SetDataType(ftFMTBcd);
  InitSize(8);
}

Bcd TFMTBCDField::GetAsBCD() {
  Bcd value;
  return GetData(&value, false) ? value : IntegerToBcd(0);
}

void TFMTBCDField::SetAsBCD(const Bcd& value) {
  const bool below = !MinValue().empty() && BcdCompare(value, StrToBcd(MinValue())) < 0;
  const bool above = !MaxValue().empty() && BcdCompare(value, StrToBcd(MaxValue())) > 0;
  if (below || above) {
    RangeError(BcdToStr(value), MinValue().empty() ? "-" : MinValue(), MaxValue().empty() ? "-" : MaxValue());
  }
  SetData(&value, false);
}

std::string TFMTBCDField::GetAsString() {
  if (std::string exact; ExactText(exact)) return exact;
  return IsNull() ? std::string() : BcdToStr(GetAsBCD());
}

void TFMTBCDField::SetAsString(const std::string& value) {
  if (!ClearIfEmpty(value)) SetAsBCD(StrToBcd(value));
}

}  // namespace dac
