#include "dac/framework/data/variant_field.h"

namespace dac {

DAC_DEFINE_CLASS(TVariantField, TField, ::dac::TComponentClassOf<TVariantField>)

TVariantField::TVariantField(TComponent* owner) : TField(owner) { SetDataType(ftVariant); }

Variant TVariantField::Read() {
  Variant value;
  return GetData(&value) ? value : Variant();
}

void TVariantField::SetVarValue(const Variant& value) { SetData(&value); }

}  // namespace dac
