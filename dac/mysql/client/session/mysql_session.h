// One client connection spoken natively: opens the transport, reads the
// greeting, logs in, runs commands and reads their replies (OK packets,
// result-set headers with their column definitions, requests for local
// files), and drains unread results. The packets themselves are parsed and
// built by protocol.h; the session does the I/O and owns the protocol state,
// which changes only where it applies a parsed packet (Apply).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dac/framework/classes/meta_class.h"
#include "dac/framework/values/bytes.h"
#include "dac/mysql/client/transport/mysql_net.h"
#include "dac/mysql/client/wire/client_records.h"
#include "dac/mysql/client/wire/protocol.h"

namespace dac {

class TMyIOHandler;
class TMySqlResultSet;
class TMySqlSession;

constexpr int ConnectTimeout = 20;

// A statement or the API took the pending result (msGetResult): from now on
// its rows are read through a result set (msUseResult). The API's result set
// is tracked by the session; a statement takes the column descriptions along.
struct ResultTaken {
  TMySqlResultSet* tracked = nullptr;
  TMySqlFieldInfos* fields_to = nullptr;
};
// The tracked result set is gone.
struct ResultReleased {
  const TMySqlResultSet* result_set = nullptr;
};
// The API asks for the next result: until its reply says otherwise, no rows
// were affected (-1).
struct NextResultRequested {};

// What a result set keeps of its session: the session while it lives, null
// once it is destroyed.
struct SessionLink {
  TMySqlSession* session = nullptr;
};

class TMySqlSession : public TObject {
  DAC_DECLARE_CLASS();

 public:
  TMySqlSession();
  ~TMySqlSession() override;
  TMySqlSession(const TMySqlSession&) = delete;
  TMySqlSession& operator=(const TMySqlSession&) = delete;

  // Opens the transport and logs in. Empty texts and port 0 are taken from
  // the stored values. unix_socket names the local server's socket for the
  // socket and pipe protocols.
  void Connect(const std::string& host, const std::string& user, const std::string& password,
               const std::string& database, int port, const std::string& unix_socket, uint32_t client_flags);
  // Once: sends scQuit without waiting and closes the packet layer. Result
  // sets and statements of this connection are cut off from it: their
  // server-side state ended with it.
  void Close();

  // 2006 without a transport; 2014 while a result is pending or the server
  // has further results to send (nothing goes out then); else a new command
  // with its byte, staged for Send after the arguments are appended.
  void WriteCommand(TServerCommand command);
  // With a transport attached: timeout, command, length bytes of the
  // argument, Send, and unless skip_reply the reply packet.
  void SimpleCommand(TServerCommand command, const uint8_t* argument, bool skip_reply, int length);
  // The reply to a query or execute: an OK packet, a result-set header with
  // its column definitions (state msGetResult), or a local file request.
  void ReadQueryResult();
  // count column definitions up to their end packet.
  TMySqlFieldInfos ReadColumnDefinitions(int count, EndPacket& end);
  // Discards the unread rows of the pending result and reads the status
  // that ends it (and, after a procedure call, its status packet).
  void FreeQuery();
  bool Getprotocol41() const;
  // True when the server said that another result follows: ReadQueryResult
  // reads it, and until then no command may go out.
  bool MoreResults() const { return (server_status_ & kServerMoreResultsExists) != 0; }

  // The protocol state changes here and only here, from parsed packets.
  // An OK packet ends the reply: counts, status, warnings and info.
  void Apply(const OkPacket& ok);
  // A result-set header with its column definitions (and the end packet
  // after them): the result is pending, msGetResult, under a new result id.
  void Apply(const ResultSetHeader& header, TMySqlFieldInfos fields, const EndPacket& definitions_end);
  // The end packet after a result's rows, whichever result set read them:
  // warnings and status, and the session is ready again.
  void Apply(const EndPacket& end);
  // An error in place of a row ends the result, and no result follows it:
  // the session is ready again.
  void Apply(const ErrorPacket& error);
  void Apply(const ResultTaken& taken);
  void Apply(const ResultReleased& released);
  void Apply(const NextResultRequested& request);
  // The id of the result whose rows are still on the connection; 0 when
  // the session is ready. A result set reads and drains only its own.
  uint64_t GetOpenResult() const { return status_ == msReady ? 0 : result_id_; }
  // Counts the commands written: a statement knows by it whether further
  // results pending on the connection are its own.
  uint64_t GetCommandCount() const { return command_count_; }
  // Shared by the result sets and statements of the current connection;
  // null inside once the session closes or is destroyed.
  const std::shared_ptr<SessionLink>& GetLink() const { return link_; }

