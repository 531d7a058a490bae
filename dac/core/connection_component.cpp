// The connection component's life: its server connection and clients, the
// connect and disconnect protocol with the login dialog, its settings.
#include "dac/core/connection_component.h"

#include <algorithm>
#include <exception>

#include "dac/core/connection_client.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/login/connect_dialog.h"
#include "dac/core/server/command.h"
#include "dac/core/server/connection.h"
#include "dac/core/server/da_errors.h"
#include "dac/core/server/messages.h"
#include "dac/core/server/new_instance.h"
#include "dac/core/server/record_set.h"
#include "dac/core/sql_component.h"
#include "dac/core/trace/sql_monitor.h"
#include "dac/framework/classes/application.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/scoped_value.h"
#include "dac/framework/data/dataset.h"
#include "dac/store/runtime/host_hooks.h"

namespace dac {

DAC_DEFINE_CLASS(TCustomDAConnection, TCustomConnection, TComponentClass)

namespace {

struct FreeComponent {
  void operator()(TComponent* component) const { component->Free(); }
};

}  // namespace

TCustomDAConnection::TCustomDAConnection(TComponent* owner) : TCustomConnection(owner) { SetLoginPrompt(true); }

TCustomDAConnection::~TCustomDAConnection() = default;

void TCustomDAConnection::Init() {
  TCustomConnection::Init();
  options_ = CreateOptions();
  pooling_options_ = CreatePoolingOptions();
}

std::vector<IDAConnectionClient*> TCustomDAConnection::Clients() const {
  std::vector<IDAConnectionClient*> clients = sqls_;
  for (int i = 0; i < DataSetCount(); ++i) {
    if (IDAConnectionClient* client = ConnectionClientOf(DataSets(i))) clients.push_back(client);
  }
  return clients;
}

void TCustomDAConnection::BeforeDestruction() {
  ReportingErrors(this, [this] { Disconnect(); });
  for (IDAConnectionClient* client : Clients()) {
    // A client detached may free others on this connection (a dataset its
    // update queries): only those still registered are detached.
    const std::vector<IDAConnectionClient*> registered = Clients();
    if (std::find(registered.begin(), registered.end(), client) == registered.end()) continue;
    ReportingErrors(this, [client] { client->DetachFromConnection(); });
  }
  ReportingErrors(this, [this] { TCustomConnection::BeforeDestruction(); });
  ReportingErrors(this, [this] { FreeIConnection(); });
}

std::unique_ptr<TDAConnectionOptions> TCustomDAConnection::CreateOptions() {
  return std::make_unique<TDAConnectionOptions>(this);
}

std::unique_ptr<TPoolingOptions> TCustomDAConnection::CreatePoolingOptions() {
  return std::make_unique<TPoolingOptions>(this);
}

// ---- server connection and clients ----

const TMetaClass& TCustomDAConnection::GetIConnectionClass() const {
  AssertionFailed("Must be overrided", __FILE__, __LINE__);
}

const TMetaClass& TCustomDAConnection::GetICommandClass() const {
  AssertionFailed("Must be overrided", __FILE__, __LINE__);
}

const TMetaClass& TCustomDAConnection::GetIRecordSetClass() const {
  AssertionFailed("Must be overrided", __FILE__, __LINE__);
}

void TCustomDAConnection::CreateIConnection() {
  if (!iconnection_) SetIConnection(NewInstance<TDKConnection>(GetIConnectionClass()));
}

std::unique_ptr<TDKCommand> TCustomDAConnection::CreateICommand() const {
  std::unique_ptr<TDKCommand> command = NewInstance<TDKCommand>(GetICommandClass());
  command->SetConnection(nullptr);
  return command;
}

std::unique_ptr<TDKRecordSet> TCustomDAConnection::CreateIRecordSet() const {
  std::unique_ptr<TDKRecordSet> record_set = NewInstance<TDKRecordSet>(GetIRecordSetClass());
  record_set->SetConnection(iconnection_.get());
  return record_set;
}

void TCustomDAConnection::SetIConnection(std::unique_ptr<TDKConnection> value) {
  if (iconnection_) {
    if (!ComponentState().Contains(csDestroying)) BindClients(nullptr);
    std::unique_ptr<TDKConnection> old = std::move(iconnection_);
    // Whoever takes it next binds it again; nothing may reach this component.
    old->SetOnError(nullptr);
    old->SetOnDisconnect(nullptr);
    old->SetOnReconnect(nullptr);
    old->SetComponent(nullptr);
    if (old->GetPool()) old.release()->ReturnToPool();
  }
  if (!value) return;
  iconnection_ = std::move(value);
  iconnection_->SetOnError([this](Exception& error, bool& fail, bool& reconnect, bool& reexecute, int32_t attempt,
                                  TConnLostCause& cause) {
    DoError(error, fail, reconnect, reexecute, attempt, cause);
  });
  // Told when the session was lost for good: nothing is left to commit.
  iconnection_->SetOnDisconnect([this] { DisconnectGuarded(); });
  iconnection_->SetOnReconnect([this] { DoAfterConnect(); });
  iconnection_->SetComponent(this);
  BindClients(iconnection_.get());
}

void TCustomDAConnection::BindClients(TDKConnection* connection) {
  for (IDAConnectionClient* sql : std::vector<IDAConnectionClient*>(sqls_)) sql->BindServerConnection(connection);
  for (int i = 0; i < DataSetCount(); ++i) DataSetClientOf(DataSets(i)).BindServerConnection(connection);
}

void TCustomDAConnection::RegisterClient(TObject* client, TConnectChangeEvent event) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  TCustomConnection::RegisterClient(client, std::move(event));
  IDAConnectionClient* da_client = ConnectionClientOf(client);
  if (da_client && da_client->ClientKind() == dckSQL && std::find(sqls_.begin(), sqls_.end(), da_client) == sqls_.end())
    sqls_.push_back(da_client);
}

