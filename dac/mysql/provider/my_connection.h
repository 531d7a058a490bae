// TMySQLConnection: one session with a MySQL server, reached only through
// the operations of a TMySQLAPI object (the built-in protocol by default,
// or the client or embedded-server library). It opens and closes the
// session with its transport, timeout, compression and TLS options, sets
// the character set, runs transactions with an isolation level, and turns
// the API's error codes into EMyError.
//
// On Linux a Unix socket stands in for a named pipe: with the socket or
// pipe protocol, a server name that is a path ("/run/mysqld/mysqld.sock")
// names the socket, and the host is "localhost".
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "dac/core/server/connection.h"
#include "dac/framework/classes/string_list.h"
#include "dac/mysql/client/api/mysql_api.h"
#include "dac/mysql/provider/my_sql_literals.h"
#include "dac/mysql/provider/my_table_info.h"
#include "dac/store/record/record_set_types.h"

namespace dac {

class TMyIOHandler;
class TMySQLConnection;
class TParamDescs;

enum class TMyProtocol : uint8_t { mpDefault = 0, mpTCP, mpSocket, mpPipe, mpMemory, mpSSL };
enum class TMyIsolationLevel : uint8_t { ilReadCommitted = 0, ilReadUnCommitted, ilRepeatableRead, ilSerializable };

// A record set asks its component for a second connection and gives it back.
using TGetMySQLConnection = std::function<TMySQLConnection*()>;
using TReturnMySQLConnection = std::function<void(TMySQLConnection*)>;

class TMySQLConnection : public TDKConnection {
  DAC_DECLARE_CLASS();

 public:
  TMySQLConnection();
  ~TMySQLConnection() override;

  // Opens the session; nothing when connected. A failed attempt ends
  // disconnected and raises what ended it.
  void Connect(const std::string& connect_string) override;
  // Closes the session; the transaction flag is left as it is.
  void Disconnect() override;
  // BEGIN, after the level statement of the session's isolation level.
  void StartTransaction() override;
  void Commit() override;
  void Rollback() override;
  // Two pings in a row answer.
  bool CheckIsValid() override;
  // On a swap connection only the error hook hears of the error: no reconnect.
  void DoError(Exception& error, bool& fail) override;
  bool SetProp(int prop, const Variant& value) override;
  bool GetProp(int prop, Variant& value) override;

  // The checks of API results: a nil pointer, a non-zero result, a
  // non-zero error number on the session, a failed statement operation.
  virtual void Check(const void* result, TComponent* component);
  virtual void Check(int32_t result, TComponent* component);
  virtual void Check(TComponent* component);
  virtual void CheckStmt(PMySqlStmt stmt, int32_t result, TComponent* component);

  // Raise the session's (or the statement's) error as EMyError naming the
  // component; the error hook may turn it into a silent EAbort.
  [[noreturn]] void MySQLError(TComponent* component);
  [[noreturn]] void MySQLStmtError(PMySqlStmt stmt, TComponent* component);

  // Stores the name; when connected and not empty, selects the database.
  void SetDatabase(const std::string& name);
  // Runs one statement on the session with ConnectionTimeout, reading away
  // any rows it gives.
  void ExecStatement(const std::string& sql);
  // Sends "SET NAMES ..." as UseUnicode and Charset ask (4.1 servers and
  // later); an older server turns UseUnicode off.
  void TryToApplyUseUnicode();
  // The SQL text that calls a stored procedure or function by name, read
  // from its definition on the server (dac/mysql/provider/my_proc_call.h). With
  // need_description the parameters are made anew from the definition;
  // quote_names puts the names in backquotes.
  std::string CreateProcCall(bool need_description, TParamDescs& params, const std::string& name, bool quote_names);
  // The settings of another connection: not its TLS files, transport,
  // embedded parameters or callbacks.
  void Assign(const TMySQLConnection& source);

  // The client character set of the session's text (my_sql_charsets.h).
  std::string GetSessionCharset() const;
  // How the session reads a string literal now: its character set and the
  // escaping mode of the server's last status.
  TMySQLEscaping GetEscaping() const;
  // How names are quoted for the session's character set.
  const TMyTableInfoClass& GetIdentifierRules() const;

