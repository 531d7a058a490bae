// TBlobStream, and the blob access of TMemDataSet.
#include "dac/store/dataset/blob_stream.h"

#include <algorithm>
#include <limits>

#include "dac/framework/classes/application.h"
#include "dac/framework/data/blob_fields.h"
#include "dac/store/blob/blob.h"

namespace dac {

DAC_DEFINE_CLASS(TBlobStream, TStream, ::dac::TMetaClass)

namespace {

constexpr int64_t kMaxPosition = std::numeric_limits<int32_t>::max();

}  // namespace

TBlobStream::TBlobStream(TBlobField* field, TBlobStreamMode mode)
    : field_(field), dataset_(dynamic_cast<TMemDataSet*>(field->DataSet())), mode_(mode) {
  DAC_ASSERT(dataset_, "Assertion failure");
  field_no_ = field->FieldNo() > 0 ? field->FieldNo() : dataset_->GetFieldDescNo(field);
  TRecordBuffer buffer = nullptr;
  if (!dataset_->GetActiveRecBuf(buffer)) return;
  if (!field->Modified() && mode != bmRead) {
    if (field->ReadOnly()) DatabaseErrorFmt(nullptr, "Field '%s' cannot be modified", field->DisplayName().c_str());
    const TDataSetState state = dataset_->GetState();
    if (state != dsEdit && state != dsInsert && state != dsNewValue) {
      DatabaseError("Dataset not in edit or insert mode");
    }
  }
  buffer_ = buffer;
  opened_ = true;
  if (mode == bmWrite) Truncate();
  // Only a stream that stands is known to the dataset.
  dataset_->AttachBlobStream(this);
}

TBlobStream::~TBlobStream() {
  try {
    Close();
  } catch (const std::exception& error) {
    ApplicationHandleException(this, error);
  }
}

void TBlobStream::Close() {
  if (!dataset_) return;
  TMemDataSet* dataset = std::exchange(dataset_, nullptr);
  const bool opened = std::exchange(opened_, false);
  const bool modified = std::exchange(modified_, false);
  if (opened) dataset->ForgetBlobStream(this);
  buffer_ = nullptr;
  if (!modified) return;
  if (opened) field_->SetModified(true);
  dataset->DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field_));
}

void TBlobStream::Detach() {
  opened_ = false;
  modified_ = false;
  buffer_ = nullptr;
  dataset_ = nullptr;
  field_ = nullptr;
}

bool TBlobStream::UseRollback() const { return dataset_->GetState() == dsOldValue; }

void TBlobStream::CheckRange(int64_t position, int64_t count) const {
  if (position < 0 || count < 0 || position > kMaxPosition - count) DatabaseError("Invalid BLOB position");
}

int64_t TBlobStream::Read(void* buffer, int64_t count) {
  if (!opened_) return 0;
  const int64_t available = std::min(count, GetSize() - position_);
  if (available <= 0) return 0;
  CheckRange(position_, available);
  const uint32_t read = dataset_->Data()->ReadBlob(FieldNo(), buffer_, static_cast<uint32_t>(position_),
                                                   static_cast<uint32_t>(available), buffer, UseRollback());
  position_ += static_cast<int32_t>(read);
  return read;
}

int64_t TBlobStream::Write(const void* buffer, int64_t count) {
  if (!opened_ || count <= 0) return 0;
  CheckRange(position_, count);
  dataset_->Data()->WriteBlob(FieldNo(), buffer_, static_cast<uint32_t>(position_), static_cast<uint32_t>(count),
                              buffer);
  position_ += static_cast<int32_t>(count);
  modified_ = true;
  return count;
}

int64_t TBlobStream::Seek(int64_t offset, SeekOrigin origin) {
  if (!opened_) return position_;
  int64_t position = offset;
  if (origin == SeekOrigin::Current) position += position_;
  if (origin == SeekOrigin::End) position += GetSize();
  CheckRange(position, 0);
  position_ = static_cast<int32_t>(position);
  return position_;
}

