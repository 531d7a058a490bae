#include "dac/core/access_utils.h"

#include "dac/core/command.h"
#include "dac/core/connect_dialog.h"
#include "dac/core/connection_component.h"
#include "dac/core/da_param.h"
#include "dac/core/connection.h"
#include "dac/core/data_source_component.h"
#include "dac/core/macros.h"
#include "dac/core/sql_component.h"
#include "dac/core/update_sql.h"

namespace dac {

namespace {

// The SQL command component a method was given; prefix goes before the
// class name of anything else.
TCustomDASQL& SQLOf(TComponent* component, const std::string& prefix = "") {
  DAC_ASSERT(component != nullptr, prefix + "nil");
  auto* sql = dynamic_cast<TCustomDASQL*>(component);
  DAC_ASSERT(sql != nullptr, prefix + component->ClassName());
  return *sql;
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

void TDBAccessUtils::CheckConnection(TComponent* component) { SQLOf(component).CheckConnection(); }

TCustomDAConnection* TDBAccessUtils::UsedConnection(TComponent* component) { return SQLOf(component).UsedConnection(); }

bool TDBAccessUtils::GetAutoCommit(TComponent* component) { return SQLOf(component).GetAutoCommit(); }

void TDBAccessUtils::SetAutoCommit(TComponent* component, bool value) { SQLOf(component).SetAutoCommit(value); }

bool TDBAccessUtils::GetDesignCreate(TComponent* component) {
  if (auto* update_sql = dynamic_cast<TCustomDAUpdateSQL*>(component)) return update_sql->GetDesignCreate();
  if (auto* data_source = dynamic_cast<TDKDataSource*>(component)) return data_source->GetDesignCreate();
  return SQLOf(component).GetDesignCreate();
}

void TDBAccessUtils::SetDesignCreate(TComponent* component, bool value) {
  if (auto* update_sql = dynamic_cast<TCustomDAUpdateSQL*>(component)) return update_sql->SetDesignCreate(value);
  if (auto* data_source = dynamic_cast<TDKDataSource*>(component)) return data_source->SetDesignCreate(value);
  SQLOf(component).SetDesignCreate(value);
}

bool TDBAccessUtils::GetLockDebug(TComponent* component) { return SQLOf(component, kLockDebugPrefix).GetLockDebug(); }

void TDBAccessUtils::SetLockDebug(TComponent* component, bool value) {
  SQLOf(component, kLockDebugPrefix).SetLockDebug(value);
}

TStrings& TDBAccessUtils::GetSQL(TComponent* component) { return SQLOf(component).SQL(); }

void TDBAccessUtils::SetSQL(TComponent* component, const TStrings& value) { SQLOf(component).SetSQL(value); }

TDAParams& TDBAccessUtils::GetParams(TComponent* component) { return SQLOf(component).Params(); }

int32_t TDBAccessUtils::GetRowsAffected(TComponent* component) { return SQLOf(component).RowsAffected(); }

void TDBAccessUtils::SetSQLText(TComponent* component, const std::string& text, bool raw_text, bool no_macro_scan,
                                bool /*third*/) {
  TCustomDASQL& sql = SQLOf(component);
  TDKCommand* command = sql.GetICommand();
  sql.SetRawText(raw_text);
  sql.SetNoMacroScan(no_macro_scan);
  const auto done = [&] {
    sql.SetRawText(false);
    sql.SetNoMacroScan(false);
    if (command) command->SetProp(prSQLChanging, false);
  };
  try {
    if (command) command->SetProp(prSQLChanging, true);
    sql.SQL().SetText(text);
  } catch (...) {
    done();
    throw;
  }
  done();
}

void TDBAccessUtils::Execute(TComponent* component) { SQLOf(component).Execute(); }

void TDBAccessUtils::SetDesigning(TComponent* component, bool value, bool set_children) {
  SQLOf(component).SetDesigning(value, set_children);
}

}  // namespace dac
