// TMemData: lifecycle, the item list, record operations and the fetch side.
#include "dac/store/record/mem_data.h"

#include <algorithm>
#include <atomic>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/data_type_traits.h"

namespace dac {

DAC_DEFINE_CLASS(TMemData, TData, ::dac::TMetaClassOf<TMemData>)

namespace {

// Starts at 1; every InitData of any record set, on any thread, takes the next value.
std::atomic<int32_t> g_refresh_iteration{1};


}  // namespace

TMemData::TMemData() = default;

TMemData::~TMemData() {
  try {
    Close();
  } catch (...) {
  }
}

void TMemData::Create() { InitData(); }

// ---- Lifecycle ----

void TMemData::InitData() {
  TData::InitData();
  order_.Clear();
  current_item_ = nullptr;
  first_cache_item_ = last_cache_item_ = nullptr;
  cache_of_.clear();
  refresh_iteration_ = g_refresh_iteration.fetch_add(1) + 1;
}

bool TMemData::NeedFreeComplexFields() {
  if (!GetHasComplexFields()) return false;
  // Heap-stored values go with the heap unless some of them live outside its pages.
  if (GetStringHeap().SysGetMem()) return true;
  for (int i = 0; i < GetFieldDescs().Count(); ++i) {
    const uint16_t type = GetFieldDescs().GetItems(i)->GetDataType();
    if (IsComplexFieldType(type) && !IsHeapDataType(type)) return true;
  }
  return false;
}

void TMemData::FreeData() {
  TStringHeap& heap = GetStringHeap();
  const bool free_fields = NeedFreeComplexFields();
  if (!heap.SysGetMem()) heap.Clear();
  ReleaseRowsAndCache(free_fields);
  heap.Clear();
  block_man_.FreeAllBlock();
  InitData();
}

void TMemData::ReleaseRowsAndCache(bool free_fields) {
  if (free_fields) {
    order_.ForEach([this](PItemHeader item) { FreeComplexFields(Rec(item), true); });
    for (TCacheItem* cache = first_cache_item_; cache; cache = cache->Next) {
      if (cache->Rollback) FreeComplexFields(Rec(cache->Rollback), true);
    }
  }
  while (first_cache_item_) {
    TCacheItem* next = first_cache_item_->Next;
    delete first_cache_item_;
    first_cache_item_ = next;
  }
  last_cache_item_ = nullptr;
  cache_of_.clear();
}

void TMemData::ClearItems() {
  ReleaseRowsAndCache(GetHasComplexFields());
  block_man_.FreeAllBlock();
  order_.Clear();
  current_item_ = nullptr;
  record_count_ = 0;
}

void TMemData::Open() {
  TData::Open();
  if (GetFilterExpression()) FilterUpdated();
}

void TMemData::Close() {
  CheckNotApplying();
  TData::Close();
}

void TMemData::Reopen() {
  TData::Reopen();
  if (!sort_columns_.empty()) SortItems();
}

void TMemData::InitFields() {
  TData::InitFields();
  block_man_.SetRecordSize(GetRecordSize());
  // Appended rows come in blocks that grow to some 64 KB.
  const size_t per_block = (size_t{64} << 10) / block_man_.ItemStride();
  block_man_.SetMaxItemCount(static_cast<uint16_t>(std::clamp<size_t>(per_block, 1, UINT16_MAX)));
  UpdateIndexFields();
}

void TMemData::ClearFields() {
  sort_columns_.clear();
  TData::ClearFields();
}

// ---- Items ----

PItemHeader TMemData::NextItem(PItemHeader item) const {
  const TItemPlace next = order_.Next(order_.Find(item));
  return next ? TItemOrder::ItemAt(next) : nullptr;
}

PItemHeader TMemData::PriorItem(PItemHeader item) const {
  const TItemPlace prior = order_.Prior(order_.Find(item));
  return prior ? TItemOrder::ItemAt(prior) : nullptr;
}

PItemHeader TMemData::AppendItem() {
  PItemHeader item = nullptr;
  block_man_.AllocItem(item);
  order_.PushBack(item, false);
  return item;
}

PItemHeader TMemData::InsertItem() {
  if (GetEOF()) return AppendItem();
  if (GetBOF()) current_item_ = order_.Front();
  PItemHeader item = nullptr;
  block_man_.AllocItem(item);
  order_.Insert(current_item_ ? PlaceOf(current_item_) : TItemPlace{}, item, false);
  return item;
}

void TMemData::DetachItem(PItemHeader item) {
  const TItemPlace place = PlaceOf(item);
  if (item == current_item_) {
    const TItemPlace next = order_.Next(place);
    const TItemPlace prior = order_.Prior(place);
    current_item_ = next ? TItemOrder::ItemAt(next) : (prior ? TItemOrder::ItemAt(prior) : nullptr);
  }
  order_.Erase(place);
  Counted();
  if (order_.Empty()) {
    current_item_ = nullptr;
    bof_ = eof_ = true;
  }
}

void TMemData::SetCurrent(PItemHeader item) {
  current_item_ = item;
  bof_ = eof_ = false;
}

// ---- Records ----

void TMemData::PutRecord(void* rec_buf) {
  DAC_ASSERT(current_item_, "No current record");
  block_man_.PutRecord(current_item_, rec_buf);
  Recount(current_item_);
}

void TMemData::Recount(PItemHeader item) {
  order_.SetVisible(PlaceOf(item), !Hidden(item));
  Counted();
}

void TMemData::AddRecord(void* rec_buf, TItemStatus status) {
  SetCurrent(InsertItem());
  current_item_->Status = status;
  PutRecord(rec_buf);
  if (HasBlobFields()) ForEachBlob(Rec(current_item_), &TBlob::Commit);
  if (!sort_columns_.empty()) {
    // Compared with the row it went in front of: from BOF that is the first row.
    const TItemPlace next = order_.Next(PlaceOf(current_item_));
    MoveSortedRecord(next ? CompareRecords(rec_buf, Rec(TItemOrder::ItemAt(next))) : -1);
  } else if (current_item_ == order_.Back() && order_.IsVisible(PlaceOf(current_item_))) {
    // Appended and shown: the last number.
    numbered_no_ = record_count_;
    numbered_item_ = current_item_;
    numbered_version_ = order_.Version();
  }
}

void TMemData::InsertRecord(void* rec_buf) {
  if (!cached_updates_) {
    InternalAppend(rec_buf);
    AddRecord(rec_buf);
    return;
  }
  auto cache = std::make_unique<TCacheItem>();
  AddRecord(rec_buf, isAppended);
  cache->Item = current_item_;
  AddCacheItem(std::move(cache));
}

void TMemData::AppendRecord(void* rec_buf) {
  SetToEnd();
  InsertRecord(rec_buf);
}

void TMemData::UpdateRecord(void* rec_buf) {
  DAC_ASSERT(current_item_, "No current record");
  if (cached_updates_) {
    UpdateCachedRecord(rec_buf);
    return;
  }
  InternalUpdate(rec_buf);
  StoreUpdatedRecord(rec_buf);
}

void TMemData::StoreUpdatedRecord(void* rec_buf) {
  const int direction = sort_columns_.empty() ? 0 : CompareRecords(rec_buf, Rec(current_item_));
  PutRecord(rec_buf);
  if (!sort_columns_.empty()) MoveSortedRecord(direction);
}

void TMemData::DeleteRecord() {
  DAC_ASSERT(current_item_, "No current record");
  // So that the cursor can move on to a following row.
  if (!order_.Next(PlaceOf(current_item_))) Fetch(false);
  if (cached_updates_) {
    DeleteCachedRecord();
    return;
  }
  InternalDelete();
  RemoveRecord();
}

void TMemData::RemoveRecord() {
  DAC_ASSERT(current_item_, "No current record");
  PItemHeader item = current_item_;
  if (cached_updates_) {
    const bool appended = item->Status == isAppended;
    RevertRecord();
    if (appended) return;  // the revert removed it
  }
  RemoveItem(item);
}

// ---- Fetching ----

bool TMemData::Fetch(bool) { return false; }

void TMemData::LinkFetchedItems(PBlockHeader block, int used) {
  block_man_.ReleaseUnusedItems(block, used);
  if (used == 0) return;
  PItemHeader first = block_man_.BlockItem(block, 0);
  for (int i = 0; i < used; ++i) {
    PItemHeader item = block_man_.BlockItem(block, i);
    block_man_.InitItem(item);
    order_.PushBack(item, false);
  }
  UpdateCachedBuffer(first, order_.Back());
  // Checked also without a filter: with cached updates FilterItemTypes may hide rows.
  for (TItemPlace place = order_.Find(first); place; place = order_.Next(place)) {
    order_.SetVisible(place, !Hidden(TItemOrder::ItemAt(place)));
  }
  Counted();
}

void TMemData::InitFetchedItems(PItemHeader item, bool, bool fetch_back) {
  if (!item) return;
  for (TItemPlace place = PlaceOf(item); place; place = fetch_back ? order_.Prior(place) : order_.Next(place)) {
    order_.SetVisible(place, !Hidden(TItemOrder::ItemAt(place)));
  }
  Counted();
}

void TMemData::UpdateCachedBuffer(PItemHeader from, PItemHeader to) {
  const TOnGetCachedBuffer& handler = GetOnGetCachedBuffer();
  if (!handler || GetCalcDataSize() >= 1 || order_.Empty()) return;
  const PItemHeader last = to ? to : order_.Back();
  for (TItemPlace place = order_.Find(from ? from : order_.Front()); place; place = order_.Next(place)) {
    PItemHeader item = TItemOrder::ItemAt(place);
    handler(Rec(item), nullptr);
    if (item == last) break;
  }
}

}  // namespace dac