void TBlobStream::SetSize(int64_t size) {
  if (!opened_) return;
  CheckRange(size, 0);
  dataset_->Data()->SetBlobSize(FieldNo(), buffer_, static_cast<uint32_t>(size), UseRollback());
}

int64_t TBlobStream::GetSize() {
  if (!opened_) return 0;
  return dataset_->Data()->GetBlobSize(FieldNo(), buffer_, UseRollback());
}

void TBlobStream::Truncate() {
  if (!opened_) return;
  dataset_->Data()->TruncateBlob(FieldNo(), buffer_, static_cast<uint32_t>(position_));
  modified_ = true;
}

// ---- the dataset's side ----

std::unique_ptr<TStream> TMemDataSet::CreateBlobStream(TField* field, TBlobStreamMode mode) {
  auto* blob_field = dynamic_cast<TBlobField*>(field);
  DAC_ASSERT(blob_field, "Assertion failure");
  return std::make_unique<TBlobStream>(blob_field, mode);
}

void TMemDataSet::AttachBlobStream(TBlobStream* stream) { blob_streams_.push_back(stream); }

void TMemDataSet::ForgetBlobStream(TBlobStream* stream) {
  blob_streams_.erase(std::remove(blob_streams_.begin(), blob_streams_.end(), stream), blob_streams_.end());
}

void TMemDataSet::DetachBlobStreams(TRecordBuffer buffer) {
  if (blob_streams_.empty()) return;
  std::vector<TBlobStream*> kept;
  for (TBlobStream* stream : blob_streams_) {
    if (buffer && stream->buffer_ != buffer) {
      kept.push_back(stream);
    } else {
      stream->Detach();
    }
  }
  blob_streams_.swap(kept);
}

TBlob* TMemDataSet::GetBlob(const std::string& field_name) {
  return InternalGetBlob(record_set_->FieldByName(field_name));
}

TBlob* TMemDataSet::GetBlob(TField* field) {
  TFieldDesc* desc = GetFieldDesc(field);
  if (!desc) throw Exception(Format("Field %s not found", field->FieldName().c_str()));
  return InternalGetBlob(desc);
}

bool TMemDataSet::SetBlob(TField* field, TBlob* blob) {
  TFieldDesc* desc = GetFieldDesc(field);
  if (!desc) throw Exception(Format("Field %s not found", field->FieldName().c_str()));
  return InternalSetBlob(desc, blob);
}

TBlob* TMemDataSet::InternalGetBlob(TFieldDesc* desc) {
  TRecordBuffer buffer = nullptr;
  if (!GetActiveRecBuf(buffer)) return nullptr;
  if (!record_set_->IsBlobFieldType(desc->GetDataType())) DatabaseError("Field is not BLOB");
  return dynamic_cast<TBlob*>(record_set_->GetObject(desc->GetFieldNo(), buffer));
}

bool TMemDataSet::InternalSetBlob(TFieldDesc* desc, TBlob* blob) {
  DAC_ASSERT(desc, "Assertion failure");
  DAC_ASSERT(blob, "Assertion failure");
  TRecordBuffer buffer = nullptr;
  if (!GetActiveRecBuf(buffer)) return false;
  if (!record_set_->IsBlobFieldType(desc->GetDataType())) DatabaseError("Field is not BLOB");
  auto* current = dynamic_cast<TBlob*>(record_set_->GetObject(desc->GetFieldNo(), buffer));
  DAC_ASSERT(current, "Assertion failure");
  const bool same_class = &current->ClassType() == &blob->ClassType();
  if (current != blob && !OwnsComplexFields(buffer)) {
    // The blob belongs to the row (an edit may still cancel back to it): it takes the content.
    current->Assign(*blob);
  } else if (current != blob) {
    blob->AddRef();
    current->Free();
    record_set_->SetObject(desc->GetFieldNo(), buffer, blob);
  }
  record_set_->SetNull(desc->GetFieldNo(), buffer, blob->GetSize() == 0);
  return same_class;
}

}  // namespace dac
