// TMemDataSet: record buffers and their record info, reading records,
// bookmarks, field access by state, and the calculated and lookup values
// the record set keeps.
#include <cstring>
#include <vector>

#include "dac/framework/data/field.h"
#include "dac/framework/data/string_fields.h"
#include "dac/store/dataset/mem_dataset.h"
#include "dac/store/record/mem_data.h"
#include "dac/store/runtime/marshal.h"
#include "dac/store/runtime/unaligned.h"
#include "platform/date_time.h"

namespace dac {

namespace {

// Offsets in the record info.
constexpr int kRecordNumber = 0;
constexpr int kUpdateStatus = 4;
constexpr int kBookmarkFlag = 5;

TRecBookmark LoadBookmark(const void* data) { return LoadAt<TRecBookmark>(data); }

}  // namespace

// ---- record info ----

int32_t TMemDataSet::RecordNumberOf(TRecordBuffer buffer) const {
  return LoadAt<int32_t>(buffer, static_cast<size_t>(rec_info_ofs_ + kRecordNumber));
}

uint8_t TMemDataSet::UpdateStatusOf(TRecordBuffer buffer) const { return buffer[rec_info_ofs_ + kUpdateStatus]; }

void TMemDataSet::SetRecInfo(TRecordBuffer buffer, int32_t record_number, uint8_t update_status, TBookmarkFlag flag) {
  uint8_t* info = buffer + rec_info_ofs_;
  StoreAt<int32_t>(info, kRecordNumber, record_number);
  info[kUpdateStatus] = update_status;
  info[kBookmarkFlag] = flag;
}

// ---- buffers ----

TRecordBuffer TMemDataSet::AllocRecordBuffer() {
  auto* buffer = static_cast<TRecordBuffer>(Marshal::AllocHGlobal(static_cast<size_t>(rec_buf_size_)));
  std::memset(buffer, 0, static_cast<size_t>(rec_buf_size_));
  return buffer;
}

void TMemDataSet::FreeRecordBuffer(TRecordBuffer& buffer) {
  // A buffer read from a row holds that row's values: only what it owns goes.
  FreeRefComplexFields(buffer, true);
  DetachBlobStreams(buffer);
  Marshal::FreeHGlobal(buffer);
  buffer = nullptr;
}

void TMemDataSet::FreeRefComplexFields(TRecordBuffer buffer, bool with_blobs) {
  if (!buffer || !record_set_ || !OwnsComplexFields(buffer)) return;
  record_set_->FreeComplexFields(buffer, with_blobs);
  SetOwnsComplexFields(buffer, false);
}

void TMemDataSet::FreeRefBuffers() {
  if (TempBuffer()) FreeRefComplexFields(TempBuffer(), true);
}

int TMemDataSet::GetRecordSize() { return record_set_->GetRecordSize(); }

void TMemDataSet::InternalInitRecord(TRecordBuffer buffer) {
  if (buffer && OwnsComplexFields(buffer)) FreeRefComplexFields(buffer, true);
  if (!blob_streams_.empty()) DetachBlobStreams(buffer);
  record_set_->InitRecord(buffer);
  if (record_set_->GetHasComplexFields()) {
    record_set_->CreateComplexFields(buffer, true);
    // The new record's values are the buffer's until the record set takes them.
    SetOwnsComplexFields(buffer, true);
  }
}

void TMemDataSet::InitRecord(TRecordBuffer buffer) {
  TDataSet::InitRecord(buffer);
  SetRecInfo(buffer, 0, usInserted, bfInserted);
  // The old record buffer is made afresh whenever it is read (GetOldRecord).
}

// ---- reading ----

TGetResult TMemDataSet::GetRecord(TRecordBuffer buffer, TGetMode mode, bool) {
  if (buffer && OwnsComplexFields(buffer)) FreeRefComplexFields(buffer, true);
  if (!blob_streams_.empty()) DetachBlobStreams(buffer);
  switch (mode) {
    case gmCurrent: record_set_->GetRecord(buffer); break;
    case gmNext: record_set_->GetNextRecord(buffer); break;
    case gmPrior: record_set_->GetPriorRecord(buffer); break;
  }
  if (record_set_->GetBOF()) return grBOF;
  if (record_set_->GetEOF()) return grEOF;
  // A record set without a current row (a lost bookmark) has nothing to give.
  if (TMemData* data = MemData(); data && !data->GetCurrentItem()) return grEOF;
  SetRecInfo(buffer, record_set_->GetRecordNo(), record_set_->GetUpdateStatus(), bfCurrent);
  TRecBookmark bookmark;
  record_set_->GetBookmark(&bookmark);
  StoreAt<TRecBookmark>(buffer, static_cast<size_t>(bookmark_ofs_), bookmark);
  if (!cache_calc_fields_) CalculateFields(buffer);
  return grOK;
}

// Only where nothing but the record set's bytes can make the read differ:
// no calculated or cached values, blobs or other referenced values, filter,
// sort order, cached updates or blob streams. Then the cursor's row, shown
// and holding the buffer's very bytes, reads back as the buffer.
bool TMemDataSet::KeepPostedRecord(TRecordBuffer buffer) {
  TMemData* data = MemData();
  if (!data || in_cache_processing_ || in_deferred_post_ || !calc_fields_mapping_.empty() || !blob_streams_.empty() ||
      data->GetCachedUpdates() || data->GetHasComplexFields() || data->GetCalcRecordSize() != 0 ||
      !data->GetSortColumns().empty() || data->Filtered()) {  // Filtered: the filter function too
    return false;
  }
  PItemHeader item = data->GetCurrentItem();
  if (!item || data->OmitRecord(item)) return false;
  if (std::memcmp(TBlockManager::GetRecordPtr(item), buffer, static_cast<size_t>(data->GetRecordSize())) != 0) {
    return false;
  }
  // The rest of what GetRecord writes; the bookmark of the current row
  // carries its record number.
  TRecBookmark bookmark;
  data->GetBookmark(&bookmark);
  SetOwnsComplexFields(buffer, false);
  SetRecInfo(buffer, bookmark.Order, data->GetUpdateStatus(), bfCurrent);
  StoreAt<TRecBookmark>(buffer, static_cast<size_t>(bookmark_ofs_), bookmark);
  return true;
}

void TMemDataSet::InternalFirst() { record_set_->SetToBegin(); }

void TMemDataSet::InternalLast() { record_set_->SetToEnd(); }

int TMemDataSet::GetRecordCount() { return GetActive() ? record_set_->GetRecordCount() : 0; }

int TMemDataSet::GetRecNo() {
  TRecordBuffer buffer = nullptr;
  return GetActiveRecBuf(buffer) ? RecordNumberOf(buffer) : 0;
}

void TMemDataSet::SetRecNo(int value) {
  CheckBrowseMode();
  DoBeforeScroll();
  record_set_->SetRecordNo(value);
  Resync({});
  DoAfterScroll();
}

void TMemDataSet::SetBlockReadSize(int n) {
  if (n != BlockReadSize() && n != -1 && n != 0) UpdateCursorPos();
  TDataSet::SetBlockReadSize(n);
}

// ---- bookmarks ----

void TMemDataSet::GetBookmarkData(TRecordBuffer buffer, void* data) {
  std::memcpy(data, buffer + bookmark_ofs_, sizeof(TRecBookmark));
}

void TMemDataSet::SetBookmarkData(TRecordBuffer buffer, const void* data) {
  std::memcpy(buffer + bookmark_ofs_, data, sizeof(TRecBookmark));
}

TBookmarkFlag TMemDataSet::GetBookmarkFlag(TRecordBuffer buffer) {
  return static_cast<TBookmarkFlag>(buffer[rec_info_ofs_ + kBookmarkFlag]);
}

void TMemDataSet::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
  buffer[rec_info_ofs_ + kBookmarkFlag] = flag;
}

