// TMemDataSet: the deferred post and cached updates: applying, committing,
// cancelling and reverting them, one record at a time through the update
// events or the virtual Perform operations, with the batch hooks.
#include <cstring>

#include "dac/framework/data/field.h"
#include "dac/store/blob/blob.h"
#include "dac/store/dataset/mem_dataset.h"
#include "dac/store/runtime/unaligned.h"

namespace dac {

namespace {

TUpdateKind ToUpdateKind(TUpdateRecKind kind) {
  switch (kind) {
    case ukInsert: return TUpdateKind::ukInsert;
    case ukDelete: return TUpdateKind::ukDelete;
    default: return TUpdateKind::ukModify;
  }
}

// The update record types as the record set's item statuses, and back.
constexpr std::pair<TUpdateRecordType, TItemStatus> kRecordTypes[] = {
    {rtModified, isUpdated}, {rtInserted, isAppended}, {rtDeleted, isDeleted}, {rtUnmodified, isUnmodified}};

}  // namespace

void TMemDataSet::CheckCachedUpdateMode() const {
  if (!cached_updates_) DatabaseError("Not in cached update mode");
}

void TMemDataSet::FlushBatch() { AssertionFailed("Should be overridden", __FILE__, __LINE__); }

// ---- the deferred post ----

void TMemDataSet::DeferredPost() {
  if (cached_updates_) return;
  UpdateRecord();
  if (GetState() != dsEdit && GetState() != dsInsert) return;
  DataEvent(deCheckBrowseMode, 0);
  CheckRequiredFields();
  UpdateCursorPos();
  InternalDeferredPost();
  if (!old_deferred_post_buf_) {
    old_deferred_post_buf_ = AllocRecordBuffer();
    record_set_->CreateComplexFields(old_deferred_post_buf_, false);
    SetOwnsComplexFields(old_deferred_post_buf_, true);
  }
  CopyRecordBuffer(ActiveBuffer(), old_deferred_post_buf_);
  in_deferred_post_ = true;
}

void TMemDataSet::InternalDeferredPost() {
  if (GetState() == dsEdit) {
    DoPerformUpdate();
  } else {
    DoPerformAppend();
  }
}

void TMemDataSet::CheckRequiredFields() {
  for (int i = 0; Fields().AnyRequired() && i < Fields().Count(); ++i) {
    TField* field = Fields().Fields(i);
    if (!field->Required() || field->ReadOnly() || field->FieldKind() != fkData || !field->IsNull()) continue;
    field->FocusControl();
    DatabaseErrorFmt(nullptr, "Field '%s' must have a value", field->DisplayName().c_str());
  }
}

// dest gets values of its own: copies of the source's blobs, variants and heap values.
void TMemDataSet::CopyRecordBuffer(TRecordBuffer source, TRecordBuffer dest) {
  FreeRefComplexFields(dest, true);
  std::memcpy(dest, source, static_cast<size_t>(rec_buf_size_));
  SetOwnsComplexFields(dest, false);
  if (!record_set_->GetHasComplexFields()) return;
  record_set_->CreateComplexFields(dest, true);
  SetOwnsComplexFields(dest, true);
  record_set_->CopyComplexFields(source, dest, false);
  TFieldDescs& descs = record_set_->GetFieldDescs();
  for (int i = 0; i < descs.Count(); ++i) {
    TFieldDesc* desc = descs.GetItems(i);
    if (desc->HasParent() || desc->GetFieldDescKind() == fdkCalculated) continue;
    if (!record_set_->IsBlobFieldType(desc->GetDataType())) continue;
    auto* from = TSharedObject::At<TBlob>(source + desc->GetOffset());
    auto* to = TSharedObject::At<TBlob>(dest + desc->GetOffset());
    if (!from || !to) continue;
    to->Assign(*from);
    // A copy has no earlier version: old values read its content.
    to->Commit();
  }
}

// ---- cached updates ----

void TMemDataSet::WithCacheBuffers(const std::function<void()>& operation) {
  DetachBlobStreams(nullptr);
  new_cache_rec_buf_ = AllocRecordBuffer();
  old_cache_rec_buf_ = AllocRecordBuffer();
  in_cache_processing_ = true;
  record_set_->SetCacheRecBuf(new_cache_rec_buf_, old_cache_rec_buf_);
  struct Finish {
    TMemDataSet& dataset;
    ~Finish() {
      dataset.in_cache_processing_ = false;
      dataset.record_set_->SetCacheRecBuf(nullptr, nullptr);
      dataset.FreeRecordBuffer(dataset.new_cache_rec_buf_);
      dataset.FreeRecordBuffer(dataset.old_cache_rec_buf_);
      // The walk moved the record set's cursor.
      dataset.CursorPosChanged();
    }
  } finish{*this};
  operation();
}

void TMemDataSet::ApplyUpdates() {
  CheckActive();
  FreeRefBuffers();
  if (GetState() != dsBrowse) Post();
  CheckCachedUpdateMode();
  UpdateCursorPos();
  WithCacheBuffers([this] { record_set_->ApplyUpdates(); });
  Resync({});
}

void TMemDataSet::CommitUpdates() {
  CheckActive();
  CheckCachedUpdateMode();
  FreeRefBuffers();
  UpdateCursorPos();
  WithCacheBuffers([this] { record_set_->CommitUpdates(); });
  Resync({});
}

// Rows may go (reverted inserts): streams reading them let go first.
void TMemDataSet::RunCachedOperation(const std::function<void()>& operation) {
  CheckCachedUpdateMode();
  UpdateCursorPos();
  DetachBlobStreams(nullptr);
  operation();
  CursorPosChanged();
  Resync({});
}

void TMemDataSet::CancelUpdates() {
  CheckActive();
  FreeRefBuffers();
  Cancel();
  RunCachedOperation([this] { record_set_->CancelUpdates(); });
}

void TMemDataSet::RestoreUpdates() {
  CheckActive();
  FreeRefBuffers();
  Cancel();
  RunCachedOperation([this] { record_set_->RestoreUpdates(); });
}

void TMemDataSet::RevertRecord() {
  CheckActive();
  const TDataSetState state = GetState();
  if (state == dsEdit || state == dsInsert || state == dsSetKey) Cancel();
  FreeRefComplexFields(ActiveBuffer(), true);
  RunCachedOperation([this] { record_set_->RevertRecord(); });
}

TUpdateStatus TMemDataSet::UpdateStatus() {
  if (!cached_updates_ || IsEmpty()) return usUnmodified;
  TRecordBuffer buffer = GetState() == dsCalcFields ? CalcBuffer() : ActiveBuffer();
  return buffer ? static_cast<TUpdateStatus>(UpdateStatusOf(buffer)) : usUnmodified;
}

TUpdateAction TMemDataSet::UpdateResult() {
  UpdateCursorPos();
  const TUpdateRecAction result = record_set_->GetUpdateResult();
  return result == urNone ? uaApplied : static_cast<TUpdateAction>(result);
}

bool TMemDataSet::UpdatesPending() { return record_set_->GetUpdatesPending(); }

TUpdateRecordTypes TMemDataSet::GetUpdateRecordTypes() {
  CheckCachedUpdateMode();
  const TItemTypes items = record_set_->GetFilterItemTypes();
  TUpdateRecordTypes result;
  for (const auto& [type, status] : kRecordTypes) {
    if (items.Contains(status)) result.Include(type);
  }
  return result;
}

void TMemDataSet::SetUpdateRecordTypes(TUpdateRecordTypes value) {
  CheckCachedUpdateMode();
  if (GetActive()) {
    UpdateCursorPos();
    if (GetState() == dsEdit || GetState() == dsInsert) {
      UpdateRecord();
      if (Modified()) {
        Post();
      } else {
        Cancel();
      }
    } else if (GetState() == dsSetKey) {
      Post();
    }
  }
  TItemTypes items;
  for (const auto& [type, status] : kRecordTypes) {
    if (value.Contains(type)) items.Include(status);
  }
  record_set_->SetFilterItemTypes(items);
  if (GetActive()) Resync({});
}

// ---- one cached record ----

void TMemDataSet::DoApplyRecord(TUpdateRecKind kind, TUpdateRecAction& action, bool last_item) {
  const KeepModified keep(*this);
  const TUpdateKind update_kind = ToUpdateKind(kind);
  TUpdateAction local = uaFail;
  try {
    if (on_update_record_) {
      on_update_record_(this, update_kind, local);
      if (local == uaFail && !DoNotRaiseExcetionOnUaFail) DatabaseError("Update failed");
      if (local == uaAbort) Abort();
    }
    if (!on_update_record_ || local == uaDefault) {
      switch (kind) {
        case ukUpdate: PerformUpdate(); break;
        case ukInsert: PerformAppend(); break;
        case ukDelete: PerformDelete(); break;
      }
      if (BatchUpdate()) {
        if (!CanFlushBatch() && !last_item) {
          action = urSuspended;
          return;
        }
        FlushBatch();
      }
      local = uaApplied;
    }
  } catch (EDatabaseError& error) {
    if (!on_update_error_) throw;
    on_update_error_(this, error, update_kind, local);
    if (local == uaFail) throw;
    if (local == uaAbort) Abort();
  }
  // An action the record set does not know leaves the record failed.
  action = local >= uaFail && local <= uaApplied ? static_cast<TUpdateRecAction>(local) : urFail;
}

}  // namespace dac
