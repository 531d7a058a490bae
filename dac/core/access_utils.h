// TDBAccessUtils: how provider units and design-time code reach the
// internals of the data-access components. Every method takes the component
// first. A method that accepts any component works on an SQL command
// component or a dataset; a null component,
// or one of another class, is an assertion failure naming the class ("Obj is
// " and the class name for the debug-lock pair).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dac/core/server/server_types.h"
#include "dac/framework/classes/string_list.h"
#include "dac/framework/data/custom_connection.h"
#include "dac/framework/data/field_type.h"

namespace dac {

class EDAError;
class TCustomDADataSet;
class TDADataSetOptions;
class TDASQLGenerator;
class TDKRecordSet;
class TDKTablesInfo;
class TField;
struct TKeyAndDataFields;
class IDAConnectionClient;
class TCustomConnectDialog;
class TCustomDAConnection;
class TCustomDASQL;
class TCustomDAUpdateSQL;
class TDAConnectionOptions;
class TDAParam;
class TDAParams;
class TDASQLMonitorClass;
class TDKConnection;
class TMacros;
class TParserClass;

class TDBAccessUtils {
 public:
  TDBAccessUtils() = delete;

  // ---- connections ----
  static bool IsKeyViolation(const TCustomDAConnection& connection, const EDAError& error);
  static TDKConnection* GetIConnection(const TCustomDAConnection& connection);
  static void InternalConnect(TCustomDAConnection& connection);
  static void InternalDisconnect(TCustomDAConnection& connection);
  static const TDASQLMonitorClass& SQLMonitorClass(const TCustomDAConnection& connection);
  // The SQL command components registered at the connection.
  static const std::vector<IDAConnectionClient*>& GetSQLs(const TCustomDAConnection& connection);
  static void RegisterClient(TCustomDAConnection& connection, TObject* client, TConnectChangeEvent event = {});
  static void UnRegisterClient(TCustomDAConnection& connection, TObject* client);
  static TCustomDAConnection* FOwner(const TDAConnectionOptions& options);

  // ---- parameters, macros, update objects, the connect dialog ----
  static bool IsObjectDataType(const TDAParam& param, TFieldType data_type);
  static const TParserClass& GetParserClass(const TMacros& macros);
  static const TMetaClass& GetDataSetClass(const TCustomDAUpdateSQL& update_sql);
  static const TMetaClass& GetSQLClass(const TCustomDAUpdateSQL& update_sql);
  static void SaveServerListToRegistry(TCustomConnectDialog& dialog);

  // ---- SQL command components ----
  static void Disconnect(TCustomDASQL& sql);
  static std::string ParseSQL(TCustomDASQL& sql, const std::string& text, TDAParams* params,
                              const std::string& rename_prefix);
  static std::unique_ptr<TDAParams> CreateParamsObject(TCustomDASQL& sql);

  // ---- any component ----
  static void CheckConnection(TComponent* component);
  static TCustomDAConnection* UsedConnection(TComponent* component);
  static bool GetAutoCommit(TComponent* component);
  static void SetAutoCommit(TComponent* component, bool value);
  // Also of an update object and a data source.
  static bool GetDesignCreate(TComponent* component);
  static void SetDesignCreate(TComponent* component, bool value);
  static bool GetLockDebug(TComponent* component);
  static void SetLockDebug(TComponent* component, bool value);
  static TStrings& GetSQL(TComponent* component);
  static void SetSQL(TComponent* component, const TStrings& value);
  static TDAParams& GetParams(TComponent* component);
  static int32_t GetRowsAffected(TComponent* component);
  // Sets the SQL text with the component's raw-text (first) and no-scan
  // (second) switches on and the command told that its owner changes the
  // text; third is for a dataset's own command.
  static void SetSQLText(TComponent* component, const std::string& text, bool raw_text, bool no_macro_scan,
                         bool third);
  static void Execute(TComponent* component);
  // Only a dataset is accepted.
  static void Open(TComponent* component);
  static void SetDesigning(TComponent* component, bool value, bool set_children);

  // ---- datasets ----
  static std::unique_ptr<TDKRecordSet> CreateIRecordSet(const TCustomDAConnection& connection);
  static TDKRecordSet* GetIRecordSet(const TCustomDADataSet& data_set);
  static TDKTablesInfo* GetTablesInfo(const TCustomDADataSet& data_set);
  static TDASQLGenerator* SQLGenerator(const TCustomDADataSet& data_set);
  static TField* GetIdentityField(const TCustomDADataSet& data_set);
  static TComponent* GetUpdateQuery(const TCustomDADataSet& data_set);
  static std::string GetUpdatingTable(const TCustomDADataSet& data_set);
  static void SetUpdatingTable(TCustomDADataSet& data_set, const std::string& value);
  static int32_t GetUpdatingTableIdx(const TCustomDADataSet& data_set);
  // The table at that index of the record set's table list.
  static void SetUpdatingTableIdx(TCustomDADataSet& data_set, int32_t value);
  static void GetKeyAndDataFields(TCustomDADataSet& data_set, TKeyAndDataFields& fields, bool all_key_fields);
  static TCustomDADataSet* FOwner(const TDADataSetOptions& options);
  static std::string QuoteName(const TCustomDADataSet& data_set, const std::string& name);
  static std::string UnQuoteName(const TCustomDADataSet& data_set, const std::string& name);
  static TStatementTypes GetUpdateSQLStatementTypes(TCustomDADataSet& data_set);
  // The update SQL a dataset runs for a statement type: null when its update
  // object holds a component for the type; else the update object's list,
  // and without an update object the dataset's own.
  static TStrings* GetUpdateSQLIndex(const TCustomDADataSet& data_set, TStatementType statement_type);
};

}  // namespace dac
