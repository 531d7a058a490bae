// TMemData: lifecycle, the item list, record operations and the fetch side.
#include "dac/store/record/mem_data.h"

#include <atomic>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/blob/blob.h"

namespace dac {

DAC_DEFINE_CLASS(TMemData, TData, ::dac::TMetaClassOf<TMemData>)

namespace {

// Starts at 1; every InitData of any record set, on any thread, takes the next value.
std::atomic<int32_t> g_refresh_iteration{1};

bool IsHeapStoredType(uint16_t type) { return type == dtExtString || type == dtExtVarBytes || type == dtExtWideString; }

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
  first_item_ = last_item_ = current_item_ = nullptr;
  first_cache_item_ = last_cache_item_ = nullptr;
  rec_no_cache_.clear();
  refresh_iteration_ = g_refresh_iteration.fetch_add(1) + 1;
}

bool TMemData::NeedFreeComplexFields() {
  if (!GetHasComplexFields()) return false;
  // Heap-stored values go with the heap unless some of them live outside its pages.
  if (GetStringHeap().SysGetMem()) return true;
  for (int i = 0; i < GetFieldDescs().Count(); ++i) {
    const uint16_t type = GetFieldDescs().GetItems(i)->GetDataType();
    if (IsComplexFieldType(type) && !IsHeapStoredType(type)) return true;
  }
  return false;
}

void TMemData::FreeData() {
  TStringHeap& heap = GetStringHeap();
  const bool free_fields = NeedFreeComplexFields();
  if (!heap.SysGetMem()) heap.Clear();
  if (free_fields) {
    for (PItemHeader item = first_item_; item; item = item->Next) FreeComplexFields(Rec(item), true);
    for (TCacheItem* cache = first_cache_item_; cache; cache = cache->Next) {
      if (cache->Item->Rollback) FreeComplexFields(Rec(cache->Item->Rollback), true);
    }
  }
  while (first_cache_item_) {
    TCacheItem* next = first_cache_item_->Next;
    delete first_cache_item_;
    first_cache_item_ = next;
  }
  heap.Clear();
  block_man_.FreeAllBlock();
  InitData();
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
  rec_no_cache_.clear();
  if (!sort_columns_.empty()) SortItems();
}

void TMemData::InitFields() {
  TData::InitFields();
  block_man_.SetRecordSize(GetRecordSize());
  UpdateIndexFields();
}

void TMemData::ClearFields() {
  sort_columns_.clear();
  TData::ClearFields();
}

// ---- Items ----

void TMemData::LinkBefore(PItemHeader item, PItemHeader next) {
  item->Next = next;
  item->Prev = next ? next->Prev : last_item_;
  if (item->Prev) {
    item->Prev->Next = item;
  } else {
    first_item_ = item;
  }
  if (next) {
    next->Prev = item;
  } else {
    last_item_ = item;
  }
  rec_no_cache_.clear();
}

void TMemData::Unlink(PItemHeader item) {
  if (item->Prev) {
    item->Prev->Next = item->Next;
  } else {
    first_item_ = item->Next;
  }
  if (item->Next) {
    item->Next->Prev = item->Prev;
  } else {
    last_item_ = item->Prev;
  }
  item->Prev = item->Next = nullptr;
  rec_no_cache_.clear();
}

PItemHeader TMemData::AppendItem() {
  PItemHeader item = nullptr;
  block_man_.AllocItem(item);
  item->Order = last_item_ ? last_item_->Order + 1 : 1;
  LinkBefore(item, nullptr);
  return item;
}

PItemHeader TMemData::InsertItem() {
  if (GetEOF()) return AppendItem();
  if (GetBOF()) current_item_ = first_item_;
  PItemHeader item = nullptr;
  block_man_.AllocItem(item);
  LinkBefore(item, current_item_);
  return item;
}

void TMemData::DetachItem(PItemHeader item) {
  if (item == current_item_) current_item_ = item->Next ? item->Next : item->Prev;
  Unlink(item);
  if (!first_item_) {
    current_item_ = nullptr;
    bof_ = eof_ = true;
    record_no_offset_ = 0;  // the next first row is number 1 again
  }
}

void TMemData::SetCurrent(PItemHeader item) {
  current_item_ = item;
  bof_ = eof_ = false;
}

// ---- Records ----

void TMemData::PutRecord(void* rec_buf) {
  DAC_ASSERT(current_item_, "No current record");
  rec_no_cache_.clear();
  current_item_->FilterResult = fsNotChecked;
  block_man_.PutRecord(current_item_, rec_buf);
}

void TMemData::AddRecord(void* rec_buf, TItemStatus status) {
  SetCurrent(InsertItem());
  current_item_->Status = status;
  PutRecord(rec_buf);
  if (HasBlobFields()) ForEachBlob(Rec(current_item_), &TBlob::Commit);
  if (!sort_columns_.empty()) {
    // Compared with the row it went in front of: from BOF that is the first row.
    PItemHeader next = current_item_->Next;
    MoveSortedRecord(next ? CompareRecords(rec_buf, Rec(next)) : -1);
  }
  if (!OmitRecord(current_item_)) ++record_count_;
  ReorderItems(current_item_, roInsert);
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
  const bool was_visible = !OmitRecord(current_item_);
  InternalUpdate(rec_buf);
  StoreUpdatedRecord(rec_buf, was_visible);
}

void TMemData::StoreUpdatedRecord(void* rec_buf, bool was_visible) {
  const int direction = CompareRecords(rec_buf, Rec(current_item_));
  PutRecord(rec_buf);
  if (!sort_columns_.empty()) {
    MoveSortedRecord(direction);
    ReorderItems(nullptr, roFull);
    return;
  }
  Revisit(current_item_, was_visible);
}

void TMemData::Revisit(PItemHeader item, bool was_visible) {
  item->FilterResult = fsNotChecked;
  const bool visible = !OmitRecord(item);
  if (visible == was_visible) return;
  record_count_ += visible ? 1 : -1;
  ReorderItems(item, visible ? roInsert : roDelete);
}

void TMemData::DeleteRecord() {
  DAC_ASSERT(current_item_, "No current record");
  // So that the cursor can move on to a following row.
  if (!current_item_->Next) Fetch(false);
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
  RemoveItem(item, true);
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
    item->FilterResult = fsNotChecked;
    LinkBefore(item, nullptr);
  }
  UpdateCachedBuffer(first, last_item_);
  // Every row before them is counted, so numbering goes on from the count.
  // Checked also without a filter: with cached updates FilterItemTypes may hide rows.
  record_count_ += NumberFrom(first, record_count_ + 1 - record_no_offset_);
}

void TMemData::InitFetchedItems(PItemHeader item, bool no_count, bool fetch_back) {
  rec_no_cache_.clear();
  if (!item) return;
  if (fetch_back) {
    int32_t number = item->Order;
    for (PItemHeader i = item; i; i = i->Prev) i->Order = OmitRecord(i) ? 0 : number--;
    return;
  }
  PItemHeader before = VisibleBefore(item);
  const int32_t visible = NumberFrom(item, before ? before->Order + 1 : 1 - record_no_offset_);
  if (!no_count) record_count_ += visible;
}

void TMemData::UpdateCachedBuffer(PItemHeader from, PItemHeader to) {
  const TOnGetCachedBuffer& handler = GetOnGetCachedBuffer();
  if (!handler || GetCalcDataSize() >= 1) return;
  const PItemHeader last = to ? to : last_item_;
  for (PItemHeader item = from ? from : first_item_; item; item = item->Next) {
    handler(Rec(item), nullptr);
    if (item == last) break;
  }
}

}  // namespace dac
