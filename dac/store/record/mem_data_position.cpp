// TMemData: the cursor, record numbers, bookmarks and the filter verdicts.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/record/mem_data.h"

namespace dac {

// ---- Filter verdicts ----

bool TMemData::OmitRecord(PItemHeader item) {
  if (!item) return true;
  if (item->FilterResult != fsNotChecked) return item->FilterResult == fsOmitted;
  bool omitted = cached_updates_ && !filter_item_types_.Contains(item->Status);
  if (!omitted && Filtered()) omitted = !PassesFilter(item);
  item->FilterResult = omitted ? fsOmitted : fsNotOmitted;
  return omitted;
}

bool TMemData::PassesFilter(PItemHeader item) {
  void* record = Rec(item);
  std::vector<uint8_t> expanded;
  if (GetCalcRecordSize() > 0) {
    // The filter may test calculated values, which the item does not hold.
    expanded.assign(static_cast<size_t>(GetRecordSize()) + static_cast<size_t>(GetCalcRecordSize()), 0);
    std::memcpy(expanded.data(), record, static_cast<size_t>(GetRecordSize()));
    if (GetOnGetCachedBuffer()) GetOnGetCachedBuffer()(expanded.data(), nullptr);
    record = expanded.data();
  }
  struct ResetFilterRecord {
    TMemData& data;
    ~ResetFilterRecord() { data.SetFilterRecBuf(nullptr); }
  } reset{*this};
  SetFilterRecBuf(record);
  if (GetFilterFunc() && !GetFilterFunc()(record)) return false;
  if (GetFilterMDFunc() && !GetFilterMDFunc()(record)) return false;
  TExpressionNode* expression = GetFilterExpression();
  return !expression || Eval(expression);
}

void TMemData::ClearItemsOmittedStatus() {
  for (PItemHeader item = first_item_; item; item = item->Next) item->FilterResult = fsNotChecked;
}

void TMemData::SetFilterText(const std::string& value) {
  if (value == GetFilterText()) return;
  TData::SetFilterText(value);
  if (GetActive()) FilterUpdated();
}

void TMemData::FilterUpdated() {
  ClearItemsOmittedStatus();
  ReorderItems(nullptr, roFull);
  eof_ = record_count_ == 0;
}

void TMemData::SetFilterItemTypes(TItemTypes value) {
  if (value == GetFilterItemTypes()) return;
  TData::SetFilterItemTypes(value);
  FilterUpdated();
}

// ---- Navigation ----

bool TMemData::GetEOF() { return !current_item_ && eof_; }
bool TMemData::GetBOF() { return !current_item_ && bof_; }
int TMemData::GetRecordCount() { return record_count_; }
int TMemData::GetRecordNo() { return current_item_ ? current_item_->Order + record_no_offset_ : 0; }

void TMemData::SetToBegin() {
  current_item_ = nullptr;
  bof_ = true;
  if (first_item_) eof_ = false;
}

void TMemData::SetToEnd() {
  current_item_ = nullptr;
  eof_ = true;
  if (first_item_) bof_ = false;
}

void TMemData::GetRecord(void* rec_buf) {
  if (GetEOF() || GetBOF() || !current_item_) return;
  if (OmitRecord(current_item_)) {
    GetNextRecord(rec_buf);
    return;
  }
  block_man_.GetRecord(current_item_, rec_buf);
}

void TMemData::GetNextRecord(void* rec_buf) { Step(rec_buf, true); }
void TMemData::GetPriorRecord(void* rec_buf) { Step(rec_buf, false); }

void TMemData::Step(void* rec_buf, bool forward) {
  // Leaving BOF going forward (EOF going back) clears it; running off the
  // other end sets that end's flag.
  bool& leaving = forward ? bof_ : eof_;
  bool& reaching = forward ? eof_ : bof_;
  if (!current_item_ && reaching) return;
  if (!current_item_ && leaving) leaving = false;
  auto next = [forward](PItemHeader item) { return forward ? item->Next : item->Prev; };
  PItemHeader item = current_item_ ? next(current_item_) : (forward ? first_item_ : last_item_);
  while (item && OmitRecord(item)) item = next(item);
  if (!item) {
    current_item_ = nullptr;
    reaching = true;
    return;
  }
  SetCurrent(item);
  if (rec_buf) GetRecord(rec_buf);
}

// ---- Record numbers ----

PItemHeader TMemData::VisibleBefore(PItemHeader item) {
  PItemHeader before = item->Prev;
  while (before && OmitRecord(before)) before = before->Prev;
  return before;
}

PItemHeader TMemData::VisibleAfter(PItemHeader item) {
  PItemHeader after = item->Next;
  while (after && OmitRecord(after)) after = after->Next;
  return after;
}

void TMemData::ReorderItems(PItemHeader item, TReorderOption option) {
  rec_no_cache_.clear();
  if (option == roFull) {
    record_count_ = 0;
    record_no_offset_ = 0;
    if (first_item_) NumberForward(first_item_);
    return;
  }
  if (!item) return;
  PItemHeader reference = item->Next ? item->Next : item->Prev;
  if (reference && reference->Order <= (record_count_ + record_no_offset_) / 2) {
    NumberBackward(item);
  } else {
    NumberForward(item);
  }
}

void TMemData::NumberForward(PItemHeader item) {
  // The rows in front keep their numbers; those from `item` on follow them.
  PItemHeader before = VisibleBefore(item);
  if (!before) record_no_offset_ = 0;
  const int32_t first = before ? before->Order + 1 : 1;
  record_count_ = first - 1 + NumberFrom(item, first) + record_no_offset_;
}

void TMemData::NumberBackward(PItemHeader item) {
  // The rows behind keep their orders; the offset is set so that the first
  // visible row is number 1, whatever the change was.
  PItemHeader after = VisibleAfter(item);
  const int32_t start = after ? after->Order - 1 : record_count_;
  int32_t visible = 0;
  for (PItemHeader i = item; i; i = i->Prev) {
    const bool omitted = OmitRecord(i);
    i->Order = omitted ? 0 : start - visible;
    visible += omitted ? 0 : 1;
  }
  record_no_offset_ = visible - start;
  if (!after) record_count_ = visible;
}

int32_t TMemData::NumberFrom(PItemHeader item, int32_t order) {
  int32_t visible = 0;
  for (PItemHeader i = item; i; i = i->Next) {
    // A hidden row keeps no number another row could be taken for.
    const bool omitted = OmitRecord(i);
    i->Order = omitted ? 0 : order + visible;
    visible += omitted ? 0 : 1;
  }
  return visible;
}

void TMemData::PrepareRecNoCache() {
  if (!rec_no_cache_.empty()) return;
  rec_no_cache_.reserve(static_cast<size_t>(std::max(record_count_, 0)));
  for (PItemHeader item = first_item_; item; item = item->Next) {
    if (!OmitRecord(item)) rec_no_cache_.push_back(item);
  }
}

void TMemData::SetRecordNo(int n) {
  if (!first_item_ || n < 1) return;
  if (!rec_no_cache_.empty()) {
    if (static_cast<size_t>(n) <= rec_no_cache_.size()) SetCurrent(rec_no_cache_[static_cast<size_t>(n) - 1]);
    return;
  }
  PItemHeader last = OmitRecord(last_item_) ? VisibleBefore(last_item_) : last_item_;
  if (!last) return;
  // Start from the nearest known number: the first row, the last or the
  // current one (only a visible row has a number).
  auto distance = [&](PItemHeader item) { return std::llabs(int64_t{item->Order} + record_no_offset_ - n); };
  PItemHeader current = current_item_ && !OmitRecord(current_item_) ? current_item_ : nullptr;
  const int64_t d_last = distance(last);
  const int64_t d_current = current ? distance(current) : INT64_MAX;
  PItemHeader start = first_item_;
  if (!(d_last > n && n < d_current)) start = d_last < d_current ? last : current;
  const bool forward = start == first_item_ || n > start->Order + record_no_offset_;
  for (PItemHeader item = start; item;) {
    if (!OmitRecord(item)) {
      const int64_t number = int64_t{item->Order} + record_no_offset_;
      if (number == n) {
        SetCurrent(item);
        return;
      }
      if (forward ? number > n : number < n) return;
    }
    if (!forward) {
      item = item->Prev;
      continue;
    }
    if (!item->Next) Fetch(false);
    item = item->Next;
  }
}

// ---- Bookmarks ----

bool TMemData::BookmarkedItemLive(const TRecBookmark& bookmark) const {
  // The address is checked before anything is read through it.
  return bookmark.RefreshIteration == refresh_iteration_ && bookmark.Item && block_man_.IsLiveItem(bookmark.Item) &&
         bookmark.Item->Serial == bookmark.ItemSerial;
}

void TMemData::GetBookmark(TRecBookmark* bookmark) {
  DAC_ASSERT(bookmark, "No bookmark");
  bookmark->RefreshIteration = refresh_iteration_;
  bookmark->Item = current_item_;
  bookmark->ItemSerial = current_item_ ? current_item_->Serial : 0;
  bookmark->Order = current_item_ ? GetRecordNo() : -1;
}

void TMemData::SetToBookmark(TRecBookmark* bookmark) {
  DAC_ASSERT(bookmark, "No bookmark");
  if (BookmarkedItemLive(*bookmark)) {
    SetCurrent(bookmark->Item);
  } else {
    TData::SetToBookmark(bookmark);
  }
}

bool TMemData::BookmarkValid(TRecBookmark* bookmark) {
  if (!bookmark) return false;
  if (!BookmarkedItemLive(*bookmark)) return bookmark->Order != -1;
  return !Filtered() || !OmitRecord(bookmark->Item);
}

int TMemData::CompareBookmarks(TRecBookmark* a, TRecBookmark* b) {
  if (a && b && a->RefreshIteration == b->RefreshIteration && a->Item == b->Item && a->ItemSerial == b->ItemSerial) {
    return 0;
  }
  return TData::CompareBookmarks(a, b);
}

}  // namespace dac
