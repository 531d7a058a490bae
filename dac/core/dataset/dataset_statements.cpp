// The dataset component at work on the server: prepare, open, execute,
// the command's and the fetch's reports, refresh, and finding rows by key.
#include <exception>

#include "dac/core/connection_component.h"
#include "dac/core/da_param.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/dataset/sql_generator.h"
#include "dac/core/server/connection.h"
#include "dac/core/server/da_errors.h"
#include "dac/core/server/messages.h"
#include "dac/core/server/record_set.h"
#include "dac/core/sql_component.h"
#include "dac/core/trace/sql_monitor.h"
#include "dac/framework/classes/with_cleanup.h"
#include "dac/framework/data/field.h"
#include "dac/store/runtime/host_hooks.h"

namespace dac {

// ---- references on the connection ----

TCustomDADataSet::StatementHold::StatementHold(TCustomDADataSet& data_set)
    : data_set_(data_set), outer_(data_set.attempt_released_) {
  data_set.BeginConnection(true);
  data_set.attempt_released_ = &released_;
}

void TCustomDADataSet::StatementHold::GiveBack() {
  if (released_) return;
  released_ = true;
  data_set_.EndConnection();
}

void TCustomDADataSet::StatementHold::GiveBackQuietly() {
  try {
    GiveBack();
  } catch (...) {
  }
}

void TCustomDADataSet::StatementHold::Finish(bool keep_for_cursor) {
  if (released_) return;
  if (keep_for_cursor && data_set_.CursorUnfinished() && !data_set_.cursor_ref_) {
    released_ = true;
    data_set_.cursor_ref_ = true;
    return;
  }
  GiveBack();
}

void TCustomDADataSet::StatementHold::RunAttempts(TCustomDAConnection* used, const std::function<void()>& attempt,
                                                  bool execute_only) {
  for (;;) {
    try {
      attempt();
      return;
    } catch (const EFailOver& failover) {
      if (execute_only && failover.ConnLostCause() != clExecute) {
        GiveBackQuietly();
        throw;
      }
      used->RestoreAfterFailOver();
      released_ = false;
    } catch (...) {
      GiveBackQuietly();
      throw;
    }
  }
}

void TCustomDADataSet::ReleaseAttempt() {
  if (!attempt_released_ || *attempt_released_) return;
  *attempt_released_ = true;
  EndConnection();
}

void TCustomDADataSet::ReleaseCursor() {
  if (!cursor_ref_) return;
  cursor_ref_ = false;
  EndConnection();
}

bool TCustomDADataSet::CursorUnfinished() const {
  return irecord_set_ && irecord_set_->GetCommand() && irecord_set_->CursorState() != csInactive &&
         !irecord_set_->CanDisconnect();
}

bool TCustomDADataSet::Traced() const {
  TCustomDAConnection* used = UsedConnection();
  return !lock_debug_ && used && (debug_ || used->SQLMonitorClass().HasMonitor());
}

// ---- state of the statement ----

bool TCustomDADataSet::GetIsQuery() const { return irecord_set_ && irecord_set_->RowsReturn(); }

bool TCustomDADataSet::Executing() const {
  Variant executing;
  return icommand_ && icommand_->GetProp(prExecuting, executing) && executing.AsBoolean();
}

bool TCustomDADataSet::Fetching() const {
  const TCursorState state = irecord_set_ ? irecord_set_->CursorState() : csInactive;
  return state == csFetching || state == csFetchingAll;
}

bool TCustomDADataSet::FetchingAll() const {
  return irecord_set_ && irecord_set_->CursorState() == csFetchingAll;
}

bool TCustomDADataSet::Fetched() const {
  const TCursorState state = irecord_set_ ? irecord_set_->CursorState() : csInactive;
  if (state == csFetched) return true;
  if (!GetActive()) return false;
  return state == csInactive;
}

// ---- prepare ----

void TCustomDADataSet::Prepare() {
  if (GetPrepared() || GetActive()) return;
  BeginConnection(true);
  try {
    if (MasterActive()) SetMasterParams(Params());
    const bool traced = Traced();
    const TDASQLMonitorClass& monitor = UsedConnection()->SQLMonitorClass();
    int32_t message_id = 0;
    if (traced) monitor.SQLPrepare(this, GetFinalSQL(), &Params(), message_id, true);
    StartWait();
    command_->WriteParams(false);
    TMemDataSet::Prepare();
    prepare_ref_ = true;
    if (traced) monitor.SQLPrepare(this, GetFinalSQL(), &Params(), message_id, false);
  } catch (...) {
    if (!prepare_ref_) {
      try {
        EndConnection();
      } catch (...) {
      }
    }
    throw;
  }
}

void TCustomDADataSet::UnPrepare() {
  const bool was_prepared = GetPrepared();
  const bool traced = was_prepared && Traced();
  int32_t message_id = 0;
  if (traced) UsedConnection()->SQLMonitorClass().SQLUnprepare(this, GetFinalSQL(), &Params(), message_id, true);
  WithCleanup([this] { TMemDataSet::UnPrepare(); },
              [this] {
                if (prepare_ref_ && !GetPrepared()) {
                  prepare_ref_ = false;
                  EndConnection();
                }
              });
  if (irecord_set_) irecord_set_->GetTablesInfo().Clear();
  updating_table_idx_ = -1;
  if (traced) UsedConnection()->SQLMonitorClass().SQLUnprepare(this, GetFinalSQL(), &Params(), message_id, false);
}

// ---- open and close ----

void TCustomDADataSet::OpenCursor(bool field_info_only) {
  TCustomDAConnection* used = UsedConnection();
  TOperationScope operation(used, clOpen, OpenCursorAllowFailOver());
  ps_key_fields_.clear();
  StatementHold hold(*this);
  if (GetActive()) return hold.Finish(false);
  hold.RunAttempts(
      used,
      [&] {
        BeforeOpenCursor(field_info_only);
        if (MasterActive() && !options_->GetLocalMasterDetail()) SetMasterParams(Params());
        rec_count_ = options_->GetQueryRecCount() ? GetRecCount() : 0;
        StartWait();
        command_->WriteParams(true);
        TMemDataSet::OpenCursor(field_info_only);
      },
      false);
  hold.Finish(true);
  rows_affected_ = -1;
  AfterOpenCursor(field_info_only);
}

void TCustomDADataSet::CloseCursor() {
  const bool held = cursor_ref_;
  cursor_ref_ = false;
  WithCleanup(
      [this] {
        TMemDataSet::CloseCursor();
        for (TComponent* query : update_queries_) {
          if (auto* data_set = dynamic_cast<TCustomDADataSet*>(query)) data_set->UnPrepare();
        }
      },
      [this, held] {
        if (held) EndConnection();
      });
}

void TCustomDADataSet::InternalOpen() {
  if (options_->GetAutoPrepare()) Prepare();
  const bool traced = Traced() && !(icommand_ && icommand_->GetCursorState() == csExecuted);
  int32_t message_id = 0;
  if (traced) UsedConnection()->SQLMonitorClass().SQLExecute(this, GetFinalSQL(), &Params(), "", message_id, true);
  TMemDataSet::InternalOpen();
  if (traced) UsedConnection()->SQLMonitorClass().SQLExecute(this, GetFinalSQL(), &Params(), "", message_id, false);
  ClearCachedKeyAndDataFields();
  InitUpdatingTable();
  if (options_->GetLocalMasterDetail() && MasterActive()) {
    SetMasterParams(Params());
    Data()->FilterUpdated();
  }
}

void TCustomDADataSet::InternalClose() {
  WithCleanup([this] { TMemDataSet::InternalClose(); },
              [this] {
                identity_field_ = nullptr;
                if (!GetPrepared()) {
                  if (irecord_set_) irecord_set_->GetTablesInfo().Clear();
                  updating_table_idx_ = -1;
                }
                ClearCachedKeyAndDataFields();
                FreeLocalDetailLinks();
              });
}

void TCustomDADataSet::InitUpdatingTable() {
  std::string name = updating_table_;
  if (!name.empty() && irecord_set_) {
    name = TableInfoClass().NormalizeName(name, false);
    const TDKTablesInfo& tables = irecord_set_->GetTablesInfo();
    if (tables.IndexByName(name) < 0 && tables.IndexByAlias(name) < 0) name.clear();
  }
  SetUpdatingTable(name);
}

// ---- execute ----

void TCustomDADataSet::Execute() {
  TCustomDAConnection* used = UsedConnection();
  TOperationScope operation(used, clExecute, true);
  if (Executing()) return;
  StatementHold hold(*this);
  hold.RunAttempts(
      used,
      [&] {
        if (GetActive()) Close();
        BeforeExecute();
        StartWait();
        if (options_->GetAutoPrepare()) Prepare();
        if (GetIsQuery()) return Open();
        if (MasterActive()) SetMasterParams(Params());
        command_->WriteParams(true);
        InternalExecute();
        if (GetIsQuery()) Open();
      },
      true);
  hold.Finish(false);
}

void TCustomDADataSet::InternalExecute() {
  DAC_ASSERT(irecord_set_ != nullptr, Name() + " has no record set");
  const bool traced = Traced();
  int32_t message_id = 0;
  if (traced) UsedConnection()->SQLMonitorClass().SQLExecute(this, GetFinalSQL(), &Params(), "", message_id, true);
  irecord_set_->ExecCommand();
  if (traced) UsedConnection()->SQLMonitorClass().SQLExecute(this, GetFinalSQL(), &Params(), "", message_id, false);
}

// ---- reports of the record set and its command ----

void TCustomDADataSet::DoAfterExecute(bool result) {
  if (result) {
    command_->ReadParams();
    Variant rows;
    if (icommand_ && icommand_->GetProp(prRowsProcessed, rows)) rows_affected_ = rows.AsInt32();
  }
  if (!GetIsQuery()) {
    if (TCustomDAConnection* used = UsedConnection()) used->MaintainImplicitTransaction(auto_commit_);
    ReleaseAttempt();
  }
  if (after_execute_) after_execute_(this, result);
}

void TCustomDADataSet::DoAfterExecFetch(bool result) {
  if (result) command_->ReadParams();
  if (after_execute_) after_execute_(this, result);
}

void TCustomDADataSet::DoOnBeforeFetch(bool& cancel) {
  StartWait();
  if (before_fetch_) before_fetch_(this, cancel);
  fetch_canceled_ = cancel;
}

void TCustomDADataSet::DoOnAfterFetch() {
  const bool more_to_come = fetch_all_ && irecord_set_->CursorState() != csFetched;
  if (after_fetch_ && !more_to_come) after_fetch_(this);
  if (!irecord_set_->CanDisconnect()) return;
  if (attempt_released_ && !*attempt_released_) {
    ReleaseAttempt();
  } else {
    ReleaseCursor();
  }
}

void TCustomDADataSet::DoAfterScroll() {
  if (fetch_canceled_) {
    Resync({});
    fetch_canceled_ = false;
  }
  TMemDataSet::DoAfterScroll();
}

void TCustomDADataSet::Resync(TResyncMode mode) {
  if (GetActive()) TMemDataSet::Resync(mode);
}

// ---- refresh ----

void TCustomDADataSet::InternalRefresh() {
  TCustomDAConnection* used = UsedConnection();
  TOperationScope operation(used, clRefresh, OpenCursorAllowFailOver());
  StatementHold hold(*this);
  std::vector<TField*> key_fields;
  Variant key_values;
  bool first_pass = true;
  hold.RunAttempts(
      used,
      [&] {
        if (first_pass) GetCurrentKeys(key_fields, key_values);
        first_pass = false;
        rec_count_ = options_->GetQueryRecCount() ? GetRecCount() : 0;
        const bool traced = Traced();
        int32_t message_id = 0;
        if (traced) used->SQLMonitorClass().SQLExecute(this, GetFinalSQL(), &Params(), "Refresh", message_id, true);
        StartWait();
        command_->WriteParams(true);
        // The reopen closes a cursor with rows still to come: its reference goes.
        ReleaseCursor();
        TMemDataSet::InternalRefresh();
        if (traced) used->SQLMonitorClass().SQLExecute(this, GetFinalSQL(), &Params(), "Refresh", message_id, false);
        if (key_fields.empty()) return First();
        DoBeforeScroll();
        if (!LocateRecord(key_fields, key_values, {}, false)) return First();
        Resync({});
        DoAfterScroll();
      },
      false);
  hold.Finish(true);
}

void TCustomDADataSet::DataReopen() {
  if (Data()->IsFullReopen()) ClearCachedKeyAndDataFields();
  const uint16_t count = Data()->GetFieldCount();
  Data()->Reopen();
  DAC_ASSERT(Data()->GetFieldCount() == count, "Fields count has changed after reopen");
}

void TCustomDADataSet::GetCurrentKeys(std::vector<TField*>& key_fields, Variant& values) {
  key_fields.clear();
  values = Variant();
  TKeyAndDataFields fields;
  GetKeyAndDataFields(fields, false);
  TFieldDescArray descs = fields.KeyFieldDescs;
  if (descs.empty()) {
    for (TDKFieldDesc* desc : fields.DataFieldDescs) {
      const uint16_t type = desc->GetDataType();
      if (!sql_generator_->IsBlobDataType(type) && !sql_generator_->IsObjectDataType(type)) descs.push_back(desc);
    }
  }
  std::vector<TFieldDesc*> found;
  for (TDKFieldDesc* desc : descs) {
    if (TField* field = GetField(desc)) {
      key_fields.push_back(field);
      found.push_back(desc);
    }
  }
  TRecordBuffer buffer = nullptr;
  if (key_fields.empty() || !GetActiveRecBuf(buffer)) return;
  std::vector<Variant> row(found.size());
  for (size_t i = 0; i < found.size(); ++i) Data()->GetFieldAsVariant(found[i]->GetFieldNo(), buffer, row[i]);
  values = row.size() == 1 ? row.front() : Variant(std::move(row));
}

void TCustomDADataSet::InternalRefreshQuick(bool with_deleted_check) {
  DoBeforeRefresh();
  BeginConnection(true);
  WithCleanup(
      [&] {
        CheckActive();
        TKeyAndDataFields fields;
        GetKeyAndDataFields(fields, false);
        if (fields.KeyFieldDescs.empty()) DatabaseError(LoadResString(SKeyFieldsReq));
        CheckBrowseMode();
        if (updating_table_idx_ == -1) return;
        const bool strict_update = options_->GetStrictUpdate();
        const bool filtered = Filtered();
        DisableControls();
        WithCleanup(
            [&] {
              SetFiltered(false);
              options_->SetStrictUpdate(false);
              std::vector<TField*> key_fields;
              Variant key_values;
              GetCurrentKeys(key_fields, key_values);
              if (with_deleted_check && !IsEmpty()) PerformSQL("", {stRefreshCheckDeleted});
              PerformSQL("", {stRefreshQuick});
              if (!Locate(key_fields, key_values, {})) First();
            },
            [&] {
              options_->SetStrictUpdate(strict_update);
              SetFiltered(filtered);
              EnableControls();
              DoAfterRefresh();
            });
      },
      [this] { EndConnection(); });
}

// ---- finding rows ----

bool TCustomDADataSet::FindKey(const std::vector<Variant>& key_values) {
  return FindKeyWith(key_values, find_key_options_);
}

bool TCustomDADataSet::FindNearest(const std::vector<Variant>& key_values) {
  find_key_options_ = {lxNearest};
  try {
    const bool found = FindKeyWith(key_values, find_key_options_);
    find_key_options_ = {};
    return found;
  } catch (...) {
    find_key_options_ = {};
    throw;
  }
}

bool TCustomDADataSet::FindKeyWith(const std::vector<Variant>& key_values, TLocateExOptions options) {
  CheckBrowseMode();
  TKeyAndDataFields fields;
  GetKeyAndDataFields(fields, false);
  if (fields.KeyFieldDescs.empty()) DatabaseError(LoadResString(SKeyFieldsRequired));
  std::vector<TField*> key_fields;
  for (TDKFieldDesc* desc : fields.KeyFieldDescs) {
    TField* field = GetField(desc);
    if (!field) DatabaseErrorFmt(this, "Field '%s' not found", desc->GetName().c_str());
    key_fields.push_back(field);
  }
  std::vector<Variant> values(key_fields.size());
  for (size_t i = 0; i < key_values.size() && i < values.size(); ++i) {
    const Variant& value = key_values[i];
    // Objects and arrays are no key values; the message names the element.
    if (value.IsArray() || value.Type() == varByRef) {
      DatabaseErrorFmt(nullptr, "Invalid value for field '%s'", std::to_string(i).c_str());
    }
    values[i] = value;
  }
  const Variant key = values.size() == 1 ? values.front() : Variant(std::move(values));
  return LocateEx(key_fields, key, options);
}

void TCustomDADataSet::GotoCurrent(TCustomDADataSet* data_set) {
  std::vector<TField*> key_fields;
  Variant values;
  data_set->GetCurrentKeys(key_fields, values);
  std::string names;
  for (TField* field : key_fields) names += (names.empty() ? "" : ";") + field->FieldName();
  if (!names.empty() && Locate(names, values, {})) return;
  First();
}

}  // namespace dac
