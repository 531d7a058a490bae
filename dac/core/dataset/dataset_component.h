// TCustomDADataSet: the dataset component of the data-access layer. Its rows
// come from a server through a provider record set; an internal SQL command
// component holds its SQL text, parameters and macros. Every operation that
// talks to the server takes the connection and gives it back once; an open
// cursor keeps its reference until the last row is fetched or it is closed,
// a prepared dataset until it is unprepared (dataset_updates.cpp: its parts).
//
//   TCustomDADataSet* query = ...;  // a provider's dataset
//   query->SetConnection(connection);
//   query->SQL().SetText("SELECT * FROM t WHERE a = :a");
//   query->ParamByName("a")->SetAsInteger(1);
//   query->Open();
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dac/core/dataset/dataset_component_types.h"
#include "dac/core/dataset/dataset_interfaces.h"
#include "dac/core/server/server_types.h"
#include "dac/framework/classes/string_list.h"
#include "dac/store/dataset/mem_dataset.h"

namespace dac {

struct TDADataSetFields;
struct TCustomDADataSetInternals;

class TCustomDADataSet : public TMemDataSet, public TDADataSetInterfaces {
  DAC_DECLARE_CLASS();

 public:
  explicit TCustomDADataSet(TComponent* owner);
  ~TCustomDADataSet() override;
  // Makes its parts (CreateCommand, CreateSQLGenerator, CreateOptions) and binds the record set.
  void Init() override;
  void Loaded() override;

  // ---- connection ----
  TCustomDAConnection* GetConnection() const;
  // Leaves the old connection (closed, unprepared), binds a record set of the new one's class.
  void SetConnection(TCustomDAConnection* value);

  // ---- SQL, parameters and macros (the command component's) ----
  TStrings& SQL() const;
  void SetSQL(const TStrings& value);
  TDAParams& Params() const;
  void SetParams(const TDAParams& value);
  int ParamCount() const;
  TDAParam* FindParam(const std::string& name) const;
  TDAParam* ParamByName(const std::string& name) const;
  bool GetParamCheck() const;
  void SetParamCheck(bool value);
  TMacros& Macros() const;
  void SetMacros(const TMacros& value);
  int MacroCount() const;
  TMacro* FindMacro(const std::string& name) const;
  TMacro* MacroByName(const std::string& name) const;
  TCustomDASQL* GetCommand() const;

  // ---- SQL text editing: each remembers the text it started from ----
  void AddWhere(const std::string& condition);
  void DeleteWhere();
  void SetOrderBy(const std::string& fields);
  std::string GetOrderBy();
  void SaveSQL();
  void RestoreSQL();
  bool SQLSaved() const;
  // The remembered text (else the SQL text) with its macros expanded.
  std::string GetBaseSQL();
  const std::string& GetFilterSQL() const;
  void AssembleSQL();

  // ---- running ----
  void Prepare() override;
  void UnPrepare() override;
  bool Executing() const;
  bool Fetching() const;
  bool FetchingAll() const;
  // -1 after an open.
  int32_t RowsAffected() const;
  bool IsQuery() const { return GetIsQuery(); }
  // The first row whose key fields hold the values (FindNearest: at or after them); "Key fields
  // required to call FindKey or FindNearest", "Invalid value for field '<index>'" for an array.
  bool FindKey(const std::vector<Variant>& key_values);
  bool FindNearest(const std::vector<Variant>& key_values);
  // The row the other dataset stands on, by its keys; else the first.
  void GotoCurrent(TCustomDADataSet* data_set);
  // The dataset field of a descriptor (same field number), or null.
  TField* GetField(TFieldDesc* field_desc);
  TFieldDesc* GetFieldDesc(const std::string& field_name);
  using TMemDataSet::GetFieldDesc;
  std::string GetActualFieldName(TField* field);
  std::string GetActualFieldName(TFieldDesc* field_desc);
  TDKTablesInfo* GetTablesInfo() const;
  TDKRecordSet* GetIRecordSet() const;
  TDKCommand* GetICommand() const;
  TDASQLGenerator* SQLGenerator() const;
  // The update query of the statement being run, and the auto-increment field.
  TComponent* UpdateQuery() const;
  TField* IdentityField() const;

