// The dataset's life: opening and closing, states, controls and the events
// that reach the data sources.
#include "dac/framework/data/dataset.h"

#include <algorithm>

#include "dac/framework/classes/application.h"
#include "dac/framework/classes/with_cleanup.h"
#include "dac/framework/data/data_source.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/object_fields.h"

namespace dac {

DAC_DEFINE_CLASS(TDataSet, TDataSetBase, ::dac::TComponentClass)

TDataSet::TDataSet(TComponent* owner) : TDataSetBase(owner) {}

void TDataSet::BeforeDestruction() {
  try {
    if (GetActive()) CloseDataSet();
  } catch (const std::exception& error) {
    ApplicationHandleException(this, error);
  }
  // A source detaches itself before it tells its links, so the loop ends.
  while (!data_sources_.empty()) {
    try {
      data_sources_.back()->SetDataSet(nullptr);
    } catch (const std::exception& error) {
      ApplicationHandleException(this, error);
    }
  }
  DestroyFields();
  TDataSetBase::BeforeDestruction();
}

// ---- opening and closing ----

bool TDataSet::GetActive() const { return state_ != dsInactive && state_ != dsOpening; }

void TDataSet::SetActive(bool value) {
  if (ComponentState().Contains(csReading)) {
    streamed_active_ = value;
    return;
  }
  if (value == GetActive()) return;
  if (value) {
    OpenDataSet();
  } else {
    CloseDataSet();
  }
}

void TDataSet::OpenDataSet() {
  DoBeforeOpen();
  try {
    OpenCursor(false);
    AllocateRing(WantedBufferCount());
    InternalFirst();
    ReadNextRecords();
    bof_ = true;
  } catch (...) {
    try {
      CloseCursor();
    } catch (...) {
      // The opening error is the one to report.
    }
    throw;
  }
  SetState(dsBrowse);
  DoAfterOpen();
  if (!IsEmpty()) DoAfterScroll();
}

void TDataSet::CloseDataSet() {
  const bool destroying = ComponentState().Contains(csDestroying);
  if (!destroying) DoBeforeClose();
  try {
    SetState(dsInactive);
  } catch (...) {
    CloseCursor();
    throw;
  }
  CloseCursor();
  if (!destroying) DoAfterClose();
}

void TDataSet::OpenCursor(bool info_query) {
  if (info_query) {
    // Closing an information-only cursor must not take fields for default ones.
    default_fields_ = false;
    InternalInitFieldDefs();
    return;
  }
  default_fields_ = Fields().Count() == 0;
  InternalOpen();
}

void TDataSet::CloseCursor() {
  try {
    InternalClose();
  } catch (...) {
    FreeRing();
    default_fields_ = false;
    throw;
  }
  FreeRing();
  default_fields_ = false;
}

void TDataSet::InitFieldDefs() {
  if (IsCursorOpen()) {
    InternalInitFieldDefs();
    return;
  }
  WithCleanup([this] { OpenCursor(true); }, [this] { CloseCursor(); });
}

void TDataSet::Loaded() {
  TDataSetBase::Loaded();
  if (!streamed_active_) return;
  try {
    SetActive(true);
  } catch (...) {
    if (!ComponentState().Contains(csDesigning)) throw;
    InternalHandleException();
  }
}

void TDataSet::ClosedError() const { DatabaseError("Cannot perform this operation on a closed dataset", this); }

void TDataSet::CheckInactive() {
  if (!GetActive()) return;
  if (ComponentState().Contains(csUpdating) || ComponentState().Contains(csDesigning)) {
    Close();
    return;
  }
  DatabaseError("Cannot perform this operation on an open dataset", this);
}

void TDataSet::InternalHandleException() {
  if (!std::current_exception()) return;
  try {
    throw;
  } catch (const std::exception& error) {
    ApplicationHandleException(this, error);
  } catch (...) {
    ApplicationHandleException(this, Exception("Unknown error in " + Name()));
  }
}

// ---- states ----

TDataSetState TDataSet::SetTempState(TDataSetState state) {
  const TDataSetState saved = state_;
  state_ = state;
  ++temp_state_depth_;
  return saved;
}

void TDataSet::RestoreState(TDataSetState state) {
  state_ = state;
  if (temp_state_depth_ > 0) --temp_state_depth_;
}

// ---- controls and events ----

void TDataSet::DisableControls() {
  if (disable_count_ == 0) {
    disable_state_ = state_;
    enable_event_ = deDataSetChange;
  }
  ++disable_count_;
}

void TDataSet::EnableControls() {
  if (disable_count_ == 0 || --disable_count_ > 0) return;
  if (disable_state_ != state_) DataEvent(deUpdateState, 0);
  if (disable_state_ != dsInactive && state_ != dsInactive) DataEvent(enable_event_, 0);
}

void TDataSet::DataEvent(TDataEvent event, intptr_t info) {
  // Several events go out for every record edited: the usual ones, without
  // sources or handlers, make no call and need no frame (the rest go on in
  // a tail call).
  if (event == deFieldChange) {
    auto* field = reinterpret_cast<TField*>(info);
    if (field) {
      // fkData and fkInternalCalc, in one test.
      const bool data = ((1u << field->FieldKind()) & (1u << fkData | 1u << fkInternalCalc)) != 0;
      if (data) modified_ = true;
      if ((data && computes_fields_) || field->HasOnChange()) {
        return RunFieldChange(field, data);
      }
    }
  } else if (event == dePropertyChange || event == deLayoutChange) {
    return RunDataEvent(event, info);
  }
  if (!data_sources_.empty()) NotifyEnabledSources(event, info);
}

void TDataSet::RunFieldChange(TField* field, bool data) {
  if (data) UpdateCalcFields();
  field->Change();
  if (!data_sources_.empty()) NotifyEnabledSources(deFieldChange, reinterpret_cast<intptr_t>(field));
}

void TDataSet::RunDataEvent(TDataEvent event, intptr_t info) {
  if (event == dePropertyChange) {
    FieldDefs().SetUpdated(false);
  } else if (ControlsDisabled()) {
    enable_event_ = deLayoutChange;
  }
  if (!data_sources_.empty()) NotifyEnabledSources(event, info);
}

void TDataSet::NotifyEnabledSources(TDataEvent event, intptr_t info) {
  if (ControlsDisabled() || temp_state_depth_ > 0 || state_ == dsBlockRead) return;
  NotifySources(event, info);
}

void TDataSet::NotifySources(TDataEvent event, intptr_t info) {
  if (data_sources_.empty()) return;
  // Handlers may detach sources: only those still attached hear the event.
  const std::vector<TDataSource*> sources = data_sources_;
  for (TDataSource* source : sources) {
    if (std::find(data_sources_.begin(), data_sources_.end(), source) != data_sources_.end()) {
      source->DataEvent(event, info);
    }
  }
}

void TDataSet::UpdateCalcFields() {
  if (!computes_fields_) return;  // nothing to calculate
  if (auto_calc_fields_ && (state_ == dsEdit || state_ == dsInsert)) CalculateFields(ActiveBuffer());
}

void TDataSet::AddDataSource(TDataSource* source) {
  data_sources_.push_back(source);
  UpdateBufferCount();
}

void TDataSet::RemoveDataSource(TDataSource* source) {
  const auto it = std::find(data_sources_.begin(), data_sources_.end(), source);
  if (it == data_sources_.end()) return;
  data_sources_.erase(it);
  UpdateBufferCount();
}

void TDataSet::GetDetailLinkFields(std::vector<TField*>& master_fields, std::vector<TField*>& detail_fields) {
  master_fields.clear();
  detail_fields.clear();
}

std::vector<TDataSet*> TDataSet::NestedDataSets() const {
  std::vector<TDataSet*> nested;
  for (int i = 0; i < Fields().Count(); ++i) {
    const auto* field = dynamic_cast<const TDataSetField*>(Fields().Fields(i));
    if (!field) continue;
    if (auto* dataset = dynamic_cast<TDataSet*>(field->NestedDataSet())) nested.push_back(dataset);
  }
  return nested;
}

void TDataSet::SetObjectView(bool value) {
  CheckInactive();
  object_view_ = value;
}

void TDataSet::SetSparseArrays(bool value) {
  CheckInactive();
  sparse_arrays_ = value;
}

}  // namespace dac
