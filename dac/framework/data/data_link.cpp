#include "dac/framework/data/data_link.h"

#include <algorithm>

#include "dac/framework/data/data_source.h"
#include "dac/framework/data/dataset.h"

namespace dac {

TDataLink::~TDataLink() {
  TDataSource* source = source_;
  if (!source) return;
  source->ForgetDataLink(this);
  try {
    if (TDataSet* dataset = source->DataSet()) dataset->UpdateBufferCount();
  } catch (...) {
    // The ring keeps its size; nothing may leave a destructor.
  }
}

void TDataLink::SetDataSource(TDataSource* source) {
  if (source == source_) return;
  if (source_) source_->RemoveDataLink(this);
  if (source) source->AddDataLink(this);
}

TDataSet* TDataLink::DataSet() const { return source_ ? source_->DataSet() : nullptr; }

void TDataLink::SetBufferCount(int count) {
  count = std::max(count, 1);
  if (count == buffer_count_) return;
  buffer_count_ = count;
  if (TDataSet* dataset = DataSet()) dataset->UpdateBufferCount();
  if (active_) FollowActive(0);
}

int TDataLink::ActiveRecord() const {
  const TDataSet* dataset = DataSet();
  if (!dataset || source_->State() == dsSetKey) return 0;
  return dataset->active_record_ - first_record_;
}

void TDataLink::SetActiveRecord(int value) {
  TDataSet* dataset = DataSet();
  if (!dataset || source_->State() == dsSetKey) return;
  if (value < 0 || value >= RecordCount()) ListIndexError(value);
  dataset->active_record_ = first_record_ + value;
}

int TDataLink::RecordCount() const {
  const TDataSet* dataset = DataSet();
  if (!dataset) return 0;
  if (source_->State() == dsSetKey) return 1;
  return std::clamp(dataset->record_count_ - first_record_, 0, buffer_count_);
}

bool TDataLink::Edit() {
  if (source_) source_->Edit();
  return editing_;
}

void TDataLink::UpdateRecord() {
  updating_ = true;
  try {
    UpdateData();
  } catch (...) {
    updating_ = false;
    throw;
  }
  updating_ = false;
}

void TDataLink::DataEvent(TDataEvent event, intptr_t info) {
  if (event == deUpdateState) {
    UpdateState();
    return;
  }
  if (!active_) return;
  switch (event) {
    case deFieldChange:
    case deRecordChange:
      if (!updating_) RecordChanged(reinterpret_cast<TField*>(info));
      break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange: {
      const int moved = FollowActive(static_cast<int>(info));
      if (event == deDataSetScroll) {
        DataSetScrolled(moved);
      } else if (event == deLayoutChange) {
        LayoutChanged();
      } else {
        DataSetChanged();
      }
      break;
    }
    case deUpdateRecord:
      UpdateRecord();
      break;
    case deCheckBrowseMode:
      CheckBrowseMode();
      break;
    case deFocusControl:
      FocusControl(reinterpret_cast<TField*>(info));
      break;
    default:
      break;
  }
}

void TDataLink::UpdateState() {
  const TDataSetState state = source_ ? source_->State() : dsInactive;
  SetActive(state != dsInactive);
  SetEditing(state == dsEdit || state == dsInsert || state == dsSetKey);
}

void TDataLink::SetActive(bool value) {
  if (value == active_) return;
  active_ = value;
  first_record_ = 0;
  if (value) FollowActive(0);
  ActiveChanged();
}

void TDataLink::SetEditing(bool value) {
  if (value == editing_) return;
  editing_ = value;
  EditingChanged();
}

int TDataLink::FollowActive(int shift) {
  const TDataSet* dataset = DataSet();
  if (!dataset || source_->State() == dsSetKey) return 0;
  const int start = first_record_ + shift;
  const int active = dataset->active_record_;
  int first = start;
  if (active > first + buffer_count_ - 1) {
    first = active - buffer_count_ + 1;
  } else if (active < first) {
    first = active;
  }
  first_record_ = std::max(first, 0);
  return first_record_ - start;
}

}  // namespace dac
