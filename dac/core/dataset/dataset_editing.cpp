// Editing a dataset's rows: the connection an edit may hold, posting (a
// detail row that no longer belongs to its master leaves the store, an
// inserted row may be read again), and the record store's write steps that
// send each change to the server.
#include <functional>

#include "dac/core/connection_component.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/server/connection.h"
#include "dac/framework/classes/scoped_value.h"
#include "dac/framework/data/data_source.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/fields.h"
#include "dac/framework/data/numeric_fields.h"
#include "dac/store/record/mem_data.h"
#include "platform/locale_compare.h"

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

bool TCustomDADataSet::MatchesMaster() {
  TDataSet* master = GetMasterSource()->DataSet();
  TCustomDAConnection* used = UsedConnection();
  const bool case_insensitive = used && !used->IsCaseSensitive();
  for (size_t m = 1, d = 1; m <= master_fields_.size() && d <= detail_fields_.size();) {
    TField* master_field = master->FindField(ExtractFieldName(master_fields_, m));
    TField* detail_field = FindField(ExtractFieldName(detail_fields_, d));
    if (!master_field || !detail_field) continue;
    const Variant detail_value = detail_field->Value();
    const Variant master_value = master_field->Value();
    const bool equal =
        case_insensitive && detail_value.IsString() && master_value.IsString()
            ? plat::LocaleCompareWide(detail_value.AsWideString(), master_value.AsWideString(), true) == 0
            : detail_value == master_value;
    if (!equal) return false;
  }
  return true;
}

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
  if (IsConnectedToMaster() && MasterActive() && !MatchesMaster()) {
    if (GetCachedUpdates()) AssertionFailed("Can not use Master/Detail with CachedUpdates", __FILE__, __LINE__);
    UpdateCursorPos();
    MemData()->RemoveRecord();
    return;
  }
  if (inserting && !GetCachedUpdates() && refresh_options_.Contains(roAfterInsert) && RefreshAfterInsertAllowed()) {
    InternalRefreshRecord();
  }
}

void TCustomDADataSet::InternalDeferredPost() {
  const bool inserting = GetState() == dsInsert;
  TScopedValue<bool> running(deferred_post_running_, true);
  TMemDataSet::InternalDeferredPost();
  if (inserting && !GetCachedUpdates() && refresh_options_.Contains(roAfterInsert) && RefreshAfterInsertAllowed()) {
    InternalRefreshRecord();
  }
}

// ---- the write steps ----

void TCustomDADataSet::PerformAppend() {
  if (!PerformSQL("", {stInsert})) return;
  GetIdentityField();
  if (refresh_options_.Contains(roAfterInsert) && GetInCacheProcessing() && RefreshAfterInsertAllowed()) {
    InternalRefreshRecord();
  }
}

void TCustomDADataSet::PerformUpdate() {
  if (PerformSQL("", {stUpdate}) && refresh_options_.Contains(roAfterUpdate)) InternalRefreshRecord();
}

void TCustomDADataSet::PerformDelete() { PerformSQL("", {stDelete}); }

// ---- what may change ----

bool TCustomDADataSet::GetCanModify() {
  if (read_only_ || uni_directional_) return false;
  return GetLocalUpdate() || (GetCachedUpdates() && on_update_record_) || update_object_ != nullptr;
}

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
