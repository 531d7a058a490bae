// TMemData: the cursor, record numbers, bookmarks and the filter verdicts.
#include <algorithm>
#include <cstring>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/record/filter_code.h"
#include "dac/store/record/mem_data.h"

namespace dac {

// ---- Filter verdicts ----

TItemPlace TMemData::PlaceOf(PItemHeader item) {
  if (item != current_item_) return order_.Find(item);
  if (placed_item_ != item || placed_version_ != order_.PlacesVersion()) [[unlikely]] {
    placed_ = order_.Find(item);
    placed_item_ = item;
    placed_version_ = order_.PlacesVersion();
  }
  return placed_;
}

bool TMemData::OmitRecord(PItemHeader item) {
  if (!item) return true;
  const TItemPlace place = KeptPlaceOf(item);
  return !place.chunk->Visible(place.slot);
}

bool TMemData::Hidden(PItemHeader item) {
  if (cached_updates_ && !filter_item_types_.Contains(item->Status)) return true;
  return Filtered() && !PassesFilter(item);
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

void TMemData::RecountAll() {
  if (cached_updates_ || GetFilterFunc() || GetFilterMDFunc() || GetCalcRecordSize() > 0) {
    order_.Reclassify([this](PItemHeader item) { return !Hidden(item); });
  } else if (const TFilterCode* code = CompiledFilter()) {
    // The filter text alone decides: Hidden's steps, without their tests per row.
    order_.ReclassifyChunks([this, code](const PItemHeader* items, uint32_t count, const PItemHeader* ahead,
                                         uint32_t ahead_count, uint64_t* bits) {
      if (count == 0) return;
      // The chunk's records, then the next chunk's first ones to fetch ahead.
      const uint8_t* records[TItemOrder::kChunkItems + kFilterAhead];
      for (uint32_t i = 0; i < count; ++i) records[i] = static_cast<const uint8_t*>(Rec(items[i]));
      for (uint32_t i = 0; i < kFilterAhead; ++i) {
        records[count + i] = i < ahead_count ? static_cast<const uint8_t*>(Rec(ahead[i])) : records[count - 1];
      }
      PassCompiledFilter(*code, records, count, bits);
    });
  } else {
    order_.ReclassifyChunks([](const PItemHeader*, uint32_t count, const PItemHeader*, uint32_t, uint64_t* bits) {
      for (uint32_t i = 0; i < count; ++i) bits[i / 64] |= uint64_t{1} << (i % 64);
    });
  }
  Counted();
}

void TMemData::SetFilterText(const std::string& value) {
  if (value == GetFilterText()) return;
  TData::SetFilterText(value);
  if (GetActive()) FilterUpdated();
}

void TMemData::FilterUpdated() {
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
  if (!current_item_) return 0;
  if (numbered_item_ != current_item_ || numbered_version_ != order_.Version()) {
    numbered_no_ = static_cast<int32_t>(order_.RecordNoOf(PlaceOf(current_item_)));
    numbered_item_ = current_item_;
    numbered_version_ = order_.Version();
  }
  return numbered_no_;
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
  const TItemPlace place = KeptPlaceOf(current_item_);  // OmitRecord's test, in this frame
  if (!place.chunk->Visible(place.slot)) [[unlikely]] {
    GetNextRecord(rec_buf);
    return;
  }
  std::memcpy(rec_buf, Rec(current_item_), static_cast<size_t>(block_man_.GetRecordSize()));
}

namespace {
constexpr uint32_t kWalkAhead = 8;
}  // namespace

void TMemData::GetNextRecord(void* rec_buf) {
  // A walk's usual step, without a call: the next row of the cursor's chunk
  // is shown and the cursor's place (and maybe its number) is known.
  if (current_item_ && placed_item_ == current_item_ && placed_version_ == order_.PlacesVersion()) {
    TItemChunk* chunk = placed_.chunk;
    const uint32_t next_slot = placed_.slot + 1;
    if (next_slot < chunk->size && chunk->Visible(next_slot)) {
      // Rows a walk reaches soon, fetched ahead: the records lie in blocks
      // whose pages the processor's own prefetch does not cross.
      if (next_slot + kWalkAhead < chunk->size) TItemOrder::PrefetchItem(chunk->items[next_slot + kWalkAhead]);
      const bool numbered =
          numbered_item_ == current_item_ && numbered_version_ == order_.Version() && numbered_no_ > 0;
      SetCurrentPlaced({chunk, next_slot}, numbered ? numbered_no_ + 1 : -1);
      if (rec_buf) GetRecord(rec_buf);
      return;
    }
  }
  Step(rec_buf, true);
}
void TMemData::GetPriorRecord(void* rec_buf) { Step(rec_buf, false); }

void TMemData::Step(void* rec_buf, bool forward) {
  // Leaving BOF going forward (EOF going back) clears it; running off the
  // other end sets that end's flag.
  bool& leaving = forward ? bof_ : eof_;
  bool& reaching = forward ? eof_ : bof_;
  if (!current_item_ && reaching) return;
  if (!current_item_ && leaving) leaving = false;
  TItemPlace place;
  // The number of the row the step starts from, when it is known: a walk numbers as it goes.
  int32_t from_no = -1;
  if (current_item_) {
    // Only a visible row's number counts on (a hidden one has none).
    if (numbered_item_ == current_item_ && numbered_version_ == order_.Version() && numbered_no_ > 0) {
      from_no = numbered_no_;
    }
    const TItemPlace here = KeptPlaceOf(current_item_);
    place = order_.VisibleFrom(forward ? order_.Next(here) : order_.Prior(here), forward);
  } else {
    from_no = forward ? 0 : record_count_ + 1;
    place = order_.VisibleFrom(forward ? order_.FrontPlace() : order_.BackPlace(), forward);
  }
  if (!place) {
    current_item_ = nullptr;
    reaching = true;
    return;
  }
  SetCurrentPlaced(place, from_no < 0 ? -1 : (forward ? from_no + 1 : from_no - 1));
  if (rec_buf) GetRecord(rec_buf);
}

void TMemData::SetCurrentPlaced(TItemPlace place, int32_t number) {
  current_item_ = TItemOrder::ItemAt(place);  // SetCurrent's work, in this frame
  bof_ = eof_ = false;
  placed_ = place;
  placed_item_ = current_item_;
  placed_version_ = order_.PlacesVersion();
  if (number < 0) return;
  numbered_no_ = number;
  numbered_item_ = current_item_;
  numbered_version_ = order_.Version();
}

// ---- Record numbers ----

void TMemData::SetRecordNo(int n) {
  if (order_.Empty() || n < 1) return;
  while (n > record_count_ && Fetch(false)) {
  }
  const TItemPlace place = order_.PlaceOfRecordNo(static_cast<size_t>(n));
  // The place and number are known: reading the row finds neither again.
  if (place) SetCurrentPlaced(place, n);
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
  // The current item is live: its own bookmark needs no look-up of its block.
  const bool current = bookmark->Item && bookmark->Item == current_item_ &&
                       bookmark->RefreshIteration == refresh_iteration_ &&
                       current_item_->Serial() == bookmark->ItemSerial;
  if (current || BookmarkedItemLive(*bookmark)) {
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
