// TMemDataSet: field data: reading a field's value from the buffer of the
// current state, writing one into the active buffer (straight into the
// record's slot where the value goes as it is, else the general way with its
// checks), and the conversions to and from the native form.
#include <cstring>
#include <vector>

#include "dac/framework/data/field.h"
#include "dac/framework/data/string_fields.h"
#include "dac/store/dataset/mem_dataset.h"
#include "dac/store/record/mem_data.h"
#include "dac/store/runtime/unaligned.h"
#include "platform/date_time.h"

namespace dac {

// ---- reading ----

int TMemDataSet::CalcFieldNo(TField* field) {
  for (const auto& [mapped, field_no] : calc_fields_mapping_) {
    if (mapped == field) return field_no;
  }
  return GetFieldDescNo(field);
}

bool TMemDataSet::GetFieldData(TField* field, void* buffer) {
  // Browsing outside the apply of cached updates (a walk) reads a data field
  // of the active buffer, as GetActiveRecBuf finds it, without its switch.
  if (GetState() == dsBrowse && !in_cache_processing_ && field->FieldNo() >= 1) [[likely]] {
    TRecordBuffer record = IsEmpty() ? nullptr : ActiveBuffer();
    if (!record) return false;
    bool is_blank = true;
    record_set_->GetField(static_cast<uint16_t>(field->FieldNo()), record, buffer,
                          buffer ? static_cast<size_t>(field->DataSize()) : 0, is_blank);
    return !is_blank;
  }
  TRecordBuffer record = nullptr;
  if (!GetActiveRecBuf(record)) return false;
  int field_no = field->FieldNo();
  if (field_no < 1) {
    switch (GetState()) {
      case dsBrowse:
      case dsEdit:
      case dsInsert:
      case dsCalcFields:
      case dsFilter:
      case dsBlockRead: break;
      default: return false;
    }
    field_no = CalcFieldNo(field);
  }
  bool is_blank = true;
  record_set_->GetField(static_cast<uint16_t>(field_no), record, buffer,
                        buffer ? static_cast<size_t>(field->DataSize()) : 0, is_blank);
  return !is_blank;
}

namespace {

// Wide text arrives as a std::u16string (out of line: the other reads save
// no registers for it).
[[gnu::noinline]] bool ReadWideString(TDataSetBase& dataset, TField* field, WideString& value) {
  std::vector<char16_t> text(static_cast<size_t>(field->Size()) + 9, u'\0');
  if (!dataset.GetFieldData(field, text.data())) {
    value.clear();
    return false;
  }
  value.assign(text.data());
  return true;
}

}  // namespace

bool TMemDataSet::GetFieldData(TField* field, void* buffer, bool native_format) {
  // The native form is what the record set gives (as the base would find).
  if ((native_format || !buffer) && field->DataType() != ftVariant) return GetFieldData(field, buffer);
  if (native_format || !buffer || field->DataType() != ftWideString) {
    return TDataSet::GetFieldData(field, buffer, native_format);
  }
  return ReadWideString(*this, field, *static_cast<WideString*>(buffer));
}

// ---- writing ----

namespace {

// Date-times from 0001-01-01 to the end of 9999-12-31, as the conversion
// to the native form takes them; the day numbers of that span.
constexpr DateTime kMinDateTimeExcluded = -693594.0;
constexpr DateTime kMaxDateTimeExcluded = 2958466.0;
constexpr int32_t kDaysEnd = 3652060;

template <size_t kSize>
void CopySlot(uint8_t* slot, const void* source) {
  std::memcpy(slot, source, kSize);
}

}  // namespace

// A value the record takes as it comes, written straight into the buffer:
// numbers and booleans in their native form, 8-bit text that is not empty,
// and a date-time as the record's own date-time, without its way through
// the milliseconds of the native form (which gives back the same value for
// every date-time it accepts). The same bytes, checks and field-change
// event as the general way, which takes anything else (another state, a
// read-only or validated field, a calculated or child one, other types,
// values that way refuses or turns to null).
inline const TMemDataSet::TDirectSlot* TMemDataSet::DirectSlot(TField* field) {
  const TDataSetState state = TDataSet::GetState();
  if (state != dsInsert && state != dsEdit) return nullptr;
  const size_t index = static_cast<size_t>(field->FieldNo()) - 1;  // none for numbers below 1
  // No slots without a record set of rows (SetIRecordSet drops them).
  if (index >= direct_count_) return nullptr;
  if (direct_iteration_ != mem_data_->GetRefreshIteration()) [[unlikely]] return nullptr;  // made on the general way
  const TDirectSlot* direct = &direct_slots_[index];
  if (direct->field != field || field->WriteGuarded() || !ActiveBuffer()) return nullptr;
  return direct;
}

// Slots not made for the record set's rows as they are now: made again,
// the write may try again (a call of no direct slot; the slots are made
// apart so that the direct ways need no frame for the call).
bool TMemDataSet::DirectSlotsStale() {
  const TDataSetState state = TDataSet::GetState();
  if ((state != dsInsert && state != dsEdit) || !mem_data_) return false;
  if (direct_iteration_ == mem_data_->GetRefreshIteration()) return false;
  MakeDirectSlots();
  return true;
}

void TMemDataSet::SetFieldDataOnGeneralWay(TField* field, const void* buffer) {
  if (buffer && DirectSlotsStale()) return TMemDataSet::SetFieldData(field, buffer);
  PutFieldData(field, buffer);
}

// Apart from the numbers' way, which keeps no frame for the call it makes.
void TMemDataSet::PutDirectText(TField* field, const char* text, TRecordBuffer record, const TDirectSlot& direct) {
  if (text[0] == 0) return PutFieldData(field, text);  // an empty text may become null
  record[direct.indicator] = 0;                         // not null
  uint8_t* slot = record + direct.offset;
  const size_t length = strnlen(text, direct.size - 1u);
  *static_cast<uint8_t*>(mempcpy(slot, text, length)) = 0;  // terminated
  DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
}

// The date-time its time stamp gives back, computed from the milliseconds
// directly. Inside the accepted span the product is below 2^38 in magnitude,
// so its fraction is exact and the rounding is llround's (half away from
// zero); the day truncates towards zero and the time of day is the
// magnitude of the rest, as the stamp splits them. NaN and infinities fail
// the span's test.
inline bool TMemDataSet::PutDirectDateTime(uint8_t* slot, DateTime value) {
  constexpr int64_t kMSecsPerDay = plat::kMSecsPerDay;
  const double product = value * static_cast<double>(kMSecsPerDay);
  if (product >= 0.5 && value < kMaxDateTimeExcluded) {
    // From half a millisecond on everything is positive, half up is half
    // away from zero, and adding the half is exact or rounds to no other
    // integer part (below it the sum may round up to 1).
    const auto total = static_cast<uint64_t>(static_cast<int64_t>(product + 0.5));
    const uint64_t days = total / kMSecsPerDay;
    if (days >= static_cast<uint64_t>(kDaysEnd - plat::kDateDelta)) return false;
    const double time = static_cast<double>(total - days * kMSecsPerDay) / static_cast<double>(kMSecsPerDay);
    StoreAt<DateTime>(slot, 0, static_cast<double>(days) + time);
    return true;
  }
  if (!(value > kMinDateTimeExcluded && value < kMaxDateTimeExcluded)) return false;
  int64_t total = static_cast<int64_t>(product);
  const double fraction = product - static_cast<double>(total);
  if (fraction >= 0.5) {
    ++total;
  } else if (fraction <= -0.5) {
    --total;
  }
  const int64_t days = total / kMSecsPerDay;
  const int64_t rest = total % kMSecsPerDay;
  const int64_t date = days + plat::kDateDelta;
  if (date <= 0 || date >= kDaysEnd) return false;
  const double day = static_cast<double>(days);
  const double time = static_cast<double>(rest < 0 ? -rest : rest) / static_cast<double>(kMSecsPerDay);
  StoreAt<DateTime>(slot, 0, day >= 0 ? day + time : day - time);
  return true;
}

// For the record set's rows as they are now: a new open or refresh lays
// them out again under a new refresh iteration.
void TMemDataSet::MakeDirectSlots() {
  direct_slots_.clear();
  direct_count_ = 0;
  direct_iteration_ = mem_data_->GetRefreshIteration();
  TFieldDescs& descs = record_set_->GetFieldDescs();
  direct_slots_.resize(static_cast<size_t>(descs.Count()));
  for (int i = 0; i < Fields().Count(); ++i) {
    TField* field = Fields().Fields(i);
    const int field_no = field->FieldNo();
    if (field_no < 1 || field_no > descs.Count() || field->FieldKind() != fkData) continue;
    TFieldDesc* desc = descs.GetItems(field_no - 1);
    if (desc->HasParent() || desc->GetFieldDescKind() != fdkData) continue;
    TDirectSlot direct;
    direct.size = desc->GetSize();
    switch (desc->GetDataType()) {
      case dtFloat:
        if (desc->GetScale() >= 1) continue;  // rounded to the scale on the general way
        [[fallthrough]];
      case dtSmallint:
      case dtInteger:
      case dtWord:
      case dtBoolean:
      case dtLargeint:
      case dtCurrency:
        if (field->DataSize() != direct.size) continue;
        if (direct.size == 2) {
          direct.kind = TDirectSlot::kBytes2;
        } else if (direct.size == 4) {
          direct.kind = TDirectSlot::kBytes4;
        } else if (direct.size == 8) {
          direct.kind = TDirectSlot::kBytes8;
        } else {
          continue;
        }
        break;
      case dtString:
        if (direct.size == 0) continue;
        direct.kind = TDirectSlot::kText;
        break;
      case dtDateTime:
        if (field->DataType() != ftDateTime) continue;
        direct.kind = TDirectSlot::kDateTime;
        break;
      default: continue;
    }
    direct.field = field;
    direct.offset = desc->GetOffset();
    direct.indicator = static_cast<uint32_t>(record_set_->GetDataSize() + field_no - 1);
    direct_slots_[static_cast<size_t>(field_no - 1)] = direct;
  }
  direct_count_ = direct_slots_.size();
}

void TMemDataSet::SetFieldData(TField* field, const void* buffer, bool native_format) {
  // Native values go as they are (as the base would pass them on); the hop
  // keeps no frame.
  if (native_format) return SetFieldData(field, buffer);
  SetForeignFieldData(field, buffer);
}

void TMemDataSet::SetForeignFieldData(TField* field, const void* buffer) {
  if (buffer && field->DataType() == ftDateTime) {
    const TDirectSlot* direct = DirectSlot(field);
    if (direct && direct->kind == TDirectSlot::kDateTime) {
      TRecordBuffer record = ActiveBuffer();
      if (PutDirectDateTime(record + direct->offset, LoadAt<DateTime>(buffer))) {
        record[direct->indicator] = 0;  // not null
        return DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
      }
    } else if (!direct) {
      return SetForeignOnGeneralWay(field, buffer);
    }
  }
  SetConvertedFieldData(field, buffer);
}

void TMemDataSet::SetForeignOnGeneralWay(TField* field, const void* buffer) {
  if (DirectSlotsStale()) return SetForeignFieldData(field, buffer);
  SetConvertedFieldData(field, buffer);
}

void TMemDataSet::SetConvertedFieldData(TField* field, const void* buffer) {
  if (!buffer || field->DataType() != ftWideString || !dynamic_cast<TWideStringField*>(field)) {
    TDataSet::SetFieldData(field, buffer, false);
    return;
  }
  const auto& value = *static_cast<const WideString*>(buffer);
  std::vector<char16_t> text(static_cast<size_t>(field->Size()) + 1, u'\0');
  value.copy(text.data(), text.size() - 1);
  SetFieldData(field, text.data());
}

void TMemDataSet::SetFieldData(TField* field, const void* buffer) {
  // Each way ends in a tail call: numbers need no frame.
  const TDirectSlot* direct = buffer ? DirectSlot(field) : nullptr;
  if (!direct) return SetFieldDataOnGeneralWay(field, buffer);
  TRecordBuffer record = ActiveBuffer();
  uint8_t* slot = record + direct->offset;
  // The kinds in the order of their frequency, most common first.
  const TDirectSlot::Kind kind = direct->kind;
  if (kind == TDirectSlot::kBytes4) {
    CopySlot<4>(slot, buffer);
  } else if (kind == TDirectSlot::kBytes8) {
    CopySlot<8>(slot, buffer);
  } else if (kind == TDirectSlot::kText) {
    return PutDirectText(field, static_cast<const char*>(buffer), record, *direct);
  } else if (kind == TDirectSlot::kBytes2) {
    CopySlot<2>(slot, buffer);
  } else {
    return PutFieldData(field, buffer);
  }
  record[direct->indicator] = 0;  // not null
  DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
}

void TMemDataSet::PutFieldData(TField* field, const void* buffer) {
  const TDataSetState state = GetState();
  switch (state) {
    case dsEdit:
    case dsInsert:
    case dsSetKey:
    case dsCalcFields:
    case dsFilter:
    case dsNewValue:
    case dsInternalCalc: break;
    default: DatabaseError("Dataset not in edit or insert mode");
  }
  TRecordBuffer record = nullptr;
  if (state == dsInsert || state == dsEdit) {
    record = ActiveBuffer();  // as GetActiveRecBuf finds it
  } else {
    GetActiveRecBuf(record);
  }
  if (field->FieldNo() > 0) {
    if (state == dsCalcFields) DatabaseError("Dataset not in edit or insert mode");
    if (field->ReadOnly() && state != dsSetKey && state != dsFilter) {
      DatabaseErrorFmt(nullptr, "Field '%s' cannot be modified", field->DisplayName().c_str());
    }
    field->Validate(buffer);
    if (record && field->FieldKind() != fkInternalCalc) {
      record_set_->PutField(static_cast<uint16_t>(field->FieldNo()), record, buffer);
    }
  } else if (record) {
    record_set_->PutField(static_cast<uint16_t>(CalcFieldNo(field)), record, buffer);
  }
  if (state != dsCalcFields && state != dsFilter && state != dsNewValue) {
    DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
  }
}

// ---- conversions ----

void TMemDataSet::DataConvert(TField* field, const void* source, void* dest, bool to_native) {
  if (field->DataType() == ftBCD) {
    std::memcpy(dest, source, 8);
    return;
  }
  TDataSet::DataConvert(field, source, dest, to_native);
}

Variant TMemDataSet::GetStateFieldValue(TDataSetState state, TField* field) {
  if (state == dsInsert || (state == dsOldValue && GetState() == dsInsert)) return Variant::Null();
  return TDataSet::GetStateFieldValue(state, field);
}

}  // namespace dac
