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
  TCacheItem* added = cache.get();
  cache_of_.emplace(added->Item, added);
  cache.release();
  added->Next = nullptr;
  added->Prev = last_cache_item_;
  (last_cache_item_ ? last_cache_item_->Next : first_cache_item_) = added;
  last_cache_item_ = added;
}

TCacheItem* TMemData::FindCacheItem(PItemHeader item) const {
  const auto it = cache_of_.find(item);
  return it == cache_of_.end() ? nullptr : it->second;
}

void TMemData::DropCacheItem(TCacheItem* cache) {
  (cache->Prev ? cache->Prev->Next : first_cache_item_) = cache->Next;
  (cache->Next ? cache->Next->Prev : last_cache_item_) = cache->Prev;
  cache_of_.erase(cache->Item);
  if (apply_walk_) {
    // Its Next stays, so that the walk finds its way on.
    apply_walk_->removed_cache_items.push_back(cache);
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

void TMemData::MakeRollback(TCacheItem* cache) {
  PItemHeader rollback = nullptr;
  block_man_.AllocItem(rollback);
  block_man_.CopyRecord(cache->Item, rollback);
  if (GetHasComplexFields()) AddRefComplexFields(Rec(rollback));
  cache->Rollback = rollback;
}

void TMemData::TakeBlobRollbacks(TCacheItem* cache) {
  if (!cache->Rollback || !HasBlobFields()) return;
  PItemHeader item = cache->Item;
  for (int i = 0; i < GetFieldDescs().Count(); ++i) {
    TFieldDesc* desc = GetFieldDescs().GetItems(i);
    if (desc->HasParent() || desc->GetFieldDescKind() == fdkCalculated || !IsBlobFieldType(desc->GetDataType())) {
      continue;
    }
    auto* blob = TSharedObject::At<TBlob>(static_cast<uint8_t*>(Rec(item)) + desc->GetOffset());
    void* old_slot = static_cast<uint8_t*>(Rec(cache->Rollback)) + desc->GetOffset();
    if (!blob || !blob->CanRollback() || TSharedObject::At<TBlob>(old_slot) != blob) continue;
    TBlob* copy = blob->TakeRollback();
    copy->EnableRollback();  // a stored value like any other from now on
    StoreAt<void*>(old_slot, 0, copy->GetGCHandle());
    blob->Free();  // the rollback record's reference to the shared blob
  }
}

void TMemData::RestoreRollback(TCacheItem* cache) {
  PItemHeader rollback = cache ? cache->Rollback : nullptr;
  if (!rollback) return;
  if (GetHasComplexFields()) FreeComplexFields(Rec(cache->Item), true);
  block_man_.CopyRecord(rollback, cache->Item);
  cache->Rollback = nullptr;
  block_man_.FreeItem(rollback);
}

void TMemData::FreeRollback(TCacheItem* cache) {
  PItemHeader rollback = cache ? cache->Rollback : nullptr;
  if (!rollback) return;
  if (GetHasComplexFields()) FreeComplexFields(Rec(rollback), true);
  cache->Rollback = nullptr;
  block_man_.FreeItem(rollback);
}

// ---- Rows ----

void TMemData::ReleaseItem(PItemHeader item) {
  if (GetHasComplexFields()) FreeComplexFields(Rec(item), true);
  block_man_.FreeItem(item);
}

void TMemData::RemoveItem(PItemHeader item) {
  if (apply_walk_) {
    apply_walk_->removed_items.push_back(item);
    if (apply_walk_->restore_item == item) {
      apply_walk_->restore_item = NextItem(item);
      if (!apply_walk_->restore_item) apply_walk_->restore_item = PriorItem(item);
    }
  }
  DetachItem(item);
  if (!apply_walk_) ReleaseItem(item);
}

void TMemData::UpdateCachedRecord(void* rec_buf) {
  PItemHeader item = current_item_;
  if (item->Status == isDeleted) DataError("Cannot edit a deleted record");
  TCacheItem* cache = FindCacheItem(item);
  std::unique_ptr<TCacheItem> added;
  if (item->Status == isUnmodified) {
    added = std::make_unique<TCacheItem>();
    added->Item = item;
    cache = added.get();
  }
  DAC_ASSERT(cache, "Changed item without a cache item");
  // A row the server does not hold yet stays an insert.
  if (item->Status != isAppended || item->UpdateResult == urApplied) {
    if (!cache->Rollback) MakeRollback(cache);
    TakeBlobRollbacks(cache);
    item->Status = isUpdated;
  }
  if (added) AddCacheItem(std::move(added));
  item->UpdateResult = urNone;
  StoreUpdatedRecord(rec_buf);
}

void TMemData::DeleteCachedRecord() {
  PItemHeader item = current_item_;
  switch (item->Status) {
    case isUnmodified: {
      auto cache = std::make_unique<TCacheItem>();
      cache->Item = item;
      AddCacheItem(std::move(cache));
      break;
    }
    case isUpdated:
      RestoreRollback(FindCacheItem(item));  // a deleted row shows its values from before the edit
      break;
    case isAppended: {
      // Once applied, the server holds the row: it is deleted there like any other.
      if (item->UpdateResult == urApplied) break;
      if (TCacheItem* cache = FindCacheItem(item)) DropCacheItem(cache);
      RemoveItem(item);
      return;
    }
    case isDeleted:
      return;
  }
  item->Status = isDeleted;
  item->UpdateResult = urNone;
  Recount(item);
}

void TMemData::RevertItem(PItemHeader item, TCacheItem* cache) {
  if (item->Status == isAppended) {
    RemoveItem(item);
    return;
  }
  RestoreRollback(cache);
  item->Status = isUnmodified;
  item->UpdateResult = urNone;
  Recount(item);
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

PItemHeader TMemData::GetRollbackItem(PItemHeader item) const {
  const TCacheItem* cache = first_cache_item_ ? FindCacheItem(item) : nullptr;
  return cache ? cache->Rollback : nullptr;
}

void TMemData::GetOldRecord(void* rec_buf) {
  if (current_item_ && OmitRecord(current_item_)) GetNextRecord(rec_buf);
  if (!current_item_) return;
  PItemHeader rollback = GetRollbackItem(current_item_);
  block_man_.GetRecord(rollback ? rollback : current_item_, rec_buf);
}

void TMemData::RevertRecord() {
  if (!current_item_) return;
  PItemHeader item = current_item_;
  TCacheItem* cache = FindCacheItem(item);
  if (!cache) return;
  // The revert needs the rollback copy the cache item holds; the walk may
  // keep the cache item itself.
  TCacheItem holder = *cache;
  cache->Rollback = nullptr;
  DropCacheItem(cache);
  RevertItem(item, &holder);
}

void TMemData::CancelUpdates() {
  CheckNotApplying();
  while (first_cache_item_) {
    std::unique_ptr<TCacheItem> cache(first_cache_item_);
    first_cache_item_ = cache->Next;
    if (first_cache_item_) first_cache_item_->Prev = nullptr;
    cache_of_.erase(cache->Item);
    RevertItem(cache->Item, cache.get());
  }
  last_cache_item_ = nullptr;
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
  for (TCacheItem* cache = first_cache_item_; cache;) {
    TCacheItem* next = cache->Next;
    PItemHeader item = cache->Item;
    if (item->UpdateResult != urApplied) {
      cache = next;
      continue;
    }
    FreeRollback(cache);
    DropCacheItem(cache);
    if (item->Status == isDeleted) {
      RemoveItem(item);
    } else {
      item->Status = isUnmodified;
      item->UpdateResult = urNone;
      Recount(item);
    }
    cache = next;
  }
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
  if (!current_item_ && !order_.Empty()) {
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
  if (old_cache_rec_buf_) block_man_.GetRecord(cache->Rollback ? cache->Rollback : item, old_cache_rec_buf_);
  const bool write_back = kind != ukDelete && new_cache_rec_buf_;
  // The row as handed out: the new buffer goes back only into a row nothing else changed meanwhile.
  std::vector<uint8_t> before;
  if (write_back) before.assign(static_cast<uint8_t*>(Rec(item)), static_cast<uint8_t*>(Rec(item)) + GetRecordSize());
  ApplyRecord(kind, action, cache->Next == nullptr);
  if (!write_back || cache->Unlinked || item->Status != status ||
      std::memcmp(Rec(item), before.data(), before.size()) != 0) {
    return;
  }
  block_man_.PutRecord(item, new_cache_rec_buf_);
  Recount(item);
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
