// TBooleanField: a 16-bit native value [2], written 0 or 1 and read as
// true when not 0. Text is the format settings' boolean words.
#pragma once

#include "dac/framework/data/field.h"

namespace dac {

class TBooleanField : public TField {
  DAC_DECLARE_CLASS();

 public:
  explicit TBooleanField(TComponent* owner);

  int GetDataSize() const override { return 2; }
  bool GetAsBoolean() override;
  void SetAsBoolean(bool value) override;
  std::string GetAsString() override;
  void SetAsString(const std::string& value) override;

 protected:
  Variant GetAsVariant() override { return Variant(GetAsBoolean()); }
  void SetVarValue(const Variant& value) override { SetAsBoolean(value.AsBoolean()); }
};

}  // namespace dac
