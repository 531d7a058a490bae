// TMemData: cached updates. The changed rows are listed in TCacheItems in
// the order of their first change; ApplyUpdates walks that list.
#include <cstring>
#include <exception>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/mem_data.h"
#include "dac/store/runtime/unaligned.h"

namespace dac {

// An apply walk under way. Rows and cache items removed during it are kept
// until it ends, so that neither the walk nor the buffers of the row being
// applied meet freed memory.
struct TMemData::ApplyWalk {
  PItemHeader restore_item;  // where the cursor goes back to
  bool bof;
  bool eof;
  std::vector<PItemHeader> removed_items;
  std::vector<TCacheItem*> removed_cache_items;
};

void TMemData::CheckNotApplying() const {
  if (apply_walk_) DataError("Operation not allowed while updates are being applied");
}

// ---- The cache list ----

void TMemData::AddCacheItem(std::unique_ptr<TCacheItem> cache) {
  TCacheItem* added = cache.release();
  (last_cache_item_ ? last_cache_item_->Next : first_cache_item_) = added;
  last_cache_item_ = added;
}

TCacheItem* TMemData::FindCacheItem(PItemHeader item, TCacheItem** prev) {
  *prev = nullptr;
  for (TCacheItem* cache = first_cache_item_; cache; *prev = cache, cache = cache->Next) {
    if (cache->Item == item) return cache;
  }
  return nullptr;
}

void TMemData::DropCacheItem(TCacheItem* cache, TCacheItem* prev) {
  if (apply_walk_) apply_walk_->removed_cache_items.push_back(cache);
  (prev ? prev->Next : first_cache_item_) = cache->Next;
  if (last_cache_item_ == cache) last_cache_item_ = prev;
  if (apply_walk_) {
    cache->Unlinked = true;
  } else {
    delete cache;
  }
}

TCacheItem* TMemData::Listed(TCacheItem* cache) {
  while (cache && cache->Unlinked) cache = cache->Next;
  return cache;
}

// ---- Rollback records ----

void TMemData::MakeRollback(PItemHeader item) {
  PItemHeader rollback = nullptr;
  block_man_.AllocItem(rollback);
  block_man_.CopyRecord(item, rollback);
  if (GetHasComplexFields()) AddRefComplexFields(Rec(rollback));
  item->Rollback = rollback;
}

void TMemData::TakeBlobRollbacks(PItemHeader item) {
  if (!item->Rollback || !HasBlobFields()) return;
  for (int i = 0; i < GetFieldDescs().Count(); ++i) {
    TFieldDesc* desc = GetFieldDescs().GetItems(i);
    if (desc->HasParent() || desc->GetFieldDescKind() == fdkCalculated || !IsBlobFieldType(desc->GetDataType())) {
      continue;
    }
    auto* blob = TSharedObject::At<TBlob>(static_cast<uint8_t*>(Rec(item)) + desc->GetOffset());
    void* old_slot = static_cast<uint8_t*>(Rec(item->Rollback)) + desc->GetOffset();
    if (!blob || !blob->CanRollback() || TSharedObject::At<TBlob>(old_slot) != blob) continue;
    TBlob* copy = blob->TakeRollback();
    copy->EnableRollback();  // a stored value like any other from now on
    StoreAt<void*>(old_slot, 0, copy->GetGCHandle());
    blob->Free();  // the rollback record's reference to the shared blob
  }
}

void TMemData::RestoreRollback(PItemHeader item) {
  PItemHeader rollback = item->Rollback;
  if (!rollback) return;
  if (GetHasComplexFields()) FreeComplexFields(Rec(item), true);
  block_man_.CopyRecord(rollback, item);
  item->Rollback = nullptr;
  block_man_.FreeItem(rollback);
}

void TMemData::FreeRollback(PItemHeader item) {
  PItemHeader rollback = item->Rollback;
  if (!rollback) return;
  if (GetHasComplexFields()) FreeComplexFields(Rec(rollback), true);
  item->Rollback = nullptr;
  block_man_.FreeItem(rollback);
}

// ---- Rows ----

void TMemData::ReleaseItem(PItemHeader item) {
  FreeRollback(item);
  if (GetHasComplexFields()) FreeComplexFields(Rec(item), true);
  block_man_.FreeItem(item);
}

void TMemData::RemoveItem(PItemHeader item, bool renumber) {
  const bool was_visible = !OmitRecord(item);
  PItemHeader neighbour = item->Next ? item->Next : item->Prev;
  if (apply_walk_) {
    apply_walk_->removed_items.push_back(item);
    if (apply_walk_->restore_item == item) apply_walk_->restore_item = neighbour;
  }
  DetachItem(item);
  if (!apply_walk_) ReleaseItem(item);
  if (!was_visible) return;
  --record_count_;
  if (renumber) ReorderItems(neighbour, roDelete);
}

void TMemData::UpdateCachedRecord(void* rec_buf) {
  PItemHeader item = current_item_;
  if (item->Status == isDeleted) DataError("Cannot edit a deleted record");
  const bool was_visible = !OmitRecord(item);
  std::unique_ptr<TCacheItem> cache;
  if (item->Status == isUnmodified) cache.reset(new TCacheItem{item});
  // A row the server does not hold yet stays an insert.
  if (item->Status != isAppended || item->UpdateResult == urApplied) {
    if (!item->Rollback) MakeRollback(item);
    TakeBlobRollbacks(item);
    item->Status = isUpdated;
  }
  if (cache) AddCacheItem(std::move(cache));
  item->UpdateResult = urNone;
  StoreUpdatedRecord(rec_buf, was_visible);
}

void TMemData::DeleteCachedRecord() {
  PItemHeader item = current_item_;
  const bool was_visible = !OmitRecord(item);
  switch (item->Status) {
    case isUnmodified:
      AddCacheItem(std::unique_ptr<TCacheItem>(new TCacheItem{item}));
      break;
    case isUpdated:
      RestoreRollback(item);  // a deleted row shows its values from before the edit
      break;
    case isAppended: {
      // Once applied, the server holds the row: it is deleted there like any other.
      if (item->UpdateResult == urApplied) break;
      TCacheItem* prev = nullptr;
      if (TCacheItem* cache = FindCacheItem(item, &prev)) DropCacheItem(cache, prev);
      RemoveItem(item, true);
      return;
    }
    case isDeleted:
      return;
  }
  item->Status = isDeleted;
  item->UpdateResult = urNone;
  Revisit(item, was_visible);
}

void TMemData::RevertItem(PItemHeader item, bool renumber) {
  if (item->Status == isAppended) {
    RemoveItem(item, renumber);
    return;
  }
  const bool was_visible = !OmitRecord(item);
  RestoreRollback(item);
  item->Status = isUnmodified;
  item->UpdateResult = urNone;
  if (renumber) {
    Revisit(item, was_visible);
  } else {
    item->FilterResult = fsNotChecked;
  }
}

// ---- Operations ----

void TMemData::SetCacheRecBuf(void* new_buf, void* old_buf) {
  new_cache_rec_buf_ = new_buf;
  old_cache_rec_buf_ = old_buf;
}

bool TMemData::GetUpdatesPending() {
  for (TCacheItem* cache = first_cache_item_; cache; cache = cache->Next) {
    if (cache->Item->UpdateResult != urApplied) return true;
  }
  return false;
}

TItemStatus TMemData::GetUpdateStatus() { return current_item_ ? current_item_->Status : isUnmodified; }

TUpdateRecAction TMemData::GetUpdateResult() { return current_item_ ? current_item_->UpdateResult : urNone; }

void TMemData::GetOldRecord(void* rec_buf) {
  if (current_item_ && OmitRecord(current_item_)) GetNextRecord(rec_buf);
  if (!current_item_) return;
  block_man_.GetRecord(current_item_->Rollback ? current_item_->Rollback : current_item_, rec_buf);
}

void TMemData::RevertRecord() {
  if (!current_item_) return;
  PItemHeader item = current_item_;
  TCacheItem* prev = nullptr;
  TCacheItem* cache = FindCacheItem(item, &prev);
  if (!cache) return;
  DropCacheItem(cache, prev);
  RevertItem(item, true);
}

void TMemData::CancelUpdates() {
  CheckNotApplying();
  if (!first_cache_item_) return;
  while (first_cache_item_) {
    std::unique_ptr<TCacheItem> cache(first_cache_item_);
    first_cache_item_ = cache->Next;
    RevertItem(cache->Item, false);
  }
  last_cache_item_ = nullptr;
  ReorderItems(nullptr, roFull);
}

void TMemData::RestoreUpdates() {
  if (!cached_updates_) return;
  for (TCacheItem* cache = first_cache_item_; cache; cache = cache->Next) {
    cache->Item->UpdateResult = urNone;
    cache->Tentative = false;
  }
}

void TMemData::ConfirmTentativeUpdates() {
  for (TCacheItem* cache = first_cache_item_; cache; cache = cache->Next) cache->Tentative = false;
}

void TMemData::RestoreTentativeUpdates() {
  for (TCacheItem* cache = first_cache_item_; cache; cache = cache->Next) {
    if (!cache->Tentative) continue;
    cache->Tentative = false;
    if (cache->Item->UpdateResult == urApplied) cache->Item->UpdateResult = urNone;
  }
}

void TMemData::CommitUpdates() {
  CheckNotApplying();
  if (GetUpdatesPending()) ApplyUpdates();
  TCacheItem* prev = nullptr;
  for (TCacheItem* cache = first_cache_item_; cache;) {
    TCacheItem* next = cache->Next;
    PItemHeader item = cache->Item;
    if (item->UpdateResult != urApplied) {
      prev = cache;
      cache = next;
      continue;
    }
    FreeRollback(item);
    if (item->Status == isDeleted) {
      RemoveItem(item, true);
    } else {
      const bool was_visible = !OmitRecord(item);
      item->Status = isUnmodified;
      item->UpdateResult = urNone;
      Revisit(item, was_visible);
    }
    (prev ? prev->Next : first_cache_item_) = next;
    delete cache;
    cache = next;
  }
  last_cache_item_ = prev;
}

// ---- Applying ----

void TMemData::ApplyUpdates() {
  if (!cached_updates_) return;
  CheckNotApplying();
  ApplyWalk walk{current_item_, bof_, eof_, {}, {}};
  apply_walk_ = &walk;
  std::exception_ptr failure;
  try {
    WalkCacheItems(walk);
  } catch (...) {
    failure = std::current_exception();
  }
  apply_walk_ = nullptr;
  current_item_ = walk.restore_item;
  if (!current_item_ && first_item_) {
    bof_ = walk.bof;
    eof_ = walk.eof;
  }
  ReleaseRemoved(walk);
  if (failure) std::rethrow_exception(failure);
}

void TMemData::WalkCacheItems(ApplyWalk& walk) {
  TCacheItem* batch = nullptr;  // the first row of an open batch of suspended rows
  TCacheItem* cache = first_cache_item_;
  while (cache) {
    PItemHeader item = cache->Item;
    if (item->UpdateResult == urApplied) {
      cache = Listed(cache->Next);
      continue;
    }
    DAC_ASSERT(item->Status != isUnmodified, "Unmodified item in the cache list");
    current_item_ = item;
    TUpdateRecAction action = urFail;
    std::exception_ptr failure;
    try {
      ApplyItem(cache, action);
    } catch (...) {
      failure = std::current_exception();
    }
    if (cache->Unlinked) {
      // The handler reverted or removed the row: there is nothing to record.
      if (failure) std::rethrow_exception(failure);
      cache = Listed(cache->Next);
      continue;
    }
    RecordResult(batch, cache, action);
    if (failure) {
      walk.restore_item = item;
      std::rethrow_exception(failure);
    }
    if (action == urRetry) {
      if (batch) cache = Listed(batch);
      continue;
    }
    if (action != urSuspended) {
      batch = nullptr;
    } else if (!batch) {
      batch = cache;
    }
    cache = Listed(cache->Next);
  }
}

void TMemData::ApplyItem(TCacheItem* cache, TUpdateRecAction& action) {
  PItemHeader item = cache->Item;
  const TItemStatus status = item->Status;
  const TUpdateRecKind kind = status == isAppended ? ukInsert : status == isDeleted ? ukDelete : ukUpdate;
  if (new_cache_rec_buf_) block_man_.GetRecord(item, new_cache_rec_buf_);
  if (old_cache_rec_buf_) block_man_.GetRecord(item->Rollback ? item->Rollback : item, old_cache_rec_buf_);
  const bool write_back = kind != ukDelete && new_cache_rec_buf_;
  // The row as handed out: the new buffer goes back only into a row nothing else changed meanwhile.
  std::vector<uint8_t> before;
  if (write_back) before.assign(static_cast<uint8_t*>(Rec(item)), static_cast<uint8_t*>(Rec(item)) + GetRecordSize());
  ApplyRecord(kind, action, cache->Next == nullptr);
  if (!write_back || cache->Unlinked || item->Status != status ||
      std::memcmp(Rec(item), before.data(), before.size()) != 0) {
    return;
  }
  const bool was_visible = !OmitRecord(item);
  block_man_.PutRecord(item, new_cache_rec_buf_);
  Revisit(item, was_visible);
}

void TMemData::RecordResult(TCacheItem* batch, TCacheItem* cache, TUpdateRecAction action) {
  const auto record = [&](TCacheItem* c) {
    c->Item->UpdateResult = action;
    c->Tentative = action == urApplied && tentative_apply_;
  };
  if (action != urSuspended) {
    for (TCacheItem* c = batch; c && c != cache; c = c->Next) {
      // A row passed over was applied by an earlier walk and stays so.
      if (!c->Unlinked && c->Item->UpdateResult != urApplied) record(c);
    }
  }
  record(cache);
}

void TMemData::ReleaseRemoved(ApplyWalk& walk) {
  for (PItemHeader item : walk.removed_items) ReleaseItem(item);
  for (TCacheItem* cache : walk.removed_cache_items) delete cache;
}

}  // namespace dac
