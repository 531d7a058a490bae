// TVariantField: its value is a Variant object, which is both its native
// and its value form (the buffer is a Variant).
#pragma once

#include "dac/framework/data/field.h"

namespace dac {

class TVariantField : public TField {
  DAC_DECLARE_CLASS();

 public:
  explicit TVariantField(TComponent* owner);

  int GetDataSize() const override { return static_cast<int>(sizeof(Variant)); }
  bool GetAsBoolean() override { return Read().AsBoolean(); }
  void SetAsBoolean(bool value) override { SetVarValue(Variant(value)); }
  int32_t GetAsInteger() override { return Read().AsInt32(); }
  void SetAsInteger(int32_t value) override { SetVarValue(Variant(value)); }
  int64_t GetAsLargeInt() override { return Read().AsInt64(); }
  void SetAsLargeInt(int64_t value) override { SetVarValue(Variant(value)); }
  double GetAsFloat() override { return Read().AsDouble(); }
  void SetAsFloat(double value) override { SetVarValue(Variant(value)); }
  DateTime GetAsDateTime() override { return Read().AsDateTime(); }
  void SetAsDateTime(DateTime value) override { SetVarValue(Variant::FromDateTime(value)); }
  std::string GetAsString() override { return VarToStr(Read()); }
  void SetAsString(const std::string& value) override { SetVarValue(Variant(value)); }
  WideString GetAsWideString() override { return VarToWideStr(Read()); }
  void SetAsWideString(const WideString& value) override { SetVarValue(Variant(value)); }

 protected:
  Variant GetAsVariant() override { return Read(); }
  void SetVarValue(const Variant& value) override;

 private:
  // Empty when null.
  Variant Read();
};

}  // namespace dac