  // ---- settings ----
  int32_t GetFetchRows() const;
  // Closed dataset; 1 .. 10000, else "FetchRows must be 1..10000".
  void SetFetchRows(int32_t value);
  bool GetFetchAll() const;
  bool GetUniDirectional() const;
  // Closed dataset; true switches FetchAll off.
  void SetUniDirectional(bool value);
  bool GetDebug() const;
  void SetDebug(bool value);
  bool GetReadOnly() const;
  bool GetAutoCommit() const;
  void SetAutoCommit(bool value);
  TRefreshOptions GetRefreshOptions() const;
  TDADataSetOptions& Options() const;
  void SetOptions(const TDADataSetOptions& value);
  TCustomDAUpdateSQL* GetUpdateObject() const;
  // Checks the object's components, takes it from the dataset that had it.
  void SetUpdateObject(TCustomDAUpdateSQL* value);
  const std::string& GetUpdatingTable() const;
  int32_t GetUpdatingTableIdx() const;
  TDataSource* GetMasterSource() const;
  // "Circular datalinks are not allowed" for a source that follows this dataset.
  void SetMasterSource(TDataSource* value);
  const std::string& GetMasterFields() const;
  void SetMasterFields(const std::string& value);
  const std::string& GetDetailFields() const;
  void SetDetailFields(const std::string& value);
  bool GetLockDebug() const;
  void SetLockDebug(bool value);
  bool GetDesignCreate() const;
  void SetDesignCreate(bool value);
  char LeftQuote() const;
  char RightQuote() const;
  // The user SQL of a statement type, or null for a type without a list.
  TStrings* GetUpdateSQLIndex(int index) const;
  void SetUpdateSQLIndex(int index, const TStrings& value);

  void SetAfterExecute(TDAAfterExecuteEvent handler);
  void SetBeforeFetch(TBeforeFetchEvent handler);
  void SetAfterFetch(TAfterFetchEvent handler);
  void SetBeforeUpdateExecute(TUpdateExecuteEvent handler);
  void SetAfterUpdateExecute(TUpdateExecuteEvent handler);

  // ---- master and detail ----
  TDataSource* GetDataSource() const override;
  void GetDetailLinkFields(std::vector<TField*>& master_fields, std::vector<TField*>& detail_fields) override;
  // A master source with MasterFields and DetailFields.
  bool IsConnectedToMaster() const;
  // Closes, unprepares and reassembles the SQL; opens again when it was open.
  void RefreshDetailSQL();
  void CheckRefreshDetailTimer();
  TWin32Timer* DetailRefreshTimer() const;
  void RefreshParams();
  void RefreshDetail(TObject* sender);
  bool SetMasterParams(TDAParams& params);
  bool LocalDetailFilter(void* rec_buf);

  // ---- writing back and reading again ----
  // Re-reads the current row; one the server no longer has leaves with RemoveOnRefresh.
  void RefreshRecord();
  // Again after a restored connection only when nothing was committed on the way.
  void ApplyUpdates() override;
  // False read-only or forward-only; true with local updates, an update handler or object.
  bool GetCanModify() override;
  void SetStateFieldValue(TDataSetState state, TField* field, const Variant& value) override;
  // The current record's shared object (blob) of the field, or none; "Field is not BLOB".
  TSharedObject* GetFieldObject(TFieldDesc* field_desc);
  TSharedObject* GetFieldObject(TField* field);
  TSharedObject* GetFieldObject(const std::string& field_name);
  // Length and scale of an integer or float column, else 0.
  int GetFieldPrecision(const std::string& field_name);
  int GetFieldScale(const std::string& field_name);
  void DefineProperties(TFiler& filer) override;

  // ---- the framework's dataset ----
  int GetRecordCount() override;
  void SetFiltered(bool value) override;
  void SetActive(bool value) override;
  void Notification(TComponent* component, TOperation operation) override;
  void Resync(TResyncMode mode) override;
  std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode) override;

  // ---- provider operations (dataset_provider.cpp) ----
  TParams* PSGetParams() override;
  // An empty list leaves the parameters as they are.
  void PSSetParams(TParams* params) override;
  // An empty text leaves the SQL as it is.
  void PSSetCommandText(const std::string& text) override;
  std::string PSGetQuoteChar() override { return "\""; }
  bool PSIsSQLBased() override { return true; }
  bool PSIsSQLSupported() override { return true; }
  void PSExecute() override { Execute(); }
  // Opens again when open.
  void PSReset() override;
  bool PSInTransaction() override;
  // Only while both the dataset and its connection commit automatically.
  void PSStartTransaction() override;
  void PSEndTransaction(bool commit) override;
  // The updating table (closed: the last open's, else UpdatingTable, else the one after FROM).
  std::string PSGetTableName() override;
  // The key-flagged fields, else the updating table's keys (a closed dataset opens for one row).
  std::string PSGetKeyFields() override;
  // The ORDER BY clause as an index definition; none without one.
  std::unique_ptr<TIndexDef> PSGetDefaultOrder() override;
  // Each "?" marker becomes ":1", ":2", ...; result_set takes a new dataset owned by the caller.
  int PSExecuteStatement(const std::string& sql, TParams* params, TDataSet** result_set = nullptr) override;
  // OnUpdateRecord, else the update object's statement; false: the provider applies it.
  bool PSUpdateRecord(TUpdateKind kind, TDataSet* delta) override;

