// The dataset component's life: construction and destruction, its record
// set and command, its connection, its settings and the links to its master
// and its update object.
#include "dac/core/dataset/dataset_component.h"

#include <exception>

#include "dac/core/connection_component.h"
#include "dac/core/da_param.h"
#include "dac/core/data_access_globals.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/dataset/sql_generator.h"
#include "dac/core/macros.h"
#include "dac/core/server/connection.h"
#include "dac/core/server/messages.h"
#include "dac/core/server/record_set.h"
#include "dac/core/sql_component.h"
#include "dac/core/update_sql.h"
#include "dac/framework/classes/application.h"
#include "dac/framework/classes/update_pair.h"
#include "dac/framework/data/data_source.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/fields.h"
#include "dac/store/blob/blob.h"
#include "dac/store/xml/xml_export_text.h"
#include "dac/store/xml/xml_text_writer.h"
#include "platform/code_page.h"

namespace dac {

DAC_DEFINE_CLASS(TCustomDADataSet, TMemDataSet, ::dac::TComponentClassOf<TCustomDADataSet>)

namespace {

// Whether the ";"-separated list names the field.
bool ListNames(const std::string& names, const std::string& name) {
  for (size_t pos = 1; pos <= names.size();) {
    if (ExtractFieldName(names, pos) == name) return true;
  }
  return false;
}

}  // namespace

// ---- detail data link ----

TDataSet* TDADetailDataLink::GetDetailDataSet() { return data_set_; }

void TDADetailDataLink::ActiveChanged() {
  if (data_set_->GetActive() && !data_set_->ComponentState().Contains(csDestroying) && Active()) {
    data_set_->RefreshParams();
  }
}

bool TDADetailDataLink::LinksBy(const TField* field) const {
  if (ListNames(data_set_->GetMasterFields(), field->FieldName())) return true;
  return data_set_->FindParam(field->FieldName()) != nullptr;
}

void TDADetailDataLink::RecordChanged(TField* field) {
  if (field && !LinksBy(field)) return;
  if (!data_set_->GetActive()) return;
  const TDataSetState state = data_set_->GetState();
  if (field && (state == dsEdit || state == dsInsert)) return;
  data_set_->RefreshParams();
}

void TDADetailDataLink::CheckBrowseMode() {
  if (!data_set_->GetActive()) return;
  const TDataSetState state = data_set_->GetState();
  if (DataSet() && DataSet()->GetState() == dsInsert && (state == dsEdit || state == dsInsert)) return;
  data_set_->CheckBrowseMode();
}

// ---- construction and destruction ----

TCustomDADataSet::TCustomDADataSet(TComponent* owner) : TMemDataSet(owner) {}

TCustomDADataSet::~TCustomDADataSet() = default;

void TCustomDADataSet::Init() {
  TMemDataSet::Init();
  data_link_ = std::make_unique<TDADetailDataLink>(this);
  const TStatementTypes types = GetUpdateSQLStatementTypes();
  for (int type = stQuery; type <= stBatchUpdate; ++type) {
    if (!types.Contains(static_cast<TStatementType>(type))) continue;
    auto& list = update_sql_[static_cast<size_t>(type)];
    DAC_ASSERT(!list, "Update SQL list made twice");
    list = std::make_unique<TStringList>();
    list->SetOnChange([this](TObject* sender) { ScanMacros(sender); });
  }
  CreateCommand();
  CreateSQLGenerator();
  SetIRecordSet(Data());
  options_ = CreateOptions();
  // A record set bound before the options existed takes their values now.
  SendOptionsToRecordSet();
  design_create_ = ComponentState().Contains(csDesigning);
}

void TCustomDADataSet::BeforeDestruction() {
  ReportingErrors(this, [this] { Close(); });
  ReportingErrors(this, [this] { UnPrepare(); });
  ReportingErrors(this, [this] { registration_.MoveTo(nullptr); });
  ReportingErrors(this, [this] { SetUpdateObject(nullptr); });
  update_runner_.FreeQueries();
  if (command_) {
    command_->SetICommand(nullptr);
    TComponent::FreeAndNil(command_);
  }
  FreeDetailRefreshTimer();
  sql_generator_.reset();
  if (data_link_) data_link_->SetDataSource(nullptr);
  local_detail_filter_.Clear();
  TMemDataSet::BeforeDestruction();
  irecord_set_ = nullptr;
  icommand_ = nullptr;
}

void TCustomDADataSet::Loaded() {
  loading_ = true;
  try {
    TMemDataSet::Loaded();
  } catch (...) {
    loading_ = false;
    design_create_ = false;
    throw;
  }
  loading_ = false;
  design_create_ = false;
}

std::unique_ptr<TDADataSetOptions> TCustomDADataSet::CreateOptions() {
  return std::make_unique<TDADataSetOptions>(this);
}

void TCustomDADataSet::CreateSQLGenerator() { SetSQLGenerator(std::make_unique<TDASQLGenerator>(this)); }

void TCustomDADataSet::SetSQLGenerator(std::unique_ptr<TDASQLGenerator> value) { sql_generator_ = std::move(value); }

TStatementTypes TCustomDADataSet::GetUpdateSQLStatementTypes() { return {stInsert, stUpdate, stDelete, stRefresh}; }

// ---- record set and command ----

void TCustomDADataSet::CreateIRecordSet() {
  if (Data()) FreeIRecordSet();
  TCustomDAConnection* used = UsedConnection();
  if (!used) return SetIRecordSet(nullptr);
  std::unique_ptr<TDKRecordSet> record_set = used->CreateIRecordSet();
  SetIRecordSet(record_set.get());
  record_set.release();
}

void TCustomDADataSet::FreeIRecordSet() {
  TData* old = Data();
  if (command_) command_->SetICommand(nullptr);
  SetIRecordSet(nullptr);
  delete old;
}

void TCustomDADataSet::CheckIRecordSet() {
  TCustomDAConnection* used = UsedConnection();
  if (irecord_set_ && used && irecord_set_->InheritsFrom(used->GetIRecordSetClass())) return;
  FreeIRecordSet();
  CreateIRecordSet();
}

void TCustomDADataSet::SetIRecordSet(TData* value) {
  TMemDataSet::SetIRecordSet(value);
  irecord_set_ = dynamic_cast<TDKRecordSet*>(value);
  DAC_ASSERT(!value || irecord_set_, value->ClassName() + " is not a server record set");
  icommand_ = irecord_set_ ? irecord_set_->GetCommand() : nullptr;
  if (irecord_set_) {
    irecord_set_->SetProp(prUniDirectional, uni_directional_);
    irecord_set_->SetProp(prFetchRows, fetch_rows_);
    irecord_set_->SetProp(prFetchAll, fetch_all_);
    SendOptionsToRecordSet();
    irecord_set_->SetOnAfterExecFetch([this](bool result) { DoAfterExecFetch(result); });
    irecord_set_->SetOnAfterFetchAll([this](bool result) { DoAfterFetchAll(result); });
    irecord_set_->SetOnBeforeFetch([this](bool& cancel) { DoOnBeforeFetch(cancel); });
    irecord_set_->SetOnAfterFetch([this] { DoOnAfterFetch(); });
    irecord_set_->SetOnDataChanged([this] { DoOnDataChanged(); });
    irecord_set_->SetComponent(this);
  }
  BindCommand();
  update_runner_.FreeQueries();
}

void TCustomDADataSet::SendOptionsToRecordSet() {
  if (!irecord_set_ || !options_) return;
  irecord_set_->SetProp(prLongStrings, options_->GetLongStrings());
  irecord_set_->SetProp(prFlatBuffers, options_->GetFlatBuffers());
  irecord_set_->SetTrimFixedChar(options_->GetTrimFixedChar());
  irecord_set_->SetTrimVarChar(options_->GetTrimVarChar());
}

void TCustomDADataSet::CreateCommand() { SetCommand(MakeComponent<TCustomDASQL>(this)); }

void TCustomDADataSet::SetCommand(TCustomDASQL* value) {
  command_ = value;
  if (!value) return;
  value->SetDataSet(this);
  BindCommand();
}

// The command component and the record set's command meet: the component
// hands its SQL and parameters down; the command reports to this dataset
// and runs on the used connection's server connection.
void TCustomDADataSet::BindCommand() {
  if (command_) command_->SetICommand(icommand_);
  if (!icommand_) return;
  TCustomDAConnection* used = UsedConnection();
  icommand_->SetConnection(used ? used->GetIConnection() : nullptr);
  icommand_->SetProp(prAutoCommit, auto_commit_);
  icommand_->SetAfterExecute([this](bool result) { DoAfterExecute(result); });
}

TDKTablesInfo* TCustomDADataSet::GetTablesInfo() const {
  return irecord_set_ ? &irecord_set_->GetTablesInfo() : nullptr;
}

const TDKTableInfoClass& TCustomDADataSet::TableInfoClass() const {
  return irecord_set_ ? irecord_set_->GetTableInfoClass() : TDKTableInfo::InfoClass();
}

void TCustomDADataSet::BindServerConnection(TDKConnection* connection) {
  if (connection && !irecord_set_) CheckIRecordSet();
  if (irecord_set_) irecord_set_->SetConnection(connection);
}

// ---- connection ----

void TCustomDADataSet::SetConnection(TCustomDAConnection* value) {
  if (value == connection_ && value == UsedConnection()) return;
  if (UsedConnection()) Disconnect();
  connection_ = value;
  registration_.MoveTo(value);
  CheckIRecordSet();
  TCustomDAConnection* used = UsedConnection();
  if (irecord_set_) irecord_set_->SetConnection(used ? used->GetIConnection() : nullptr);
  DataEvent(dePropertyChange, 0);
}

void TCustomDADataSet::CheckConnection() { BeginConnection(false); }

void TCustomDADataSet::BeginConnection(bool always_connect) {
  TCustomDAConnection* used = UsedConnection();
  TakeClientConnection(used, this, always_connect, [&] {
    // A connection the provider chose rather than the user's.
    if (connection_ || registration_.Connection() == used) return;
    registration_.MoveTo(used);
    CheckIRecordSet();
    irecord_set_->SetConnection(used->GetIConnection());
  });
}

void TCustomDADataSet::EndConnection() {
  if (TCustomDAConnection* used = UsedConnection()) used->InternalDisconnect();
}

void TCustomDADataSet::Disconnect() {
  Close();
  UnPrepare();
  FieldDefs().SetUpdated(false);
}

bool TCustomDADataSet::CursorOnSecondSession() const {
  TCustomDAConnection* used = UsedConnection();
  TDKConnection* running = icommand_ ? icommand_->GetConnection() : nullptr;
  return running && used && running != used->GetIConnection();
}

void TCustomDADataSet::ConnectChange(TObject* sender, bool connecting) {
  TCustomDAConnection* used = UsedConnection();
  if (connecting) {
    if (dynamic_cast<TCustomDAConnection*>(sender)) return;
    DAC_ASSERT(irecord_set_ && used && used->GetIConnection(), "No record set or server connection to bind");
    // Rows still coming over a session of their own keep coming over it.
    if (CursorOnSecondSession()) return;
    irecord_set_->SetConnection(used->GetIConnection());
    return;
  }
  // The connection closed and forgot its users: nothing is held any more.
  connection_hold_.Forget();
  // Lost while cached updates are applied: the rows and their pending
  // changes stay for another apply, and the apply's own error goes on.
  if (GetInCacheProcessing()) return;
  // A lost session takes along only what lived on it: the rows and their
  // pending changes stay, and the next use connects again (or reports
  // that it cannot).
  const bool lost = used && used->GetDisconnectGuard();
  if (used && (used->Options().GetDisconnectedMode() || lost)) {
    if (irecord_set_ && !(lost && CursorOnSecondSession())) irecord_set_->Disconnect();
    return;
  }
  Disconnect();
}

TComponent* TCustomDADataSet::GetTraceParent() const { return UsedConnection(); }

// ---- SQL, parameters and macros ----

TStrings& TCustomDADataSet::SQL() const { return command_->SQL(); }

void TCustomDADataSet::SetSQL(const TStrings& value) { command_->SetSQL(value); }

TDAParams& TCustomDADataSet::Params() const { return command_->Params(); }

void TCustomDADataSet::SetParams(const TDAParams& value) { command_->SetParams(value); }

int TCustomDADataSet::ParamCount() const { return command_->ParamCount(); }

TDAParam* TCustomDADataSet::FindParam(const std::string& name) const { return command_->FindParam(name); }

TDAParam* TCustomDADataSet::ParamByName(const std::string& name) const { return command_->ParamByName(name); }

bool TCustomDADataSet::GetParamCheck() const { return command_->GetParamCheck(); }

void TCustomDADataSet::SetParamCheck(bool value) { command_->SetParamCheck(value); }

TMacros& TCustomDADataSet::Macros() const { return command_->Macros(); }

void TCustomDADataSet::SetMacros(const TMacros& value) { command_->SetMacros(value); }

int TCustomDADataSet::MacroCount() const { return command_->MacroCount(); }

TMacro* TCustomDADataSet::FindMacro(const std::string& name) const { return command_->FindMacro(name); }

TMacro* TCustomDADataSet::MacroByName(const std::string& name) const { return command_->MacroByName(name); }

std::string TCustomDADataSet::OwnerSQLText() const { return SQL().Text(); }

// ---- settings ----

void TCustomDADataSet::SetFetchRows(int32_t value) {
  if (value == fetch_rows_) return;
  CheckInactive();
  if (value < 1 || value > 10000) DatabaseError(LoadResString(SInvalidFetchRows));
  fetch_rows_ = value;
  if (irecord_set_) irecord_set_->SetProp(prFetchRows, value);
}

void TCustomDADataSet::SetFetchAll(bool value) {
  fetch_all_ = value;
  if (irecord_set_) irecord_set_->SetProp(prFetchAll, value);
  if (!value) return;
  SetUniDirectional(false);
  if (!GetActive()) return;
  irecord_set_->FetchAll();
  Resync({});
}

void TCustomDADataSet::SetUniDirectional(bool value) {
  if (value == uni_directional_) return;
  CheckInactive();
  uni_directional_ = value;
  if (irecord_set_) irecord_set_->SetProp(prUniDirectional, value);
  if (value) SetFetchAll(false);
}

void TCustomDADataSet::SetAutoCommit(bool value) {
  auto_commit_ = value;
  if (icommand_) icommand_->SetProp(prAutoCommit, value);
}

void TCustomDADataSet::SetOptions(const TDADataSetOptions& value) { options_->Assign(&value); }

void TCustomDADataSet::SetActive(bool value) {
  TCustomDAConnection* connection = connection_;
  const bool stays_closed = Loading() && !ComponentState().Contains(csDesigning) && connection &&
                            !connection->Options().GetKeepDesignConnected();
  if (!stays_closed) TMemDataSet::SetActive(value);
  if (value && GetActive()) CachePSTableName(true);
}

TStrings* TCustomDADataSet::GetUpdateSQLIndex(int index) const {
  DAC_ASSERT(index >= stQuery && index <= stBatchUpdate, "Statement type " + std::to_string(index));
  return update_sql_[static_cast<size_t>(index)].get();
}

void TCustomDADataSet::SetUpdateSQLIndex(int index, const TStrings& value) {
  TStrings* list = GetUpdateSQLIndex(index);
  if (!list) return;
  WithinUpdate(*list, [&] { list->Assign(&value); });
}

// ---- update object ----

void TCustomDADataSet::SetUpdateObject(TCustomDAUpdateSQL* value) {
  if (value) {
    for (int type : {stUpdate, stInsert, stDelete, stRefresh}) {
      value->CheckUpdateComponent(value->GetObjectIndex(type), this);
    }
  }
  if (value == update_object_) return;
  if (TCustomDAUpdateSQL* old = std::exchange(update_object_, nullptr)) {
    if (old->GetDataSet() == this) old->SetDataSet(nullptr);
    RemoveFreeNotification(old);
  }
  if (value) {
    auto* other = dynamic_cast<TCustomDADataSet*>(value->GetDataSet());
    if (other && other != this) other->SetUpdateObject(nullptr);
    update_object_ = value;
    value->SetDataSet(this);
    FreeNotification(value);
  }
}

void TCustomDADataSet::Notification(TComponent* component, TOperation operation) {
  TMemDataSet::Notification(component, operation);
  if (operation == opRemove && component == update_object_) update_object_ = nullptr;
}

// ---- master and detail ----

TDataSource* TCustomDADataSet::GetMasterSource() const { return data_link_ ? data_link_->DataSource() : nullptr; }

TDataSource* TCustomDADataSet::GetDataSource() const { return GetMasterSource(); }

void TCustomDADataSet::SetMasterSource(TDataSource* value) {
  if (value == GetMasterSource()) return;
  if (value && value->IsLinkedTo(this)) DatabaseError("Circular datalinks are not allowed", this);
  const bool was_linked = IsConnectedToMaster();
  data_link_->SetDataSource(value);
  if (was_linked || IsConnectedToMaster()) RefreshDetailSQL();
}

// ---- blobs and XML ----

std::unique_ptr<TStream> TCustomDADataSet::CreateBlobStream(TField* field, TBlobStreamMode mode) {
  TCustomDAConnection* used = UsedConnection();
  const bool text = field->DataType() == ftMemo || field->DataType() == ftOraClob;
  if (text && mode != bmWrite && used && used->GetConvertEOL()) {
    if (TBlob* blob = GetBlob(field)) {
      const bool modified = blob->GetModified();
      blob->AddCR();
      blob->SetModified(modified);
    }
  }
  return TMemDataSet::CreateBlobStream(field, mode);
}

void TCustomDADataSet::WriteFieldXMLAttributeType(TField* field, TFieldDesc* desc, const std::string& alias,
                                                  XmlTextWriter& writer) {
  TMemDataSet::WriteFieldXMLAttributeType(field, desc, alias, writer);
  auto* da_desc = dynamic_cast<TDKFieldDesc*>(desc);
  if (!da_desc || !da_desc->GetTableInfo()) return;
  const std::string table = plat::AnsiToUtf8(GenerateTableName(*da_desc));
  if (!IsXmlText(table)) {
    DatabaseErrorFmt(nullptr, "Field '%s' holds a control character that XML does not allow",
                     field->FieldName().c_str());
  }
  writer.WriteAttributeString("rs:basetable", XMLEncode(table));
}

// ---- copying ----

void TCustomDADataSet::AssignTo(TPersistent* dest) const {
  TMemDataSet::AssignTo(dest);
  auto* other = dynamic_cast<TCustomDADataSet*>(dest);
  if (!other) return;
  other->SetConnection(connection_);
  other->SetMasterSource(GetMasterSource());
  other->SetMasterFields(GetMasterFields());
  other->SetDetailFields(GetDetailFields());
  other->SetParamCheck(GetParamCheck());
  other->SQL().SetText(SQL().Text());
  for (int type = stQuery; type <= stBatchUpdate; ++type) {
    const TStrings* mine = GetUpdateSQLIndex(type);
    if (mine && other->GetUpdateSQLIndex(type)) other->SetUpdateSQLIndex(type, *mine);
  }
  other->SetFilterSQL(GetFilterSQL());
  other->SetMacros(Macros());
  other->SetParams(Params());
  other->SetDebug(GetDebug());
  other->SetFetchRows(fetch_rows_);
  other->SetUniDirectional(uni_directional_);
  other->SetAutoCommit(auto_commit_);
  other->SetRefreshOptions(GetRefreshOptions());
  other->SetUpdatingTable(GetUpdatingTable());
  other->SetOptions(*options_);
}

}  // namespace dac
