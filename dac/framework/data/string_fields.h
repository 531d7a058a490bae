// Text fields. TStringField (ftString, ftFixedChar) and TGuidField hold
// zero-terminated 8-bit text of at most Size bytes [Size + 1]; longer text
// is cut to Size. TWideStringField holds UTF-16 [(Size + 1) x 2] and
// exchanges a WideString through the value form.
#pragma once

#include "dac/framework/data/field.h"

namespace dac {

class TStringField : public TField {
  DAC_DECLARE_CLASS();

 public:
  // Size 20.
  explicit TStringField(TComponent* owner);

  bool FixedChar() const { return DataType() == ftFixedChar; }
  void SetFixedChar(bool value);
  void SetFieldType(TFieldType type) override;
  int GetDataSize() const override { return Size() + 1; }

  std::string GetAsString() override;
  void SetAsString(const std::string& value) override;
  // The text read as a number, a date or a boolean (T, t, Y, y are true).
  bool GetAsBoolean() override;
  void SetAsBoolean(bool value) override;
  int32_t GetAsInteger() override;
  void SetAsInteger(int32_t value) override;
  int64_t GetAsLargeInt() override;
  void SetAsLargeInt(int64_t value) override;
  double GetAsFloat() override;
  void SetAsFloat(double value) override;
  DateTime GetAsDateTime() override;
  void SetAsDateTime(DateTime value) override;

 protected:
  TStringField(TComponent* owner, TFieldType type, int size);
  Variant GetAsVariant() override { return Variant(GetAsString()); }
  void SetVarValue(const Variant& value) override { SetAsString(value.AsString()); }
  void CheckTypeSize(int size) const override;
};

class TWideStringField : public TStringField {
  DAC_DECLARE_CLASS();

 public:
  explicit TWideStringField(TComponent* owner);

  void SetFieldType(TFieldType) override {}
  int GetDataSize() const override { return (Size() + 1) * 2; }
  WideString GetAsWideString() override;
  void SetAsWideString(const WideString& value) override;
  std::string GetAsString() override;
  void SetAsString(const std::string& value) override;

 protected:
  Variant GetAsVariant() override { return Variant(GetAsWideString()); }
  void SetVarValue(const Variant& value) override { SetAsWideString(value.AsWideString()); }
};

// A GUID as text in braces: Size is always 38.
class TGuidField : public TStringField {
  DAC_DECLARE_CLASS();

 public:
  explicit TGuidField(TComponent* owner);
  void SetFieldType(TFieldType) override {}

 protected:
  void CheckTypeSize(int size) const override;
};

}  // namespace dac