  // ---- the operations this class adds, in slot order ----
  // True keeps the provider from computing key fields.
  virtual bool PreventPSKeyFields(std::string& /*key_fields*/) { return false; }
  virtual std::string PrepareBatch(const std::string& sql) { return sql; }
  // With QuoteNames, in the dataset's quotes (empty stays empty); UnQuoteName trims them off.
  virtual std::string QuoteName(const std::string& name) const;
  virtual std::string UnQuoteName(const std::string& name) const;
  // The command component (owned) handed to SetCommand.
  virtual void CreateCommand();
  virtual std::unique_ptr<TDADataSetOptions> CreateOptions();
  // Connection here; a provider may choose another.
  virtual TCustomDAConnection* UsedConnection() const;
  virtual void CheckConnection();
  // "Connection is not defined"; always_connect counts one more user, else it is only opened.
  virtual void BeginConnection(bool always_connect);
  virtual void EndConnection();
  // The field definitions are read again at the next open.
  virtual void Disconnect();
  virtual void ConnectChange(TObject* sender, bool connecting);
  // Open: a table of the statement ("Wrong UpdatingTable value - table %s is unknown").
  virtual void SetUpdatingTable(const std::string& value);
  virtual void DetectIdentityField();
  virtual bool ReadOnlyFieldsEnabled() { return true; }
  // Around each attempt to open a cursor; whether a lost connection may run it again.
  virtual void BeforeOpenCursor(bool /*field_info_only*/) {}
  virtual void AfterOpenCursor(bool /*field_info_only*/) {}
  virtual bool OpenCursorAllowFailOver() { return true; }
  // Rows changed since the last quick refresh; "Unique keyfields required".
  virtual void InternalRefreshQuick(bool with_deleted_check);
  // The record set executes its command, reported to the SQL monitor.
  virtual void InternalExecute();
  // Rows the statement would return, counted on the server; 0 here.
  virtual int GetRecCount() { return 0; }
  virtual void SetRefreshOptions(TRefreshOptions value);
  // True switches UniDirectional off and, while open, fetches every row.
  virtual void SetFetchAll(bool value);
  virtual bool SQLAutoGenerated() { return false; }
  virtual void BeforeExecute() {}
  // Whether editing (inserting) holds the connection open.
  virtual bool IsNeedEditPreconnect() { return false; }
  virtual bool IsNeedInsertPreconnect() { return false; }
  virtual void SetReadOnly(bool value);
  virtual bool IsPreconnected();
  virtual void InternalBeforeEdit() {}
  virtual void CreateSQLGenerator();
  // The dataset's own update SQL of the type (a WHERE refresh joins the SQL).
  virtual std::string GetUpdateStatement(TStatementType statement_type);
  // The statement types with update SQL: insert, update, delete, refresh.
  virtual TStatementTypes GetUpdateSQLStatementTypes();
  // An open dataset opens again; the old condition comes back when that fails.
  virtual void SetFilterSQL(const std::string& value);
  virtual void InternalRefreshRecord();
  virtual void CheckUpdateQuery(TStatementType statement_type);
  virtual void UpdateExecute(TStatementTypes statement_types);
  virtual void CheckUpdateSQL(const std::string& sql, TStatementTypes statement_types, TDAParamsInfo*& params_info);
  virtual bool UseParamType() { return false; }
  virtual TField* FieldByParamName(std::string& param_name, bool& old, int& index);
  // False when there was no statement.
  virtual bool PerformSQL(const std::string& sql, TStatementTypes statement_types);
  virtual bool RefreshAfterInsertAllowed() { return true; }
  virtual bool IsRefreshQuickField(TFieldDesc* /*field_desc*/) { return false; }
  virtual void SaveMaxRefreshQuickValue(TFieldDesc* /*field_desc*/, const Variant& /*value*/) {}
  virtual bool IsAutoCommit();
  virtual bool CanRefreshField(TField* /*field*/) { return true; }
  virtual bool NeedReturnParams();
  virtual void AssignFieldValue(TDAParam* param, TField* field, bool old);
  virtual void AssignFieldValue(TDAParam* param, TFieldDesc* field_desc, bool old);
  // The new auto-increment value into the identity field.
  virtual void GetIdentityField() {}
  // The updating table's key and data fields; the provider chooses (this class raises).
  virtual void GetKeyAndDataFields(TKeyAndDataFields& key_and_data_fields, bool all_key_fields);
  // Gives the object to the parameter; false.
  virtual bool NeedDetailRefresh(TDAParam* param, TSharedObject* object);
  virtual void ScanMacros(TObject* sender);
  // The command's report (then AfterExecute); around each fetched block.
  virtual void DoAfterExecute(bool result);
  virtual void DoOnBeforeFetch(bool& cancel);
  virtual void DoOnAfterFetch();
  // A provider's hidden descriptor of a refreshed row into the current record (as it is here).
  virtual void CopyHiddenValue(TData& source, void* source_buf, TFieldDesc* from, TFieldDesc* to, void* target,
                               const std::function<TFieldDesc*(const std::string&)>& target_of);
  virtual bool GetIsQuery() const;
  virtual bool AssignedBeforeUpdateExecute();
  virtual void DoBeforeUpdateExecute(TDataSet* sender, TStatementTypes statement_types, TParams* params);
  virtual bool AssignedAfterUpdateExecute();
  virtual void DoAfterUpdateExecute(TDataSet* sender, TStatementTypes statement_types, TParams* params);
  // The clause routines with the provider's lexer; "" in this class.
  virtual std::string SQLAddWhere(const std::string& sql, const std::string& condition);
  virtual std::string SQLDeleteWhere(const std::string& sql);
  virtual std::string SQLGetWhere(const std::string& sql);
  virtual std::string SQLSetOrderBy(const std::string& sql, const std::string& fields);
  virtual std::string SQLGetOrderBy(const std::string& sql);
  // The SQL sent: macros expanded, the filter and master/detail conditions added.
  virtual std::string GetFinalSQL();
  // A statement that returns rows opens the dataset.
  virtual void Execute();
  virtual bool Fetched() const;
  // The record store's data type of the field; dtUnknown without one.
  virtual uint16_t GetDataType(const std::string& field_name);
  // Descriptor FieldNo (1-based), or null.
  virtual TFieldDesc* GetFieldDesc(int field_no);

