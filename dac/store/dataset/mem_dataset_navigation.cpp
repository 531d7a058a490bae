// TMemDataSet: moving through the record set, record numbers and bookmarks.
#include "dac/store/dataset/mem_dataset.h"
#include "dac/store/runtime/unaligned.h"

namespace dac {

namespace {

TRecBookmark LoadBookmark(const void* data) { return LoadAt<TRecBookmark>(data); }

}  // namespace

// ---- moving ----

void TMemDataSet::InternalFirst() { record_set_->SetToBegin(); }

void TMemDataSet::InternalLast() { record_set_->SetToEnd(); }

int TMemDataSet::GetRecordCount() { return GetActive() ? record_set_->GetRecordCount() : 0; }

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

}  // namespace dac
