#include "dac/mysql/components/my_connection_component.h"

#include "dac/core/da_param.h"
#include "dac/core/server/messages.h"
#include "dac/core/server/server_types.h"
#include "dac/mysql/client/api/mysql_api_objects.h"
#include "dac/mysql/client/transport/io_handler.h"
#include "dac/mysql/components/my_access_utils.h"
#include "dac/mysql/components/my_command_component.h"
#include "dac/mysql/components/my_dataset.h"
#include "dac/mysql/components/my_sql_monitor.h"
#include "dac/mysql/provider/my_command.h"
#include "dac/mysql/provider/my_connection_pool.h"
#include "dac/mysql/provider/my_error.h"
#include "dac/mysql/provider/my_messages.h"
#include "dac/mysql/provider/my_property_codes.h"
#include "dac/mysql/provider/my_record_set.h"

namespace dac {

DAC_DEFINE_CLASS(TCustomMyConnection, TCustomDAConnection, TComponentClass)
DAC_DEFINE_CLASS(TMyConnection, TCustomMyConnection, TComponentClassOf<TMyConnection>)

TReplaceableHook<TMyConnectDialogClassProc>& MyConnectDialogClassProc() {
  static TReplaceableHook<TMyConnectDialogClassProc> hook;
  return hook;
}

TMySQLAPI& ChosenAPI(bool embedded, bool direct) { return MySQLAPIFor(embedded, direct); }

// ---- TCustomMyConnection ----

TCustomMyConnection::TCustomMyConnection(TComponent* owner) : TCustomDAConnection(owner) { AddMySQLMessages(); }

void TCustomMyConnection::Init() {
  TCustomDAConnection::Init();
  command_ = static_cast<TMyCommand*>(CreateSQL());
}

TCustomMyConnection::~TCustomMyConnection() {
  if (command_) command_->Free();
}

TCustomMyConnectionOptions* TCustomMyConnection::MyOptions() const {
  return dynamic_cast<TCustomMyConnectionOptions*>(&Options());
}

void TCustomMyConnection::SendProp(int prop, const Variant& value) const {
  if (my_connection_) my_connection_->SetProp(prop, value);
}

void TCustomMyConnection::SetDatabase(const std::string& value) {
  if (value == database_) return;
  database_ = value;
  // A pooled session in another database no longer fits its pool's key.
  if (GetPooling() && GetConnected()) RemoveFromPool();
  SendProp(prMyDatabase, value);
}

void TCustomMyConnection::SetConnectionTimeout(int32_t seconds) {
  if (seconds == connection_timeout_) return;
  connection_timeout_ = seconds;
  SendProp(prMyConnectionTimeout, seconds);
}

void TCustomMyConnection::SetIsolationLevel(TMyIsolationLevel value) {
  if (value == isolation_level_) return;
  isolation_level_ = value;
  SendProp(prMyIsolationLevel, static_cast<int32_t>(value));
}

void TCustomMyConnection::CheckInactive() {
  if (!GetConnected()) return;
  if (ComponentState().Contains(csDesigning) || ComponentState().Contains(csUpdating)) return SetConnected(false);
  DatabaseError(LoadResString(my_messages::SConnectionOpen), this);
}

void TCustomMyConnection::CheckPrepareSupport() {
  TMySQLConnection& connection = ConnectedIConnection();
  if (!connection.GetIsClient41()) DatabaseError(LoadResString(my_messages::SPrepareNotSupportedC), this);
  if (!connection.GetIsServer41()) DatabaseError(LoadResString(my_messages::SPrepareNotSupportedS), this);
}

// ---- the server connection ----

const TMetaClass& TCustomMyConnection::GetIConnectionClass() const { return TMySQLConnection::ClassInfo(); }
const TMetaClass& TCustomMyConnection::GetICommandClass() const { return TMySQLCommand::ClassInfo(); }
const TMetaClass& TCustomMyConnection::GetIRecordSetClass() const { return TMySQLRecordset::ClassInfo(); }

const TDASQLMonitorClass& TCustomMyConnection::SQLMonitorClass() const {
  return SQLMonitorClassOf<TCustomMySQLMonitor>();
}

const TComponentClass* TCustomMyConnection::ConnectDialogClass() const {
  const TMyConnectDialogClassProc proc = MyConnectDialogClassProc().Get();
  return proc ? proc() : nullptr;
}

void TCustomMyConnection::SetIConnection(std::unique_ptr<TDKConnection> value) {
  // A connection that goes back to its pool must not call back into this
  // component once another one takes it.
  if (my_connection_) {
    my_connection_->SetOnGetConnection(nullptr);
    my_connection_->SetOnReturnConnection(nullptr);
  }
  my_connection_ = dynamic_cast<TMySQLConnection*>(value.get());
  DAC_ASSERT(!value || my_connection_, "The server connection is not a MySQL connection");
  TCustomDAConnection::SetIConnection(std::move(value));
}

void TCustomMyConnection::CreateIConnection() {
  if (GetIConnection()) return;
  std::unique_ptr<TMySQLConnection> connection(GetMySQLConnection());
  connection->SetOnGetConnection([this] { return GetMySQLConnection(); });
  connection->SetOnReturnConnection([this](TMySQLConnection* other) { ReturnMySQLConnection(other); });
  SetIConnection(std::move(connection));
}

TMySQLConnection* TCustomMyConnection::GetMySQLConnection() {
  TMySQLConnection* connection = nullptr;
  if (GetPooling()) {
    TMyConnectionParameters parameters;
    FillConnectionParameters(parameters);
    connection = static_cast<TMySQLConnection*>(TMyConnectionPoolManager::GetConnection(parameters));
  } else {
    connection = new TMySQLConnection();
  }
  try {
    if (!GetPooling()) FillConnectionProps(*connection);
    if (TCustomMyConnectionOptions* options = MyOptions())
      connection->SetProp(prMyNumericType, static_cast<int32_t>(options->GetNumericType()));
    connection->SetProp(prAutoCommit, GetAutoCommit());
    connection->SetProp(prConvertEOL, GetConvertEOL());
    if (my_connection_) connection->Assign(*my_connection_);
  } catch (...) {
    ReturnMySQLConnection(connection);
    throw;
  }
  return connection;
}

void TCustomMyConnection::ReturnMySQLConnection(TMySQLConnection* connection) {
  if (!connection) return;
  // Only a pool's own connection can go back to it.
  if (connection->GetPool()) return connection->ReturnToPool();
  delete connection;
}

void TCustomMyConnection::FillConnectionProps(TMySQLConnection& connection) const {
  connection.SetProp(prMyDatabase, database_);
  connection.SetProp(prMyConnectionTimeout, connection_timeout_);
  connection.SetProp(prMyIsolationLevel, static_cast<int32_t>(isolation_level_));
  if (const TCustomMyConnectionOptions* options = MyOptions()) {
    connection.SetProp(prMyUseUnicode, options->GetUseUnicode());
    connection.SetProp(prMyCharset, options->GetCharset());
  }
}

void TCustomMyConnection::FillConnectionParameters(TMyConnectionParameters& parameters) const {
  const TPoolingOptions& pooling = PoolingOptions();
  parameters.MinPoolSize = pooling.GetMinPoolSize();
  parameters.MaxPoolSize = pooling.GetMaxPoolSize();
  parameters.ConnectionLifetime = pooling.GetConnectionLifetime();
  parameters.Validate = pooling.GetValidate();
  parameters.Username = GetUsername();
  parameters.Server = GetServer();
  parameters.Password = GetPassword();
  parameters.Database = database_;
  parameters.ConnectionTimeout = connection_timeout_;
  parameters.IsolationLevel = isolation_level_;
  if (const TCustomMyConnectionOptions* options = MyOptions()) {
    parameters.UseUnicode = options->GetUseUnicode();
    parameters.Charset = options->GetCharset();
  }
  parameters.Port = 0;
  parameters.Compress = false;
  parameters.Embedded = false;
  parameters.Direct = true;
}

TMySQLConnection& TCustomMyConnection::ConnectedIConnection() {
  DAC_ASSERT(my_connection_ != nullptr, "No server connection after connecting");
  return *my_connection_;
}

bool TCustomMyConnection::IsFatalError(const EDAError& error) const {
  if (!dynamic_cast<const EMyError*>(&error)) return TCustomDAConnection::IsFatalError(error);
  return IsLostSessionError(error.ErrorCode(), my_connection_ ? my_connection_->GetServerVersion() : "");
}

bool TCustomMyConnection::IsKeyViolation(const EDAError& error) const {
  if (!dynamic_cast<const EMyError*>(&error)) return TCustomDAConnection::IsKeyViolation(error);
  return error.ErrorCode() == 1062;
}

void TCustomMyConnection::AssignTo(TPersistent* dest) const {
  TCustomDAConnection::AssignTo(dest);
  if (auto* other = dynamic_cast<TCustomMyConnection*>(dest)) {
    other->SetDatabase(database_);
    other->SetConnectionTimeout(connection_timeout_);
    other->SetIsolationLevel(isolation_level_);
  }
}

// ---- services ----

Variant TCustomMyConnection::ExecSQL(const std::string& text, const std::vector<Variant>& params) {
  if (params.empty()) {
    ExecText(text);
  } else {
    ExecWithParams(text, params);
  }
  return Variant::Null();
}

void TCustomMyConnection::ExecText(const std::string& text) {
  WhileInUse([&] {
    Connect();
    // Every result the text gives is read away, so the session takes the next command.
    ConnectedIConnection().ExecStatement(text);
  });
}

void TCustomMyConnection::ExecWithParams(const std::string& text, const std::vector<Variant>& params) {
  // Emptied first so that an unchanged text is parsed again.
  command_->SQL().SetText("");
  command_->SQL().SetText(text);
  command_->SetCommandTimeout(connection_timeout_);
  TDAParams& command_params = command_->Params();
  for (int i = 0; i < command_->ParamCount(); ++i)
    command_params.Items(i)->SetValue(i < static_cast<int>(params.size()) ? params[i] : Variant::Null());
  command_->Execute();
}

std::string TCustomMyConnection::GetServerVersion() {
  std::string version;
  WhileInUse([&] { version = ConnectedIConnection().GetServerVersion(); });
  return version;
}

int32_t TCustomMyConnection::GetThreadId() {
  int32_t id = 0;
  WhileInUse([&] {
    TMySQLConnection& connection = ConnectedIConnection();
    id = static_cast<int32_t>(connection.GetAPI().mysql_thread_id(connection.GetHandle()));
  });
  return id;
}

std::string TCustomMyConnection::GetExecuteInfo() {
  Connect();
  TMySQLConnection& connection = ConnectedIConnection();
  return connection.GetAPI().mysql_info(connection.GetHandle());
}

void TCustomMyConnection::Ping() {
  Connect();
  TMySQLConnection& connection = ConnectedIConnection();
  connection.GetAPI().SetTimeout(connection.GetHandle(), static_cast<uint32_t>(std::max(connection_timeout_, 0)));
  if (connection.GetAPI().mysql_ping(connection.GetHandle()) != 0) connection.MySQLError(this);
}

TComponent* TCustomMyConnection::CreateSQL() {
  auto* command = MakeComponent<TMyCommand>(nullptr);
  try {
    command->SetConnection(this);
  } catch (...) {
    command->Free();
    throw;
  }
  return command;
}

TComponent* TCustomMyConnection::CreateDataSet() {
  auto* query = MakeComponent<TMyQuery>(nullptr);
  try {
    query->SetConnection(this);
  } catch (...) {
    query->Free();
    throw;
  }
  return query;
}

// ---- TMyConnection ----

TMyConnection::TMyConnection(TComponent* owner)
    : TCustomMyConnection(owner), ssl_options_(std::make_unique<TMyConnectionSSLOptions>(this)) {}

TMyConnection::~TMyConnection() = default;

void TMyConnection::BeforeDestruction() {
  TCustomMyConnection::BeforeDestruction();
  if (io_handler_) TMyIOHandlerUtils::UnRegisterClient(io_handler_, this);
  io_handler_ = nullptr;
}

std::unique_ptr<TDAConnectionOptions> TMyConnection::CreateOptions() {
  return std::make_unique<TMyConnectionOptions>(this);
}

TMyConnectionOptions& TMyConnection::GetOptions() const {
  auto* options = dynamic_cast<TMyConnectionOptions*>(&Options());
  DAC_ASSERT(options != nullptr, "The connection has no MySQL options");
  return *options;
}

bool TMyConnection::GetEmbedded() const { return GetOptions().GetEmbedded(); }
void TMyConnection::SetEmbedded(bool value) { GetOptions().SetEmbedded(value); }

void TMyConnection::SetPort(int32_t value) {
  if (value == port_) return;
  Disconnect();
  port_ = value;
  SendProp(prMyPort, value);
}

void TMyConnection::SetIOHandler(TMyIOHandler* value) {
  if (value == io_handler_) return;
  if (io_handler_) TMyIOHandlerUtils::UnRegisterClient(io_handler_, this);
  Disconnect();
  io_handler_ = value;
  if (io_handler_) TMyIOHandlerUtils::RegisterClient(io_handler_, this);
  if (IConnection()) IConnection()->SetIOHandler(io_handler_);
}

std::string TMyConnection::GetClientVersion() {
  const TMyConnectionOptions& options = GetOptions();
  if (options.GetDirect() && !options.GetEmbedded()) return "4.1.3 Direct";
  if (GetConnected()) return ConnectedIConnection().GetClientVer();
  TMySQLConnection probe;
  probe.SetAPI(ChosenAPI(options.GetEmbedded(), false));
  return probe.GetClientVer();
}

void TMyConnection::FillConnectionProps(TMySQLConnection& connection) const {
  TCustomMyConnection::FillConnectionProps(connection);
  connection.SetIOHandler(io_handler_);
  connection.SetProp(prMyPort, port_);
  const TMyConnectionOptions& options = GetOptions();
  TMyAccessUtils::SetIntAPI(connection, ChosenAPI(options.GetEmbedded(), options.GetDirect()));
  connection.SetProp(prMyCompress, options.GetCompress());
  connection.SetProp(prMyProtocol, static_cast<int32_t>(options.GetProtocol()));
  connection.SetProp(prMySSLCipher, ssl_options_->GetChipherList());
  connection.SetProp(prMySSLCA, ssl_options_->GetCACert());
  connection.SetProp(prMySSLKey, ssl_options_->GetKey());
  connection.SetProp(prMySSLCert, ssl_options_->GetCert());
}

void TMyConnection::FillConnectionParameters(TMyConnectionParameters& parameters) const {
  TCustomMyConnection::FillConnectionParameters(parameters);
  const TMyConnectionOptions& options = GetOptions();
  parameters.Port = port_;
  parameters.IOHandler = io_handler_;
  parameters.Compress = options.GetCompress();
  parameters.Protocol = options.GetProtocol();
  parameters.Embedded = options.GetEmbedded();
  parameters.Direct = options.GetDirect();
  parameters.SSLCipher = ssl_options_->GetChipherList();
  parameters.SSLCA = ssl_options_->GetCACert();
  parameters.SSLKey = ssl_options_->GetKey();
  parameters.SSLCert = ssl_options_->GetCert();
}

void TMyConnection::AssignTo(TPersistent* dest) const {
  if (auto* other = dynamic_cast<TMyConnection*>(dest)) {
    other->SetPort(port_);
    other->SetSSLOptions(*ssl_options_);
  }
  TCustomMyConnection::AssignTo(dest);
}

}  // namespace dac
