// Number fields. Native forms: TSmallintField int16 [2], TIntegerField and
// TAutoIncField int32 [4], TWordField uint16 [2], TLargeintField int64 [8],
// TFloatField and TCurrencyField double [8], TBCDField currency (int64 x
// 10,000) in both forms [8], TFMTBCDField the 34-byte BCD record in both
// forms [34]. MinValue and MaxValue both 0 mean no range; integer fields
// then keep to their type's range. A value outside raises EDatabaseError
// "Value %s of field '%s' is outside the range %s to %s".
#pragma once

#include "dac/framework/data/field.h"

namespace dac {

class TNumericField : public TField {
  DAC_DECLARE_CLASS();

 public:
  using TField::TField;

 protected:
  // Sizes that count decimal places: 0 to 63.
  void CheckPlaces(int size) const;
};

// MinValue and MaxValue of a number field; both at their zero value: no range.
template <typename T>
class TFieldRange {
 public:
  const T& MinValue() const { return min_; }
  void SetMinValue(const T& value) {
    min_ = value;
    limited_ = !(min_ == T{}) || !(max_ == T{});
  }
  const T& MaxValue() const { return max_; }
  void SetMaxValue(const T& value) {
    max_ = value;
    limited_ = !(min_ == T{}) || !(max_ == T{});
  }

 protected:
  // Kept by the setters: a setter's check of the value tests one flag.
  bool Limited() const { return limited_; }
  bool Outside(const T& value) const { return Limited() && (value < min_ || max_ < value); }

 private:
  T min_{};
  T max_{};
  bool limited_ = false;
};

class TIntegerField : public TNumericField, public TFieldRange<int32_t> {
  DAC_DECLARE_CLASS();

 public:
  explicit TIntegerField(TComponent* owner);

  int GetDataSize() const override;

  int32_t GetAsInteger() override;
  void SetAsInteger(int32_t value) override { SetAsLargeInt(value); }
  int64_t GetAsLargeInt() override;
  void SetAsLargeInt(int64_t value) override;
  double GetAsFloat() override { return static_cast<double>(GetAsLargeInt()); }
  // Rounded to the nearest integer (ties to even).
  void SetAsFloat(double value) override;
  std::string GetAsString() override;
  void SetAsString(const std::string& value) override;

 protected:
  TIntegerField(TComponent* owner, TFieldType type, int64_t min_range, int64_t max_range);
  Variant GetAsVariant() override;
  void SetVarValue(const Variant& value) override { SetAsLargeInt(value.AsInt64()); }
  bool GetValue(int64_t& value);

 private:
  // The range set, else the type's own.
  int64_t MinLimit() const { return Limited() ? MinValue() : min_range_; }
  int64_t MaxLimit() const { return Limited() ? MaxValue() : max_range_; }
  // Out of line: the setter's usual way keeps no frame for the texts.
  [[noreturn, gnu::cold, gnu::noinline]] void OutOfRange(int64_t value) const;

  int64_t min_range_;
  int64_t max_range_;
};

class TSmallintField : public TIntegerField {
  DAC_DECLARE_CLASS();

 public:
  explicit TSmallintField(TComponent* owner);
};

class TWordField : public TIntegerField {
  DAC_DECLARE_CLASS();

 public:
  explicit TWordField(TComponent* owner);
};

class TAutoIncField : public TIntegerField {
  DAC_DECLARE_CLASS();

 public:
  explicit TAutoIncField(TComponent* owner);
};

class TLargeintField : public TNumericField, public TFieldRange<int64_t> {
  DAC_DECLARE_CLASS();

 public:
  explicit TLargeintField(TComponent* owner);

  int GetDataSize() const override { return 8; }

  // A value outside the 32-bit range raises the range error.
  int32_t GetAsInteger() override;
  void SetAsInteger(int32_t value) override { SetAsLargeInt(value); }
  int64_t GetAsLargeInt() override;
  void SetAsLargeInt(int64_t value) override;
  double GetAsFloat() override { return static_cast<double>(GetAsLargeInt()); }
  void SetAsFloat(double value) override;
  std::string GetAsString() override;
  void SetAsString(const std::string& value) override;

 protected:
  Variant GetAsVariant() override { return Variant(GetAsLargeInt()); }
  void SetVarValue(const Variant& value) override { SetAsLargeInt(value.AsInt64()); }
};

class TFloatField : public TNumericField, public TFieldRange<double> {
  DAC_DECLARE_CLASS();

 public:
  explicit TFloatField(TComponent* owner);