void TCustomDAConnection::UnRegisterClient(TObject* client) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  TCustomConnection::UnRegisterClient(client);
  if (IDAConnectionClient* da_client = ConnectionClientOf(client)) std::erase(sqls_, da_client);
}

const TDASQLMonitorClass& TCustomDAConnection::SQLMonitorClass() const {
  return SQLMonitorClassOf<TCustomDASQLMonitor>();
}

const TComponentClass* TCustomDAConnection::ConnectDialogClass() const {
  return &static_cast<const TComponentClass&>(TCustomConnectDialog::ClassInfo());
}

void TCustomDAConnection::MonitorMessage(const std::string& text) {
  int32_t message_id = 0;
  SQLMonitorClass().CustomMessage(this, text, message_id);
}

void TCustomDAConnection::RemoveFromPool() {
  if (iconnection_) iconnection_->SetIsValid(false);
}

void TCustomDAConnection::GetTableNames(TStrings& list) { list.Clear(); }

void TCustomDAConnection::GetDatabaseNames(TStrings& list) { list.Clear(); }

void TCustomDAConnection::GetStoredProcNames(TStrings& list) { list.Clear(); }

namespace {

template <typename T>
TComponent* MakeClient(TCustomDAConnection* connection) {
  T* client = MakeComponent<T>(nullptr);
  try {
    client->SetConnection(connection);
  } catch (...) {
    client->Free();
    throw;
  }
  return client;
}

}  // namespace

TComponent* TCustomDAConnection::CreateDataSet() { return MakeClient<TCustomDADataSet>(this); }

TComponent* TCustomDAConnection::CreateSQL() { return MakeClient<TCustomDASQL>(this); }

// ---- connecting ----

bool TCustomDAConnection::GetConnected() const { return iconnection_ && iconnection_->GetConnected(); }

void TCustomDAConnection::SetConnected(bool value) {
  if (value == GetConnected()) return;
  if (value) {
    OpenConnection();
  } else {
    CloseConnection();
  }
}

bool TCustomDAConnection::NeedPrompt() const {
  if (!Designing()) return GetLoginPrompt();
  if (ComponentState().Contains(csReading) || streamed_connected_) return false;
  return GetLoginPrompt() || username_.empty() || password_.empty();
}

bool TCustomDAConnection::IsConnectedStored() const {
  return GetConnected() && !options_->GetDisconnectedMode();
}

// An explicit open counts as one user, whichever way it connects; a failed
// one counts none, unless it left the connection open.
void TCustomDAConnection::OpenConnection() {
  if (Loading()) {
    if (options_->GetKeepDesignConnected() || !Designing()) streamed_connected_ = true;
    return;
  }
  const int32_t users = connect_count_;
  try {
    ConnectAsked();
  } catch (const EFailOver&) {
    // The connect failed, but the error handling restored the connection.
    if (!GetConnected()) {
      connect_count_ = users;
      throw;
    }
  } catch (...) {
    connect_count_ = GetConnected() ? users + 1 : users;
    throw;
  }
  connect_count_ = users + 1;
}

