// The dataset component's fields: their defaults and the accessors that
// only read or store one of them.
#include <utility>

#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_internals.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/dataset/sql_generator.h"

namespace dac {

TDADataSetFields::TDADataSetFields(TCustomDADataSet& data_set)
    : registration(&data_set,
                   [&data_set](TObject* sender, bool connecting) { data_set.ConnectChange(sender, connecting); }),
      update_runner(data_set, batch),
      connection_hold(data_set) {}

TDADataSetFields::~TDADataSetFields() = default;

// ---- connection and command ----

TCustomDAConnection* TCustomDADataSet::GetConnection() const { return d_->connection; }
TCustomDAConnection* TCustomDADataSet::UsedConnection() const { return d_->connection; }
TCustomDASQL* TCustomDADataSet::GetCommand() const { return d_->command; }
TDKRecordSet* TCustomDADataSet::GetIRecordSet() const { return d_->irecord_set; }
TDKCommand* TCustomDADataSet::GetICommand() const { return d_->icommand; }
TDASQLGenerator* TCustomDADataSet::SQLGenerator() const { return d_->sql_generator.get(); }
TComponent* TCustomDADataSet::UpdateQuery() const { return d_->update_runner.Query(); }

// ---- SQL text ----

bool TCustomDADataSet::SQLSaved() const { return !d_->base_sql.empty(); }
const std::string& TCustomDADataSet::GetFilterSQL() const { return d_->filter_sql; }
char TCustomDADataSet::LeftQuote() const { return d_->left_quote; }
char TCustomDADataSet::RightQuote() const { return d_->right_quote; }

void TCustomDADataSet::SetQuotes(char left, char right) {
  d_->left_quote = left;
  d_->right_quote = right;
}

// ---- results ----

int32_t TCustomDADataSet::RowsAffected() const { return d_->rows_affected; }
void TCustomDADataSet::SetRowsAffected(int32_t value) { d_->rows_affected = value; }
TField* TCustomDADataSet::IdentityField() const { return d_->identity_field; }
void TCustomDADataSet::SetIdentityField(TField* field) { d_->identity_field = field; }

// ---- settings ----

int32_t TCustomDADataSet::GetFetchRows() const { return d_->fetch_rows; }
bool TCustomDADataSet::GetFetchAll() const { return d_->fetch_all; }
bool TCustomDADataSet::GetUniDirectional() const { return d_->uni_directional; }
bool TCustomDADataSet::GetDebug() const { return d_->debug; }
void TCustomDADataSet::SetDebug(bool value) { d_->debug = value; }
bool TCustomDADataSet::GetReadOnly() const { return d_->read_only; }
void TCustomDADataSet::SetReadOnly(bool value) { d_->read_only = value; }
bool TCustomDADataSet::GetAutoCommit() const { return d_->auto_commit; }
bool TCustomDADataSet::IsAutoCommit() { return d_->auto_commit; }
TRefreshOptions TCustomDADataSet::GetRefreshOptions() const { return d_->refresh_options; }
void TCustomDADataSet::SetRefreshOptions(TRefreshOptions value) { d_->refresh_options = value; }
TDADataSetOptions& TCustomDADataSet::Options() const { return *d_->options; }
TCustomDAUpdateSQL* TCustomDADataSet::GetUpdateObject() const { return d_->update_object; }
const std::string& TCustomDADataSet::GetUpdatingTable() const { return d_->updating_table; }
int32_t TCustomDADataSet::GetUpdatingTableIdx() const { return d_->updating_table_idx; }
const std::string& TCustomDADataSet::GetMasterFields() const { return d_->master_fields; }
const std::string& TCustomDADataSet::GetDetailFields() const { return d_->detail_fields; }
TWin32Timer* TCustomDADataSet::DetailRefreshTimer() const { return d_->detail_refresh_timer; }
bool TCustomDADataSet::GetLockDebug() const { return d_->lock_debug; }
void TCustomDADataSet::SetLockDebug(bool value) { d_->lock_debug = value; }
bool TCustomDADataSet::GetDesignCreate() const { return d_->design_create; }
void TCustomDADataSet::SetDesignCreate(bool value) { d_->design_create = value; }

// ---- events ----

void TCustomDADataSet::SetAfterExecute(TDAAfterExecuteEvent handler) { d_->after_execute = std::move(handler); }
void TCustomDADataSet::SetBeforeFetch(TBeforeFetchEvent handler) { d_->before_fetch = std::move(handler); }
void TCustomDADataSet::SetAfterFetch(TAfterFetchEvent handler) { d_->after_fetch = std::move(handler); }

void TCustomDADataSet::SetBeforeUpdateExecute(TUpdateExecuteEvent handler) {
  d_->before_update_execute = std::move(handler);
}

void TCustomDADataSet::SetAfterUpdateExecute(TUpdateExecuteEvent handler) {
  d_->after_update_execute = std::move(handler);
}

bool TCustomDADataSet::AssignedBeforeUpdateExecute() { return static_cast<bool>(d_->before_update_execute); }
bool TCustomDADataSet::AssignedAfterUpdateExecute() { return static_cast<bool>(d_->after_update_execute); }

}  // namespace dac
