// The dataset component at work on the server: prepare, open, execute,
// the command's and the fetch's reports, refresh, and finding rows by key.
#include <exception>

#include "dac/core/connection_component.h"
#include "dac/core/da_param.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_internals.h"
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

// ---- the monitor and the counts ----

bool TCustomDADataSet::Traced() const {
  TCustomDAConnection* used = UsedConnection();
  return !d_->lock_debug && used && (GetDebug() || used->SQLMonitorClass().HasMonitor());
}

void TCustomDADataSetInternals::CountRecords(TCustomDADataSet& data_set) {
  data_set.d_->rec_count = data_set.Options().GetQueryRecCount() ? data_set.GetRecCount() : 0;
}

int TCustomDADataSet::GetRecordCount() {
  if (GetActive() && !Fetched() && d_->options->GetQueryRecCount() && d_->rec_count != 0) {
    Variant read;
    TDKCommand* command = d_->icommand;
    const int32_t rows_read = command && command->GetProp(prRowsProcessed, read) ? read.AsInt32() : 0;
    return d_->rec_count - rows_read + Data()->GetRecordCount();
  }
  return TMemDataSet::GetRecordCount();
}

// ---- state of the statement ----

bool TCustomDADataSet::GetIsQuery() const { return d_->irecord_set && d_->irecord_set->RowsReturn(); }

bool TCustomDADataSet::Executing() const {
  Variant executing;
  return d_->icommand && d_->icommand->GetProp(prExecuting, executing) && executing.AsBoolean();
}

bool TCustomDADataSet::Fetching() const {
  const TCursorState state = d_->irecord_set ? d_->irecord_set->CursorState() : csInactive;
  return state == csFetching || state == csFetchingAll;
}

bool TCustomDADataSet::FetchingAll() const {
  return d_->irecord_set && d_->irecord_set->CursorState() == csFetchingAll;
}

bool TCustomDADataSet::Fetched() const {
  const TCursorState state = d_->irecord_set ? d_->irecord_set->CursorState() : csInactive;
  if (state == csFetched) return true;
  if (!GetActive()) return false;
  return state == csInactive;
}

// A search reads on as navigation does: the next block of rows not read
// yet (none forward-only, where a block replaces the rows searched).
bool TCustomDADataSet::FetchMoreRows() {
  TDKRecordSet* record_set = d_->irecord_set;
  if (!record_set || !GetActive() || d_->uni_directional || Fetched()) return false;
  return record_set->Fetch(false);
}

// ---- prepare ----

void TCustomDADataSet::Prepare() {
  if (GetPrepared() || GetActive()) return;
  BeginConnection(true);
  try {
    if (TCustomDADataSetInternals::MasterActive(*this)) SetMasterParams(Params());
    const bool traced = Traced();
    const TDASQLMonitorClass& monitor = UsedConnection()->SQLMonitorClass();
    int32_t message_id = 0;
    if (traced) monitor.SQLPrepare(this, GetFinalSQL(), &Params(), message_id, true);
    StartWait();
    d_->command->WriteParams(false);
    TMemDataSet::Prepare();
    d_->connection_hold.TakePrepared();
    if (traced) monitor.SQLPrepare(this, GetFinalSQL(), &Params(), message_id, false);
  } catch (...) {
    if (!d_->connection_hold.Prepared()) TCustomDADataSetInternals::EndConnectionQuietly(*this);
    throw;
  }
}

void TCustomDADataSetInternals::EndConnectionQuietly(TCustomDADataSet& data_set) {
  try {
    data_set.EndConnection();
  } catch (...) {
  }
}

void TCustomDADataSet::UnPrepare() {
  const bool was_prepared = GetPrepared();
  const bool traced = was_prepared && Traced();
  int32_t message_id = 0;
  if (traced) UsedConnection()->SQLMonitorClass().SQLUnprepare(this, GetFinalSQL(), &Params(), message_id, true);
  WithCleanup([this] { TMemDataSet::UnPrepare(); }, [this] { d_->connection_hold.ReleasePrepared(GetPrepared()); });
  TCustomDADataSetInternals::ForgetUpdatingTable(*this);
  if (traced) UsedConnection()->SQLMonitorClass().SQLUnprepare(this, GetFinalSQL(), &Params(), message_id, false);
}

// ---- open and close ----

