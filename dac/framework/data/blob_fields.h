// Blob fields hold no record buffer: their value is read and written
// through the dataset's blob stream. TBlobField: ftBlob, ftGraphic,
// ftParadoxOle, ftDBaseOle, ftTypedBinary, ftOraBlob. TMemoField: ftMemo,
// ftFmtMemo, ftOraClob.
#pragma once

#include "dac/framework/classes/streams.h"
#include "dac/framework/data/field.h"

namespace dac {

class TBlobField : public TField {
  DAC_DECLARE_CLASS();

 public:
  explicit TBlobField(TComponent* owner);

  bool IsBlob() const override { return true; }
  TFieldType BlobType() const { return DataType(); }
  // A type outside the class's blob types is ignored.
  void SetBlobType(TFieldType type);
  void SetFieldType(TFieldType type) override { SetBlobType(type); }
  // Set when the value was written since the record was read.
  bool Modified() const { return modified_; }
  void SetModified(bool value) { modified_ = value; }
  int64_t BlobSize();

  // Empties the blob (a write stream opened and closed).
  void Clear() override;
  void LoadFromStream(TStream& source);
  void SaveToStream(TStream& dest);
  std::string GetAsString() override;
  void SetAsString(const std::string& value) override;
  TBytes GetAsBytes() override;
  void SetAsBytes(const TBytes& value) override;

 protected:
  TBlobField(TComponent* owner, TFieldType type);
  virtual bool IsBlobType(TFieldType type) const;
  // The content as 8-bit text.
  Variant GetAsVariant() override { return Variant(GetAsString()); }
  void SetVarValue(const Variant& value) override;
  // A modified blob is null when it is empty.
  bool GetIsNull() override;
  void CheckTypeSize(int size) const override;

 private:
  std::unique_ptr<TStream> OpenBlob(TBlobStreamMode mode);
  bool modified_ = false;
};

class TMemoField : public TBlobField {
  DAC_DECLARE_CLASS();

 public:
  explicit TMemoField(TComponent* owner);

 protected:
  bool IsBlobType(TFieldType type) const override;
};

}  // namespace dac
