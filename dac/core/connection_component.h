// TCustomDAConnection: the connection component every provider derives
// from. It wraps one server connection made through the provider's class
// factories, shows the login dialog, counts the internal users of the
// connection so that disconnected mode connects on demand and disconnects
// when the last user is done, runs local transactions, hands pooled server
// connections back, reports to the SQL trace monitor, and decides after each
// server error whether the connection is lost, whether it may be restored
// and whether the failed operation runs again.
//
// The components that work on a connection (IDAConnectionClient) wrap every
// server request in PushOperation/PopOperation (TOperationScope), use the
// connection between InternalConnect and InternalDisconnect, and run the
// request again when it raises EFailOver.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dac/core/connection_options.h"
#include "dac/core/trace/connection_credentials.h"
#include "dac/core/trace/traced_component.h"
#include "dac/framework/classes/string_list.h"
#include "dac/framework/data/custom_connection.h"
#include "dac/framework/values/variant.h"
#include "dac/store/record/record_set_types.h"

namespace dac {

class EDAError;
class IDAConnectionClient;
class TComponentClass;
class TCustomConnectDialog;
class TDASQLMonitorClass;
class TDKCommand;
class TDKConnection;
class TDKRecordSet;

enum TRetryMode : uint8_t { rmRaise = 0, rmReconnect, rmReconnectExecute };

// The application's view of an error that failover does not handle; the
// caller raises it unless the handler clears fail.
using TDAConnectionErrorEvent = std::function<void(TObject* sender, EDAError& error, bool& fail)>;
// Asked when a lost connection may be restored: rmRaise gives up,
// rmReconnect restores it, rmReconnectExecute also runs the operation again.
// attempt counts the tries to restore it that failed already (0 at first).
using TConnectionLostEvent = std::function<void(TObject* sender, TComponent* component, TConnLostCause cause,
                                                int32_t attempt, TRetryMode& retry_mode)>;

class TCustomDAConnection : public TCustomConnection, public IConnectionCredentials, public ITracedComponent {
  DAC_DECLARE_CLASS();

 public:
  // A lost connection is tried again at most this many times before the
  // error goes on, whatever an OnConnectionLost handler answers; the tries
  // after the first wait kReconnectPauseMs each on the process clock.
  static constexpr int32_t kMaxReconnectAttempts = 3;
  static constexpr uint32_t kReconnectPauseMs = 1000;
  // The transaction identifier of a local transaction.
  static constexpr const char* kLocalTransaction = "Local";
  // The transaction identifier that marks statements run outside a
  // transaction while auto-commit is off.
  static constexpr const char* kImplicitTransaction = "DKImplicitTransaction";

  explicit TCustomDAConnection(TComponent* owner);
  // Makes the option objects through CreateOptions and CreatePoolingOptions.
  void Init() override;

  // ---- class factories ----
  // The provider's server connection, command and record set classes; the
  // base raises the assertion "Must be overrided".
  virtual const TMetaClass& GetIConnectionClass() const;
  virtual const TMetaClass& GetICommandClass() const;
  virtual const TMetaClass& GetIRecordSetClass() const;
  // The server connection object, owned until it goes back to its pool.
  TDKConnection* GetIConnection() const { return iconnection_.get(); }
  // Binds a server connection: this component hears its errors, lost
  // connection and reconnects, and every client binds its command or record
  // set to it. Null unbinds the clients (unless destroying) and hands the
  // held one back to its pool, or frees it.
  virtual void SetIConnection(std::unique_ptr<TDKConnection> value);
  // A new command of GetICommandClass, bound to no connection.
  std::unique_ptr<TDKCommand> CreateICommand() const;
  // A new record set of GetIRecordSetClass, bound to the server connection.
  std::unique_ptr<TDKRecordSet> CreateIRecordSet() const;
  void FreeIConnection() { SetIConnection(nullptr); }
  // The monitor metaclass the component reports to, and the login dialog's
  // class (null for none).
  virtual const TDASQLMonitorClass& SQLMonitorClass() const;
  virtual const TComponentClass* ConnectDialogClass() const;
  // Whether disconnecting inside a transaction commits (else rolls back).
  virtual bool CommitOnDisconnect() const { return true; }

  // ---- internal use by clients ----
  // One more user; connects, prompting only on the first internal connect
  // since the last explicit disconnect.
  virtual void InternalConnect();
  // One user less; the last closes a connection in disconnected mode unless
  // a transaction runs.
  virtual void InternalDisconnect();
  // Connected is stored only when connected and not in disconnected mode.
  virtual bool IsConnectedStored() const;
  // Whether connecting shows the login dialog.
  virtual bool NeedPrompt() const;