void TCustomDADataSet::OpenCursor(bool field_info_only) {
  TCustomDAConnection* used = UsedConnection();
  TOperationScope operation(used, clOpen, OpenCursorAllowFailOver());
  TCustomDADataSetInternals::CachePSKeyFields(*this, false);
  TConnectionHold::Statement hold(d_->connection_hold);
  if (GetActive()) return hold.Finish(false);
  hold.RunAttempts(
      used,
      [&] {
        BeforeOpenCursor(field_info_only);
        if (TCustomDADataSetInternals::MasterActive(*this) && !d_->options->GetLocalMasterDetail()) {
          SetMasterParams(Params());
        }
        TCustomDADataSetInternals::CountRecords(*this);
        StartWait();
        d_->command->WriteParams(true);
        TMemDataSet::OpenCursor(field_info_only);
      },
      false);
  hold.Finish(true);
  d_->rows_affected = -1;
  AfterOpenCursor(field_info_only);
}

void TCustomDADataSet::CloseCursor() {
  const bool held = d_->connection_hold.TakeCursor();
  WithCleanup(
      [this] {
        TMemDataSet::CloseCursor();
        d_->update_runner.UnprepareQueries();
      },
      [this, held] {
        if (held) EndConnection();
      });
}

void TCustomDADataSet::InternalOpen() {
  if (d_->options->GetAutoPrepare()) Prepare();
  const bool traced = Traced() && !(d_->icommand && d_->icommand->GetCursorState() == csExecuted);
  int32_t message_id = 0;
  if (traced) UsedConnection()->SQLMonitorClass().SQLExecute(this, GetFinalSQL(), &Params(), "", message_id, true);
  TMemDataSet::InternalOpen();
  if (traced) UsedConnection()->SQLMonitorClass().SQLExecute(this, GetFinalSQL(), &Params(), "", message_id, false);
  ClearCachedKeyAndDataFields();
  TCustomDADataSetInternals::InitUpdatingTable(*this);
  if (d_->options->GetLocalMasterDetail() && TCustomDADataSetInternals::MasterActive(*this)) {
    SetMasterParams(Params());
    Data()->FilterUpdated();
  }
}

void TCustomDADataSet::InternalClose() {
  WithCleanup([this] { TMemDataSet::InternalClose(); },
              [this] {
                SetIdentityField(nullptr);
                if (!GetPrepared()) TCustomDADataSetInternals::ForgetUpdatingTable(*this);
                ClearCachedKeyAndDataFields();
                d_->local_detail_filter.Clear();
              });
}

// ---- execute ----

// Runs the statement; a statement that returns rows opens the dataset.
// Again after a restored connection.
void TCustomDADataSet::Execute() {
  TCustomDAConnection* used = UsedConnection();
  TOperationScope operation(used, clExecute, true);
  if (Executing()) return;
  TConnectionHold::Statement hold(d_->connection_hold);
  hold.RunAttempts(
      used,
      [&] {
        if (GetActive()) Close();
        BeforeExecute();
        StartWait();
        if (d_->options->GetAutoPrepare()) Prepare();
        if (GetIsQuery()) return Open();
        if (TCustomDADataSetInternals::MasterActive(*this)) SetMasterParams(Params());
        d_->command->WriteParams(true);
        InternalExecute();
        if (GetIsQuery()) Open();
      },
      true);
  hold.Finish(false);
}

void TCustomDADataSet::InternalExecute() {
  DAC_ASSERT(d_->irecord_set != nullptr, Name() + " has no record set");
  const bool traced = Traced();
  int32_t message_id = 0;
  if (traced) UsedConnection()->SQLMonitorClass().SQLExecute(this, GetFinalSQL(), &Params(), "", message_id, true);
  d_->irecord_set->ExecCommand();
  if (traced) UsedConnection()->SQLMonitorClass().SQLExecute(this, GetFinalSQL(), &Params(), "", message_id, false);
}

// ---- reports of the record set and its command ----

// The record-set command reports: output parameters and RowsAffected; for
// a statement without rows the implicit transaction of disconnected mode
// and the connection given back; then AfterExecute.
void TCustomDADataSet::DoAfterExecute(bool result) {
  if (result) {
    d_->command->ReadParams();
    Variant rows;
    if (d_->icommand && d_->icommand->GetProp(prRowsProcessed, rows)) d_->rows_affected = rows.AsInt32();
  }
  if (!GetIsQuery()) {
    if (TCustomDAConnection* used = UsedConnection()) used->MaintainImplicitTransaction(GetAutoCommit());
    d_->connection_hold.ReleaseAttempt();
  }
  if (d_->after_execute) d_->after_execute(this, result);
}

void TCustomDADataSet::DoAfterExecFetch(bool result) {
  if (result) d_->command->ReadParams();
  if (d_->after_execute) d_->after_execute(this, result);
}

// Around each fetched block; after the last one the connection is given
// back (DoOnAfterFetch).
void TCustomDADataSet::DoOnBeforeFetch(bool& cancel) {
  StartWait();
  if (d_->before_fetch) d_->before_fetch(this, cancel);
  d_->fetch_canceled = cancel;
}

