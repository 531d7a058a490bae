// Byte fields of a set size. TBytesField holds exactly Size bytes [Size];
// TVarBytesField a 16-bit length and up to Size bytes [Size + 2]. Longer
// values are cut to Size; as text they are their bytes.
#pragma once

#include "dac/framework/data/field.h"

namespace dac {

class TBinaryField : public TField {
  DAC_DECLARE_CLASS();

 public:
  std::string GetAsString() override;
  void SetAsString(const std::string& value) override;

 protected:
  // Size 16.
  TBinaryField(TComponent* owner, TFieldType type);
  Variant GetAsVariant() override { return Variant(GetAsBytes()); }
  // Bytes as they are, anything else as its text.
  void SetVarValue(const Variant& value) override;
  void CheckTypeSize(int size) const override;
};

class TBytesField : public TBinaryField {
  DAC_DECLARE_CLASS();

 public:
  explicit TBytesField(TComponent* owner);

  int GetDataSize() const override { return Size(); }
  TBytes GetAsBytes() override;
  // Padded with zero bytes to Size.
  void SetAsBytes(const TBytes& value) override;
};

class TVarBytesField : public TBinaryField {
  DAC_DECLARE_CLASS();

 public:
  explicit TVarBytesField(TComponent* owner);

  int GetDataSize() const override { return Size() + 2; }
  // A stored length beyond Size reads as Size.
  TBytes GetAsBytes() override;
  void SetAsBytes(const TBytes& value) override;

 protected:
  // Up to 65535 bytes.
  void CheckTypeSize(int size) const override;
};

}  // namespace dac