  // ---- failover ----
  // Records what the application is doing (only with LocalFailover);
  // returns the entry's index, 0 without LocalFailover.
  virtual int PushOperation(TConnLostCause operation, bool allow_fail_over = true);
  // Removes the top entry; never raises.
  virtual void PopOperation();
  // Whether an error means the connection is lost; false in the base.
  virtual bool IsFatalError(const EDAError& /*error*/) const { return false; }
  // Called once after a fatal error at the first attempt.
  virtual void ResetOnFatalError() {}
  // Called by a client before it runs its operation again.
  virtual void RestoreAfterFailOver() {}
  // The highest operation on the stack, clUnknown when it may not fail over
  // or when a connect failed on a connection that was never opened.
  virtual TConnLostCause DetectConnLostCause(TComponent* component);
  // The error hook of the server connection: decides, attempt by attempt,
  // whether to reconnect and whether the operation runs again.
  virtual void DoError(Exception& error, bool& fail, bool& reconnect, bool& reexecute, int32_t reconnect_attempt,
                       TConnLostCause& conn_lost_cause);
  // The attempt of the error being decided (0 for the first), for an
  // OnConnectionLost handler.
  int32_t ReconnectAttempt() const { return reconnect_attempt_; }
  virtual bool IsKeyViolation(const EDAError& /*error*/) const { return false; }

  // ---- log-in ----
  virtual std::string GetConnectString() const { return ""; }
  virtual void SetConnectString(const std::string& /*value*/) {}
  std::string GetUsername() const override { return username_; }
  std::string GetPassword() const override { return password_; }
  std::string GetServer() const override { return server_; }
  // The setters close the connection when the value changes.
  void SetUsername(const std::string& value) override;
  void SetPassword(const std::string& value) override;
  void SetServer(const std::string& value) override;

  // ---- transactions ----
  virtual bool GetInTransaction() const { return !transaction_id_.empty(); }
  virtual std::string GetTransactionID() const { return transaction_id_; }
  // For the clients that mark an implicit transaction in disconnected mode.
  void SetTransactionID(const std::string& value) { transaction_id_ = value; }
  // After a client's statement in disconnected mode: one run while
  // auto-commit is off (here or at the client) opened a transaction on the
  // server, which the connection marks so that it stays open until the
  // transaction ends.
  void MaintainImplicitTransaction(bool client_auto_commit);
  // "Operation is not allowed when the connection is closed" or "User
  // transaction is already in progress"; repeated after a restored connection.
  virtual void StartTransaction();
  virtual void Commit();
  virtual void Rollback();
  // Applies the cached updates of the datasets in one transaction (rolled
  // back on error) and then forgets them; all over again after a restored
  // connection. Each must belong to this connection: "Cannot update, %s is
  // not owned by %s" before anything starts.
  virtual void ApplyUpdates();
  virtual void ApplyUpdates(const std::vector<TDataSet*>& data_sets);

  virtual bool IsCaseSensitive() const { return true; }
  virtual Variant ExecSQL(const std::string& text, const std::vector<Variant>& params) = 0;
  // The base only clears the list.
  virtual void GetTableNames(TStrings& list);
  virtual void GetDatabaseNames(TStrings& list);
  virtual void GetStoredProcNames(TStrings& list);
  // A dataset or SQL component without owner on this connection.
  virtual TComponent* CreateDataSet();
  virtual TComponent* CreateSQL();

  // ---- connecting ----
  bool GetConnected() const override;
  void SetConnected(bool value) override;
  void Connect() { SetConnected(true); }
  void Disconnect() { SetConnected(false); }
  // Connects without the dialog: what a confirmed login dialog runs. Retry
  // skips BeforeConnect.
  void PerformConnect(bool retry);
  // Users of the connection in disconnected mode.
  int32_t ConnectCount() const { return connect_count_; }
  bool GetPromptOnInternalConnect() const { return prompt_on_internal_connect_; }
  bool GetDisconnectGuard() const { return disconnect_guard_; }

  // ---- settings ----
  bool GetAutoCommit() const { return auto_commit_; }
  void SetAutoCommit(bool value);
  bool GetConvertEOL() const { return convert_eol_; }
  void SetConvertEOL(bool value);
  TDAConnectionOptions& Options() const { return *options_; }
  void SetOptions(const TDAConnectionOptions& value) { options_->Assign(&value); }
  TPoolingOptions& PoolingOptions() const { return *pooling_options_; }
  void SetPoolingOptions(const TPoolingOptions& value) { pooling_options_->Assign(&value); }
  bool GetPooling() const { return pooling_; }
  // A new value closes the connection and frees the server connection.
  void SetPooling(bool value);
  TCustomConnectDialog* GetConnectDialog() const { return connect_dialog_; }
  void SetConnectDialog(TCustomConnectDialog* value);
  const TDAConnectionErrorEvent& GetOnError() const { return on_error_; }
  void SetOnError(TDAConnectionErrorEvent handler) { on_error_ = std::move(handler); }
  const TConnectionLostEvent& GetOnConnectionLost() const { return on_connection_lost_; }
  void SetOnConnectionLost(TConnectionLostEvent handler) { on_connection_lost_ = std::move(handler); }

