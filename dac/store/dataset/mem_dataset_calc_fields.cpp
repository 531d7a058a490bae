// TMemDataSet: the calculated and lookup values the record set keeps, as
// descriptors of their own.
#include <cstring>
#include <memory>
#include <vector>

#include "dac/framework/data/field.h"
#include "dac/store/dataset/mem_dataset.h"

namespace dac {

// ---- calculated and lookup values ----

void TMemDataSet::DoGetCachedFields() {
  calc_fields_mapping_.clear();
  if (DefaultFields()) return;
  TFieldDescs& descs = record_set_->GetFieldDescs();
  for (int i = 0; i < Fields().Count(); ++i) {
    TField* field = Fields().Fields(i);
    if (field->FieldKind() != fkCalculated && field->FieldKind() != fkLookup) continue;
    std::unique_ptr<TFieldDesc> desc(static_cast<TFieldDesc*>(record_set_->GetFieldDescType().Create()));
    desc->SetName(field->FullName());
    desc->SetFullName(field->FullName());
    desc->SetFieldNo(static_cast<uint16_t>(descs.Count() + 1));
    desc->SetDataType(GetDataType(field->DataType()));
    int size = field->DataSize();
    switch (field->DataType()) {
      case ftDate:
      case ftTime: size *= 2; break;  // kept as 8-byte date-times
      case ftWideString: size = (field->Size() + 1) * 2; break;
      case ftBlob:
      case ftMemo:
      case ftVariant: size = kReferenceSlotSize; break;
      default: break;
    }
    desc->SetSize(static_cast<uint16_t>(size));
    desc->SetLength(static_cast<uint16_t>(field->Size()));
    desc->SetFieldDescKind(cache_calc_fields_ ? fdkCached : fdkCalculated);
    TFieldDesc* added = descs.Add(std::move(desc));
    calc_fields_mapping_.emplace_back(field, added->GetFieldNo());
  }
}

void TMemDataSet::DoGetCachedBuffer(void* dest, void* source) {
  if (CalcFieldsSize() <= 0) return;
  const size_t values = static_cast<size_t>(record_set_->GetRecordSize()) +
                        static_cast<size_t>(record_set_->GetCalcRecordSize());
  // Room for the record info too: the calculation reads the buffer as a record buffer.
  std::vector<uint8_t> work(values + 7 + sizeof(TRecBookmark), 0);
  std::memcpy(work.data(), source ? source : dest, static_cast<size_t>(record_set_->GetRecordSize()));
  CalculateFields(work.data());
  std::memcpy(dest, work.data(), values);
}

void TMemDataSet::ClearCalcFields(TRecordBuffer buffer) {
  // Calculated and cached descriptors come only from the calculated fields' mapping.
  if (calc_fields_mapping_.empty()) return;
  TFieldDescs& descs = record_set_->GetFieldDescs();
  for (int i = 0; i < descs.Count(); ++i) {
    TFieldDesc* desc = descs.GetItems(i);
    if (desc->GetFieldDescKind() != fdkData) record_set_->SetNull(desc->GetFieldNo(), buffer, true);
  }
}

}  // namespace dac