void TCustomDADataSet::DoOnAfterFetch() {
  TDKRecordSet* record_set = d_->irecord_set;
  const bool more_to_come = GetFetchAll() && record_set->CursorState() != csFetched;
  if (d_->after_fetch && !more_to_come) d_->after_fetch(this);
  if (record_set->CanDisconnect()) d_->connection_hold.ReleaseAfterFetch();
}

void TCustomDADataSet::DoAfterScroll() {
  if (d_->fetch_canceled) {
    Resync({});
    d_->fetch_canceled = false;
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
  TConnectionHold::Statement hold(d_->connection_hold);
  std::vector<TField*> key_fields;
  Variant key_values;
  bool first_pass = true;
  hold.RunAttempts(
      used,
      [&] {
        if (first_pass) GetCurrentKeys(key_fields, key_values);
        first_pass = false;
        TCustomDADataSetInternals::CountRecords(*this);
        const bool traced = Traced();
        int32_t message_id = 0;
        if (traced) used->SQLMonitorClass().SQLExecute(this, GetFinalSQL(), &Params(), "Refresh", message_id, true);
        StartWait();
        d_->command->WriteParams(true);
        // The reopen closes a cursor with rows still to come: its reference goes.
        d_->connection_hold.ReleaseCursor();
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

// With one key the field and its value, with several a value array;
// without key fields the data fields that are neither blob nor object.
void TCustomDADataSet::GetCurrentKeys(std::vector<TField*>& key_fields, Variant& values) {
  key_fields.clear();
  values = Variant();
  TKeyAndDataFields fields;
  GetKeyAndDataFields(fields, false);
  TFieldDescArray descs = fields.KeyFieldDescs;
  if (descs.empty()) {
    for (TDKFieldDesc* desc : fields.DataFieldDescs) {
      const uint16_t type = desc->GetDataType();
      if (!SQLGenerator()->IsBlobDataType(type) && !SQLGenerator()->IsObjectDataType(type)) descs.push_back(desc);
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

// Reads the rows changed since the last quick refresh (and drops those
// deleted, with_deleted_check); "Unique keyfields required" without key fields.
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
        if (GetUpdatingTableIdx() == -1) return;
        TDADataSetOptions& options = Options();
        const bool strict_update = options.GetStrictUpdate();
        const bool filtered = Filtered();
        DisableControls();
        WithCleanup(
            [&] {
              SetFiltered(false);
              options.SetStrictUpdate(false);
              std::vector<TField*> key_fields;
              Variant key_values;
              GetCurrentKeys(key_fields, key_values);
              if (with_deleted_check && !IsEmpty()) PerformSQL("", {stRefreshCheckDeleted});
              PerformSQL("", {stRefreshQuick});
              if (!Locate(key_fields, key_values, {})) First();
            },
            [&] {
              options.SetStrictUpdate(strict_update);
              SetFiltered(filtered);
              EnableControls();
              DoAfterRefresh();
            });
      },
      [this] { EndConnection(); });
}

// ---- finding rows ----

// The first row whose key fields hold the values (the first values, the
// rest unassigned); "Key fields required to call FindKey or FindNearest"
// without key fields, "Invalid value for field '<index>'" for an array or
// object value. FindNearest takes the first row at or after them.
bool TCustomDADataSet::FindKey(const std::vector<Variant>& key_values) {
  return TCustomDADataSetInternals::FindKeyWith(*this, key_values, d_->find_key_options);
}

bool TCustomDADataSet::FindNearest(const std::vector<Variant>& key_values) {
  d_->find_key_options = {lxNearest};
  try {
    const bool found = TCustomDADataSetInternals::FindKeyWith(*this, key_values, d_->find_key_options);
    d_->find_key_options = {};
    return found;
  } catch (...) {
    d_->find_key_options = {};
    throw;
  }
}

bool TCustomDADataSetInternals::FindKeyWith(TCustomDADataSet& data_set, const std::vector<Variant>& key_values,
                                            TLocateExOptions options) {
  data_set.CheckBrowseMode();
  TKeyAndDataFields fields;
  data_set.GetKeyAndDataFields(fields, false);
  if (fields.KeyFieldDescs.empty()) DatabaseError(LoadResString(SKeyFieldsRequired));
  std::vector<TField*> key_fields;
  for (TDKFieldDesc* desc : fields.KeyFieldDescs) {
    TField* field = data_set.GetField(desc);
    if (!field) DatabaseErrorFmt(&data_set, "Field '%s' not found", desc->GetName().c_str());
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
  return data_set.LocateEx(key_fields, key, options);
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