  // A text of one's own for the trace monitor.
  void MonitorMessage(const std::string& text);
  // The server connection is disconnected instead of going back to its pool.
  void RemoveFromPool();

  // Clients register under the lock; SQL components also join the SQL list.
  void RegisterClient(TObject* client, TConnectChangeEvent event = {}) override;
  void UnRegisterClient(TObject* client) override;
  int SQLCount() const { return static_cast<int>(sqls_.size()); }

  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  // A connection has no parent connection and no statements of its own.
  TComponent* GetTraceParent() const override { return nullptr; }
  bool GetTraceDebug() const override { return false; }
  int32_t GetTraceRowsAffected() const override { return 0; }

 protected:
  ~TCustomDAConnection() override;
  // Disconnects, detaches every client and frees the server connection;
  // errors go to the application's exception hook.
  void BeforeDestruction() override;
  // Copies log-in, pooling, dialog, options, settings and events to another
  // connection component.
  void AssignTo(TPersistent* dest) const override;

  // Makes the server connection when there is none: the base one of
  // GetIConnectionClass; a provider's may come from its pool.
  virtual void CreateIConnection();
  virtual void InternalStartTransaction();
  virtual std::unique_ptr<TDAConnectionOptions> CreateOptions();
  virtual std::unique_ptr<TPoolingOptions> CreatePoolingOptions();
  void DoConnect() override;
  void DoDisconnect() override;
  // The reconnect notification: the session is new, so a transaction of
  // the lost one is over; fires AfterConnect.
  virtual void DoAfterConnect();

 private:
  friend class TDBAccessUtils;
  struct OperationEntry {
    TConnLostCause operation;
    bool allow_fail_over;
  };

  // The SQL components and datasets registered on the connection.
  std::vector<IDAConnectionClient*> Clients() const;
  void OpenConnection();
  void CloseConnection();
  // Step by step parts of opening and closing.
  void ConnectAsked();
  bool RunConnectDialog(const TComponentClass& dialog_class);
  void TellClientsOfDisconnect();
  void FinishDisconnect();
  void CloseServerConnection();
  // Disconnects without ending a transaction: the session is lost.
  void DisconnectGuarded();
  void BindClients(TDKConnection* connection);
  void EndTransaction(bool commit);
  // Forgets the transaction and tells the datasets how it ended.
  void TransactionEnded(bool committed);
  void CheckConnected() const;
  void ApplyUpdatesOnce(const std::vector<TDataSet*>& data_sets);
  void RollbackAfterFailedApply() noexcept;
  // Whether the clients allow a reconnect after a fatal error of component.
  bool ClientsAllowReconnect(TConnLostCause cause, const TComponent* component) const;
  void PauseBeforeReconnect();
  bool Loading() const { return ComponentState().Contains(csLoading); }
  bool Designing() const { return ComponentState().Contains(csDesigning); }

  std::string username_;
  bool auto_commit_ = true;
  bool disconnect_guard_ = false;
  TCustomConnectDialog* connect_dialog_ = nullptr;
  TDAConnectionErrorEvent on_error_;
  bool convert_eol_ = false;
  std::unique_ptr<TDAConnectionOptions> options_;
  std::unique_ptr<TPoolingOptions> pooling_options_;
  bool pooling_ = false;
  TConnectionLostEvent on_connection_lost_;
  std::recursive_mutex lock_;
  int32_t connect_count_ = 0;
  std::vector<IDAConnectionClient*> sqls_;
  std::unique_ptr<TDKConnection> iconnection_;
  bool streamed_connected_ = false;
  std::string server_;
  std::string password_;
  std::string transaction_id_;
  bool prompt_on_internal_connect_ = true;
  std::vector<OperationEntry> operations_;
  int32_t reconnect_attempt_ = 0;
};

// Pushes an operation on a connection (none is fine) for one scope.
class TOperationScope {
 public:
  TOperationScope(TCustomDAConnection* connection, TConnLostCause operation, bool allow_fail_over = true)
      : connection_(connection) {
    if (connection_) connection_->PushOperation(operation, allow_fail_over);
  }
  ~TOperationScope() {
    if (connection_) connection_->PopOperation();
  }
  TOperationScope(const TOperationScope&) = delete;
  TOperationScope& operator=(const TOperationScope&) = delete;

 private:
  TCustomDAConnection* connection_;
};

}  // namespace dac
