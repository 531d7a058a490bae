// The dataset component's life: construction and destruction, its record
// set and command, its connection, its settings and the links to its master
// and its update object.
#include "dac/core/dataset/dataset_component.h"

#include "dac/core/dataset/dataset_internals.h"

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

TCustomDADataSet::TCustomDADataSet(TComponent* owner)
    : TMemDataSet(owner), d_(std::make_unique<TDADataSetFields>(*this)) {}

TCustomDADataSet::~TCustomDADataSet() = default;

// Makes the data link, the update SQL lists, the command component
// (CreateCommand), the SQL generator (CreateSQLGenerator) and the options
// (CreateOptions), and binds the record set to them.
void TCustomDADataSet::Init() {
  TMemDataSet::Init();
  d_->data_link = std::make_unique<TDADetailDataLink>(this);
  const TStatementTypes types = GetUpdateSQLStatementTypes();
  for (int type = stQuery; type <= stBatchUpdate; ++type) {
    if (!types.Contains(static_cast<TStatementType>(type))) continue;
    auto& list = d_->update_sql[static_cast<size_t>(type)];
    DAC_ASSERT(!list, "Update SQL list made twice");
    list = std::make_unique<TStringList>();
    list->SetOnChange([this](TObject* sender) { ScanMacros(sender); });
  }
  CreateCommand();
  CreateSQLGenerator();
  SetIRecordSet(Data());
  d_->options = CreateOptions();
  // A record set bound before the options existed takes their values now.
  TCustomDADataSetInternals::SendOptionsToRecordSet(*this);
  d_->design_create = ComponentState().Contains(csDesigning);
}

// Closes and unprepares (errors go to the application's exception hook),
// leaves the connection and the update object, frees what it owns.
void TCustomDADataSet::BeforeDestruction() {
  ReportingErrors(this, [this] { Close(); });
  ReportingErrors(this, [this] { UnPrepare(); });
  ReportingErrors(this, [this] { d_->registration.MoveTo(nullptr); });
  ReportingErrors(this, [this] { SetUpdateObject(nullptr); });
  d_->update_runner.FreeQueries();
  if (d_->command) {
    d_->command->SetICommand(nullptr);
    TComponent::FreeAndNil(d_->command);
  }
  TCustomDADataSetInternals::FreeDetailRefreshTimer(*this);
  d_->sql_generator.reset();
  if (d_->data_link) d_->data_link->SetDataSource(nullptr);
  d_->local_detail_filter.Clear();
  TMemDataSet::BeforeDestruction();
  d_->irecord_set = nullptr;
  d_->icommand = nullptr;
}

bool TCustomDADataSetInternals::Loading(const TCustomDADataSet& data_set) {
  return data_set.d_->loading || data_set.ComponentState().Contains(csLoading);
}

void TCustomDADataSet::Loaded() {
  d_->loading = true;
  try {
    TMemDataSet::Loaded();
  } catch (...) {
    d_->loading = false;
    d_->design_create = false;
    throw;
  }
  d_->loading = false;
  d_->design_create = false;
}

std::unique_ptr<TDADataSetOptions> TCustomDADataSet::CreateOptions() {
  return std::make_unique<TDADataSetOptions>(this);
}

// The previous generator is freed.
void TCustomDADataSet::CreateSQLGenerator() { SetSQLGenerator(std::make_unique<TDASQLGenerator>(this)); }

void TCustomDADataSet::SetSQLGenerator(std::unique_ptr<TDASQLGenerator> value) { d_->sql_generator = std::move(value); }

TStatementTypes TCustomDADataSet::GetUpdateSQLStatementTypes() { return {stInsert, stUpdate, stDelete, stRefresh}; }

// ---- record set and command ----

// A record set of the used connection's class, or none without one.
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
  if (d_->command) d_->command->SetICommand(nullptr);
  SetIRecordSet(nullptr);
  delete old;
}

// Keeps a record set of the used connection's class, else makes one.
void TCustomDADataSet::CheckIRecordSet() {
  TCustomDAConnection* used = UsedConnection();
  if (d_->irecord_set && used && d_->irecord_set->InheritsFrom(used->GetIRecordSetClass())) return;
  FreeIRecordSet();
  CreateIRecordSet();
}

