#include "dac/framework/data/binary_fields.h"

#include <algorithm>
#include <cstring>

namespace dac {

DAC_DEFINE_CLASS(TBinaryField, TField, ::dac::TComponentClass)
DAC_DEFINE_CLASS(TBytesField, TBinaryField, ::dac::TComponentClassOf<TBytesField>)
DAC_DEFINE_CLASS(TVarBytesField, TBinaryField, ::dac::TComponentClassOf<TVarBytesField>)

TBinaryField::TBinaryField(TComponent* owner, TFieldType type) : TField(owner) {
  SetDataType(type);
  InitSize(16);
}

std::string TBinaryField::GetAsString() {
  const TBytes bytes = GetAsBytes();
  return std::string(bytes.begin(), bytes.end());
}

void TBinaryField::SetAsString(const std::string& value) { SetAsBytes(TBytes(value.begin(), value.end())); }

void TBinaryField::SetVarValue(const Variant& value) { SetBytesOrText(value); }

void TBinaryField::CheckTypeSize(int size) const {
  if (size < 0) FieldError("Invalid field size");
}

TBytesField::TBytesField(TComponent* owner) : TBinaryField(owner, ftBytes) {}

TBytes TBytesField::GetAsBytes() {
  TBytes bytes(static_cast<size_t>(Size()));
  if (!GetData(bytes.data())) bytes.clear();
  return bytes;
}

void TBytesField::SetAsBytes(const TBytes& value) {
  TBytes bytes(static_cast<size_t>(Size()));
  std::copy_n(value.begin(), std::min(value.size(), bytes.size()), bytes.begin());
  SetData(bytes.data());
}

TVarBytesField::TVarBytesField(TComponent* owner) : TBinaryField(owner, ftVarBytes) {}

void TVarBytesField::CheckTypeSize(int size) const {
  if (size < 0 || size > UINT16_MAX) FieldError("Invalid field size");
}

TBytes TVarBytesField::GetAsBytes() {
  TBytes data(static_cast<size_t>(DataSize()));
  if (!GetData(data.data())) return TBytes();
  uint16_t length = 0;
  std::memcpy(&length, data.data(), sizeof length);
  length = static_cast<uint16_t>(std::min<int>(length, Size()));
  return TBytes(data.begin() + 2, data.begin() + 2 + length);
}

void TVarBytesField::SetAsBytes(const TBytes& value) {
  TBytes data(static_cast<size_t>(DataSize()));
  const auto length = static_cast<uint16_t>(std::min(value.size(), static_cast<size_t>(Size())));
  std::memcpy(data.data(), &length, sizeof length);
  std::copy_n(value.begin(), length, data.begin() + 2);
  SetData(data.data());
}

}  // namespace dac