 protected:
  // The record set's report hooks.
  void DoAfterExecFetch(bool result);
  void DoAfterFetchAll(bool /*result*/) {}
  void DoOnDataChanged() { Resync({}); }

  // ---- record set ----
  void CreateIRecordSet() override;
  void SetIRecordSet(TData* value) override;
  void FreeIRecordSet();
  void CheckIRecordSet();
  // Takes the command component; its parameters and macros are the dataset's.
  void SetCommand(TCustomDASQL* value);
  void SetSQLGenerator(std::unique_ptr<TDASQLGenerator> value);
  // Again from the server in place; "Fields count has changed after reopen".
  void DataReopen() override;

  // ---- the framework's dataset ----
  void OpenCursor(bool field_info_only) override;
  void CloseCursor() override;
  void InternalOpen() override;
  void InternalClose() override;
  void InternalRefresh() override;
  void DoOnNewRecord() override;
  void DoAfterScroll() override;
  void InternalEdit() override;
  void InternalInsert() override;
  void InternalCancel() override;
  // A posted detail row that no longer matches its master leaves the store.
  void InternalPost() override;
  void InternalDeferredPost() override;
  bool FetchMoreRows() override;

  // ---- the record store's write steps and batches ----
  void PerformAppend() override;
  void PerformUpdate() override;
  void PerformDelete() override;
  // Cached records are applied in batches of UpdateBatchSize statements.
  bool BatchUpdate() override;
  bool CanFlushBatch() override;
  void FlushBatch() override;
  void ClearBatch();
  void InternalApplyUpdates(bool allow_fail_over);
  // How the detail refresh timer reaches the event loop.
  virtual std::unique_ptr<ITimerService> MakeDetailTimerService();
  void WriteFieldXMLAttributeType(TField* field, TFieldDesc* desc, const std::string& alias,
                                  XmlTextWriter& writer) override;
  void AssignTo(TPersistent* dest) const override;
  void BeforeDestruction() override;

  // ---- for descendants ----
  // The key fields (else the plain data fields) and their value, an array for several.
  void GetCurrentKeys(std::vector<TField*>& key_fields, Variant& values);
  void ClearCachedKeyAndDataFields();
  // SaveSQL's memory around a change of the SQL text (see .cpp).
  void SaveModifiedSQL(const std::string& new_sql);
  // The record set's table-info class (the base one without a record set).
  const TDKTableInfoClass& TableInfoClass() const;
  bool Traced() const;
  // RowsAffected as a provider's own execution counted it.
  void SetRowsAffected(int32_t value);
  void SetIdentityField(TField* field);
  void SetQuotes(char left, char right);

  // Per AllKeyFields value: filled by a provider's GetKeyAndDataFields.
  std::array<TKeyAndDataFields, 2> cached_key_and_data_fields_;

 private:
  // Its files' shared steps, its interfaces and its collaborators.
  friend struct TCustomDADataSetInternals;
  friend class TDADataSetInterfaces;
  friend class TLocalDetailFilter;
  friend class TRefreshRowMerge;
  friend class TUpdateStatementRunner;
  // Its own fields (dataset_internals.h).
  std::unique_ptr<TDADataSetFields> d_;
};

}  // namespace dac
