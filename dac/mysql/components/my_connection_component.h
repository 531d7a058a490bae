// The MySQL connection components. TCustomMyConnection adds the MySQL
// settings (database, connect timeout, isolation level, the options'
// character set and numeric type) to the generic connection component,
// builds its TMySQLConnection (or takes one from the MySQL pool) and feeds
// it through property codes, and offers direct SQL, the lists of tables,
// databases, routines, character sets and indexes, and the server's
// version, thread id and ping. TMyConnection adds the port, the client API
// choice, compression, protocol, TLS files and a transport of one's own.
//
//   auto* connection = MakeComponent<TMyConnection>(nullptr);
//   connection->SetServer("db.example"); connection->SetUsername("u");
//   connection->SetDatabase("shop"); connection->SetLoginPrompt(false);
//   connection->Connect();
//   connection->ExecSQL("DELETE FROM t WHERE id = :id", {Variant(7)});
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dac/core/connection_component.h"
#include "dac/core/server/replaceable_hook.h"
#include "dac/mysql/components/my_connection_options.h"
#include "dac/mysql/provider/my_connection.h"

namespace dac {

class TComponentClass;
class TMyCommand;
class TMyConnectionParameters;
class TMyIOHandler;

// The login dialog's class for MySQL connections; none unless a dialog unit sets it.
using TMyConnectDialogClassProc = const TComponentClass* (*)();
TReplaceableHook<TMyConnectDialogClassProc>& MyConnectDialogClassProc();

class TCustomMyConnection : public TCustomDAConnection {
  DAC_DECLARE_CLASS();

 public:
  explicit TCustomMyConnection(TComponent* owner);
  // The base's option objects, then the internal command.
  void Init() override;

  // ---- settings ----
  const std::string& GetDatabase() const { return database_; }
  // Open connections change their database at once.
  void SetDatabase(const std::string& value);
  int32_t GetConnectionTimeout() const { return connection_timeout_; }
  void SetConnectionTimeout(int32_t seconds);
  TMyIsolationLevel GetIsolationLevel() const { return isolation_level_; }
  void SetIsolationLevel(TMyIsolationLevel value);
  // The options when they are the MySQL ones, else none.
  TCustomMyConnectionOptions* MyOptions() const;
  void SetOptions(const TCustomMyConnectionOptions& value) { Options().Assign(&value); }

  // ---- the server connection ----
  const TMetaClass& GetIConnectionClass() const override;
  const TMetaClass& GetICommandClass() const override;
  const TMetaClass& GetIRecordSetClass() const override;
  void SetIConnection(std::unique_ptr<TDKConnection> value) override;
  // The current server connection, or none.
  TMySQLConnection* IConnection() const { return my_connection_; }
  // A server connection with this component's settings: from the pool when
  // pooling, else a new one; it copies the state of the one held. The caller
  // gives it back with ReturnMySQLConnection.
  TMySQLConnection* GetMySQLConnection();
  void ReturnMySQLConnection(TMySQLConnection* connection);
  // While designing or updating an open connection closes; otherwise it
  // refuses: "Cannot perform this operation on an open connection".
  void CheckInactive();
  // Prepared statements need a 4.1 client API and server.
  void CheckPrepareSupport();

  const TDASQLMonitorClass& SQLMonitorClass() const override;
  const TComponentClass* ConnectDialogClass() const override;
  bool CommitOnDisconnect() const override { return false; }
  bool NeedPrompt() const override { return GetLoginPrompt(); }
  // Lost: 2003, 2013, 2006 and 1053.
  bool IsFatalError(const EDAError& error) const override;
  bool IsKeyViolation(const EDAError& error) const override;
  bool IsCaseSensitive() const override { return false; }