// Binds the record set: its command, its properties and the dataset's
// report hooks on its events.
void TCustomDADataSet::SetIRecordSet(TData* value) {
  TMemDataSet::SetIRecordSet(value);
  d_->irecord_set = dynamic_cast<TDKRecordSet*>(value);
  DAC_ASSERT(!value || d_->irecord_set, value->ClassName() + " is not a server record set");
  d_->icommand = d_->irecord_set ? d_->irecord_set->GetCommand() : nullptr;
  if (d_->irecord_set) {
    d_->irecord_set->SetProp(prUniDirectional, d_->uni_directional);
    d_->irecord_set->SetProp(prFetchRows, d_->fetch_rows);
    d_->irecord_set->SetProp(prFetchAll, d_->fetch_all);
    TCustomDADataSetInternals::SendOptionsToRecordSet(*this);
    d_->irecord_set->SetOnAfterExecFetch([this](bool result) { DoAfterExecFetch(result); });
    d_->irecord_set->SetOnAfterFetchAll([this](bool result) { DoAfterFetchAll(result); });
    d_->irecord_set->SetOnBeforeFetch([this](bool& cancel) { DoOnBeforeFetch(cancel); });
    d_->irecord_set->SetOnAfterFetch([this] { DoOnAfterFetch(); });
    d_->irecord_set->SetOnDataChanged([this] { DoOnDataChanged(); });
    d_->irecord_set->SetComponent(this);
  }
  TCustomDADataSetInternals::BindCommand(*this);
  d_->update_runner.FreeQueries();
}

void TCustomDADataSetInternals::SendOptionsToRecordSet(TCustomDADataSet& data_set) {
  TDKRecordSet* record_set = data_set.d_->irecord_set;
  const TDADataSetOptions* options = data_set.d_->options.get();
  if (!record_set || !options) return;
  record_set->SetProp(prLongStrings, options->GetLongStrings());
  record_set->SetProp(prFlatBuffers, options->GetFlatBuffers());
  record_set->SetTrimFixedChar(options->GetTrimFixedChar());
  record_set->SetTrimVarChar(options->GetTrimVarChar());
}

void TCustomDADataSet::CreateCommand() { SetCommand(MakeComponent<TCustomDASQL>(this)); }

// Takes the command component; its parameters and macros are the dataset's.
void TCustomDADataSet::SetCommand(TCustomDASQL* value) {
  d_->command = value;
  if (!value) return;
  value->SetDataSet(this);
  TCustomDADataSetInternals::BindCommand(*this);
}

// The command component and the record set's command meet: the component
// hands its SQL and parameters down; the command reports to this dataset
// and runs on the used connection's server connection.
void TCustomDADataSetInternals::BindCommand(TCustomDADataSet& data_set) {
  TDADataSetFields& d = *data_set.d_;
  if (d.command) d.command->SetICommand(d.icommand);
  if (!d.icommand) return;
  TCustomDAConnection* used = data_set.UsedConnection();
  d.icommand->SetConnection(used ? used->GetIConnection() : nullptr);
  d.icommand->SetProp(prAutoCommit, d.auto_commit);
  d.icommand->SetAfterExecute([&data_set](bool result) { data_set.DoAfterExecute(result); });
}

TDKTablesInfo* TCustomDADataSet::GetTablesInfo() const {
  return d_->irecord_set ? &d_->irecord_set->GetTablesInfo() : nullptr;
}

const TDKTableInfoClass& TCustomDADataSet::TableInfoClass() const {
  return d_->irecord_set ? d_->irecord_set->GetTableInfoClass() : TDKTableInfo::InfoClass();
}

void TDADataSetInterfaces::BindServerConnection(TDKConnection* connection) {
  TCustomDADataSet& data_set = Self();
  if (connection && !data_set.d_->irecord_set) data_set.CheckIRecordSet();
  if (data_set.d_->irecord_set) data_set.d_->irecord_set->SetConnection(connection);
}

// ---- connection ----

// Leaves the old connection (the dataset closed and unprepared), registers
// at the new one and binds a record set of its class.
void TCustomDADataSet::SetConnection(TCustomDAConnection* value) {
  if (value == d_->connection && value == UsedConnection()) return;
  if (UsedConnection()) Disconnect();
  d_->connection = value;
  d_->registration.MoveTo(value);
  CheckIRecordSet();
  TCustomDAConnection* used = UsedConnection();
  if (d_->irecord_set) d_->irecord_set->SetConnection(used ? used->GetIConnection() : nullptr);
  DataEvent(dePropertyChange, 0);
}

