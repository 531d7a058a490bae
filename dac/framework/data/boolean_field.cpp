#include "dac/framework/data/boolean_field.h"

#include "dac/framework/values/text_conversions.h"

namespace dac {

DAC_DEFINE_CLASS(TBooleanField, TField, ::dac::TComponentClassOf<TBooleanField>)

TBooleanField::TBooleanField(TComponent* owner) : TField(owner) { SetDataType(ftBoolean); }

bool TBooleanField::GetAsBoolean() {
  int16_t value = 0;
  return GetData(&value) && value != 0;
}

void TBooleanField::SetAsBoolean(bool value) {
  const int16_t native = value ? 1 : 0;
  SetData(&native);
}

std::string TBooleanField::GetAsString() {
  if (std::string exact; ExactText(exact)) return exact;
  return IsNull() ? std::string() : BoolToStr(GetAsBoolean());
}

void TBooleanField::SetAsString(const std::string& value) {
  if (!ClearIfEmpty(value)) SetAsBoolean(StrToBool(value));
}

}  // namespace dac