  // ---- services ----
  // Runs the text; with values, through the internal command with its
  // parameters taking them in order (Null past the last). Returns Null.
  Variant ExecSQL(const std::string& text, const std::vector<Variant>& params) override;
  void GetTableNames(TStrings& list) override;
  void GetDatabaseNames(TStrings& list) override;
  void GetStoredProcNames(TStrings& list) override;
  void GetCharsetNames(TStrings& list);
  // Every index of the table, once per column it spans.
  void GetIndexNames(TStrings& list, const std::string& table_name);
  std::string GetServerVersion();
  int32_t GetThreadId();
  // The server's text about the last statement.
  std::string GetExecuteInfo();
  void Ping();
  virtual std::string GetClientVersion() = 0;

  TComponent* CreateDataSet() override;
  TComponent* CreateSQL() override;

 protected:
  ~TCustomMyConnection() override;
  // Database, ConnectionTimeout and IsolationLevel after the base's state.
  void AssignTo(TPersistent* dest) const override;
  void CreateIConnection() override;

  // The pool key, and the settings of a new server connection.
  virtual void FillConnectionParameters(TMyConnectionParameters& parameters) const;
  virtual void FillConnectionProps(TMySQLConnection& connection) const;
  // The server connection's API handle, asserted after connecting.
  TMySQLConnection& ConnectedIConnection();
  // Sends a value to the server connection when there is one.
  void SendProp(int prop, const Variant& value) const;

 private:
  friend class TCustomMyConnectionOptions;
  friend class TMyConnectionSSLOptions;
  // The first column (or the named one) of every row of sql.
  void ReadList(const std::string& sql, TStrings& list, const std::string& column = "");
  // Runs list_work with no database needed when closed; restores the
  // database and the closed state afterwards.
  template <typename Work>
  void WithoutDatabase(const Work& list_work);
  // Runs work between InternalConnect and InternalDisconnect.
  template <typename Work>
  void WhileInUse(const Work& work) {
    InternalConnect();
    try {
      work();
    } catch (...) {
      InternalDisconnect();
      throw;
    }
    InternalDisconnect();
  }
  void ExecText(const std::string& text);
  void ExecWithParams(const std::string& text, const std::vector<Variant>& params);

  std::string database_;
  int32_t connection_timeout_ = 15;
  TMyIsolationLevel isolation_level_ = TMyIsolationLevel::ilReadCommitted;
  TMyCommand* command_ = nullptr;
  TMySQLConnection* my_connection_ = nullptr;
};

class TMyConnection : public TCustomMyConnection {
  DAC_DECLARE_CLASS();

 public:
  explicit TMyConnection(TComponent* owner);

  int32_t GetPort() const { return port_; }
  // Closes the connection first.
  void SetPort(int32_t value);
  TMyConnectionOptions& GetOptions() const;
  void SetOptions(const TMyConnectionOptions& value) { Options().Assign(&value); }
  TMyConnectionSSLOptions& SSLOptions() const { return *ssl_options_; }
  void SetSSLOptions(const TMyConnectionSSLOptions& value) { ssl_options_->Assign(&value); }
  bool GetEmbedded() const;
  void SetEmbedded(bool value);
  TMyIOHandler* GetIOHandler() const { return io_handler_; }
  // Closes the connection; the handler carries the next session's bytes.
  void SetIOHandler(TMyIOHandler* value);

  // "4.1.3 Direct" for the built-in protocol; else the library's version.
  std::string GetClientVersion() override;

 protected:
  ~TMyConnection() override;
  void BeforeDestruction() override;
  // Port and TLS files, then the rest.
  void AssignTo(TPersistent* dest) const override;
  std::unique_ptr<TDAConnectionOptions> CreateOptions() override;
  void FillConnectionParameters(TMyConnectionParameters& parameters) const override;
  void FillConnectionProps(TMySQLConnection& connection) const override;

 private:
  int32_t port_ = 3306;
  TMyIOHandler* io_handler_ = nullptr;
  std::unique_ptr<TMyConnectionSSLOptions> ssl_options_;
};

// The client API the options choose: embedded, else direct, else the library.
TMySQLAPI& ChosenAPI(bool embedded, bool direct);

}  // namespace dac