void TCustomDADataSet::CheckConnection() { BeginConnection(false); }

// Takes the connection: "Connection is not defined" without one;
// always_connect counts one more user of the connection, else it is only
// made sure to be open. Every BeginConnection(true) has its EndConnection.
void TCustomDADataSet::BeginConnection(bool always_connect) {
  TCustomDAConnection* used = UsedConnection();
  TakeClientConnection(used, this, always_connect, [&] {
    // A connection the provider chose rather than the user's.
    if (d_->connection || d_->registration.Connection() == used) return;
    d_->registration.MoveTo(used);
    CheckIRecordSet();
    d_->irecord_set->SetConnection(used->GetIConnection());
  });
}

void TCustomDADataSet::EndConnection() {
  if (TCustomDAConnection* used = UsedConnection()) used->InternalDisconnect();
}

// Closes and unprepares; the field definitions are read again at the next open.
void TCustomDADataSet::Disconnect() {
  Close();
  UnPrepare();
  FieldDefs().SetUpdated(false);
}

bool TCustomDADataSetInternals::CursorOnSecondSession(const TCustomDADataSet& data_set) {
  TCustomDAConnection* used = data_set.UsedConnection();
  TDKCommand* command = data_set.d_->icommand;
  TDKConnection* running = command ? command->GetConnection() : nullptr;
  return running && used && running != used->GetIConnection();
}

// The connection opens (the record set is bound) or closes: in
// disconnected mode, or when the session was lost, the record set lets its
// statement go and keeps its rows; otherwise the dataset disconnects.
void TCustomDADataSet::ConnectChange(TObject* sender, bool connecting) {
  TCustomDAConnection* used = UsedConnection();
  if (connecting) {
    if (dynamic_cast<TCustomDAConnection*>(sender)) return;
    DAC_ASSERT(d_->irecord_set && used && used->GetIConnection(), "No record set or server connection to bind");
    // Rows still coming over a session of their own keep coming over it.
    if (TCustomDADataSetInternals::CursorOnSecondSession(*this)) return;
    d_->irecord_set->SetConnection(used->GetIConnection());
    return;
  }
  // The connection closed and forgot its users: nothing is held any more.
  d_->connection_hold.Forget();
  // Lost while cached updates are applied: the rows and their pending
  // changes stay for another apply, and the apply's own error goes on.
  if (GetInCacheProcessing()) return;
  // A lost session takes along only what lived on it: the rows and their
  // pending changes stay, and the next use connects again (or reports
  // that it cannot).
  const bool lost = used && used->GetDisconnectGuard();
  if (used && (used->Options().GetDisconnectedMode() || lost)) {
    if (d_->irecord_set && !(lost && TCustomDADataSetInternals::CursorOnSecondSession(*this))) {
      d_->irecord_set->Disconnect();
    }
    return;
  }
  Disconnect();
}

// ---- SQL, parameters and macros ----

TStrings& TCustomDADataSet::SQL() const { return d_->command->SQL(); }

void TCustomDADataSet::SetSQL(const TStrings& value) { d_->command->SetSQL(value); }

TDAParams& TCustomDADataSet::Params() const { return d_->command->Params(); }

void TCustomDADataSet::SetParams(const TDAParams& value) { d_->command->SetParams(value); }

int TCustomDADataSet::ParamCount() const { return d_->command->ParamCount(); }

TDAParam* TCustomDADataSet::FindParam(const std::string& name) const { return d_->command->FindParam(name); }

TDAParam* TCustomDADataSet::ParamByName(const std::string& name) const { return d_->command->ParamByName(name); }

bool TCustomDADataSet::GetParamCheck() const { return d_->command->GetParamCheck(); }

void TCustomDADataSet::SetParamCheck(bool value) { d_->command->SetParamCheck(value); }

TMacros& TCustomDADataSet::Macros() const { return d_->command->Macros(); }

void TCustomDADataSet::SetMacros(const TMacros& value) { d_->command->SetMacros(value); }

