#include "dac/mysql/components/my_dataset.h"

#include "dac/core/access_utils.h"
#include "dac/core/connection_component.h"
#include "dac/core/da_param.h"
#include "dac/core/dataset/param_info.h"
#include "dac/core/dataset/sql_clauses.h"
#include "dac/core/sql_component.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/framework/classes/with_cleanup.h"
#include "dac/framework/data/field.h"
#include "dac/mysql/client/wire/client_records.h"
#include "dac/mysql/components/my_command_component.h"
#include "dac/mysql/components/my_connection_component.h"
#include "dac/mysql/components/my_dataset_options.h"
#include "dac/mysql/provider/my_command.h"
#include "dac/mysql/provider/my_connection.h"
#include "dac/mysql/provider/my_field_desc.h"
#include "dac/mysql/provider/my_identifiers.h"
#include "dac/mysql/provider/my_messages.h"
#include "dac/mysql/provider/my_parser.h"
#include "dac/mysql/provider/my_property_codes.h"
#include "dac/mysql/provider/my_record_set.h"
#include "dac/mysql/provider/my_table_info.h"
#include "dac/store/runtime/win32_timer.h"
#include "platform/ascii.h"

namespace dac {

DAC_DEFINE_CLASS(TCustomMyDataSet, TCustomDADataSet, ::dac::TComponentClassOf<TCustomMyDataSet>)
DAC_DEFINE_CLASS(TMyQuery, TCustomMyDataSet, ::dac::TComponentClassOf<TMyQuery>)
DAC_DEFINE_CLASS(TMyDataSource, TDKDataSource, ::dac::TComponentClassOf<TMyDataSource>)
DAC_DEFINE_CLASS(TMyUpdateSQL, TCustomDAUpdateSQL, ::dac::TComponentClassOf<TMyUpdateSQL>)

namespace {

// The lexeme codes of the clause routines.
constexpr int kSelectCode = mySELECT;
constexpr int kWhereCode = myWHERE;
constexpr int kOrderCode = myORDER;
constexpr int kByCode = myBY;

const TParserClass& Parser() { return TMyParser::ParserClass(); }

[[noreturn]] void RaiseMy(const TResStringRec& message, TComponent* component) {
  AddMySQLMessages();
  DatabaseError(LoadResString(message), component);
}

bool IsTimestamp(const TFieldDesc* desc) {
  const auto* my_desc = dynamic_cast<const TMySQLFieldDesc*>(desc);
  return my_desc && my_desc->GetMySQLType() == mftTimestamp;
}

}  // namespace

const TMetaClass& TMyUpdateSQL::DataSetClass() const { return TCustomMyDataSet::ClassInfo(); }

const TMetaClass& TMyUpdateSQL::SQLClass() const { return TMyCommand::ClassInfo(); }

// ---- lifecycle ----

TCustomMyDataSet::TCustomMyDataSet(TComponent* owner) : TCustomDADataSet(owner) {}

TCustomMyDataSet::~TCustomMyDataSet() = default;

void TCustomMyDataSet::Init() {
  TCustomDADataSet::Init();
  initialized_ = true;
  SendMyOptions();
  SetQuotes('`', '`');
  SetFetchAll(true);
  command_timeout_ = 0;
  UpdateAutoRefreshTimer();
}

void TCustomMyDataSet::BeforeDestruction() {
  if (auto_refresh_timer_) auto_refresh_timer_->SetEnabled(false);
  TComponent::FreeAndNil(auto_refresh_timer_);
  TCustomDADataSet::BeforeDestruction();
  my_record_set_ = nullptr;
  my_command_ = nullptr;
}

std::unique_ptr<TDADataSetOptions> TCustomMyDataSet::CreateOptions() {
  return std::make_unique<TMyDataSetOptions>(this);
}

void TCustomMyDataSet::CreateCommand() { SetCommand(MakeComponent<TMyCommand>(this)); }

TCustomMyConnection* TCustomMyDataSet::GetConnection() const {
  return dynamic_cast<TCustomMyConnection*>(TCustomDADataSet::GetConnection());
}

void TCustomMyDataSet::SetConnection(TCustomMyConnection* value) { TCustomDADataSet::SetConnection(value); }

TMyUpdateSQL* TCustomMyDataSet::GetUpdateObject() const {
  return static_cast<TMyUpdateSQL*>(TCustomDADataSet::GetUpdateObject());
}

void TCustomMyDataSet::SetUpdateObject(TMyUpdateSQL* value) { TCustomDADataSet::SetUpdateObject(value); }

void TCustomMyDataSet::CreateSQLGenerator() { SetSQLGenerator(std::make_unique<TMySQLGenerator>(this)); }

void TCustomMyDataSet::CreateIRecordSet() {
  TCustomDADataSet::CreateIRecordSet();
  if (Data()) return;
  auto record_set = std::make_unique<TMySQLRecordset>();
  record_set->Create();
  SetIRecordSet(record_set.get());
  record_set.release();
}

void TCustomMyDataSet::SetIRecordSet(TData* value) {
  TCustomDADataSet::SetIRecordSet(value);
  my_record_set_ = dynamic_cast<TMySQLRecordset*>(value);
  my_command_ = my_record_set_ ? &my_record_set_->Command() : nullptr;
  if (!my_record_set_) return;
  my_record_set_->SetProp(prEnableEmptyStrings, true);
  my_record_set_->SetProp(prMyCommandTimeout, command_timeout_);
  SendMyOptions();
}

void TCustomMyDataSet::SendMyOptions() {
  // The options are made after the first record set is bound.
  if (!my_record_set_ || !initialized_) return;
  const TMyDataSetOptions& options = MyOptions();
  my_record_set_->SetProp(prMyFieldsAsString, options.GetFieldsAsString());
  my_record_set_->SetProp(prMyNullForZeroDate, options.GetNullForZeroDate());
  my_record_set_->SetProp(prMyEnableBoolean, options.GetEnableBoolean());
  my_record_set_->SetProp(prMyCreateConnection, options.GetCreateConnection());
}

TMyDataSetOptions& TCustomMyDataSet::MyOptions() const { return static_cast<TMyDataSetOptions&>(Options()); }

void TCustomMyDataSet::SetOptions(const TMyDataSetOptions& value) { Options().Assign(&value); }

void TCustomMyDataSet::SetCommandTimeout(int32_t seconds) {
  command_timeout_ = seconds;
  if (my_record_set_) my_record_set_->SetProp(prMyCommandTimeout, seconds);
}

TMySQLConnection& TCustomMyDataSet::ServerConnection() const {
  TCustomDAConnection* used = UsedConnection();
  DAC_ASSERT(used != nullptr, "The dataset has no connection");
  auto* server = dynamic_cast<TMySQLConnection*>(used->GetIConnection());
  if (!server) DatabaseError(LoadResString(SConnectionIsClosed), const_cast<TCustomMyDataSet*>(this));
  return *server;
}

void TCustomMyDataSet::AssignTo(TPersistent* dest) const {
  TCustomDADataSet::AssignTo(dest);
  if (auto* other = dynamic_cast<TCustomMyDataSet*>(dest)) other->Params().Assign(&Params());
}

// ---- quoting and clauses ----

// Names go by the rules of the record set's session (its character set).
std::string TCustomMyDataSet::QuoteName(const std::string& name) const {
  return TableInfoClass().NormalizeName(name, Options().GetQuoteNames());
}

std::string TCustomMyDataSet::QuoteIdentifier(const std::string& bare) const {
  return TableInfoClass().QuoteIdentifier(bare, Options().GetQuoteNames());
}

std::string TCustomMyDataSet::UnQuoteName(const std::string& name) const { return UnbracketIfPossible(name); }

std::string TCustomMyDataSet::SQLAddWhere(const std::string& sql, const std::string& condition) {
  return AddWhereClause(sql, condition, Parser(), false, kSelectCode, kWhereCode);
}

std::string TCustomMyDataSet::SQLDeleteWhere(const std::string& sql) {
  return SetWhereClause(sql, "", Parser(), kSelectCode, kWhereCode);
}

std::string TCustomMyDataSet::SQLGetWhere(const std::string& sql) {
  return GetWhereClause(sql, Parser(), false, kSelectCode, kWhereCode);
}

std::string TCustomMyDataSet::SQLSetOrderBy(const std::string& sql, const std::string& fields) {
  return SetOrderByClause(sql, fields, Parser(), kSelectCode, kOrderCode, kByCode);
}

std::string TCustomMyDataSet::SQLGetOrderBy(const std::string& sql) {
  return GetOrderByClause(sql, Parser(), kSelectCode, kOrderCode, kByCode);
}

std::string TCustomMyDataSet::GetActualFieldName(TFieldDesc* field_desc, bool is_refresh) {
  auto* desc = dynamic_cast<TMySQLFieldDesc*>(field_desc);
  DAC_ASSERT(desc != nullptr, "A MySQL field descriptor expected");
  // The column as its table names it, one identifier: a column alias means
  // nothing to the table a condition reads.
  const std::string column = QuoteIdentifier(desc->GetActualName().empty() ? desc->GetName() : desc->GetActualName());
  if (!is_refresh) return column;
  const TDKTableInfo* table = desc->GetTableInfo();
  const std::string table_name = OwnTableName().empty() ? GenerateTableName(*desc) : OwnTableName();
  if (!table || table_name.empty()) return column;
  const std::string& prefix = table->GetTableAlias().empty() ? table->GetTableName() : table->GetTableAlias();
  return QuoteName(prefix) + "." + column;
}

// ---- opening ----

void TCustomMyDataSet::Prepare() {
  WithConnection([this] {
    auto* used = dynamic_cast<TCustomMyConnection*>(UsedConnection());
    DAC_ASSERT(used != nullptr, "A MySQL connection expected");
    used->CheckPrepareSupport();
    TCustomDADataSet::Prepare();
  });
}

void TCustomMyDataSet::BeforeOpenCursor(bool field_info_only) {
  if (plat::TrimBlanks(SQL().Text()).empty()) RaiseMy(my_messages::SEmptySQLStatement, this);
  TCustomDADataSet::BeforeOpenCursor(field_info_only);
}

void TCustomMyDataSet::AfterOpenCursor(bool field_info_only) {
  TCustomDADataSet::AfterOpenCursor(field_info_only);
  if (MyOptions().GetDefaultValues()) GetFieldsInfo();
  if (field_info_only && my_command_) my_command_->SetCursorState(csInactive);
}

void TCustomMyDataSet::InternalOpen() {
  TCustomDADataSet::InternalOpen();
  has_writable_fields_ = false;
  if (my_record_set_) {
    TFieldDescs& descs = my_record_set_->GetFieldDescs();
    for (int i = 0; i < descs.Count(); ++i) has_writable_fields_ = has_writable_fields_ || !descs.GetItems(i)->GetReadOnly();
  }
  ReadFieldInfo();
}

void TCustomMyDataSet::ReadFieldInfo() {
  TDKTablesInfo* tables = GetTablesInfo();
  const int updating = GetUpdatingTableIdx();
  DAC_ASSERT(!tables || (updating >= -1 && updating < tables->Count()), "Bad updating table index");
  const TDKTableInfo* updating_table = tables && updating >= 0 ? tables->Items(updating) : nullptr;
  for (int i = Fields().Count() - 1; i >= 0; --i) {
    TField* field = Fields().Fields(i);
    if (field->FieldKind() != fkData) continue;
    auto* desc = dynamic_cast<TMySQLFieldDesc*>(TMemDataSet::GetFieldDesc(field));
    if (!desc) continue;
    if (Options().GetFieldsOrigin()) {
      const std::string table = OwnTableName();
      field->SetOrigin(table.empty() ? GenerateTableName(*desc) + "." + QuoteIdentifier(desc->GetActualName())
                                     : table + "." + field->FieldName());
    }
    if (desc->GetIsAutoIncrement()) {
      if (Options().GetSetFieldsReadOnly()) field->SetReadOnly(true);
      if (updating_table && desc->GetTableInfo() &&
          desc->GetTableInfo()->GetTableName() == updating_table->GetTableName()) {
        SetIdentityField(field);
      }
      field->SetAutoGenerateValue(arAutoInc);
    }
    if (desc->GetMySQLType() == mftTimestamp) timestamp_desc_ = desc;
  }
}

void TCustomMyDataSet::InternalClose() {
  WithCleanup([this] { TCustomDADataSet::InternalClose(); }, [this] { timestamp_desc_ = nullptr; });
}

void TCustomMyDataSet::CreateFieldDefs() {
  if (GetPrepared() && my_command_ && GetIRecordSet()->GetCommandType() == ctCursor) FieldDefs().SetUpdated(false);
  TCustomDADataSet::CreateFieldDefs();
}

bool TCustomMyDataSet::GetCanModify() {
  DAC_ASSERT(GetIRecordSet() != nullptr, "FIRecordSet must be setted to this time");
  if (TCustomDADataSet::GetCanModify()) return true;
  if (GetReadOnly() || GetUniDirectional()) return false;
  if (has_writable_fields_) return true;
  for (TStatementType type : {stInsert, stUpdate, stDelete}) {
    if (const TStrings* sql = GetUpdateSQLIndex(type); sql && sql->Count() > 0) return true;
  }
  return false;
}

bool TCustomMyDataSet::GetIsQuery() const {
  TDKRecordSet* record_set = GetIRecordSet();
  TCustomDAConnection* used = UsedConnection();
  if (record_set && used && record_set->GetCommandType() == ctUnknown && used->Options().GetDisconnectedMode() &&
      last_execute_result_) {
    TDKConnection* server = used->GetIConnection();
    if (server && server->GetIsValid() && !server->GetReconnected()) return true;
  }
  return TCustomDADataSet::GetIsQuery();
}

// ---- running ----

void TCustomMyDataSet::Execute() {
  WithConnection([this] {
    TCustomDADataSet::Execute();
    if (!GetActive()) insert_id_ = LastInsertId();
  });
}

void TCustomMyDataSet::WithConnection(const std::function<void()>& work) {
  BeginConnection(true);
  WithCleanup(work, [this] { EndConnection(); });
}

int64_t TCustomMyDataSet::LastInsertId() const {
  Variant id;
  TDKConnection* server = UsedConnection() ? UsedConnection()->GetIConnection() : nullptr;
  return server && server->GetProp(prMyLastInsertId, id) ? id.AsInt64() : 0;
}

void TCustomMyDataSet::InternalExecute() {
  TCustomDADataSet::InternalExecute();
  TDKRecordSet* record_set = GetIRecordSet();
  if (record_set->GetCommandType() != ctCursor) {
    if (GetICommand()) GetICommand()->SetCursorState(csInactive);
  } else {
    InternalInitFieldDefs();
  }
}

void TCustomMyDataSet::DoAfterExecute(bool result) {
  last_execute_result_ = result;
  TCustomDADataSet::DoAfterExecute(result);
}

bool TCustomMyDataSet::OpenNext() {
  bool result = false;
  WithConnection([&] {
    if (GetPrepared()) RaiseMy(my_messages::SOpenNextPreparedSQL, this);
    if (GetFetchAll()) RaiseMy(my_messages::SOpenNextVsFetchAll, this);
    // The record set reads away what follows a result at its close unless
    // the next open is to take it.
    if (my_record_set_) my_record_set_->SetProp(prMyOpenNext, true);
    WithCleanup(
        [&] {
          Close();
          UnPrepare();
          Variant more;
          result = my_record_set_ && my_record_set_->GetProp(prMyMoreResults, more) && more.AsBoolean();
        },
        [&] {
          if (my_record_set_ && !result) my_record_set_->SetProp(prMyOpenNext, false);
        });
    if (!result) return;
    WithCleanup(
        [this] {
          FieldDefs().SetUpdated(false);
          Open();
        },
        [this] {
          if (my_record_set_) my_record_set_->SetProp(prMyOpenNext, false);
        });
  });
  return result;
}

void TCustomMyDataSet::BreakExec() {
  DAC_ASSERT(my_command_ != nullptr, "The dataset has no command");
  my_command_->BreakExec();
}

void TCustomMyDataSet::RefreshQuick(bool check_deleted) { InternalRefreshQuick(check_deleted); }

// ---- locks ----

void TCustomMyDataSet::LockTable(TLockType lock_type) {
  CheckActive();
  if (GetUpdatingTableIdx() < 0) return;
  if (!GetFetchAll()) RaiseMy(my_messages::SLockTableVsFetchAll, this);
  static constexpr const char* kModes[] = {" READ", " READ LOCAL", " WRITE", " LOW_PRIORITY WRITE"};
  const TDKTableInfo* table = GetTablesInfo()->Items(GetUpdatingTableIdx());
  const std::string name = table->GetTableNameFull().empty() ? table->GetTableName() : table->GetTableNameFull();
  WithConnection([&] { PerformLockSQL("LOCK TABLES " + QuoteName(name) + kModes[lock_type], {stCustom}); });
}

void TCustomMyDataSet::UnLockTable() {
  WithConnection([this] { PerformLockSQL("UNLOCK TABLES", {stCustom}); });
}

void TCustomMyDataSet::Lock(TLockRecordType lock_type) {
  CheckActive();
  if (IsEmpty()) RaiseMy(my_messages::SNoRecordToLock, this);
  if (!GetFetchAll()) RaiseMy(my_messages::SLockVsFetchAll, this);
  if (!UsedConnection()->GetInTransaction()) RaiseMy(my_messages::SMustBeInTransaction, this);
  auto* generator = dynamic_cast<TMySQLGenerator*>(SQLGenerator());
  DAC_ASSERT(generator != nullptr, "The MySQL generator expected");
  generator->SetLockRecordType(lock_type);
  PerformLockSQL("", {stLock});
}

void TCustomMyDataSet::PerformLockSQL(const std::string& sql, TStatementTypes statement_types) {
  TDADataSetOptions& options = Options();
  const bool strict = options.GetStrictUpdate();
  options.SetStrictUpdate(false);
  WithCleanup([&] { PerformSQL(sql, statement_types); }, [&] { options.SetStrictUpdate(strict); });
}

// ---- writing back ----

void TCustomMyDataSet::GetKeyAndDataFields(TKeyAndDataFields& key_and_data_fields, bool all_key_fields) {
  TKeyAndDataFields& cache = cached_key_and_data_fields_[all_key_fields ? 1 : 0];
  if (!cache.KeyFieldDescs.empty() || !cache.DataFieldDescs.empty()) {
    key_and_data_fields = cache;
    return;
  }
  key_and_data_fields = {};
  if (Fields().Count() == 0 || !my_record_set_ || my_record_set_->GetFieldDescs().Count() == 0) return;
  const bool filtered = KeyFieldsFilteredByTable(all_key_fields);
  const TDKTableInfo* updating = filtered ? GetTablesInfo()->Items(GetUpdatingTableIdx()) : nullptr;
  for (int i = 0; i < Fields().Count(); ++i) {
    TField* field = Fields().Fields(i);
    if (field->FieldKind() != fkData) continue;
    auto* desc = dynamic_cast<TMySQLFieldDesc*>(TMemDataSet::GetFieldDesc(field));
    if (!desc) continue;
    // A column without a table (an expression) is read, never written.
    if (!desc->GetTableInfo()) continue;
    if (filtered && OwnTableName().empty() && desc->GetTableInfo() != updating) continue;
    if (desc->GetIsPrimaryKey()) key_and_data_fields.KeyFieldDescs.push_back(desc);
    if (!desc->GetReadOnly()) key_and_data_fields.DataFieldDescs.push_back(desc);
  }
  cache = key_and_data_fields;
}

bool TCustomMyDataSet::KeyFieldsFilteredByTable(bool all_key_fields) const {
  if (GetUpdatingTableIdx() < 0 || !GetTablesInfo()) return false;
  return !(all_key_fields && Options().GetFullRefresh() && OwnTableName().empty());
}

void TCustomMyDataSet::CheckUpdateQuery(TStatementType statement_type) {
  TCustomDADataSet::CheckUpdateQuery(statement_type);
  auto* query = dynamic_cast<TCustomMyDataSet*>(UpdateQuery());
  if (!query) return;
  query->SetFetchAll(true);
  query->Options().SetCompressBlobMode(Options().GetCompressBlobMode());
  query->MyOptions().SetEnableBoolean(MyOptions().GetEnableBoolean());
}

void TCustomMyDataSet::CheckUpdateSQL(const std::string& sql, TStatementTypes statement_types,
                                      TDAParamsInfo*& params_info) {
  TCustomDADataSet::CheckUpdateSQL(sql, statement_types, params_info);
  if (!params_info) return;
  auto* query = dynamic_cast<TCustomDADataSet*>(UpdateQuery());
  TDKCommand* command = query ? query->GetICommand() : nullptr;
  auto* generator = dynamic_cast<TMySQLGenerator*>(SQLGenerator());
  if (!command || !generator) return;
  // Positions of an earlier statement must not stay in front of these.
  command->SetProp(prMyKeepParamPositions, true);
  command->SetProp(prMyKeepParamPositions, false);
  if (statement_types.Contains(stRefreshQuick)) return;
  // A refresh built on the dataset's own statement has its condition
  // somewhere inside that statement: the command finds the placeholders there.
  const bool own_statement = Options().GetFullRefresh() || GetReadOnly();
  if (statement_types.Contains(stRefresh) && (ParamCount() > 0 || own_statement)) return;
  for (int i = 0; i < params_info->Count(); ++i) command->SetProp(prMyParamPosition, generator->GetParamOffset(i));
}

void TCustomMyDataSet::PerformAppend() {
  TCustomDADataSet::PerformAppend();
  if (auto* query = dynamic_cast<TCustomMyDataSet*>(UpdateQuery())) insert_id_ = query->InsertId();
}

void TCustomMyDataSet::GetIdentityField() {
  TField* identity = IdentityField();
  if (!identity) return;
  WithConnection([&] {
    const int64_t id = LastInsertId();
    if (id == 0) return;
    const bool read_only = identity->ReadOnly();
    identity->SetReadOnly(false);
    WithCleanup(
        [&] {
          // While cached records are applied the row is written in its new-value state.
          const bool cached = GetInCacheProcessing() && GetState() == dsBrowse;
          TTempState temp(*this, cached ? dsNewValue : GetState());
          identity->SetAsLargeInt(id);
        },
        [&] { identity->SetReadOnly(read_only); });
  });
}

void TCustomMyDataSet::InternalBeforeEdit() {
  if (GetRefreshOptions().Contains(roBeforeEdit)) InternalRefreshRecord();
  TCustomDADataSet::InternalBeforeEdit();
}

bool TCustomMyDataSet::IsRefreshQuickField(TFieldDesc* field_desc) { return IsTimestamp(field_desc); }

void TCustomMyDataSet::SaveMaxRefreshQuickValue(TFieldDesc* field_desc, const Variant& value) {
  const double seen = value.IsEmptyOrNull() ? 0 : value.AsDouble();
  if (!my_record_set_) return;
  auto* own = dynamic_cast<TMySQLFieldDesc*>(my_record_set_->FindField(field_desc->GetName()));
  if (!IsTimestamp(own)) return;
  auto* table = dynamic_cast<TMyTableInfo*>(own->GetTableInfo());
  if (table && seen > table->GetMaxTimestamp()) table->SetMaxTimestamp(seen);
}

void TCustomMyDataSet::DoBeforeUpdateExecute(TDataSet* sender, TStatementTypes statement_types, TParams* params) {
  if (before_update_execute_) {
    before_update_execute_(static_cast<TCustomMyDataSet*>(sender), statement_types, static_cast<TDAParams*>(params));
  }
}

void TCustomMyDataSet::DoAfterUpdateExecute(TDataSet* sender, TStatementTypes statement_types, TParams* params) {
  if (after_update_execute_) {
    after_update_execute_(static_cast<TCustomMyDataSet*>(sender), statement_types, static_cast<TDAParams*>(params));
  }
}

// ---- the timed refresh ----

void TCustomMyDataSet::UpdateAutoRefreshTimer() {
  if (!initialized_) return;
  const TMyDataSetOptions& options = MyOptions();
  const bool enabled = options.GetAutoRefresh() && !ComponentState().Contains(csDesigning);
  if (!auto_refresh_timer_) {
    if (!enabled) return;
    auto_refresh_timer_ = MakeComponent<TWin32Timer>(nullptr, MakeDetailTimerService());
    auto_refresh_timer_->SetEnabled(false);
    auto_refresh_timer_->SetOnTimer([this](TObject*) { AutoRefreshTick(); });
  }
  auto_refresh_timer_->SetInterval(static_cast<uint32_t>(options.GetAutoRefreshInterval()) * 1000u);
  auto_refresh_timer_->SetEnabled(enabled);
}

void TCustomMyDataSet::AutoRefreshTick() {
  if (GetState() != dsBrowse) return;
  if (timestamp_desc_) {
    RefreshQuick(true);
  } else {
    Refresh();
  }
  // The next tick comes a whole interval after this refresh.
  auto_refresh_timer_->SetEnabled(false);
  auto_refresh_timer_->SetEnabled(true);
}

}  // namespace dac
