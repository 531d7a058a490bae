// TDKConnection: one session with a server, as every provider implements it
// and every component talks to it. It keeps the session's settings, its
// pool, its owning component and the transaction it is enlisted in, and runs
// the error loop that lets the owning component reconnect after a lost
// session.
//
// The base destructor calls nothing virtual: a concrete connection
// disconnects in its own destructor.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dac/core/server/server_types.h"
#include "dac/framework/classes/meta_class.h"
#include "dac/framework/values/variant.h"

namespace dac {

class ITransaction;
class TComponent;
class TDKConnectionPool;
class TDKTransaction;

// The coordinator transaction a connection enlists in.
using IDKTransactionSC = ITransaction;

class TDKConnection : public TObject {
  DAC_DECLARE_CLASS();

 public:
  TDKConnection() = default;
  TDKConnection(const TDKConnection&) = delete;
  TDKConnection& operator=(const TDKConnection&) = delete;

  // The base raises "MS DTC transactions not supported".
  virtual void Enlist(IDKTransactionSC* transaction);
  virtual void UnEnlist(IDKTransactionSC* transaction);
  // The error loop: the error hook decides, attempt by attempt, whether to
  // reconnect; reconnect errors never escape. EFailOver leaves only after a
  // successful reconnect that the hook marked for re-execution. An error
  // raised while the loop runs (from the hook or the reconnect) is not
  // handled again.
  virtual void DoError(Exception& error, bool& fail);
  // A provider opens the session first, then calls this: it records the
  // connect time and marks the connection valid.
  virtual void Connect(const std::string& connect_string);
  virtual void Disconnect() = 0;
  virtual void StartTransaction() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  virtual void SetUsername(const std::string& value) { username_ = value; }
  virtual void SetPassword(const std::string& value) { password_ = value; }
  // Whether the session still answers; stores the answer in IsValid.
  virtual bool CheckIsValid() = 0;
  // Hands the connection, with ownership, back to its pool (there must be
  // one) after dropping the error hook and the component. The pool may free
  // the connection at once: nothing may touch it after this call.
  virtual void ReturnToPool();
  // True for a handled code; an unknown code is an assertion failure.
  virtual bool SetProp(int prop, const Variant& value);
  virtual bool GetProp(int prop, Variant& value);

  bool GetConnected() const { return connected_; }
  // Connect with an empty connect string, or Disconnect.
  void SetConnected(bool value);
  void SetServer(const std::string& value) { server_ = value; }

  const std::string& GetUsername() const { return username_; }
  const std::string& GetPassword() const { return password_; }
  const std::string& GetServer() const { return server_; }
  bool GetAutoCommit() const { return auto_commit_; }
  bool GetConvertEOL() const { return convert_eol_; }
  bool GetDisconnectedMode() const { return disconnected_mode_; }
  // Milliseconds of the never-wrapping tick count at the last Connect.
  uint64_t GetConnectTime() const { return connect_time_; }
  bool GetIsValid() const { return is_valid_; }
  void SetIsValid(bool value) { is_valid_ = value; }
  bool GetReconnected() const { return reconnected_; }

  const std::shared_ptr<TDKConnectionPool>& GetPool() const { return pool_; }
  void SetPool(std::shared_ptr<TDKConnectionPool> pool) { pool_ = std::move(pool); }
  int64_t GetPoolVersion() const { return pool_version_; }
  void SetPoolVersion(int64_t value) { pool_version_ = value; }
  // The owning connection component, or null.
  TComponent* GetComponent() const { return component_; }
  void SetComponent(TComponent* component) { component_ = component; }
  // The transaction this connection is enlisted in, or null.
  TDKTransaction* GetTransaction() const { return transaction_; }
  void SetTransaction(TDKTransaction* transaction) { transaction_ = transaction; }

  const TErrorProc& GetOnError() const { return on_error_; }
  void SetOnError(TErrorProc hook) { on_error_ = std::move(hook); }
  // Called when the session was lost and not restored.
  void SetOnDisconnect(TReconnectProc hook) { on_disconnect_ = std::move(hook); }
  // Called after a successful reconnect.
  void SetOnReconnect(TReconnectProc hook) { on_reconnect_ = std::move(hook); }

 protected:
  bool connected_ = false;
  std::string username_;
  std::string password_;
  std::string server_;
  bool auto_commit_ = false;
  bool convert_eol_ = false;
  bool disconnected_mode_ = false;
  bool is_valid_ = true;

 private:
  void TryReconnect(int32_t attempt);
  void NotifyDisconnect();

  TErrorProc on_error_;
  TReconnectProc on_disconnect_;
  TReconnectProc on_reconnect_;
  uint64_t connect_time_ = 0;
  std::shared_ptr<TDKConnectionPool> pool_;
  int64_t pool_version_ = 0;
  TComponent* component_ = nullptr;
  TDKTransaction* transaction_ = nullptr;
  bool in_process_error_ = false;
  bool reconnected_ = false;
};

}  // namespace dac