  // Significant digits shown; 15 by default.
  int Precision() const { return precision_; }
  void SetPrecision(int value) { precision_ = value; }
  bool IsCurrency() const { return currency_; }
  void SetCurrency(bool value) { currency_ = value; }
  int GetDataSize() const override { return 8; }

  double GetAsFloat() override;
  void SetAsFloat(double value) override;
  // Rounded (ties to even); outside the integer's range, the range error.
  int32_t GetAsInteger() override;
  void SetAsInteger(int32_t value) override { SetAsFloat(value); }
  int64_t GetAsLargeInt() override;
  void SetAsLargeInt(int64_t value) override { SetAsFloat(static_cast<double>(value)); }
  std::string GetAsString() override;
  void SetAsString(const std::string& value) override;

 protected:
  TFloatField(TComponent* owner, TFieldType type);
  Variant GetAsVariant() override { return Variant(GetAsFloat()); }
  void SetVarValue(const Variant& value) override { SetAsFloat(value.AsDouble()); }

 private:
  [[noreturn, gnu::cold, gnu::noinline]] void OutOfRange(double value) const;

  int precision_ = 15;
  bool currency_ = false;
};

class TCurrencyField : public TFloatField {
  DAC_DECLARE_CLASS();

 public:
  explicit TCurrencyField(TComponent* owner);
};

// Size is the number of decimal places (4 by default, 0 to 63).
class TBCDField : public TNumericField, public TFieldRange<Currency> {
  DAC_DECLARE_CLASS();

 public:
  explicit TBCDField(TComponent* owner);

  int Precision() const { return precision_; }
  void SetPrecision(int value) { precision_ = value; }
  int GetDataSize() const override { return 8; }

  Currency GetAsCurrency() override;
  void SetAsCurrency(Currency value) override;
  double GetAsFloat() override { return CurrencyToDouble(GetAsCurrency()); }
  void SetAsFloat(double value) override { SetAsCurrency(DoubleToCurrency(value)); }
  int32_t GetAsInteger() override { return Variant(GetAsCurrency()).AsInt32(); }
  void SetAsInteger(int32_t value) override { SetAsLargeInt(value); }
  int64_t GetAsLargeInt() override { return Variant(GetAsCurrency()).AsInt64(); }
  void SetAsLargeInt(int64_t value) override;
  Bcd GetAsBCD() override { return CurrencyToBcd(GetAsCurrency()); }
  void SetAsBCD(const Bcd& value) override { SetAsCurrency(BcdToCurrency(value)); }
  std::string GetAsString() override;
  void SetAsString(const std::string& value) override;

 protected:
  Variant GetAsVariant() override { return Variant(GetAsCurrency()); }
  void SetVarValue(const Variant& value) override { SetAsCurrency(value.AsCurrency()); }
  void CheckTypeSize(int size) const override { CheckPlaces(size); }

 private:
  int precision_ = 0;
};

// Size is the number of decimal places; MinValue and MaxValue are decimal
// texts, empty for no limit.
class TFMTBCDField : public TNumericField, public TFieldRange<std::string> {
  DAC_DECLARE_CLASS();

 public:
  explicit TFMTBCDField(TComponent* owner);

  int Precision() const { return precision_; }
  void SetPrecision(int value) { precision_ = value; }
  int GetDataSize() const override { return static_cast<int>(sizeof(Bcd)); }

  Bcd GetAsBCD() override;
  void SetAsBCD(const Bcd& value) override;
  double GetAsFloat() override { return BcdToDouble(GetAsBCD()); }
  void SetAsFloat(double value) override { SetAsBCD(DoubleToBcd(value)); }
  Currency GetAsCurrency() override { return BcdToCurrency(GetAsBCD()); }
  void SetAsCurrency(Currency value) override { SetAsBCD(CurrencyToBcd(value)); }
  int32_t GetAsInteger() override { return IsNull() ? 0 : Variant(GetAsBCD()).AsInt32(); }
  void SetAsInteger(int32_t value) override { SetAsBCD(IntegerToBcd(value)); }
  int64_t GetAsLargeInt() override { return IsNull() ? 0 : Variant(GetAsBCD()).AsInt64(); }
  void SetAsLargeInt(int64_t value) override { SetAsBCD(IntegerToBcd(value)); }
  std::string GetAsString() override;
  void SetAsString(const std::string& value) override;

 protected:
  Variant GetAsVariant() override { return Variant(GetAsBCD()); }
  void SetVarValue(const Variant& value) override { SetAsBCD(value.AsBcd()); }
  void CheckTypeSize(int size) const override { CheckPlaces(size); }

 private:
  int precision_ = 15;
};

}  // namespace dac
