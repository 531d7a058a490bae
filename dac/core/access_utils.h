// TDBAccessUtils: how provider units and design-time code reach the
// internals of the data-access components. Every method takes the component
// first. A method that accepts any component works on an SQL command
// component (and on the datasets, which add themselves); a null component,
// or one of another class, is an assertion failure naming the class ("Obj is
// " and the class name for the debug-lock pair).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dac/framework/custom_connection.h"
#include "dac/framework/field_type.h"
#include "dac/framework/string_list.h"

namespace dac {

class EDAError;
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
  static void SetDesigning(TComponent* component, bool value, bool set_children);
};

}  // namespace dac