void TMemDataSet::InternalGotoBookmark(const void* bookmark) {
  TRecBookmark value = LoadBookmark(bookmark);
  record_set_->SetToBookmark(&value);
}

void TMemDataSet::InternalSetToRecord(TRecordBuffer buffer) { InternalGotoBookmark(buffer + bookmark_ofs_); }

bool TMemDataSet::BookmarkValid(const TBookmark& bookmark) {
  if (!record_set_ || bookmark.size() != sizeof(TRecBookmark)) return false;
  TRecBookmark value = LoadBookmark(bookmark.data());
  return record_set_->BookmarkValid(&value);
}

int TMemDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  const bool has_a = a.size() == sizeof(TRecBookmark);
  const bool has_b = b.size() == sizeof(TRecBookmark);
  TRecBookmark value_a = has_a ? LoadBookmark(a.data()) : TRecBookmark();
  TRecBookmark value_b = has_b ? LoadBookmark(b.data()) : TRecBookmark();
  return record_set_->CompareBookmarks(has_a ? &value_a : nullptr, has_b ? &value_b : nullptr);
}

// ---- the buffer of each state ----

bool TMemDataSet::GetActiveRecBuf(TRecordBuffer& buffer) {
  switch (GetState()) {
    case dsBrowse:
      buffer = in_cache_processing_ ? new_cache_rec_buf_ : (IsEmpty() ? nullptr : ActiveBuffer());
      break;
    case dsEdit:
    case dsInsert: buffer = ActiveBuffer(); break;
    case dsCalcFields: buffer = CalcBuffer(); break;
    case dsFilter: buffer = filter_buffer_; break;
    case dsNewValue: buffer = in_cache_processing_ ? new_cache_rec_buf_ : ActiveBuffer(); break;
    case dsOldValue:
      if (in_deferred_post_) {
        buffer = old_deferred_post_buf_;
      } else if (in_cache_processing_) {
        buffer = old_cache_rec_buf_;
      } else {
        buffer = GetOldRecord();
      }
      break;
    case dsBlockRead: buffer = IsEmpty() ? nullptr : ActiveBuffer(); break;
    default: buffer = nullptr;
  }
  return buffer != nullptr;
}

TRecordBuffer TMemDataSet::GetOldRecord() {
  if (!old_rec_buf_) return nullptr;
  UpdateCursorPos();
  // Without a current row the old record is empty, never a stale one.
  record_set_->InitRecord(old_rec_buf_);
  record_set_->GetOldRecord(old_rec_buf_);
  return old_rec_buf_;
}

// ---- field data ----

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