  std::string GetClientVer();
  bool GetIsClient41() const;
  bool GetIsServer41() const;

  TMySQLAPI& GetAPI() const { return *api_; }
  void SetAPI(TMySQLAPI& api) { api_ = &api; }
  PMySqlCon GetHandle() const { return handle_; }
  const std::string& GetDatabase() const { return database_; }
  int32_t GetPort() const { return port_; }
  void SetPort(int32_t value) { port_ = value; }
  bool GetCompress() const { return compress_; }
  void SetCompress(bool value) { compress_ = value; }
  bool GetUseUnicode() const { return use_unicode_; }
  // Under UseUnicode: the session's text is utf8mb4 (every character),
  // not the three-byte utf8 of servers before 5.5.3 or of Charset utf8.
  bool GetUnicodeMB4() const { return use_unicode_ && unicode_mb4_; }
  const std::string& GetCharset() const { return charset_; }
  // Checked at Connect: only a character set's name is taken.
  void SetCharset(std::string value) { charset_ = std::move(value); }
  int32_t GetConnectionTimeout() const { return connection_timeout_; }
  void SetConnectionTimeout(int32_t seconds) { connection_timeout_ = seconds; }
  TMyIsolationLevel GetIsolationLevel() const { return isolation_level_; }
  void SetIsolationLevel(TMyIsolationLevel value) { isolation_level_ = value; }
  TMyProtocol GetProtocol() const { return protocol_; }
  void SetProtocol(TMyProtocol value) { protocol_ = value; }
  TDANumericType GetNumericType() const { return numeric_type_; }
  bool GetIsSwapConnection() const { return swap_connection_; }
  void SetIsSwapConnection(bool value) { swap_connection_ = value; }
  const std::string& GetServerVersion() const { return server_version_; }
  int32_t GetServerPrimaryVer() const { return server_major_; }
  int32_t GetServerMinorVer() const { return server_minor_; }
  bool GetInTransaction() const { return in_transaction_; }
  const std::string& GetSSLKey() const { return ssl_key_; }
  const std::string& GetSSLCert() const { return ssl_cert_; }
  const std::string& GetSSLCA() const { return ssl_ca_; }
  TMyIOHandler* GetIOHandler() const { return io_handler_; }
  void SetIOHandler(TMyIOHandler* handler) { io_handler_ = handler; }
  const TStringList& GetEmbParams() const { return emb_params_; }
  const TGetMySQLConnection& GetOnGetConnection() const { return get_connection_; }
  void SetOnGetConnection(TGetMySQLConnection callback) { get_connection_ = std::move(callback); }
  const TReturnMySQLConnection& GetOnReturnConnection() const { return return_connection_; }
  void SetOnReturnConnection(TReturnMySQLConnection callback) { return_connection_ = std::move(callback); }

 private:
  void OpenSession();
  void ApplyOptions();
  void DrainResults();
  [[noreturn]] void RaiseError(uint32_t code, std::string text, std::string state, TComponent* component);

  TMySQLAPI* api_;
  PMySqlCon handle_ = nullptr;
  std::string database_;
  int32_t port_ = 0;
  bool compress_ = false;
  bool use_unicode_ = false;
  bool unicode_mb4_ = false;
  std::string charset_;
  int32_t connection_timeout_ = 15;
  TMyIsolationLevel isolation_level_ = TMyIsolationLevel::ilReadCommitted;
  bool isolation_level_sent_ = false;
  TMyIsolationLevel session_isolation_level_ = TMyIsolationLevel::ilReadCommitted;
  TMyProtocol protocol_ = TMyProtocol::mpDefault;
  TDANumericType numeric_type_ = ntFloat;
  bool swap_connection_ = false;
  TStringList emb_params_;
  std::string ssl_cipher_;
  std::string ssl_ca_;
  std::string ssl_key_;
  std::string ssl_cert_;
  std::string server_version_;
  int32_t server_major_ = 0;
  int32_t server_minor_ = 0;
  int32_t server_release_ = 0;
  bool in_transaction_ = false;
  TMyIOHandler* io_handler_ = nullptr;
  TGetMySQLConnection get_connection_;
  TReturnMySQLConnection return_connection_;
};

}  // namespace dac