  void SelectDb(const std::string& name);
  std::string Statistics();
  void Ping();

  // The server's reply to the handshake response, with its follow-ups.
  void Authenticate(const std::string& password);
  // The pre-4.1 and 4.1 password answers, written into the packet being built.
  void scramble(const std::string& password);
  void scramble41(const std::string& password);

  TMySqlNet& GetNet() { return *net_; }

  int32_t GetLastErrorCode() const { return last_error_code_; }
  void SetLastErrorCode(int32_t value) { last_error_code_ = value; }
  const std::string& GetLastError() const { return last_error_; }
  void SetLastError(const std::string& value) { last_error_ = value; }
  bool GetClosed() const { return closed_; }
  TMySqlResultSet* GetResultSet() const { return result_set_; }
  TMyIOHandler* GetIOHandler() const { return io_handler_; }
  void SetIOHandler(TMyIOHandler* value) { io_handler_ = value; }

  const std::string& GetHost() const { return host_; }
  void SetHost(const std::string& value) { host_ = value; }
  const std::string& GetUser() const { return user_; }
  void SetUser(const std::string& value) { user_ = value; }
  const std::string& GetPassword() const { return password_; }
  void SetPassword(const std::string& value) { password_ = value; }
  const std::string& GetDatabase() const { return database_; }
  void SetDatabase(const std::string& value) { database_ = value; }
  int GetPort() const { return port_; }
  void SetPort(int value) { port_ = value; }

  const std::string& GetServerVersion() const { return server_version_; }
  const std::string& GetHostInfo() const { return host_info_; }
  const std::string& GetInfo() const { return info_; }
  uint32_t GetClientFlags() const { return client_flags_; }
  void SetClientFlags(uint32_t value) { client_flags_ = value; }
  int GetConnectTimeout() const { return connect_timeout_; }
  void SetConnectTimeout(int value) { connect_timeout_ = value; }
  int GetReadWriteTimeout() const { return read_write_timeout_; }
  // Set on the transport before every command. The default 0 waits without
  // limit once logged in: long queries are legitimate, and the client
  // library waits the same way.
  void SetReadWriteTimeout(int value) { read_write_timeout_ = value; }
  uint32_t GetThreadId() const { return thread_id_; }
  uint32_t GetServerCapabilities() const { return server_capabilities_; }
  uint32_t GetServerStatus() const { return server_status_; }
  int GetServerLanguage() const { return server_language_; }
  uint32_t GetWarningCount() const { return warning_count_; }
  TMySqlStatus GetStatus() const { return status_; }
  const TBytes& GetScramble() const { return scramble_; }
  uint8_t GetProtocol() const { return protocol_; }
  void SetProtocol(uint8_t value) { protocol_ = value; }

  // The column descriptions of the pending result.
  const TMySqlFieldInfos& GetFieldsInfo() const { return fields_info_; }
  int GetFieldCount() const { return field_count_; }
  int64_t GetAffectedRows() const { return affected_rows_; }
  uint64_t GetInsertId() const { return insert_id_; }
  int64_t GetExtraInfo() const { return extra_info_; }

  // TLS settings: key, certificate, CA file, CA path, cipher list. Once
  // given, TLS is asked for whatever protocol is set afterwards: over TCP
  // it is TLS, over a local socket an error, never plain text.
  void SetSslSettings(const std::string& key, const std::string& cert, const std::string& ca,
                      const std::string& ca_path, const std::string& cipher);
  const std::string& GetSslKey() const { return ssl_key_; }
  const std::string& GetSslCert() const { return ssl_cert_; }
  const std::string& GetSslCA() const { return ssl_ca_; }
  const std::string& GetSslCAPath() const { return ssl_ca_path_; }
  const std::string& GetSslCipher() const { return ssl_cipher_; }

