#include "dac/framework/data/blob_fields.h"

#include "dac/framework/data/dataset_base.h"

namespace dac {

DAC_DEFINE_CLASS(TBlobField, TField, ::dac::TComponentClassOf<TBlobField>)
DAC_DEFINE_CLASS(TMemoField, TBlobField, ::dac::TComponentClassOf<TMemoField>)

TBlobField::TBlobField(TComponent* owner) : TBlobField(owner, ftBlob) {}

TBlobField::TBlobField(TComponent* owner, TFieldType type) : TField(owner) { SetDataType(type); }

TMemoField::TMemoField(TComponent* owner) : TBlobField(owner, ftMemo) {}

bool TBlobField::IsBlobType(TFieldType type) const {
  switch (type) {
    case ftBlob:
    case ftGraphic:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob:
      return true;
    default:
      return false;
  }
}

bool TMemoField::IsBlobType(TFieldType type) const {
  return type == ftMemo || type == ftFmtMemo || type == ftOraClob;
}

void TBlobField::SetBlobType(TFieldType type) {
  if (IsBlobType(type)) SetDataType(type);
}

void TBlobField::CheckTypeSize(int size) const {
  if (size < 0) FieldError("Invalid field size");
}

std::unique_ptr<TStream> TBlobField::OpenBlob(TBlobStreamMode mode) {
  CheckDataSet();
  return DataSet()->CreateBlobStream(this, mode);
}

int64_t TBlobField::BlobSize() { return OpenBlob(bmRead)->GetSize(); }

bool TBlobField::GetIsNull() { return modified_ ? BlobSize() == 0 : TField::GetIsNull(); }

void TBlobField::Clear() { OpenBlob(bmWrite); }

void TBlobField::LoadFromStream(TStream& source) { OpenBlob(bmWrite)->CopyFrom(source, 0); }

void TBlobField::SaveToStream(TStream& dest) {
  std::unique_ptr<TStream> blob = OpenBlob(bmRead);
  if (blob->GetSize() > 0) dest.CopyFrom(*blob, 0);
}

std::string TBlobField::GetAsString() {
  std::unique_ptr<TStream> blob = OpenBlob(bmRead);
  std::string value(static_cast<size_t>(blob->GetSize()), '\0');
  value.resize(static_cast<size_t>(blob->Read(value.data(), static_cast<int64_t>(value.size()))));
  return value;
}

void TBlobField::SetAsString(const std::string& value) {
  OpenBlob(bmWrite)->WriteBuffer(value.data(), static_cast<int64_t>(value.size()));
}

TBytes TBlobField::GetAsBytes() {
  const std::string value = GetAsString();
  return TBytes(value.begin(), value.end());
}

void TBlobField::SetAsBytes(const TBytes& value) {
  OpenBlob(bmWrite)->WriteBuffer(value.data(), static_cast<int64_t>(value.size()));
}

void TBlobField::SetVarValue(const Variant& value) { SetBytesOrText(value); }

}  // namespace dac
