// TCustomMyDataSet: the MySQL dataset, the data-access dataset bound to the
// MySQL record set, its command and the MySQL update-SQL generator. It adds
// the MySQL options, the further results of a batch (OpenNext), a timed
// automatic refresh, table and row locks, the last insert id and what the
// server says about the columns (auto-increment, TIMESTAMP, key flags).
// TMyQuery is its published form; TMyUpdateSQL the update object of MySQL
// datasets.
//
//   TMyQuery* query = MakeComponent<TMyQuery>(owner);
//   query->SetConnection(connection);
//   query->SQL().SetText("SELECT * FROM dept");
//   query->Open();
//   query->Edit(); query->FieldByName("name")->SetAsString("x"); query->Post();
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "dac/core/data_source_component.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/update_sql.h"
#include "dac/mysql/components/my_sql_generator.h"

namespace dac {

class TCustomMyConnection;
class TMyDataSetOptions;
class TMyUpdateSQL;
class TMySQLCommand;
class TMySQLConnection;
class TMySQLFieldDesc;
class TMySQLRecordset;

enum TLockType : uint8_t { ltRead, ltReadLocal, ltWrite, ltWriteLowPriority };

class TCustomMyDataSet;
using TMyUpdateExecuteEvent =
    std::function<void(TCustomMyDataSet* sender, TStatementTypes statement_types, TDAParams* params)>;

class TCustomMyDataSet : public TCustomDADataSet {
  DAC_DECLARE_CLASS();

 public:
  explicit TCustomMyDataSet(TComponent* owner);
  ~TCustomMyDataSet() override;
  void Init() override;

  TCustomMyConnection* GetConnection() const;
  void SetConnection(TCustomMyConnection* value);
  TMyUpdateSQL* GetUpdateObject() const;
  void SetUpdateObject(TMyUpdateSQL* value);

  // ---- MySQL operations ----
  // The next result of a multi-statement text: closes, then opens on it;
  // false (and closed) when there is none. Needs an unprepared dataset
  // with FetchAll off.
  bool OpenNext();
  // Reads the rows changed since the latest TIMESTAMP seen.
  void RefreshQuick(bool check_deleted);
  // Breaks off the running statement (from another thread).
  void BreakExec();
  // LOCK TABLES on the updating table; UNLOCK TABLES.
  void LockTable(TLockType lock_type);
  void UnLockTable();
  // The members of an ENUM or SET column (empty for other columns); the
  // table of the field's column when table_name is empty. "Field name must
  // be defined", "Field %s not found", "More than one field found".
  void GetFieldEnum(TStrings& list, const std::string& field_name, const std::string& table_name = "");
  // SELECT ... FOR UPDATE (lrImmediately) or LOCK IN SHARE MODE (lrDelayed)
  // of the current row; inside a transaction only.
  void Lock(TLockRecordType lock_type = lrImmediately);

  TMyDataSetOptions& MyOptions() const;
  void SetOptions(const TMyDataSetOptions& value);
  int32_t GetCommandTimeout() const { return command_timeout_; }
  // Seconds; passed to the record set's command.
  void SetCommandTimeout(int32_t seconds);
  // The id the server gave the last inserted row.
  int64_t InsertId() const { return insert_id_; }
  TMySQLRecordset* MyRecordSet() const { return my_record_set_; }
  TMySQLCommand* MyCommand() const { return my_command_; }
  // The open server connection of the used connection (database error without one).
  TMySQLConnection& ServerConnection() const;
  // The column's name in generated SQL: with the table (its alias, else its
  // name) in front for a refresh.
  std::string GetActualFieldName(TFieldDesc* field_desc, bool is_refresh);
  using TCustomDADataSet::GetActualFieldName;
  void SetBeforeUpdateExecute(TMyUpdateExecuteEvent handler) { before_update_execute_ = std::move(handler); }
  void SetAfterUpdateExecute(TMyUpdateExecuteEvent handler) { after_update_execute_ = std::move(handler); }
  // Starts and stops the AutoRefresh timer (made on first use).
  void UpdateAutoRefreshTimer();
  TWin32Timer* AutoRefreshTimer() const { return auto_refresh_timer_; }

  // ---- overrides ----
  std::string PSGetQuoteChar() override { return "`"; }
  bool GetCanModify() override;
  // With FetchAll off and QueryRecCount on: the count taken at open.
  int GetRecordCount() override;
  void Prepare() override;
  // A name as SQL text (qualified, perhaps quoted) normalized part by part.
  std::string QuoteName(const std::string& name) const override;
  std::string UnQuoteName(const std::string& name) const override;
  // A name as the server gives it (a column's) as one identifier.
  std::string QuoteIdentifier(const std::string& bare) const;
  void Execute() override;
  std::string SQLAddWhere(const std::string& sql, const std::string& condition) override;
  std::string SQLDeleteWhere(const std::string& sql) override;
  std::string SQLGetWhere(const std::string& sql) override;
  std::string SQLSetOrderBy(const std::string& sql, const std::string& fields) override;
  std::string SQLGetOrderBy(const std::string& sql) override;
  void GetKeyAndDataFields(TKeyAndDataFields& key_and_data_fields, bool all_key_fields) override;
  void DoAfterExecute(bool result) override;
  bool GetIsQuery() const override;
  // The server's own text of a value its field cannot hold exactly, while
  // the record holds it as read (TMySQLRecordset::GetExactText).
  bool GetFieldExactText(TField* field, std::string& text) override;