  // Set before a procedure call: its status packet follows the rows.
  bool GetStoredProc() const { return stored_proc_; }
  void SetStoredProc(bool value) { stored_proc_ = value; }
  // Whether LOAD DATA LOCAL may send files at all (on by default).
  bool GetLocalInfile() const { return local_infile_; }
  void SetLocalInfile(bool value) { local_infile_ = value; }
  // Secure authentication (MYSQL_SECURE_AUTH, on by default): a login that
  // would send the weak pre-4.1 scramble is refused with 2012 instead, so
  // nobody between client and server can downgrade it.
  bool GetSecureAuth() const { return secure_auth_; }
  void SetSecureAuth(bool value) { secure_auth_ = value; }

 private:
  // Status as a reply starts: autocommit, the escaping mode kept.
  void ResetServerStatus();
  // A connection made later is another one: what belonged to the last one
  // must not reach it (a statement id, say, may name another statement there).
  void CutOffDependents();
  // The protocol that connects: TCP becomes TLS once TLS was asked for.
  uint8_t EffectiveProtocol() const;
  std::unique_ptr<TMySqlVio> CreateTransport(const std::string& unix_socket);
  void ReadGreeting();
  uint32_t NegotiateFlags(uint32_t client_flags) const;
  void WriteHandshakeResponse(uint32_t flags, const std::string& user, const std::string& password,
                              const std::string& database);
  [[noreturn]] void RefuseOldScramble() const;
  // The received packet, an OK packet, applied.
  void ApplyReceivedOk();
  // The received reply to a query, applied: an OK packet, or a result-set
  // header and its column definitions; a local file request is answered
  // when allowed, else malformed.
  QueryReply ApplyReply(bool allow_local_file);
  // Sends the named file in reply to a LOAD DATA LOCAL request, or refuses.
  void SendLocalFile(const std::string& name);
  [[noreturn]] void RefuseLocalFile(const std::string& reason, const std::string& name);

  int32_t last_error_code_ = 0;
  std::string last_error_;
  bool closed_ = false;
  TMySqlResultSet* result_set_ = nullptr;
  TMyIOHandler* io_handler_ = nullptr;
  std::unique_ptr<TMySqlNet> net_;
  std::string host_;
  std::string user_;
  std::string password_;
  std::string database_;
  std::string server_version_;
  std::string host_info_;
  std::string info_;
  uint32_t client_flags_ = 0;
  int port_ = 0;
  int connect_timeout_ = ConnectTimeout;
  int read_write_timeout_ = 0;
  uint32_t thread_id_ = 0;
  uint32_t server_capabilities_ = 0;
  uint32_t server_status_ = 0;
  int server_language_ = 0;
  uint32_t warning_count_ = 0;
  TMySqlStatus status_ = msReady;
  TBytes scramble_;
  bool scramble_present_ = false;
  uint8_t protocol_ = MYSQL_PROTOCOL_DEFAULT;
  bool tls_requested_ = false;
  TMySqlFieldInfos fields_info_;
  int64_t affected_rows_ = 0;
  uint64_t insert_id_ = 0;
  int64_t extra_info_ = 0;
  int field_count_ = 0;
  std::string ssl_key_;
  std::string ssl_cert_;
  std::string ssl_ca_;
  std::string ssl_ca_path_;
  std::string ssl_cipher_;
  bool stored_proc_ = false;
  bool local_infile_ = true;
  bool secure_auth_ = true;
  uint64_t result_id_ = 0;
  uint64_t command_count_ = 0;
  std::shared_ptr<SessionLink> link_;
  // Files the last query's LOAD DATA LOCAL statements named, not yet sent.
  std::vector<std::string> local_files_;
};

}  // namespace dac
