// A detail dataset follows its master: through parameters named as master
// fields (read again, at once or after DetailDelay, when the master moves),
// or in memory with LocalMasterDetail, where a filter keeps the rows whose
// detail fields equal the master's values.
#include "dac/core/connection_component.h"
#include "dac/core/da_param.h"
#include "dac/core/dataset/dataset_component.h"
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
#include "dac/store/runtime/marshal.h"
#include "dac/store/runtime/win32_timer.h"

namespace dac {

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
  if (detail_refresh_timer_) return;
  detail_refresh_timer_ = MakeComponent<TWin32Timer>(this, MakeDetailTimerService());
  detail_refresh_timer_->SetEnabled(false);
  detail_refresh_timer_->SetOnTimer([this](TObject* sender) { RefreshDetail(sender); });
}

// ---- following the master ----

void TCustomDADataSet::RefreshParams() {
  FreeRefBuffers();
  TDataSource* source = GetMasterSource();
  TDataSet* master = source ? source->DataSet() : nullptr;
  if (!master || !master->GetActive() || master->GetState() == dsSetKey) return;
  if (!SetMasterParams(Params())) return;
  // Rapid moves of the master refresh the detail once, after the delay.
  if (detail_refresh_timer_ && detail_refresh_timer_->GetInterval() != 0) {
    detail_refresh_timer_->SetEnabled(false);
    detail_refresh_timer_->SetEnabled(true);
    return;
  }
  RefreshDetail(this);
}

void TCustomDADataSet::RefreshDetail(TObject*) {
  if (detail_refresh_timer_) detail_refresh_timer_->SetEnabled(false);
  if (options_->GetLocalMasterDetail()) {
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
  StatementHold hold(*this);
  try {
    DisableControls();
    WithCleanup(
        [&] {
          StartWait();
          command_->WriteParams(true);
          DoBeforeRefresh();
          CheckBrowseMode();
          UpdateCursorPos();
          WithCleanup(
              [&] {
                ReleaseCursor();
                DataReopen();
                if (MemData() && !MemData()->GetSortColumns().empty()) MemData()->SortItems();
              },
              [&] {
                Resync({});
                DoAfterRefresh();
                if (!IsEmpty()) DoAfterScroll();
              });
        },
        [&] { EnableControls(); });
  } catch (...) {
    hold.GiveBackQuietly();
    throw;
  }
  hold.Finish(true);
  report(false);
  rec_count_ = options_->GetQueryRecCount() ? GetRecCount() : 0;
  rows_affected_ = -1;
}

bool TCustomDADataSet::SetMasterParams(TDAParams& params) {
  return options_->GetLocalMasterDetail() ? SetLocalMasterLinks() : SetServerMasterParams(params);
}

bool TCustomDADataSet::SetServerMasterParams(TDAParams& params) {
  TDataSource* source = GetMasterSource();
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
      changed = NeedDetailRefresh(param, object) || changed;
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

// Each link keeps its own copy of the master's value, in the detail
// column's form: the master may scroll, fetch or close while the filter stands.
bool TCustomDADataSet::SetLocalMasterLinks() {
  TDataSource* source = GetMasterSource();
  auto* master = dynamic_cast<TCustomDADataSet*>(source ? source->DataSet() : nullptr);
  DAC_ASSERT(master != nullptr, "The master of a local detail must be a data-access dataset");
  FreeLocalDetailLinks();
  for (size_t m = 1, d = 1; m <= master_fields_.size() && d <= detail_fields_.size();) {
    const std::string master_name = ExtractFieldName(master_fields_, m);
    const std::string detail_name = ExtractFieldName(detail_fields_, d);
    TField* master_field = master->FindField(master_name);
    if (!master_field || !FindField(detail_name)) continue;
    TFieldDesc* detail_desc = Data()->FindField(detail_name);
    if (!detail_desc) throw Exception(FormatMessage(SFieldNotFound, {detail_name}));
    if (!master->TMemDataSet::GetFieldDesc(master_field)) throw Exception(FormatMessage(SFieldNotFound, {master_name}));
    LocalDetailLink link;
    link.field_no = detail_desc->GetFieldNo();
    const Variant value = master_field->Value();
    link.master_is_null = value.IsEmptyOrNull();
    int value_type = 0;
    CopyFieldValue(value, link.value, value_type, detail_desc, true);
    link.value_type = value_type;
    local_detail_links_.push_back(link);
  }
  return true;
}

bool TCustomDADataSet::LocalDetailFilter(void* rec_buf) {
  for (const LocalDetailLink& link : local_detail_links_) {
    if (link.master_is_null || !link.value) return false;
    const auto field_no = static_cast<uint16_t>(link.field_no);
    if (Data()->GetNull(field_no, rec_buf)) return false;
    TFieldDesc* desc = Data()->GetFieldDescs().GetItems(link.field_no - 1);
    if (MemData()->CompareFieldValue(link.value, link.value_type, desc, rec_buf, {}) != 0) return false;
  }
  return true;
}

void TCustomDADataSet::FreeLocalDetailLinks() {
  for (LocalDetailLink& link : local_detail_links_) Marshal::FreeHGlobal(link.value);
  local_detail_links_.clear();
}

}  // namespace dac
