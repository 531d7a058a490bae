// TData: preparing, opening and closing, the position and bookmark base,
// and the defaults of the operations concrete record sets override.
#include <exception>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/record/data.h"

namespace dac {

void DataError(const std::string& message) { throw Exception(message); }

// ---- Lifecycle ----

void TData::InternalPrepare() {}
void TData::InternalUnPrepare() {}
void TData::InternalOpen() {}
void TData::InternalClose() {}

void TData::InitData() {
  bof_ = true;
  eof_ = true;
  record_no_offset_ = 0;
  record_count_ = 0;
}

void TData::FreeData() { InitData(); }

void TData::Prepare() {
  InternalPrepare();
  prepared_ = true;
}

void TData::UnPrepare() {
  if (!prepared_) return;
  prepared_ = false;
  if (auto_init_fields_) ClearFields();
  InternalUnPrepare();
}

void TData::Open() {
  if (active_) return;
  InitData();
  bool internal_open_done = false;
  try {
    InternalOpen();
    internal_open_done = true;
    CreateFilterExpression(filter_text_);
  } catch (...) {
    UndoOpen(internal_open_done);
    throw;
  }
  active_ = true;
}

void TData::UndoOpen(bool internal_open_done) {
  // Whatever InternalOpen set up is closed again, or nothing would close it.
  try {
    if (internal_open_done) InternalClose();
  } catch (...) {
  }
  try {
    FreeData();
  } catch (...) {
  }
  FreeFilterExpression();
}

void TData::Close() {
  std::exception_ptr failure;
  if (active_) {
    try {
      InternalClose();
    } catch (...) {
      failure = std::current_exception();
    }
  }
  active_ = false;
  FreeData();
  if (auto_init_fields_ && !prepared_) ClearFields();
  FreeFilterExpression();
  if (failure) std::rethrow_exception(failure);
}

bool TData::IsFullReopen() { return true; }

void TData::Reopen() {
  Close();
  Open();
}

// ---- Position ----

bool TData::GetEOF() { return eof_; }
bool TData::GetBOF() { return bof_; }
int TData::GetRecordCount() { return -1; }
int TData::GetRecordNo() { return -1; }
void TData::SetRecordNo(int) {}

void TData::SetToBegin() {
  bof_ = true;
  eof_ = false;
}

void TData::SetToEnd() {
  eof_ = true;
  bof_ = false;
}

// ---- Bookmarks ----

void TData::GetBookmark(TRecBookmark* bookmark) {
  DAC_ASSERT(bookmark, "No bookmark");
  bookmark->Order = GetRecordNo();
}

void TData::SetToBookmark(TRecBookmark* bookmark) {
  DAC_ASSERT(bookmark, "No bookmark");
  if (bookmark->Order != -1) SetRecordNo(bookmark->Order);
}

bool TData::BookmarkValid(TRecBookmark* bookmark) { return bookmark && bookmark->Order != -1; }

int TData::CompareBookmarks(TRecBookmark* a, TRecBookmark* b) {
  if (a && b) return a->Order < b->Order ? -1 : a->Order > b->Order ? 1 : 0;
  if (a) return -1;
  return b ? 1 : 0;
}

// ---- Changes and cached updates ----

void TData::InternalAppend(void*) {
  if (on_append_) on_append_();
}

void TData::InternalDelete() {
  if (on_delete_) on_delete_();
}

void TData::InternalUpdate(void*) {
  if (on_update_) on_update_();
}

void TData::SetCachedUpdates(bool value) {
  if (value == cached_updates_) return;
  if (value) {
    cached_updates_ = true;
    SetFilterItemTypes({isUnmodified, isUpdated, isAppended});
    return;
  }
  CancelUpdates();
  cached_updates_ = false;
  // Every row is unmodified now; those the item types hid are shown again.
  if (!filter_item_types_.Contains(isUnmodified)) FilterUpdated();
}

bool TData::GetUpdatesPending() { return false; }
void TData::SetFilterItemTypes(TItemTypes value) { filter_item_types_ = value; }
TItemStatus TData::GetUpdateStatus() { return isUnmodified; }
TUpdateRecAction TData::GetUpdateResult() { return urNone; }
void TData::SetCacheRecBuf(void*, void*) {}
void TData::ApplyUpdates() {}
void TData::CommitUpdates() {}
void TData::CancelUpdates() {}
void TData::RestoreUpdates() {}
void TData::RevertRecord() {}

void TData::ApplyRecord(TUpdateRecKind kind, TUpdateRecAction& action, bool last_item) {
  if (on_apply_record_) on_apply_record_(kind, action, last_item);
}

void TData::GetOldRecord(void*) {}

}  // namespace dac