int TCustomDADataSet::MacroCount() const { return d_->command->MacroCount(); }

TMacro* TCustomDADataSet::FindMacro(const std::string& name) const { return d_->command->FindMacro(name); }

TMacro* TCustomDADataSet::MacroByName(const std::string& name) const { return d_->command->MacroByName(name); }

// ---- settings ----

void TCustomDADataSet::SetFetchRows(int32_t value) {
  if (value == d_->fetch_rows) return;
  CheckInactive();
  if (value < 1 || value > 10000) DatabaseError(LoadResString(SInvalidFetchRows));
  d_->fetch_rows = value;
  if (d_->irecord_set) d_->irecord_set->SetProp(prFetchRows, value);
}

// Stored and sent to the record set; true switches UniDirectional off and,
// while open, fetches every row.
void TCustomDADataSet::SetFetchAll(bool value) {
  d_->fetch_all = value;
  if (d_->irecord_set) d_->irecord_set->SetProp(prFetchAll, value);
  if (!value) return;
  SetUniDirectional(false);
  if (!GetActive()) return;
  d_->irecord_set->FetchAll();
  Resync({});
}

void TCustomDADataSet::SetUniDirectional(bool value) {
  if (value == d_->uni_directional) return;
  CheckInactive();
  d_->uni_directional = value;
  if (d_->irecord_set) d_->irecord_set->SetProp(prUniDirectional, value);
  if (value) SetFetchAll(false);
}

void TCustomDADataSet::SetAutoCommit(bool value) {
  d_->auto_commit = value;
  if (d_->icommand) d_->icommand->SetProp(prAutoCommit, value);
}

void TCustomDADataSet::SetOptions(const TDADataSetOptions& value) { d_->options->Assign(&value); }

void TCustomDADataSet::SetActive(bool value) {
  TCustomDAConnection* connection = d_->connection;
  const bool stays_closed = TCustomDADataSetInternals::Loading(*this) && !ComponentState().Contains(csDesigning) &&
                            connection && !connection->Options().GetKeepDesignConnected();
  if (!stays_closed) TMemDataSet::SetActive(value);
  if (value && GetActive()) TCustomDADataSetInternals::CachePSTableName(*this, true);
}

TStrings* TCustomDADataSet::GetUpdateSQLIndex(int index) const {
  DAC_ASSERT(index >= stQuery && index <= stBatchUpdate, "Statement type " + std::to_string(index));
  return d_->update_sql[static_cast<size_t>(index)].get();
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
  if (value == d_->update_object) return;
  if (TCustomDAUpdateSQL* old = std::exchange(d_->update_object, nullptr)) {
    if (old->GetDataSet() == this) old->SetDataSet(nullptr);
    RemoveFreeNotification(old);
  }
  if (value) {
    auto* other = dynamic_cast<TCustomDADataSet*>(value->GetDataSet());
    if (other && other != this) other->SetUpdateObject(nullptr);
    d_->update_object = value;
    value->SetDataSet(this);
    FreeNotification(value);
  }
}

// A freed update object is let go.
void TCustomDADataSet::Notification(TComponent* component, TOperation operation) {
  TMemDataSet::Notification(component, operation);
  if (operation == opRemove && component == d_->update_object) d_->update_object = nullptr;
}

// ---- master and detail ----

TDataSource* TCustomDADataSet::GetMasterSource() const { return d_->data_link ? d_->data_link->DataSource() : nullptr; }

TDataSource* TCustomDADataSet::GetDataSource() const { return GetMasterSource(); }

void TCustomDADataSet::SetMasterSource(TDataSource* value) {
  if (value == GetMasterSource()) return;
  if (value && value->IsLinkedTo(this)) DatabaseError("Circular datalinks are not allowed", this);
  const bool was_linked = IsConnectedToMaster();
  d_->data_link->SetDataSource(value);
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
  other->SetConnection(d_->connection);
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
  other->SetFetchRows(d_->fetch_rows);
  other->SetUniDirectional(d_->uni_directional);
  other->SetAutoCommit(d_->auto_commit);
  other->SetRefreshOptions(GetRefreshOptions());
  other->SetUpdatingTable(GetUpdatingTable());
  other->SetOptions(*d_->options);
}

}  // namespace dac
