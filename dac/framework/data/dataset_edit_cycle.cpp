// The edit cycle: edit, insert and append, post, cancel, delete, refresh.
#include "dac/framework/data/dataset.h"
#include "dac/framework/data/field.h"

namespace dac {

void TDataSet::EndEditForBrowse() {
  if (state_ == dsSetKey) {
    Post();
    return;
  }
  UpdateRecord();
  if (modified_) {
    Post();
  } else {
    Cancel();
  }
}

void TDataSet::NotEditingError() { DatabaseError("Dataset not in edit or insert mode", this); }

inline void TDataSet::CheckCanModify() {
  if (!GetCanModify()) DatabaseError("Cannot modify a read-only dataset", this);
}

void TDataSet::CheckOperation(const std::function<void()>& operation, const TDataSetErrorEvent& on_error) {
  for (;;) {
    try {
      UpdateCursorPos();
      operation();
      return;
    } catch (EDatabaseError& error) {
      TDataAction action = daFail;
      if (on_error) on_error(this, error, action);
      if (action == daFail) throw;
      if (action == daAbort) Abort();
    }
  }
}

void TDataSet::Edit() {
  if (state_ == dsEdit || state_ == dsInsert) return;
  CheckBrowseMode();
  CheckCanModify();
  if (IsEmpty()) {
    Insert();
    return;
  }
  DoBeforeEdit();
  CheckOperation([this] { InternalEdit(); }, on_edit_error_);
  try {
    CalculateFields(ActiveBuffer());
    SetState(dsEdit);
  } catch (...) {
    // The descendant has begun an edit that never became the state: end it.
    if (state_ != dsEdit) {
      try {
        TTempState editing(*this, dsEdit);
        InternalCancel();
      } catch (...) {
        // The first error is the one to report.
      }
    }
    throw;
  }
  DataEvent(deRecordChange, 0);
  DoAfterEdit();
}

// Inlined into Insert and Append: each runs once a record.
[[gnu::always_inline]] inline void TDataSet::BeginInsertAppend() {
  CheckBrowseMode();
  CheckCanModify();
  DoBeforeInsert();
  DoBeforeScroll();
}

[[gnu::always_inline]] inline void TDataSet::TakeBackMark(TBackMark& mark) {
  if (!ActiveBookmarked()) return;
  uint8_t* data = mark.inline_data;
  if (static_cast<size_t>(bookmark_size_) > sizeof mark.inline_data) [[unlikely]] {
    mark.heap = std::make_unique<uint8_t[]>(static_cast<size_t>(bookmark_size_));
    data = mark.heap.get();
  }
  GetBookmarkData(buffers_[static_cast<size_t>(active_record_)], data);  // not empty: bookmarked
  mark.data = data;
}

template <typename MakeRoom>
void TDataSet::EndInsertAppend(const TBackMark& back, const MakeRoom& make_room) {
  try {
    make_room();
    InternalInsert();
    SetState(dsInsert);
    DoOnNewRecord();
  } catch (...) {
    AbandonInsert(back);
    throw;
  }
  modified_ = false;
  DataEvent(deDataSetChange, 0);
  DoAfterInsert();
  DoAfterScroll();
}

void TDataSet::Insert() {
  BeginInsertAppend();
  TBackMark back;
  TakeBackMark(back);
  EndInsertAppend(back, [&] {
    // The new record takes the active record's place; the ring's last record
    // leaves when the ring is full.
    MoveBuffer(record_count_, active_record_);
    if (record_count_ < buffer_count_) ++record_count_;
    TRecordBuffer buffer = ActiveBuffer();
    InitRecord(buffer);
    if (back.empty()) {
      SetBookmarkFlag(buffer, bfBOF);
    } else {
      SetBookmarkData(buffer, back.data);
    }
  });
}

void TDataSet::Append() {
  BeginInsertAppend();
  TBackMark back;
  TakeBackMark(back);
  EndInsertAppend(back, [this] {
    ClearBuffers();
    TRecordBuffer buffer = buffers_.front();
    InitRecord(buffer);
    SetBookmarkFlag(buffer, bfEOF);
    record_count_ = 1;
    bof_ = false;
    ReadPriorRecords();
  });
}

void TDataSet::AbandonInsert(const TBackMark& back) {
  try {
    SetState(dsBrowse);
    CursorPosChanged();
    if (back.empty()) {
      InternalFirst();
    } else {
      InternalGotoBookmark(back.data);
    }
    Resync({});
  } catch (...) {
    // Nothing better than an empty ring is left; the insert's error goes on.
    ClearBuffers();
  }
}

inline bool TDataSet::EndingEdit() {
  if (state_ == dsSetKey) SetState(dsBrowse);
  if (state_ != dsEdit && state_ != dsInsert) return false;
  DataEvent(deCheckBrowseMode, 0);
  return true;
}

void TDataSet::Post() {
  UpdateRecord();
  if (!EndingEdit()) return;
  DoBeforePost();
  if (on_post_error_) {
    CheckOperation([this] { InternalPost(); }, on_post_error_);
  } else {
    // Without a handler an error only passes on: the same, without the wrapper.
    UpdateCursorPos();
    InternalPost();
  }
  SetState(dsBrowse);
  resync_after_post_ = true;
  try {
    Resync({});
  } catch (...) {
    resync_after_post_ = false;
    throw;
  }
  resync_after_post_ = false;
  DoAfterPost();
}

void TDataSet::Cancel() {
  if (!EndingEdit()) return;
  DoBeforeCancel();
  UpdateCursorPos();
  InternalCancel();
  SetState(dsBrowse);
  Resync({});
  DoAfterCancel();
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == dsInsert || state_ == dsSetKey) {
    Cancel();
    return;
  }
  if (IsEmpty()) DatabaseError("Cannot perform this operation on an empty dataset", this);
  DataEvent(deCheckBrowseMode, 0);
  DoBeforeDelete();
  DoBeforeScroll();
  CheckOperation([this] { InternalDelete(); }, on_delete_error_);
  SetState(dsBrowse);
  Resync({});
  DoAfterDelete();
  DoAfterScroll();
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  UpdateCursorPos();
  DoBeforeRefresh();
  try {
    InternalRefresh();
  } catch (...) {
    try {
      Resync({});
    } catch (...) {
      // The refresh's error is the one to report.
    }
    throw;
  }
  Resync({});
  DoAfterRefresh();
}

void TDataSet::CheckRequiredFields() {
  const std::vector<TField*>& fields = Fields().List();
  for (size_t i = 0; i < fields.size(); ++i) {
    TField* field = fields[i];
    if (field->Required() && !field->ReadOnly() && field->FieldKind() == fkData && field->IsNull()) {
      field->FocusControl();
      DatabaseErrorFmt(nullptr, "Field '%s' must have a value", field->DisplayName().c_str());
    }
  }
}

}  // namespace dac
