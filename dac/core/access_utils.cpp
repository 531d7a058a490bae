#include "dac/core/access_utils.h"

#include "dac/core/connection_component.h"
#include "dac/core/da_param.h"
#include "dac/core/data_source_component.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/login/connect_dialog.h"
#include "dac/core/macros.h"
#include "dac/core/server/command.h"
#include "dac/core/server/connection.h"
#include "dac/core/server/record_set.h"
#include "dac/core/sql_component.h"
#include "dac/core/update_sql.h"

namespace dac {

namespace {

// The SQL command component or dataset a method was given (exactly one is
// set); prefix goes before the class name of anything else.
struct Target {
  TCustomDASQL* sql;
  TCustomDADataSet* data_set;
};

Target TargetOf(TComponent* component, const std::string& prefix = "") {
  DAC_ASSERT(component != nullptr, prefix + "nil");
  Target target{dynamic_cast<TCustomDASQL*>(component), dynamic_cast<TCustomDADataSet*>(component)};
  DAC_ASSERT(target.sql || target.data_set, prefix + component->ClassName());
  return target;
}

// Runs action on the SQL component or dataset; both give the same kind of answer.
template <typename Action>
decltype(auto) OnComponent(TComponent* component, Action action, const std::string& prefix = "") {
  const Target target = TargetOf(component, prefix);
  return target.data_set ? action(*target.data_set) : action(*target.sql);
}

TCustomDADataSet& DataSetOf(TComponent* component) {
  DAC_ASSERT(component != nullptr, "nil");
  auto* data_set = dynamic_cast<TCustomDADataSet*>(component);
  DAC_ASSERT(data_set != nullptr, component->ClassName());
  return *data_set;
}

constexpr const char* kLockDebugPrefix = "Obj is ";

}  // namespace

// ---- connections ----

bool TDBAccessUtils::IsKeyViolation(const TCustomDAConnection& connection, const EDAError& error) {
  return connection.IsKeyViolation(error);
}

TDKConnection* TDBAccessUtils::GetIConnection(const TCustomDAConnection& connection) {
  return connection.GetIConnection();
}

void TDBAccessUtils::InternalConnect(TCustomDAConnection& connection) { connection.InternalConnect(); }

void TDBAccessUtils::InternalDisconnect(TCustomDAConnection& connection) { connection.InternalDisconnect(); }

const TDASQLMonitorClass& TDBAccessUtils::SQLMonitorClass(const TCustomDAConnection& connection) {
  return connection.SQLMonitorClass();
}

const std::vector<IDAConnectionClient*>& TDBAccessUtils::GetSQLs(const TCustomDAConnection& connection) {
  return connection.sqls_;
}

void TDBAccessUtils::RegisterClient(TCustomDAConnection& connection, TObject* client, TConnectChangeEvent event) {
  connection.RegisterClient(client, std::move(event));
}

void TDBAccessUtils::UnRegisterClient(TCustomDAConnection& connection, TObject* client) {
  connection.UnRegisterClient(client);
}

TCustomDAConnection* TDBAccessUtils::FOwner(const TDAConnectionOptions& options) { return options.Owner(); }

// ---- parameters, macros, update objects, the connect dialog ----

bool TDBAccessUtils::IsObjectDataType(const TDAParam& param, TFieldType data_type) {
  return param.IsObjectDataType(data_type);
}

const TParserClass& TDBAccessUtils::GetParserClass(const TMacros& macros) { return macros.ParserClass(); }

const TMetaClass& TDBAccessUtils::GetDataSetClass(const TCustomDAUpdateSQL& update_sql) {
  return update_sql.DataSetClass();
}

const TMetaClass& TDBAccessUtils::GetSQLClass(const TCustomDAUpdateSQL& update_sql) { return update_sql.SQLClass(); }

void TDBAccessUtils::SaveServerListToRegistry(TCustomConnectDialog& dialog) { dialog.SaveServerListToRegistry(); }

// ---- SQL command components ----

void TDBAccessUtils::Disconnect(TCustomDASQL& sql) { sql.Disconnect(); }

std::string TDBAccessUtils::ParseSQL(TCustomDASQL& sql, const std::string& text, TDAParams* params,
                                     const std::string& rename_prefix) {
  return sql.ParseSQL(text, params, rename_prefix);
}

std::unique_ptr<TDAParams> TDBAccessUtils::CreateParamsObject(TCustomDASQL& sql) { return sql.CreateParamsObject(); }

// ---- any component ----

void TDBAccessUtils::CheckConnection(TComponent* component) {
  OnComponent(component, [](auto& target) { target.CheckConnection(); });
}

TCustomDAConnection* TDBAccessUtils::UsedConnection(TComponent* component) {
  return OnComponent(component, [](auto& target) { return target.UsedConnection(); });
}

bool TDBAccessUtils::GetAutoCommit(TComponent* component) {
  return OnComponent(component, [](auto& target) { return target.GetAutoCommit(); });
}

void TDBAccessUtils::SetAutoCommit(TComponent* component, bool value) {
  OnComponent(component, [value](auto& target) { target.SetAutoCommit(value); });
}

bool TDBAccessUtils::GetDesignCreate(TComponent* component) {
  if (auto* update_sql = dynamic_cast<TCustomDAUpdateSQL*>(component)) return update_sql->GetDesignCreate();
  if (auto* data_source = dynamic_cast<TDKDataSource*>(component)) return data_source->GetDesignCreate();
  return OnComponent(component, [](auto& target) { return target.GetDesignCreate(); });
}

void TDBAccessUtils::SetDesignCreate(TComponent* component, bool value) {
  if (auto* update_sql = dynamic_cast<TCustomDAUpdateSQL*>(component)) return update_sql->SetDesignCreate(value);
  if (auto* data_source = dynamic_cast<TDKDataSource*>(component)) return data_source->SetDesignCreate(value);
  OnComponent(component, [value](auto& target) { target.SetDesignCreate(value); });
}

bool TDBAccessUtils::GetLockDebug(TComponent* component) {
  return OnComponent(component, [](auto& target) { return target.GetLockDebug(); }, kLockDebugPrefix);
}

void TDBAccessUtils::SetLockDebug(TComponent* component, bool value) {
  OnComponent(component, [value](auto& target) { target.SetLockDebug(value); }, kLockDebugPrefix);
}

TStrings& TDBAccessUtils::GetSQL(TComponent* component) {
  return OnComponent(component, [](auto& target) -> TStrings& { return target.SQL(); });
}

void TDBAccessUtils::SetSQL(TComponent* component, const TStrings& value) {
  OnComponent(component, [&value](auto& target) { target.SetSQL(value); });
}

TDAParams& TDBAccessUtils::GetParams(TComponent* component) {
  return OnComponent(component, [](auto& target) -> TDAParams& { return target.Params(); });
}

int32_t TDBAccessUtils::GetRowsAffected(TComponent* component) {
  return OnComponent(component, [](auto& target) { return target.RowsAffected(); });
}

// A dataset's text goes through its own command component, which tells the
// record set's command that its owner changes the text only when asked.
void TDBAccessUtils::SetSQLText(TComponent* component, const std::string& text, bool raw_text, bool no_macro_scan,
                                bool third) {
  const Target target = TargetOf(component);
  TCustomDASQL& sql = target.data_set ? *target.data_set->GetCommand() : *target.sql;
  const bool sql_changing = target.data_set ? third : true;
  TDKCommand* command = sql.GetICommand();
  sql.SetRawText(raw_text);
  sql.SetNoMacroScan(no_macro_scan);
  const auto done = [&] {
    sql.SetRawText(false);
    sql.SetNoMacroScan(false);
    if (command) command->SetProp(prSQLChanging, false);
  };
  try {
    if (command) command->SetProp(prSQLChanging, sql_changing);
    sql.SQL().SetText(text);
  } catch (...) {
    done();
    throw;
  }
  done();
}

void TDBAccessUtils::Execute(TComponent* component) {
  OnComponent(component, [](auto& target) { target.Execute(); });
}

void TDBAccessUtils::Open(TComponent* component) { DataSetOf(component).Open(); }

void TDBAccessUtils::SetDesigning(TComponent* component, bool value, bool set_children) {
  TargetOf(component);
  component->SetDesigning(value, set_children);
}

// ---- datasets ----

std::unique_ptr<TDKRecordSet> TDBAccessUtils::CreateIRecordSet(const TCustomDAConnection& connection) {
  return connection.CreateIRecordSet();
}

TDKRecordSet* TDBAccessUtils::GetIRecordSet(const TCustomDADataSet& data_set) { return data_set.GetIRecordSet(); }

TDKTablesInfo* TDBAccessUtils::GetTablesInfo(const TCustomDADataSet& data_set) { return data_set.GetTablesInfo(); }

TDASQLGenerator* TDBAccessUtils::SQLGenerator(const TCustomDADataSet& data_set) { return data_set.SQLGenerator(); }

TField* TDBAccessUtils::GetIdentityField(const TCustomDADataSet& data_set) { return data_set.IdentityField(); }

TComponent* TDBAccessUtils::GetUpdateQuery(const TCustomDADataSet& data_set) { return data_set.UpdateQuery(); }

std::string TDBAccessUtils::GetUpdatingTable(const TCustomDADataSet& data_set) { return data_set.GetUpdatingTable(); }

void TDBAccessUtils::SetUpdatingTable(TCustomDADataSet& data_set, const std::string& value) {
  data_set.SetUpdatingTable(value);
}

int32_t TDBAccessUtils::GetUpdatingTableIdx(const TCustomDADataSet& data_set) {
  return data_set.GetUpdatingTableIdx();
}

void TDBAccessUtils::SetUpdatingTableIdx(TCustomDADataSet& data_set, int32_t value) {
  TDKTablesInfo* tables = data_set.GetTablesInfo();
  DAC_ASSERT(tables && value >= 0 && value < tables->Count(), "Updating table index " + std::to_string(value));
  data_set.SetUpdatingTable(tables->Items(value)->GetTableName());
}

void TDBAccessUtils::GetKeyAndDataFields(TCustomDADataSet& data_set, TKeyAndDataFields& fields, bool all_key_fields) {
  data_set.GetKeyAndDataFields(fields, all_key_fields);
}

TCustomDADataSet* TDBAccessUtils::FOwner(const TDADataSetOptions& options) { return options.Owner(); }

std::string TDBAccessUtils::QuoteName(const TCustomDADataSet& data_set, const std::string& name) {
  return data_set.QuoteName(name);
}

std::string TDBAccessUtils::UnQuoteName(const TCustomDADataSet& data_set, const std::string& name) {
  return data_set.UnQuoteName(name);
}

TStatementTypes TDBAccessUtils::GetUpdateSQLStatementTypes(TCustomDADataSet& data_set) {
  return data_set.GetUpdateSQLStatementTypes();
}

// An update object's object for the type stands in for any SQL; else its
// SQL, and without an update object the dataset's own.
TStrings* TDBAccessUtils::GetUpdateSQLIndex(const TCustomDADataSet& data_set, TStatementType statement_type) {
  if (const TCustomDAUpdateSQL* update = data_set.GetUpdateObject()) {
    if (update->GetObjectIndex(statement_type)) return nullptr;
    if (TStrings* sql = update->GetSQLIndex(statement_type)) return sql;
  }
  return data_set.GetUpdateSQLIndex(statement_type);
}

}  // namespace dac
