#include "dac/mysql/provider/my_connection.h"

#include <algorithm>

#include "dac/core/server/messages.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/api/mysql_api_objects.h"
#include "dac/mysql/client/wire/client_records.h"
#include "dac/mysql/provider/my_error.h"
#include "dac/mysql/provider/my_identifiers.h"
#include "dac/mysql/provider/my_messages.h"
#include "dac/mysql/provider/my_property_codes.h"
#include "dac/mysql/provider/my_sql_charsets.h"
#include "platform/ascii.h"
#include "platform/code_page.h"

namespace dac {

DAC_DEFINE_CLASS(TMySQLConnection, TDKConnection, ::dac::TMetaClassOf<TMySQLConnection>)

namespace {

// Client flags of the connect call.
constexpr uint32_t kClientFoundRows = 0x2;
constexpr uint32_t kClientCompress = 0x20;
constexpr uint32_t kClientMultiStatements = 0x10000;

// The server status flag of NO_BACKSLASH_ESCAPES in sql_mode.
constexpr uint32_t kStatusNoBackslashEscapes = 0x200;

// The error of a session that could not even be made.
constexpr uint32_t kCrUnknownError = 2000;

const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

std::string SlashPath(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// The text without leading and trailing control characters and blanks.
std::string TrimControls(const std::string& text) {
  const auto is_kept = [](char c) { return static_cast<unsigned char>(c) >= 33; };
  const auto first = std::find_if(text.begin(), text.end(), is_kept);
  const auto last = std::find_if(text.rbegin(), text.rend(), is_kept).base();
  return first < last ? std::string(first, last) : std::string();
}

}  // namespace

// The library's own protocol unless told otherwise.
TMySQLConnection::TMySQLConnection() : api_(&MySQLAPIFor(false, true)) { AddMySQLMessages(); }

TMySQLConnection::~TMySQLConnection() {
  try {
    Disconnect();
  } catch (...) {
  }
}

// ---- opening and closing ----

void TMySQLConnection::Connect(const std::string& connect_string) {
  if (connected_) return;
  // Checked before anything goes out: the name becomes part of SQL text.
  if (!charset_.empty() && !IsCharsetName(charset_))
    DatabaseError("Invalid character set name \"" + charset_ + "\": a name of letters, digits and '_' expected",
                  GetComponent());
  server_version_.clear();
  api_->SetParams(emb_params_);
  api_->CheckMySQLLib();
  try {
    OpenSession();
    connected_ = true;
    TDKConnection::Connect(connect_string);
    server_version_ = api_->mysql_get_server_info(handle_);
    DecodeVersion(server_version_, server_major_, server_minor_, server_release_);
    TryToApplyUseUnicode();
    isolation_level_sent_ = false;
  } catch (...) {
    try {
      Disconnect();
    } catch (...) {
    }
    throw;
  }
}

void TMySQLConnection::OpenSession() {
  if (handle_) Disconnect();
  DAC_ASSERT(handle_ == nullptr, "Session handle left after disconnecting");
  handle_ = api_->mysql_init(nullptr);
  Check(handle_, GetComponent());
  ApplyOptions();
  uint32_t flags = kClientFoundRows;
  if (GetIsClient41()) flags |= kClientMultiStatements;
  if (compress_) flags |= kClientCompress;
  // A socket or pipe connection to a server named by a path goes through
  // that Unix socket.
  const bool local = protocol_ == TMyProtocol::mpSocket || protocol_ == TMyProtocol::mpPipe;
  const bool socket_path = local && server_.find('/') != std::string::npos;
  const std::string host = server_.empty() || socket_path ? "localhost" : server_;
  const PMySqlCon connected =
      api_->mysql_real_connect(handle_, host.c_str(), username_.c_str(), password_.c_str(), OrNull(database_),
                               static_cast<uint32_t>(port_), socket_path ? server_.c_str() : nullptr, flags);
  Check(connected, GetComponent());
  // Some implementations hand the handle back whatever happened.
  Check(GetComponent());
}

void TMySQLConnection::ApplyOptions() {
  const uint32_t timeout = static_cast<uint32_t>(std::max(connection_timeout_, 0));
  Check(api_->mysql_options(handle_, MYSQL_OPT_CONNECT_TIMEOUT, &timeout), GetComponent());
  // An implementation that cannot take a transport refuses it and opens its own.
  api_->SetIOHandler(handle_, io_handler_);
  if (protocol_ == TMyProtocol::mpSSL) {
    ssl_key_ = SlashPath(ssl_key_);
    ssl_cert_ = SlashPath(ssl_cert_);
    ssl_ca_ = SlashPath(ssl_ca_);
    api_->mysql_ssl_set(handle_, OrNull(ssl_key_), OrNull(ssl_cert_), OrNull(ssl_ca_), nullptr, OrNull(ssl_cipher_));
    return;
  }
  if (protocol_ == TMyProtocol::mpDefault) return;
  if (GetIsClient41()) {
    uint32_t protocol = 0;
    switch (protocol_) {
      case TMyProtocol::mpTCP:
        protocol = MYSQL_PROTOCOL_TCP;
        break;
      case TMyProtocol::mpSocket:
        protocol = MYSQL_PROTOCOL_SOCKET;
        break;
      case TMyProtocol::mpPipe:
        protocol = MYSQL_PROTOCOL_PIPE;
        break;
      case TMyProtocol::mpMemory:
        protocol = MYSQL_PROTOCOL_MEMORY;
        break;
      default:
        DatabaseError("Wrong protocol");
    }
    Check(api_->mysql_options(handle_, MYSQL_OPT_PROTOCOL, &protocol), GetComponent());
  } else if (protocol_ == TMyProtocol::mpPipe) {
    const uint32_t zero = 0;
    Check(api_->mysql_options(handle_, MYSQL_OPT_NAMED_PIPE, &zero), GetComponent());
  }
}

void TMySQLConnection::Disconnect() {
  if (handle_) api_->mysql_close(std::exchange(handle_, nullptr));
  connected_ = false;
}

bool TMySQLConnection::CheckIsValid() {
  is_valid_ = handle_ != nullptr && api_->mysql_ping(handle_) == 0 && api_->mysql_ping(handle_) == 0;
  return is_valid_;
}

// ---- statements and transactions ----

void TMySQLConnection::ExecStatement(const std::string& sql) {
  if (!handle_) DatabaseError(LoadResString(SConnectionIsClosed), GetComponent());
  api_->SetTimeout(handle_, static_cast<uint32_t>(std::max(connection_timeout_, 0)));
  const std::string text = use_unicode_ ? plat::AnsiToUtf8(sql) : sql;
  Check(api_->mysql_real_query(handle_, text, static_cast<uint32_t>(text.size())), GetComponent());
  DrainResults();
}

// Every result the statement gave, read and released, so that the session
// takes the next command.
void TMySQLConnection::DrainResults() {
  for (;;) {
    if (api_->mysql_field_count(handle_) > 0) {
      const PMySqlRes result = api_->mysql_use_result(handle_);
      Check(result, GetComponent());
      // An error may arrive in place of a row: read them all and look.
      while (api_->mysql_fetch_row(result)) {
      }
      const uint32_t code = api_->mysql_errno(handle_);
      std::string text = code ? api_->mysql_error(handle_) : std::string();
      std::string state = code ? api_->mysql_sqlstate(handle_) : std::string();
      api_->mysql_free_result(result);
      if (code != 0) RaiseError(code, std::move(text), std::move(state), GetComponent());
    }
    if (!api_->mysql_more_results(handle_)) return;
    const int32_t next = api_->mysql_next_result(handle_);
    if (next < 0) return;
    Check(next, GetComponent());
  }
}

// The server applies a level statement to the next transaction only, so the
// session's level (the one set when its first transaction began) goes out
// before every BEGIN; a level set later waits for the next session.
void TMySQLConnection::StartTransaction() {
  if (!isolation_level_sent_) {
    session_isolation_level_ = isolation_level_;
    isolation_level_sent_ = true;
  }
  switch (session_isolation_level_) {
    case TMyIsolationLevel::ilReadUnCommitted:
      ExecStatement("SET TRANSACTION ISOLATION LEVEL READ UNCOMMITTED");
      break;
    case TMyIsolationLevel::ilRepeatableRead:
      ExecStatement("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ");
      break;
    case TMyIsolationLevel::ilSerializable:
      ExecStatement("SET TRANSACTION ISOLATION LEVEL SERIALIZABLE");
      break;
    default:
      break;
  }
  ExecStatement("BEGIN");
  in_transaction_ = true;
}

void TMySQLConnection::Commit() {
  in_transaction_ = false;
  ExecStatement("COMMIT");
}

void TMySQLConnection::Rollback() {
  in_transaction_ = false;
  ExecStatement("ROLLBACK");
}

void TMySQLConnection::TryToApplyUseUnicode() {
  const bool at_least_41 = server_major_ > 4 || (server_major_ == 4 && server_minor_ != 0);
  if (!at_least_41) {
    use_unicode_ = false;
    return;
  }
  if (use_unicode_) {
    // Unicode is all of it: utf8mb4 where the server has it, unless
    // Charset asks for the three-byte form by name.
    const std::string asked = plat::AsciiLowerCase(charset_);
    const bool has_mb4 = server_major_ > 5 || (server_major_ == 5 && server_minor_ > 5) ||
                         (server_major_ == 5 && server_minor_ == 5 && server_release_ >= 3);
    unicode_mb4_ = has_mb4 && asked != "utf8" && asked != "utf8mb3";
    ExecStatement(unicode_mb4_ ? "SET NAMES utf8mb4" : "SET NAMES utf8");
  } else if (!charset_.empty()) {
    // Connect let only a name of letters, digits and '_' through.
    DAC_ASSERT(IsCharsetName(charset_), "A character set name expected");
    ExecStatement("SET NAMES " + charset_);
  }
}

std::string TMySQLConnection::GetSessionCharset() const { return SessionCharset(use_unicode_, charset_); }

TMySQLEscaping TMySQLConnection::GetEscaping() const {
  TMySQLEscaping escaping;
  escaping.charset = GetSessionCharset();
  escaping.no_backslash_escapes =
      handle_ != nullptr && (api_->_mysql_server_status(handle_) & kStatusNoBackslashEscapes) != 0;
  return escaping;
}

const TMyTableInfoClass& TMySQLConnection::GetIdentifierRules() const {
  return TMyTableInfo::InfoClassFor(GetSessionCharset());
}

void TMySQLConnection::SetDatabase(const std::string& name) {
  if (name == database_) return;
  database_ = name;
  if (connected_ && !name.empty()) Check(api_->mysql_select_db(handle_, name.c_str()), GetComponent());
}

// ---- errors ----

void TMySQLConnection::Check(const void* result, TComponent* component) {
  if (result == nullptr) MySQLError(component);
}

void TMySQLConnection::Check(int32_t result, TComponent* component) {
  if (result != 0) MySQLError(component);
}

void TMySQLConnection::Check(TComponent* component) {
  if (handle_ && api_->mysql_errno(handle_) != 0) MySQLError(component);
}

void TMySQLConnection::CheckStmt(PMySqlStmt stmt, int32_t result, TComponent* component) {
  if (result != 0) MySQLStmtError(stmt, component);
}

void TMySQLConnection::MySQLError(TComponent* component) {
  if (!handle_) RaiseError(kCrUnknownError, "Unknown MySQL error", "HY000", component);
  RaiseError(api_->mysql_errno(handle_), api_->mysql_error(handle_), api_->mysql_sqlstate(handle_), component);
}

void TMySQLConnection::MySQLStmtError(PMySqlStmt stmt, TComponent* component) {
  RaiseError(api_->mysql_stmt_errno(stmt), api_->mysql_stmt_error(stmt), api_->mysql_stmt_sqlstate(stmt), component);
}

void TMySQLConnection::RaiseError(uint32_t code, std::string text, std::string state, TComponent* component) {
  EMyError error(static_cast<int32_t>(code), std::move(text));
  error.SetSqlState(std::move(state));
  error.SetComponent(component);
  bool fail = true;
  if (GetOnError()) DoError(error, fail);
  if (fail) throw error;
  Abort();
}

void TMySQLConnection::DoError(Exception& error, bool& fail) {
  if (!swap_connection_) {
    TDKConnection::DoError(error, fail);
    return;
  }
  if (!GetOnError()) return;
  bool reconnect = false;
  bool reexecute = false;
  TConnLostCause cause = clUnknown;
  GetOnError()(error, fail, reconnect, reexecute, 0, cause);
}

// ---- versions ----

bool TMySQLConnection::GetIsClient41() const {
  DAC_ASSERT(api_ != nullptr, "Connection has no client API");
  const TClientStructVer version = api_->GetStructVer();
  return version == cvDirect || version == cv410 || version == cv411;
}

bool TMySQLConnection::GetIsServer41() const {
  DAC_ASSERT(api_ != nullptr, "Connection has no client API");
  return server_major_ >= 5 || (server_major_ == 4 && server_minor_ >= 1);
}

std::string TMySQLConnection::GetClientVer() {
  if (api_->LoadedMySQLLib()) return api_->mysql_get_client_info();
  api_->SetParams(emb_params_);
  api_->CheckMySQLLib();
  std::string version = api_->mysql_get_client_info();
  api_->FreeMySQLLib();
  return version;
}

// ---- settings ----

void TMySQLConnection::Assign(const TMySQLConnection& source) {
  connection_timeout_ = source.connection_timeout_;
  server_ = source.server_;
  username_ = source.username_;
  password_ = source.password_;
  database_ = source.database_;
  port_ = source.port_;
  compress_ = source.compress_;
  use_unicode_ = source.use_unicode_;
  charset_ = source.charset_;
  isolation_level_ = source.isolation_level_;
  SetOnError(source.GetOnError());
  protocol_ = source.protocol_;
  api_ = source.api_;
  numeric_type_ = source.numeric_type_;
  // A second session reaches the server the way the first does: through
  // the same transport, with the same certificates.
  io_handler_ = source.io_handler_;
  ssl_cipher_ = source.ssl_cipher_;
  ssl_ca_ = source.ssl_ca_;
  ssl_key_ = source.ssl_key_;
  ssl_cert_ = source.ssl_cert_;
}

bool TMySQLConnection::SetProp(int prop, const Variant& value) {
  switch (prop) {
    case prMyDatabase:
      SetDatabase(value.AsString());
      return true;
    case prMyConnectionTimeout:
      connection_timeout_ = value.AsInt32();
      return true;
    case prMyPort:
      port_ = value.AsInt32();
      return true;
    case prMyCompress:
      compress_ = value.AsBoolean();
      return true;
    case prMyIsolationLevel:
      isolation_level_ = static_cast<TMyIsolationLevel>(value.AsInt32());
      return true;
    case prMyCharset:
      charset_ = value.AsString();
      return true;
    case prMyAPI: {
      auto* api = dynamic_cast<TMySQLAPI*>(value.AsObject());
      DAC_ASSERT(api != nullptr, "Value is not a client API object");
      api_ = api;
      return true;
    }
    case prMyProtocol:
      protocol_ = static_cast<TMyProtocol>(value.AsInt32());
      return true;
    case prMyNumericType:
      numeric_type_ = static_cast<TDANumericType>(value.AsInt32());
      return true;
    case prMyUseUnicode:
      use_unicode_ = value.AsBoolean();
      if (connected_) TryToApplyUseUnicode();
      return true;
    case prMyEmbParams:
      emb_params_.SetText(TrimControls(value.AsString()));
      return true;
    case prMySSLCipher:
      ssl_cipher_ = value.AsString();
      return true;
    case prMySSLCA:
      ssl_ca_ = value.AsString();
      return true;
    case prMySSLKey:
      ssl_key_ = value.AsString();
      return true;
    case prMySSLCert:
      ssl_cert_ = value.AsString();
      return true;
    default:
      return TDKConnection::SetProp(prop, value);
  }
}

bool TMySQLConnection::GetProp(int prop, Variant& value) {
  switch (prop) {
    case prMyDatabase:
      value = database_;
      return true;
    case prMyConnectionTimeout:
      value = connection_timeout_;
      return true;
    case prMyPort:
      value = port_;
      return true;
    case prMyLastInsertId:
      value = handle_ ? api_->mysql_insert_id(handle_) : uint64_t{0};
      return true;
    case prMyCompress:
      value = compress_;
      return true;
    case prMyIsolationLevel:
      value = static_cast<int32_t>(isolation_level_);
      return true;
    case prMyUseUnicode:
      value = use_unicode_;
      return true;
    default:
      return TDKConnection::GetProp(prop, value);
  }
}

}  // namespace dac
