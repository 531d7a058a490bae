// TMemDataSet: record buffers: the record info and the bookmark each one
// carries, allocating, freeing and initialising them, reading the record
// set's current record into one, and the buffer each state reads fields from.
#include <cstring>

#include "dac/store/dataset/mem_dataset.h"
#include "dac/store/record/mem_data.h"
#include "dac/store/runtime/marshal.h"
#include "dac/store/runtime/unaligned.h"

namespace dac {

namespace {

// Offsets in the record info.
constexpr int kRecordNumber = 0;
constexpr int kUpdateStatus = 4;
constexpr int kBookmarkFlag = 5;

}  // namespace

// ---- record info and bookmark ----

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

// The record number of the current state's buffer.
int TMemDataSet::GetRecNo() {
  TRecordBuffer buffer = nullptr;
  return GetActiveRecBuf(buffer) ? RecordNumberOf(buffer) : 0;
}

}  // namespace dac
