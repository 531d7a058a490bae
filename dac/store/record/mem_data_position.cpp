// TMemData: the cursor, record numbers, bookmarks and the filter verdicts.
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
  order_.ForEach([](PItemHeader item) { item->FilterResult = fsNotChecked; });
}

void TMemData::RecountAll() {
  // In list order, which after a sort is no longer memory order: the items
  // ahead are fetched while this one is checked.
  constexpr size_t kAhead = 8;
  for (TItemPlace place = order_.FrontPlace(); place; place = order_.Next(place)) {
    if (place.slot + kAhead < place.chunk->size) __builtin_prefetch(place.chunk->items[place.slot + kAhead]);
    order_.SetVisible(place, !OmitRecord(TItemOrder::ItemAt(place)));
  }
  Counted();
}

void TMemData::SetFilterText(const std::string& value) {
  if (value == GetFilterText()) return;
  TData::SetFilterText(value);
  if (GetActive()) FilterUpdated();
}

void TMemData::FilterUpdated() {
  ClearItemsOmittedStatus();
  RecountAll();
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

int TMemData::GetRecordNo() {
  return current_item_ ? static_cast<int>(order_.RecordNoOf(order_.Find(current_item_))) : 0;
}

void TMemData::SetToBegin() {
  current_item_ = nullptr;
  bof_ = true;
  if (!order_.Empty()) eof_ = false;
}

void TMemData::SetToEnd() {
  current_item_ = nullptr;
  eof_ = true;
  if (!order_.Empty()) bof_ = false;
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
  TItemPlace place;
  if (current_item_) {
    const TItemPlace here = order_.Find(current_item_);
    place = forward ? order_.Next(here) : order_.Prior(here);
  } else {
    place = forward ? order_.FrontPlace() : order_.BackPlace();
  }
  place = order_.VisibleFrom(place, forward);
  if (!place) {
    current_item_ = nullptr;
    reaching = true;
    return;
  }
  SetCurrent(TItemOrder::ItemAt(place));
  if (rec_buf) GetRecord(rec_buf);
}

// ---- Record numbers ----

void TMemData::SetRecordNo(int n) {
  if (order_.Empty() || n < 1) return;
  while (n > record_count_ && Fetch(false)) {
  }
  const TItemPlace place = order_.PlaceOfRecordNo(static_cast<size_t>(n));
  if (place) SetCurrent(TItemOrder::ItemAt(place));
}

// ---- Bookmarks ----

bool TMemData::BookmarkedItemLive(const TRecBookmark& bookmark) const {
  // The address is checked before anything is read through it.
  return bookmark.RefreshIteration == refresh_iteration_ && bookmark.Item && block_man_.IsLiveItem(bookmark.Item) &&
         bookmark.Item->Serial() == bookmark.ItemSerial;
}

void TMemData::GetBookmark(TRecBookmark* bookmark) {
  DAC_ASSERT(bookmark, "No bookmark");
  bookmark->RefreshIteration = refresh_iteration_;
  bookmark->Item = current_item_;
  bookmark->ItemSerial = current_item_ ? current_item_->Serial() : 0;
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