 protected:
  void InternalOpen() override;
  void InternalClose() override;
  void CreateIRecordSet() override;
  void SetIRecordSet(TData* value) override;
  void CreateFieldDefs() override;
  // The ranges of the column's MySQL type.
  void SetNumberRange(TFieldDef* def) override;
  // SELECT COUNT(*) of the statement without its ORDER BY (FetchAll off, QueryRecCount on).
  int GetRecCount() override;
  // Auto-increment columns are not null; TIMESTAMP columns are row versions.
  void WriteFieldXMLDataType(TField* field, TFieldDesc* desc, const std::string& alias,
                             XmlTextWriter& writer) override;
  void WriteFieldXMLAttributeType(TField* field, TFieldDesc* desc, const std::string& alias,
                                  XmlTextWriter& writer) override;
  void PerformAppend() override;
  void AssignTo(TPersistent* dest) const override;
  void BeforeDestruction() override;
  std::unique_ptr<TDADataSetOptions> CreateOptions() override;
  void CreateCommand() override;
  void CreateSQLGenerator() override;
  void BeforeOpenCursor(bool field_info_only) override;
  void AfterOpenCursor(bool field_info_only) override;
  void InternalExecute() override;
  void InternalBeforeEdit() override;
  void CheckUpdateQuery(TStatementType statement_type) override;
  void CheckUpdateSQL(const std::string& sql, TStatementTypes statement_types, TDAParamsInfo*& params_info) override;
  bool IsRefreshQuickField(TFieldDesc* field_desc) override;
  void SaveMaxRefreshQuickValue(TFieldDesc* field_desc, const Variant& value) override;
  void GetIdentityField() override;
  // A value its field cannot hold exactly goes back as the server's text,
  // so that writing the record back leaves it as it was.
  void AssignFieldValue(TDAParam* param, TField* field, bool old) override;
  using TCustomDADataSet::AssignFieldValue;
  // The refreshed row's exact texts, each under the record's name of its column.
  void CopyHiddenValue(TData& source, void* source_buf, TFieldDesc* from, TFieldDesc* to, void* target,
                       const std::function<TFieldDesc*(const std::string&)>& target_of) override;
  bool AssignedBeforeUpdateExecute() override { return static_cast<bool>(before_update_execute_); }
  void DoBeforeUpdateExecute(TDataSet* sender, TStatementTypes statement_types, TParams* params) override;
  bool AssignedAfterUpdateExecute() override { return static_cast<bool>(after_update_execute_); }
  void DoAfterUpdateExecute(TDataSet* sender, TStatementTypes statement_types, TParams* params) override;

  // The table a table component works on by name; "" for a query.
  virtual std::string OwnTableName() const { return ""; }
  // The work reported to the SQL monitor as sql with params and caption,
  // before and after, unless LockDebug; only with a monitor or Debug.
  void RunTraced(const std::string& sql, TParams* params, const std::string& caption,
                 const std::function<void()>& work);
  // The lock statement through PerformSQL with StrictUpdate off.
  void PerformLockSQL(const std::string& sql, TStatementTypes statement_types);
  // The descriptor of the last TIMESTAMP column found at open.
  TMySQLFieldDesc* TimestampDesc() const { return timestamp_desc_; }

 private:
  void AutoRefreshTick();
  // Default values of the fields from SHOW FULL COLUMNS.
  void GetFieldsInfo();

  // BeginConnection, the work, EndConnection on every way out.
  void WithConnection(const std::function<void()>& work);
  // The connection's last insert id; 0 without a server connection.
  int64_t LastInsertId() const;
  // The MySQL options to the record set.
  void SendMyOptions();
  // FieldsOrigin, auto-increment and TIMESTAMP columns after an open.
  void ReadFieldInfo();
  bool KeyFieldsFilteredByTable(bool all_key_fields) const;

  TMySQLRecordset* my_record_set_ = nullptr;
  TMySQLCommand* my_command_ = nullptr;
  TMyUpdateExecuteEvent before_update_execute_;
  TMyUpdateExecuteEvent after_update_execute_;
  bool last_execute_result_ = false;
  bool has_writable_fields_ = false;
  int32_t command_timeout_ = 0;
  int64_t insert_id_ = 0;
  TMySQLFieldDesc* timestamp_desc_ = nullptr;
  TWin32Timer* auto_refresh_timer_ = nullptr;
  bool initialized_ = false;
  int server_rec_count_ = 0;
};

// The published MySQL query.
class TMyQuery : public TCustomMyDataSet {
  DAC_DECLARE_CLASS();

 public:
  using TCustomMyDataSet::TCustomMyDataSet;
};

// The data source of MySQL datasets.
class TMyDataSource : public TDKDataSource {
  DAC_DECLARE_CLASS();

 public:
  using TDKDataSource::TDKDataSource;
};

// The update object of MySQL datasets.
class TMyUpdateSQL : public TCustomDAUpdateSQL {
  DAC_DECLARE_CLASS();

 public:
  using TCustomDAUpdateSQL::TCustomDAUpdateSQL;

  const TMetaClass& DataSetClass() const override;
  const TMetaClass& SQLClass() const override;
};

}  // namespace dac