void TCustomDAConnection::ConnectAsked() {
  const TComponentClass* dialog_class = NeedPrompt() ? ConnectDialogClass() : nullptr;
  if (!dialog_class) return PerformConnect(false);
  if (RunConnectDialog(*dialog_class)) return;
  if (streamed_connected_ || Designing()) DatabaseError(LoadResString(SCannotConnect), this);
  Abort();
}

bool TCustomDAConnection::RunConnectDialog(const TComponentClass& dialog_class) {
  std::unique_ptr<TComponent, FreeComponent> temporary;
  TCustomConnectDialog* dialog = connect_dialog_;
  if (!dialog) {
    temporary.reset(dialog_class.Create(nullptr));
    dialog = dynamic_cast<TCustomConnectDialog*>(temporary.get());
    DAC_ASSERT(dialog != nullptr, dialog_class.ClassName() + " is not a connect dialog");
  }
  dialog->SetConnection(this);
  // A dialog that only took the log-in leaves the connecting to us.
  if (dialog->Execute() && !GetConnected()) PerformConnect(false);
  return GetConnected();
}

void TCustomDAConnection::PerformConnect(bool retry) {
  if (Loading()) {
    streamed_connected_ = true;
    return;
  }
  if (GetConnected()) return;
  if (!retry) Fire(GetBeforeConnect());
  DoConnect();
  ++connect_count_;
  SendConnectEvent(true);
  Fire(GetAfterConnect());
}

void TCustomDAConnection::DoConnect() {
  const TDASQLMonitorClass& monitor = SQLMonitorClass();
  int32_t message_id = 0;
  monitor.DBConnect(this, message_id, true);
  CreateIConnection();
  DAC_ASSERT(iconnection_ != nullptr, ClassName() + " made no server connection");
  {
    TOperationScope operation(this, clConnect);
    StartWait();
    try {
      iconnection_->SetUsername(username_);
      iconnection_->SetPassword(password_);
      iconnection_->SetServer(server_);
      iconnection_->Connect("");
    } catch (...) {
      StopWait();
      throw;
    }
    StopWait();
  }
  monitor.DBConnect(this, message_id, false);
}

void TCustomDAConnection::DoAfterConnect() {
  if (GetInTransaction()) {
    // The transaction died with the lost session.
    TransactionEnded(false);
    iconnection_->SetProp(prAutoCommit, auto_commit_);
    if (options_->GetDisconnectedMode()) connect_count_ = std::max(connect_count_ - 1, 0);
  }
  Fire(GetAfterConnect());
}

void TCustomDAConnection::CloseConnection() {
  connect_count_ = 0;
  prompt_on_internal_connect_ = true;
  try {
    Fire(GetBeforeDisconnect());
    TellClientsOfDisconnect();
  } catch (...) {
    FinishDisconnect();
    throw;
  }
  FinishDisconnect();
}

// A client that fails fatally while closing is told once more; then the
// connection closes anyway.
void TCustomDAConnection::TellClientsOfDisconnect() {
  for (int attempt = 0;; ++attempt) {
    try {
      SendConnectEvent(false);
      return;
    } catch (const EDAError& error) {
      if (!IsFatalError(error)) throw;
      if (attempt == 1) return;
    }
  }
}

void TCustomDAConnection::FinishDisconnect() {
  if (Loading()) {
    if (options_->GetKeepDesignConnected() || !Designing()) streamed_connected_ = false;
    return;
  }
  // BeforeDisconnect has fired already.
  TNotifyEvent before_disconnect = GetBeforeDisconnect();
  SetBeforeDisconnect(nullptr);
  try {
    TCustomConnection::SetConnected(false);
  } catch (...) {
    SetBeforeDisconnect(std::move(before_disconnect));
    TransactionEnded(false);
    throw;
  }
  SetBeforeDisconnect(std::move(before_disconnect));
  // Closed without a commit: whatever the transaction did is gone.
  TransactionEnded(false);
}

void TCustomDAConnection::DoDisconnect() {
  try {
    std::exception_ptr ending_failed;
    if (GetInTransaction() && !disconnect_guard_) {
      try {
        if (CommitOnDisconnect()) {
          Commit();
        } else {
          Rollback();
        }
      } catch (...) {
        // Its transaction may still be open: it must not serve anyone else.
        ending_failed = std::current_exception();
        RemoveFromPool();
      }
    }
    CloseServerConnection();
    if (ending_failed) std::rethrow_exception(ending_failed);
  } catch (const EDAError& error) {
    if (ComponentState().Contains(csDestroying) && IsFatalError(error)) return;
    throw;
  }
}

