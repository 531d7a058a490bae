// TMemDataSet: editing records with their blobs and other values, the
// changes that reach the server, and filtering.
#include <cstring>

#include "dac/framework/classes/application.h"
#include "dac/framework/data/blob_fields.h"
#include "dac/framework/data/field.h"
#include "dac/store/blob/blob.h"
#include "dac/store/dataset/mem_dataset.h"
#include "dac/store/runtime/marshal.h"
#include "platform/ascii.h"

namespace dac {

// ---- editing ----

void TMemDataSet::ClearDeferredPost() {
  in_deferred_post_ = false;
  if (old_deferred_post_buf_) FreeRecordBuffer(old_deferred_post_buf_);
}

void TMemDataSet::InternalInsert() {
  ClearDeferredPost();
  in_inserting_ = true;
}

void TMemDataSet::InternalEdit() {
  ClearDeferredPost();
  FreeRefComplexFields(ActiveBuffer(), true);
  // The stored record gets copies of its values; the buffer keeps the old ones.
  record_set_->EditRecord(ActiveBuffer());
  in_editing_ = true;
}

void TMemDataSet::InternalAddRecord(const void* buffer, bool append) {
  void* record = const_cast<void*>(buffer);
  if (append) {
    record_set_->AppendRecord(record);
  } else {
    record_set_->InsertRecord(record);
  }
}

void TMemDataSet::MarkModifiedBlobFields(TRecordBuffer active) {
  for (int i = 0; record_set_->HasBlobFields() && i < Fields().Count(); ++i) {
    TField* data_field = Fields().Fields(i);
    if (data_field->FieldKind() != fkData || !data_field->IsBlob()) continue;
    auto* field = dynamic_cast<TBlobField*>(data_field);
    TFieldDesc* desc = field ? GetFieldDesc(field) : nullptr;
    if (!desc || !record_set_->IsBlobFieldType(desc->GetDataType())) continue;
    auto* blob = dynamic_cast<TBlob*>(record_set_->GetObject(desc->GetFieldNo(), active));
    if (blob && blob->GetModified()) field->SetModified(true);
  }
}

void TMemDataSet::InternalPost() {
  TDataSet::InternalPost();
  TRecordBuffer active = ActiveBuffer();
  if (record_set_->HasBlobFields()) MarkModifiedBlobFields(active);
  if (TDataSet::GetState() != dsEdit) {
    record_set_->InsertRecord(active);
    // The row holds the record's values now.
    SetOwnsComplexFields(active, false);
  } else {
    record_set_->PostRecord(active);
  }
  ClearDeferredPost();
  in_inserting_ = in_editing_ = false;
}

void TMemDataSet::InternalDelete() {
  if (!GetCanModify()) DatabaseError("Cannot modify a read-only dataset");
  // The row's values go with it: streams reading them let go first.
  DetachBlobStreams(nullptr);
  record_set_->DeleteRecord();
  in_inserting_ = in_editing_ = false;
}

void TMemDataSet::Cancel() {
  const TDataSetState state = GetState();
  TRecordBuffer copy = nullptr;
  if ((state == dsEdit || state == dsInsert) && record_set_->GetHasComplexFields()) {
    // The values stay alive until the cancel has read the record again.
    copy = static_cast<TRecordBuffer>(Marshal::AllocHGlobal(static_cast<size_t>(rec_buf_size_)));
    std::memcpy(copy, ActiveBuffer(), static_cast<size_t>(rec_buf_size_));
    record_set_->AddRefComplexFields(copy);
  }
  struct ReleaseCopy {
    TData* data;
    TRecordBuffer copy;
    ~ReleaseCopy() {
      if (!copy) return;
      data->FreeComplexFields(copy, true);
      Marshal::FreeHGlobal(copy);
    }
  } release{record_set_, copy};
  TDataSet::Cancel();
}

void TMemDataSet::InternalCancel() {
  ClearDeferredPost();
  const bool inserting = in_inserting_;
  const bool editing = in_editing_;
  in_inserting_ = in_editing_ = false;
  if (GetState() == dsEdit && editing) {
    record_set_->CancelRecord(ActiveBuffer());
  } else if (GetState() == dsInsert && inserting) {
    DetachBlobStreams(ActiveBuffer());
    FreeRefComplexFields(ActiveBuffer(), true);
  }
}

void TMemDataSet::SetDefaultExpressionValue(TField* field) { field->SetAsString(field->DefaultExpression()); }

void TMemDataSet::DoOnNewRecord() {
  try {
    if (Fields().AnyDefaultExpression()) SetDefaultValues();
    TDataSet::DoOnNewRecord();
  } catch (...) {
    InternalCancel();
    throw;
  }
}

void TMemDataSet::SetDefaultValues() {
  // Read afresh at every step: a default value's handlers may change the list.
  const std::vector<TField*>& fields = Fields().List();
  for (size_t i = 0; Fields().AnyDefaultExpression() && i < fields.size(); ++i) {
    TField* field = fields[i];
    if (!field->DefaultExpression().empty()) SetDefaultExpressionValue(field);
  }
}

// ---- changes reaching the server ----

void TMemDataSet::DoPerformAppend() {
  if (local_update_) return;
  const KeepModified keep(*this);
  // After a deferred post the row is on the server already.
  if (in_deferred_post_) {
    PerformUpdate();
  } else {
    PerformAppend();
  }
}

void TMemDataSet::DoPerformUpdate() {
  if (local_update_) return;
  const KeepModified keep(*this);
  PerformUpdate();
}

void TMemDataSet::DoPerformDelete() {
  if (local_update_) return;
  const KeepModified keep(*this);
  PerformDelete();
}

// ---- filters ----

bool TMemDataSet::RecordFilter(void* buffer) {
  bool accept = true;
  TTempState filtering(*this, dsFilter);
  TRecordBuffer saved = filter_buffer_;
  filter_buffer_ = static_cast<TRecordBuffer>(buffer);
  try {
    OnFilterRecord()(this, accept);
  } catch (const std::exception& error) {
    ApplicationHandleException(this, error);
  }
  filter_buffer_ = saved;
  return accept;
}

// The record set takes the text without checking its rows: every caller
// lets it check them once afterwards (FilterUpdated).
void TMemDataSet::ActivateFilters() {
  DeactivateFilters();
  if (OnFilterRecord()) record_set_->SetFilterFunc([this](void* buffer) { return RecordFilter(buffer); });
  const std::string_view text = plat::TrimBlanks(Filter());
  if (!text.empty()) record_set_->TData::SetFilterText(std::string(text));
}

void TMemDataSet::DeactivateFilters() {
  record_set_->SetFilterFunc(nullptr);
  record_set_->TData::SetFilterText("");
}

void TMemDataSet::SetFiltered(bool value) {
  if (GetActive()) {
    CheckBrowseMode();
    UpdateCursorPos();
  }
  if (value == Filtered()) return;
  if (GetActive()) {
    if (value) {
      ActivateFilters();
    } else {
      DeactivateFilters();
    }
    record_set_->FilterUpdated();
  }
  // Stores the value and reads from the first record when open.
  TDataSet::SetFiltered(value);
}

void TMemDataSet::SetFilterText(const std::string& text) { SetFilterData(text, FilterOptions()); }

void TMemDataSet::SetFilterOptions(TFilterOptions options) { SetFilterData(Filter(), options); }

void TMemDataSet::SetFilterData(const std::string& text, TFilterOptions options) {
  if (GetActive()) {
    CheckBrowseMode();
    UpdateCursorPos();
  }
  if (text == Filter() && options == FilterOptions()) return;
  if (record_set_) {
    record_set_->SetFilterCaseInsensitive(options.Contains(foCaseInsensitive));
    record_set_->SetFilterNoPartialCompare(options.Contains(foNoPartialCompare));
    const std::string shown = Filtered() ? std::string(plat::TrimBlanks(text)) : std::string();
    const bool changes = shown != record_set_->GetFilterText();
    // Checked once below, not also as the text changes.
    record_set_->TData::SetFilterText(shown);
    if (GetActive() && (Filtered() || changes)) record_set_->FilterUpdated();
  }
  // These store the values and read from the first record when filtered.
  TDataSet::SetFilterText(text);
  TDataSet::SetFilterOptions(options);
}

void TMemDataSet::SetOnFilterRecord(TFilterRecordEvent handler) {
  if (GetActive()) {
    CheckBrowseMode();
    UpdateCursorPos();
  }
  if (record_set_) {
    const bool install = Filtered() && handler;
    record_set_->SetFilterFunc(install ? TFilterFunc([this](void* buffer) { return RecordFilter(buffer); }) : nullptr);
    if (GetActive()) record_set_->FilterUpdated();
  }
  TDataSet::SetOnFilterRecord(std::move(handler));
}

bool TMemDataSet::FindRecord(bool restart, bool go_forward) {
  CheckBrowseMode();
  DoBeforeScroll();
  SetFound(false);
  UpdateCursorPos();
  CursorPosChanged();
  // Unfiltered, the filter applies for the search only.
  const bool search_filter = !Filtered();
  const auto set_search_filter = [&](bool on) {
    if (on) {
      ActivateFilters();
    } else {
      DeactivateFilters();
    }
    record_set_->FilterUpdated();
  };
  if (search_filter) set_search_filter(true);
  try {
    if (restart) {
      if (go_forward) {
        record_set_->SetToBegin();
      } else {
        record_set_->SetToEnd();
      }
    }
    if (go_forward) {
      record_set_->GetNextRecord(nullptr);
    } else {
      record_set_->GetPriorRecord(nullptr);
    }
  } catch (...) {
    if (search_filter) set_search_filter(false);
    throw;
  }
  const bool found = !record_set_->GetBOF() && !record_set_->GetEOF();
  if (search_filter) set_search_filter(false);
  if (found) {
    Resync({rmExact, rmCenter});
    SetFound(true);
    DoAfterScroll();
  }
  return found;
}

}  // namespace dac
