// A detail dataset follows its master: through parameters named as master
// fields (read again, at once or after DetailDelay, when the master moves),
// or in memory with LocalMasterDetail, where a filter (TLocalDetailFilter)
// keeps the rows whose detail fields equal the master's values. The master
// and detail field lists live here.
#include "dac/core/connection_component.h"
#include "dac/core/da_param.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_internals.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/server/connection.h"
#include "dac/core/server/messages.h"
#include "dac/core/sql_component.h"
#include "dac/core/trace/sql_monitor.h"
#include "dac/framework/classes/with_cleanup.h"
#include "dac/framework/data/data_source.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/fields.h"
#include "dac/store/record/mem_data.h"
#include "dac/store/runtime/host_hooks.h"
#include "dac/store/runtime/win32_timer.h"
#include "platform/locale_compare.h"

namespace dac {

// ---- the link ----

bool TCustomDADataSet::IsConnectedToMaster() const {
  return GetMasterSource() && !d_->master_fields.empty() && !d_->detail_fields.empty();
}

bool TCustomDADataSetInternals::MasterActive(const TCustomDADataSet& data_set) {
  TDataSource* source = data_set.GetMasterSource();
  return source && source->DataSet() && source->DataSet()->GetActive();
}

void TCustomDADataSet::SetMasterFields(const std::string& value) {
  if (value == d_->master_fields) return;
  const bool was_linked = IsConnectedToMaster();
  d_->master_fields = value;
  if (was_linked || IsConnectedToMaster()) RefreshDetailSQL();
}

void TCustomDADataSet::SetDetailFields(const std::string& value) {
  if (value == d_->detail_fields) return;
  const bool was_linked = IsConnectedToMaster();
  d_->detail_fields = value;
  if (was_linked || IsConnectedToMaster()) RefreshDetailSQL();
}

void TCustomDADataSet::GetDetailLinkFields(std::vector<TField*>& master_fields, std::vector<TField*>& detail_fields) {
  master_fields.clear();
  detail_fields.clear();
  TDataSource* source = GetMasterSource();
  TDataSet* master = source ? source->DataSet() : nullptr;
  if (!master) return;
  const auto add = [&](TField* master_field, TField* detail_field) {
    master_fields.push_back(master_field);
    if (detail_field) detail_fields.push_back(detail_field);
  };
  if (ParamCount() > 0) {
    for (int i = 0; i < ParamCount(); ++i) {
      const std::string& name = Params().Items(i)->Name();
      if (TField* master_field = master->FindField(name)) add(master_field, FindField(name));
    }
    return;
  }
  if (d_->master_fields.empty() || d_->detail_fields.empty() || !master->GetActive()) return;
  for (size_t m = 1, d = 1; m <= d_->master_fields.size() && d <= d_->detail_fields.size();) {
    const std::string master_name = ExtractFieldName(d_->master_fields, m);
    const std::string detail_name = ExtractFieldName(d_->detail_fields, d);
    if (TField* master_field = master->FindField(master_name)) add(master_field, FindField(detail_name));
  }
}

void TCustomDADataSet::DoOnNewRecord() {
  TDataSource* source = GetMasterSource();
  TDataSet* master = source ? source->DataSet() : nullptr;
  if (master && master->GetActive() && !d_->master_fields.empty() && !d_->detail_fields.empty()) {
    for (size_t m = 1, d = 1; m <= d_->master_fields.size() && d <= d_->detail_fields.size();) {
      TField* master_field = master->FindField(ExtractFieldName(d_->master_fields, m));
      TField* detail_field = FindField(ExtractFieldName(d_->detail_fields, d));
      if (master_field && detail_field && !detail_field->ReadOnly()) detail_field->SetValue(master_field->Value());
    }
  }
  TMemDataSet::DoOnNewRecord();
}

// The posted row's detail fields against the master's current ones; texts
// compare without case on a connection that is not case-sensitive.
bool TCustomDADataSetInternals::MatchesMaster(TCustomDADataSet& data_set) {
  TDataSet* master = data_set.GetMasterSource()->DataSet();
  TCustomDAConnection* used = data_set.UsedConnection();
  const bool case_insensitive = used && !used->IsCaseSensitive();
  const std::string& master_fields = data_set.d_->master_fields;
  const std::string& detail_fields = data_set.d_->detail_fields;
  for (size_t m = 1, d = 1; m <= master_fields.size() && d <= detail_fields.size();) {
    TField* master_field = master->FindField(ExtractFieldName(master_fields, m));
    TField* detail_field = data_set.FindField(ExtractFieldName(detail_fields, d));
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

// ---- the detail's SQL and the delay ----

void TCustomDADataSet::RefreshDetailSQL() {
  const bool was_open = GetActive();
  Close();
  UnPrepare();
  AssembleSQL();
  if (was_open) Open();
}

std::unique_ptr<ITimerService> TCustomDADataSet::MakeDetailTimerService() { return MakeLoopTimerService(); }

void TCustomDADataSet::CheckRefreshDetailTimer() {
  if (d_->detail_refresh_timer) return;
  d_->detail_refresh_timer = MakeComponent<TWin32Timer>(this, MakeDetailTimerService());
  d_->detail_refresh_timer->SetEnabled(false);
  d_->detail_refresh_timer->SetOnTimer([this](TObject* sender) { RefreshDetail(sender); });
}

void TCustomDADataSetInternals::FreeDetailRefreshTimer(TCustomDADataSet& data_set) {
  TComponent::FreeAndNil(data_set.d_->detail_refresh_timer);
}

// ---- following the master ----

void TCustomDADataSet::RefreshParams() {
  FreeRefBuffers();
  TDataSource* source = GetMasterSource();
  TDataSet* master = source ? source->DataSet() : nullptr;
  if (!master || !master->GetActive() || master->GetState() == dsSetKey) return;
  if (!SetMasterParams(Params())) return;
  // Rapid moves of the master refresh the detail once, after the delay.
  if (d_->detail_refresh_timer && d_->detail_refresh_timer->GetInterval() != 0) {
    d_->detail_refresh_timer->SetEnabled(false);
    d_->detail_refresh_timer->SetEnabled(true);
    return;
  }
  RefreshDetail(this);
}

void TCustomDADataSet::RefreshDetail(TObject*) {
  if (d_->detail_refresh_timer) d_->detail_refresh_timer->SetEnabled(false);
  if (Options().GetLocalMasterDetail()) {
    Data()->FilterUpdated();
    Resync({});
    First();
    return;
  }
  const bool traced = Traced();
  int32_t message_id = 0;
  const auto report = [&](bool before) {
    if (!traced) return;
    UsedConnection()->SQLMonitorClass().SQLExecute(this, GetFinalSQL(), &Params(), "Refresh", message_id, before);
  };
  report(true);
  // The command's report or the last fetched block gives the reference
  // back; a failure gives it back here.
  TConnectionHold::Statement hold(d_->connection_hold);
  try {
    DisableControls();
    WithCleanup([&] { TCustomDADataSetInternals::ReopenDetail(*this); }, [&] { EnableControls(); });
  } catch (...) {
    hold.GiveBackQuietly();
    throw;
  }
  hold.Finish(true);
  report(false);
  TCustomDADataSetInternals::CountRecords(*this);
  SetRowsAffected(-1);
}

// The rows of the master's new values, the cursor kept where it can be.
void TCustomDADataSetInternals::ReopenDetail(TCustomDADataSet& data_set) {
  StartWait();
  data_set.GetCommand()->WriteParams(true);
  data_set.DoBeforeRefresh();
  data_set.CheckBrowseMode();
  data_set.UpdateCursorPos();
  WithCleanup(
      [&] {
        data_set.d_->connection_hold.ReleaseCursor();
        data_set.DataReopen();
        TMemData* mem_data = data_set.MemData();
        if (mem_data && !mem_data->GetSortColumns().empty()) mem_data->SortItems();
      },
      [&] {
        data_set.Resync({});
        data_set.DoAfterRefresh();
        if (!data_set.IsEmpty()) data_set.DoAfterScroll();
      });
}

bool TCustomDADataSet::SetMasterParams(TDAParams& params) {
  if (Options().GetLocalMasterDetail()) return TCustomDADataSetInternals::SetLocalMasterLinks(*this);
  return TCustomDADataSetInternals::SetServerMasterParams(*this, params);
}

bool TCustomDADataSetInternals::SetServerMasterParams(TCustomDADataSet& data_set, TDAParams& params) {
  TDataSource* source = data_set.GetMasterSource();
  TDataSet* master = source ? source->DataSet() : nullptr;
  if (!master) return false;
  bool changed = false;
  for (int i = 0; i < params.Count(); ++i) {
    TDAParam* param = params.Items(i);
    TField* field = master->FindField(param->Name());
    if (!field) continue;
    param->SetDataType(field->DataType());
    if (param->IsObjectDataType()) {
      auto* master_data_set = dynamic_cast<TCustomDADataSet*>(master);
      TSharedObject* object = master_data_set ? master_data_set->GetFieldObject(field) : nullptr;
      changed = data_set.NeedDetailRefresh(param, object) || changed;
    } else {
      const Variant old = param->Value();
      const Variant value = field->Value();
      const bool same = old.IsEmptyOrNull() ? field->IsNull() : old == value;
      param->AssignFieldValue(field, value);
      changed = changed || !same;
    }
    param->SetParamType(ptInput);
  }
  return changed;
}

// The filter keeps its own copies of the master's values: the master may
// scroll, fetch or close while the filter stands.
bool TCustomDADataSetInternals::SetLocalMasterLinks(TCustomDADataSet& data_set) {
  TDataSource* source = data_set.GetMasterSource();
  auto* master = dynamic_cast<TCustomDADataSet*>(source ? source->DataSet() : nullptr);
  DAC_ASSERT(master != nullptr, "The master of a local detail must be a data-access dataset");
  TDADataSetFields& d = *data_set.d_;
  d.local_detail_filter.Take(*master, data_set, d.master_fields, d.detail_fields);
  return true;
}

bool TCustomDADataSet::LocalDetailFilter(void* rec_buf) { return d_->local_detail_filter.Accepts(*MemData(), rec_buf); }

}  // namespace dac