void TCustomDAConnection::CloseServerConnection() {
  if (!GetConnected()) return;
  const TDASQLMonitorClass& monitor = SQLMonitorClass();
  int32_t message_id = 0;
  monitor.DBDisconnect(this, message_id, true);
  if (iconnection_->GetPool() && iconnection_->GetIsValid()) {
    SetIConnection(nullptr);
  } else {
    iconnection_->Disconnect();
  }
  monitor.DBDisconnect(this, message_id, false);
}

void TCustomDAConnection::DisconnectGuarded() {
  TScopedValue<bool> guard(disconnect_guard_, true);
  Disconnect();
}

void TCustomDAConnection::InternalConnect() {
  int32_t users = ++connect_count_;
  const bool login_prompt = GetLoginPrompt();
  const auto restore = [&] {
    connect_count_ = users;
    SetLoginPrompt(login_prompt);
    prompt_on_internal_connect_ = !GetConnected();
  };
  SetLoginPrompt(login_prompt && prompt_on_internal_connect_);
  try {
    Connect();
  } catch (const EFailOver&) {
    // The connection was restored.
  } catch (...) {
    if (!GetConnected()) --users;
    restore();
    throw;
  }
  restore();
}

void TCustomDAConnection::InternalDisconnect() {
  // Only the last user's release closes: a count already at 0 was reset by
  // an explicit disconnect that is still under way.
  const bool last = connect_count_ == 1;
  connect_count_ = std::max(connect_count_ - 1, 0);
  if (last && options_->GetDisconnectedMode() && !GetInTransaction()) Disconnect();
  prompt_on_internal_connect_ = false;
}

void TCustomDAConnection::Loaded() {
  TCustomConnection::Loaded();
  try {
    if (streamed_connected_) SetConnected(true);
  } catch (const std::exception& error) {
    streamed_connected_ = false;
    if (!Designing()) throw;
    ApplicationShowException(error);
  }
  streamed_connected_ = false;
}

// ---- settings ----

namespace {

// A new log-in value closes the connection first.
void ChangeLogIn(TCustomDAConnection& connection, std::string& field, const std::string& value) {
  if (value == field) return;
  connection.Disconnect();
  field = value;
}

}  // namespace

void TCustomDAConnection::SetUsername(const std::string& value) { ChangeLogIn(*this, username_, value); }

void TCustomDAConnection::SetPassword(const std::string& value) { ChangeLogIn(*this, password_, value); }

void TCustomDAConnection::SetServer(const std::string& value) { ChangeLogIn(*this, server_, value); }

void TCustomDAConnection::SetAutoCommit(bool value) {
  auto_commit_ = value;
  if (iconnection_) iconnection_->SetProp(prAutoCommit, value);
}

void TCustomDAConnection::SetConvertEOL(bool value) {
  convert_eol_ = value;
  if (iconnection_) iconnection_->SetProp(prConvertEOL, value);
}

void TCustomDAConnection::SetPooling(bool value) {
  if (value == pooling_) return;
  Disconnect();
  FreeIConnection();
  pooling_ = value;
}

void TCustomDAConnection::SetConnectDialog(TCustomConnectDialog* value) {
  if (value == connect_dialog_) return;
  if (connect_dialog_) {
    if (connect_dialog_->GetConnection() == this) connect_dialog_->SetConnection(nullptr);
    RemoveFreeNotification(connect_dialog_);
  }
  connect_dialog_ = value;
  if (!value) return;
  FreeNotification(value);
  value->SetConnection(this);
}

void TCustomDAConnection::Notification(TComponent* component, TOperation operation) {
  TCustomConnection::Notification(component, operation);
  if (operation == opRemove && component == connect_dialog_) connect_dialog_ = nullptr;
}

void TCustomDAConnection::AssignTo(TPersistent* dest) const {
  auto* other = dynamic_cast<TCustomDAConnection*>(dest);
  if (!other) return TCustomConnection::AssignTo(dest);
  other->SetUsername(username_);
  other->SetPassword(password_);
  other->SetServer(server_);
  other->SetLoginPrompt(GetLoginPrompt());
  other->SetPoolingOptions(*pooling_options_);
  other->SetPooling(pooling_);
  other->SetConnectDialog(connect_dialog_);
  other->SetOnError(on_error_);
  other->SetConvertEOL(convert_eol_);
  other->SetOptions(*options_);
  other->SetAutoCommit(auto_commit_);
  other->SetBeforeConnect(GetBeforeConnect());
  other->SetAfterConnect(GetAfterConnect());
  other->SetBeforeDisconnect(GetBeforeDisconnect());
  other->SetAfterDisconnect(GetAfterDisconnect());
  other->SetOnLogin(GetOnLogin());
}

}  // namespace dac
