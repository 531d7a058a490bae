// Editing a dataset's rows: the connection an edit may hold, posting (a
// detail row that no longer belongs to its master leaves the store, an
// inserted row may be read again), and the record store's write steps that
// send each change to the server.
#include <functional>

#include "dac/core/connection_component.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_internals.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/server/connection.h"
#include "dac/framework/classes/scoped_value.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/numeric_fields.h"
#include "dac/store/record/mem_data.h"

namespace dac {

// ---- edit, insert, cancel ----

namespace {

// Runs work holding the connection when preconnect is set; a failure gives it back.
void WithPreconnect(TCustomDADataSet& data_set, bool preconnect, const std::function<void()>& work) {
  if (preconnect) data_set.BeginConnection(true);
  try {
    work();
  } catch (...) {
    if (preconnect) data_set.EndConnection();
    throw;
  }
}

}  // namespace

void TCustomDADataSet::InternalEdit() {
  WithPreconnect(*this, IsNeedEditPreconnect(), [this] {
    InternalBeforeEdit();
    TMemDataSet::InternalEdit();
  });
}

void TCustomDADataSet::InternalInsert() {
  WithPreconnect(*this, IsNeedInsertPreconnect(), [this] { TMemDataSet::InternalInsert(); });
}

void TCustomDADataSet::InternalCancel() {
  const bool preconnected = IsPreconnected();
  TMemDataSet::InternalCancel();
  if (preconnected) EndConnection();
}

// ---- post ----

void TCustomDADataSet::InternalPost() {
  const bool inserting = GetState() == dsInsert;
  const bool preconnected = IsPreconnected();
  TMemDataSet::InternalPost();
  // A failed post keeps the edit and the connection it holds; Cancel or a
  // later post gives it back, once.
  struct Release {
    TCustomDADataSet& data_set;
    bool preconnected;
    ~Release() noexcept(false) {
      if (preconnected) data_set.EndConnection();
    }
  } release{*this, preconnected};
  if (IsConnectedToMaster() && TCustomDADataSetInternals::MasterActive(*this) &&
      !TCustomDADataSetInternals::MatchesMaster(*this)) {
    if (GetCachedUpdates()) AssertionFailed("Can not use Master/Detail with CachedUpdates", __FILE__, __LINE__);
    UpdateCursorPos();
    MemData()->RemoveRecord();
    return;
  }
  if (inserting && !GetCachedUpdates() && d_->refresh_options.Contains(roAfterInsert) && RefreshAfterInsertAllowed()) {
    InternalRefreshRecord();
  }
}

void TCustomDADataSet::InternalDeferredPost() {
  const bool inserting = GetState() == dsInsert;
  TScopedValue<bool> running(d_->deferred_post_running, true);
  TMemDataSet::InternalDeferredPost();
  if (inserting && !GetCachedUpdates() && d_->refresh_options.Contains(roAfterInsert) && RefreshAfterInsertAllowed()) {
    InternalRefreshRecord();
  }
}

// ---- the write steps ----

void TCustomDADataSet::PerformAppend() {
  if (!PerformSQL("", {stInsert})) return;
  GetIdentityField();
  if (d_->refresh_options.Contains(roAfterInsert) && GetInCacheProcessing() && RefreshAfterInsertAllowed()) {
    InternalRefreshRecord();
  }
}

void TCustomDADataSet::PerformUpdate() {
  if (PerformSQL("", {stUpdate}) && d_->refresh_options.Contains(roAfterUpdate)) InternalRefreshRecord();
}

void TCustomDADataSet::PerformDelete() { PerformSQL("", {stDelete}); }

// ---- what may change ----

// False when read-only or forward-only; true with local updates, an update
// handler under cached updates, or an update object.
bool TCustomDADataSet::GetCanModify() {
  if (d_->read_only || d_->uni_directional) return false;
  return GetLocalUpdate() || (GetCachedUpdates() && on_update_record_) || d_->update_object != nullptr;
}

// A large-integer data field takes the value without a variant conversion.
void TCustomDADataSet::SetStateFieldValue(TDataSetState state, TField* field, const Variant& value) {
  auto* large = dynamic_cast<TLargeintField*>(field);
  if (!large) return TMemDataSet::SetStateFieldValue(state, field, value);
  if (field->FieldKind() != fkData) return;
  TTempState temp(*this, state);
  if (value.IsEmptyOrNull()) {
    field->Clear();
  } else {
    large->SetAsLargeInt(value.AsInt64());
  }
}

}  // namespace dac
