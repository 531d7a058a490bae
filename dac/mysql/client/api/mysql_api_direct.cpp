#include "dac/mysql/client/api/mysql_api_direct.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/session/mysql_result_set.h"
#include "dac/mysql/client/session/mysql_session.h"
#include "dac/mysql/client/session/mysql_stmt.h"
#include "dac/mysql/client/wire/client_errors.h"

namespace dac {

DAC_DEFINE_CLASS(TMySQLAPIDirect, TMySQLAPI, TMetaClass)

namespace {

const char kClientInfo[] = "4.1.3 Direct";

TMySqlSession& SessionOf(PMySqlCon con) {
  DAC_ASSERT(con != nullptr, "nil connection handle");
  return *reinterpret_cast<TMySqlSession*>(con);
}

TMySqlResultSet& ResultOf(PMySqlRes result) {
  DAC_ASSERT(result != nullptr, "nil result handle");
  return *reinterpret_cast<TMySqlResultSet*>(result);
}

TMySqlStmt& StmtOf(PMySqlStmt stmt) {
  DAC_ASSERT(stmt != nullptr, "nil statement handle");
  return *reinterpret_cast<TMySqlStmt*>(stmt);
}

PMySqlRes ResultHandle(TMySqlResultSet* result) { return reinterpret_cast<PMySqlRes>(result); }
PMySqlRow RowHandle(TMySqlBinds* binds) { return reinterpret_cast<PMySqlRow>(binds); }

// One value of a row.
const TMySqlBinds& BindsOf(PMySqlRow row) {
  DAC_ASSERT(row != nullptr, "nil row");
  return *reinterpret_cast<const TMySqlBinds*>(row);
}
// Out of line, so that the checks cost the hot paths no stack frame.
[[noreturn]] __attribute__((noinline, cold)) void ColumnBeyondTheRow() {
  AssertionFailed("column beyond the row", __FILE__, __LINE__);
}
[[noreturn]] __attribute__((noinline, cold)) void NilHandle() {
  AssertionFailed("nil result handle or row", __FILE__, __LINE__);
}
inline const TMySqlBinds& CheckedBinds(const TMySqlBinds& binds, uint32_t column) {
  if (column >= static_cast<uint32_t>(binds.Count())) ColumnBeyondTheRow();
  return binds;
}
TMySqlBind ValueOf(PMySqlRow row, uint32_t column) {
  return CheckedBinds(BindsOf(row), column)[static_cast<int>(column)];
}
const char* ValuePtr(const TMySqlBinds& binds, const TMySqlBind& value) {
  return value.is_null ? nullptr : reinterpret_cast<const char*>(binds.GetBuffer()) + value.offset;
}

// Copies at most length bytes of the value, never more than it holds; the count.
size_t CopyValue(PMySqlRow row, uint32_t column, void* buffer, int length) {
  const TMySqlBind value = ValueOf(row, column);
  if (value.is_null || length <= 0 || !buffer) return 0;
  const size_t count = std::min(static_cast<size_t>(length), static_cast<size_t>(value.length));
  if (count > 0) std::memcpy(buffer, ValuePtr(BindsOf(row), value), count);
  return count;
}

void CopyLengths(const TMySqlBinds* binds, int count, TMySqlLengths& lengths) {
  const size_t n = static_cast<size_t>(binds ? std::min(count, binds->Count()) : 0);
  if (n == 0) {
    lengths.clear();
    return;
  }
  lengths.assign(binds->Lengths(), binds->Lengths() + n);
}

std::string Text(const char* text) { return text ? std::string(text) : std::string(); }

[[noreturn]] void NotProvided(const char* operation) {
  AssertionFailed(std::string(operation) + " is not provided by the direct API", __FILE__, __LINE__);
}

// Clears the target's error, runs the work and turns a protocol failure into
// the target's error; the code, 0 on success.
template <typename Target, typename Work>
int32_t Guarded(Target& target, Work&& work) {
  if (target.GetLastErrorCode() != 0 || !target.GetLastError().empty()) {
    target.SetLastErrorCode(0);
    target.SetLastError(std::string());
  }
  try {
    work();
    return 0;
  } catch (const EMySqlException& e) {
    target.SetLastErrorCode(e.ErrorCode());
    target.SetLastError(e.Message());
    return e.ErrorCode();
  }
}

[[noreturn]] void OutOfSync(const TMySqlSession& session) {
  throw EMySqlException(kCrCommandsOutOfSync, "mysql.status = " + std::to_string(session.GetStatus()));
}

// The 32-bit option value; 2028 for a nil pointer.
uint32_t OptionValue(const void* value) {
  if (!value) throw EMySqlException(kCrNullPointer);
  uint32_t number;
  std::memcpy(&number, value, sizeof number);
  return number;
}

int ClampedSeconds(uint32_t seconds) { return static_cast<int>(std::min<uint32_t>(seconds, INT32_MAX)); }

bool IsTextColumnType(uint8_t type) {
  return type == mftVarChar || type == mftEnum || type == mftSet || type == mftVarString || type == mftString;
}

}  // namespace

TMySQLAPIDirect& MyAPIDirect() {
  static TMySQLAPIDirect api;
  return api;
}

// ---- connections ----

uint32_t TMySQLAPIDirect::mysql_field_count(PMySqlCon con) {
  return static_cast<uint32_t>(SessionOf(con).GetFieldCount());
}
uint64_t TMySQLAPIDirect::mysql_affected_rows(PMySqlCon con) {
  return static_cast<uint64_t>(SessionOf(con).GetAffectedRows());
}
uint64_t TMySQLAPIDirect::mysql_insert_id(PMySqlCon con) { return SessionOf(con).GetInsertId(); }
uint32_t TMySQLAPIDirect::mysql_errno(PMySqlCon con) {
  return static_cast<uint32_t>(SessionOf(con).GetLastErrorCode());
}
std::string TMySQLAPIDirect::mysql_error(PMySqlCon con) { return SessionOf(con).GetLastError(); }
std::string TMySQLAPIDirect::mysql_info(PMySqlCon con) { return SessionOf(con).GetInfo(); }
uint32_t TMySQLAPIDirect::mysql_thread_id(PMySqlCon con) { return SessionOf(con).GetThreadId(); }

std::string TMySQLAPIDirect::mysql_character_set_name(PMySqlCon) {
  throw NotSupportedException("mysql_character_set_name is not supported by the direct API");
}

PMySqlCon TMySQLAPIDirect::mysql_init(PMySqlCon) { return reinterpret_cast<PMySqlCon>(new TMySqlSession()); }

int32_t TMySQLAPIDirect::mysql_ssl_set(PMySqlCon con, const char* key, const char* cert, const char* ca,
                                       const char* capath, const char* cipher) {
  TMySqlSession& session = SessionOf(con);
  session.SetSslSettings(Text(key), Text(cert), Text(ca), Text(capath), Text(cipher));
  session.SetProtocol(MYSQL_PROTOCOL_SSL);
  return 0;
}

PMySqlCon TMySQLAPIDirect::mysql_real_connect(PMySqlCon con, const char* host, const char* user, const char* passwd,
                                              const char* db, uint32_t port, const char* unix_socket,
                                              uint32_t client_flag) {
  TMySqlSession& session = SessionOf(con);
  Guarded(session, [&] {
    session.Connect(Text(host), Text(user), Text(passwd), Text(db), static_cast<int>(port), Text(unix_socket),
                    client_flag);
  });
  return con;
}

void TMySQLAPIDirect::mysql_close(PMySqlCon con) {
  if (!con) return;
  std::unique_ptr<TMySqlSession> session(&SessionOf(con));
  try {
    session->Close();
  } catch (const EMySqlException&) {
    // The connection is going away either way.
  }
}

int32_t TMySQLAPIDirect::mysql_select_db(PMySqlCon con, const char* db) {
  TMySqlSession& session = SessionOf(con);
  return Guarded(session, [&] { session.SelectDb(Text(db)); });
}

int32_t TMySQLAPIDirect::mysql_real_query(PMySqlCon con, const std::string& query, uint32_t length) {
  TMySqlSession& session = SessionOf(con);
  return Guarded(session, [&] {
    session.SimpleCommand(scQuery, reinterpret_cast<const uint8_t*>(query.data()), true, CheckedQueryLength(query, length));
    session.ReadQueryResult();
  });
}

int32_t TMySQLAPIDirect::mysql_kill(PMySqlCon con, uint32_t pid) {
  TMySqlSession& session = SessionOf(con);
  const uint8_t id[4] = {static_cast<uint8_t>(pid), static_cast<uint8_t>(pid >> 8), static_cast<uint8_t>(pid >> 16),
                         static_cast<uint8_t>(pid >> 24)};
  return Guarded(session, [&] { session.SimpleCommand(scProcessKill, id, false, sizeof id); });
}

int32_t TMySQLAPIDirect::mysql_ping(PMySqlCon con) {
  TMySqlSession& session = SessionOf(con);
  return Guarded(session, [&] { session.Ping(); });
}

// Reading what the connection knows leaves the last error as it was.
std::string TMySQLAPIDirect::mysql_get_server_info(PMySqlCon con) { return SessionOf(con).GetServerVersion(); }

std::string TMySQLAPIDirect::mysql_get_client_info() { return kClientInfo; }

std::string TMySQLAPIDirect::mysql_get_host_info(PMySqlCon con) { return SessionOf(con).GetHostInfo(); }

int32_t TMySQLAPIDirect::mysql_options(PMySqlCon con, TMySqlOption option, const void* value) {
  TMySqlSession& session = SessionOf(con);
  return Guarded(session, [&] {
    switch (option) {
      case MYSQL_OPT_CONNECT_TIMEOUT:
        session.SetConnectTimeout(ClampedSeconds(OptionValue(value)));
        break;
      case MYSQL_OPT_NAMED_PIPE:
        session.SetProtocol(MYSQL_PROTOCOL_PIPE);
        break;
      case MYSQL_OPT_LOCAL_INFILE:
        session.SetLocalInfile(!value || OptionValue(value) != 0);
        break;
      case MYSQL_OPT_PROTOCOL:
        session.SetProtocol(static_cast<uint8_t>(OptionValue(value)));
        break;
      case MYSQL_OPT_READ_TIMEOUT:
      case MYSQL_OPT_WRITE_TIMEOUT:
        session.SetReadWriteTimeout(ClampedSeconds(OptionValue(value)));
        break;
      case MYSQL_SECURE_AUTH:
        session.SetSecureAuth(OptionValue(value) != 0);
        break;
      default:
        break;
    }
  });
}

bool TMySQLAPIDirect::mysql_more_results(PMySqlCon con) { return SessionOf(con).MoreResults(); }

int32_t TMySQLAPIDirect::mysql_next_result(PMySqlCon con) {
  TMySqlSession& session = SessionOf(con);
  int32_t outcome = 0;
  const int32_t error = Guarded(session, [&] {
    if (session.GetStatus() != msReady) OutOfSync(session);
    session.Apply(NextResultRequested{});
    if (session.MoreResults())
      session.ReadQueryResult();
    else
      outcome = -1;
  });
  return error != 0 ? error : outcome;
}

std::string TMySQLAPIDirect::mysql_sqlstate(PMySqlCon con) {
  const TMySqlSession& session = SessionOf(con);
  return SqlStateOf(session.GetLastErrorCode(), session.GetLastError());
}

// Every connect calls this, from any thread, while others read the version.
void TMySQLAPIDirect::CheckMySQLLib() {
  std::call_once(checked_, [this] {
    struct_ver_ = cvDirect;
    client_version_ = mysql_get_client_info();
  });
}

PMySqlCon TMySQLAPIDirect::SetIOHandler(PMySqlCon con, TMyIOHandler* handler) {
  SessionOf(con).SetIOHandler(handler);
  return con;
}

void TMySQLAPIDirect::_mysql_set_stored_proc(PMySqlCon con, bool stored_proc) {
  SessionOf(con).SetStoredProc(stored_proc);
}

// ---- results and rows ----

uint32_t TMySQLAPIDirect::mysql_num_fields(PMySqlRes result) {
  return static_cast<uint32_t>(ResultOf(result).GetFieldCount());
}

PMySqlRes TMySQLAPIDirect::mysql_use_result(PMySqlCon con) {
  TMySqlSession& session = SessionOf(con);
  TMySqlResultSet* result = nullptr;
  Guarded(session, [&] {
    if (session.GetFieldCount() == 0) return;
    if (session.GetStatus() != msGetResult) OutOfSync(session);
    auto made = std::make_unique<TMySqlResultSet>(&session);
    session.Apply(ResultTaken{made.get(), nullptr});
    result = made.release();
  });
  return ResultHandle(result);
}

void TMySQLAPIDirect::mysql_free_result(PMySqlRes result) {
  // Unread rows of its own are drained; a failure shows on the next command.
  if (result) delete &ResultOf(result);
}

PMySqlRow TMySQLAPIDirect::mysql_fetch_row(PMySqlRes result) {
  TMySqlResultSet& rows = ResultOf(result);
  // A result whose connection has gone has nobody to tell.
  TMySqlSession* session = rows.GetSession();
  TMySqlBinds* binds = rows.GetBinds();
  bool read = false;
  auto next = [&] { read = binds && rows.Read(binds); };
  if (session) {
    Guarded(*session, next);
  } else {
    try {
      next();
    } catch (const EMySqlException&) {
      read = false;
    }
  }
  return read ? RowHandle(binds) : nullptr;
}

TMYSQL_FIELD TMySQLAPIDirect::_mysql_fetch_field_direct(PMySqlRes result, uint32_t column, bool use_unicode) {
  const TMySqlResultSet& rows = ResultOf(result);
  DAC_ASSERT(column < static_cast<uint32_t>(rows.GetFieldCount()) && column < rows.GetFieldsInfo().size(),
             "column beyond the result");
  const TMySqlFieldInfo& info = rows.GetFieldsInfo()[column];
  TMYSQL_FIELD field;
  field.name = info.name;
  field.org_name = info.org_name.empty() ? info.name : info.org_name;
  field.table = info.table;
  field.org_table = info.org_table;
  field.flags = info.flags;
  field.type = info.type;
  field.decimals = info.decimals;
  field.charsetnr = info.charsetnr;
  field.length = CorrectFieldLen(static_cast<uint32_t>(info.length));
  const TMySqlSession* session = rows.GetSession();
  if (use_unicode && !field.table.empty() && session && !session->Getprotocol41() && IsTextColumnType(field.type))
    field.length *= 3;
  return field;
}

void TMySQLAPIDirect::_mysql_fetch_row_values(PMySqlRes, PMySqlRow row, TMySqlRowValues& values) {
  values.Refer(BindsOf(row));
}

void TMySQLAPIDirect::_mysql_fetch_lengths(PMySqlRes result, TMySqlLengths& lengths) {
  const TMySqlResultSet& rows = ResultOf(result);
  CopyLengths(rows.GetBinds(), rows.GetFieldCount(), lengths);
}

bool TMySQLAPIDirect::_mysql_fetch_value_is_null(PMySqlRow row, uint32_t column) {
  return CheckedBinds(BindsOf(row), column).IsNull(static_cast<int>(column));
}

const char* TMySQLAPIDirect::_mysql_fetch_value_ptr(PMySqlRes result, PMySqlRow row, uint32_t column) {
  if (!result || !row) NilHandle();
  return CheckedBinds(*reinterpret_cast<const TMySqlBinds*>(row), column).ValuePtr(static_cast<int>(column));
}

void TMySQLAPIDirect::_mysql_fetch_value_to_buff(PMySqlRow row, uint32_t column, char* buffer, int offset,
                                                 int length) {
  CopyValue(row, column, buffer ? buffer + offset : nullptr, length);
}

void TMySQLAPIDirect::_mysql_fetch_value_to_buff(PMySqlRow row, uint32_t column, void* buffer, int length) {
  CopyValue(row, column, buffer, length);
}

void TMySQLAPIDirect::_mysql_fetch_value_to_str(PMySqlRow row, uint32_t column, char* buffer, int offset,
                                                int length) {
  _mysql_fetch_value_to_str(row, column, buffer ? buffer + offset : nullptr, length);
}

// The zero byte is written whatever was copied, so a reused buffer always ends.
void TMySQLAPIDirect::_mysql_fetch_value_to_str(PMySqlRow row, uint32_t column, void* buffer, int length) {
  const size_t count = CopyValue(row, column, buffer, length);
  if (buffer) static_cast<char*>(buffer)[count] = 0;
}

const char* TMySQLAPIDirect::_mysql_fetch_value_arr(PMySqlRow row, uint32_t column, int& offset) {
  offset = ValueOf(row, column).offset;
  return reinterpret_cast<const char*>(BindsOf(row).GetBuffer());
}

std::string TMySQLAPIDirect::_mysql_fetch_value_str(PMySqlRow row, uint32_t column) {
  const TMySqlBind value = ValueOf(row, column);
  const char* at = ValuePtr(BindsOf(row), value);
  return at ? std::string(at, static_cast<size_t>(value.length)) : std::string();
}

// ---- statements ----

PMySqlStmt TMySQLAPIDirect::mysql_stmt_init(PMySqlCon con) {
  return reinterpret_cast<PMySqlStmt>(new TMySqlStmt(&SessionOf(con)));
}

int32_t TMySQLAPIDirect::mysql_stmt_prepare(PMySqlStmt stmt, const std::string& query, uint32_t length) {
  TMySqlStmt& statement = StmtOf(stmt);
  return Guarded(statement, [&] {
    statement.Prepare(reinterpret_cast<const uint8_t*>(query.data()), CheckedQueryLength(query, length));
  });
}

uint32_t TMySQLAPIDirect::mysql_stmt_param_count(PMySqlStmt stmt) {
  return static_cast<uint32_t>(StmtOf(stmt).GetParamCount());
}

uint32_t TMySQLAPIDirect::mysql_stmt_field_count(PMySqlStmt stmt) {
  return static_cast<uint32_t>(StmtOf(stmt).GetFieldCount());
}

bool TMySQLAPIDirect::mysql_stmt_close(PMySqlStmt stmt) {
  if (!stmt) return false;
  std::unique_ptr<TMySqlStmt> statement(&StmtOf(stmt));
  try {
    statement->Close();
  } catch (const EMySqlException&) {
    // Callers close while cleaning up: the handle goes whatever the connection says.
  }
  return false;
}

bool TMySQLAPIDirect::mysql_stmt_free_result(PMySqlStmt stmt) {
  TMySqlStmt& statement = StmtOf(stmt);
  return Guarded(statement, [&] { statement.FreeResult(); }) != 0;
}

uint32_t TMySQLAPIDirect::mysql_stmt_errno(PMySqlStmt stmt) {
  return static_cast<uint32_t>(StmtOf(stmt).GetLastErrorCode());
}
std::string TMySQLAPIDirect::mysql_stmt_error(PMySqlStmt stmt) { return StmtOf(stmt).GetLastError(); }

PMySqlRes TMySQLAPIDirect::mysql_stmt_result_metadata(PMySqlStmt stmt) {
  const TMySqlStmt& statement = StmtOf(stmt);
  TMySqlSession* session = statement.GetSession();
  if (!session || statement.GetFieldCount() == 0) return nullptr;
  auto description =
      std::make_unique<TMySqlResultSet>(session, statement.GetFieldsInfo(), statement.GetFieldCount(), nullptr);
  description->EndWithoutRows();
  return ResultHandle(description.release());
}

std::string TMySQLAPIDirect::mysql_stmt_sqlstate(PMySqlStmt stmt) {
  const TMySqlStmt& statement = StmtOf(stmt);
  return SqlStateOf(statement.GetLastErrorCode(), statement.GetLastError());
}

int32_t TMySQLAPIDirect::mysql_stmt_next_result(PMySqlStmt stmt) {
  TMySqlStmt& statement = StmtOf(stmt);
  int outcome = -1;
  const int32_t error = Guarded(statement, [&] { outcome = statement.NextResult(); });
  return error != 0 ? error : outcome;
}

uint64_t TMySQLAPIDirect::mysql_stmt_affected_rows(PMySqlStmt stmt) {
  return static_cast<uint64_t>(StmtOf(stmt).GetAffectedRows());
}

int32_t TMySQLAPIDirect::_mysql_stmt_fetch(PMySqlStmt stmt, PMySqlRow& row) {
  TMySqlStmt& statement = StmtOf(stmt);
  row = nullptr;
  int fetched = kMySqlNoData;
  TMySqlBinds* binds = nullptr;
  const int32_t error = Guarded(statement, [&] { fetched = statement.Fetch(binds); });
  if (error != 0) return error;
  if (fetched == 0) row = RowHandle(binds);
  return fetched;
}

bool TMySQLAPIDirect::_mysql_stmt_rows_in_place() { return true; }

int32_t TMySQLAPIDirect::_mysql_stmt_execute(PMySqlStmt stmt, const TParamDescs& params, bool use_unicode) {
  TMySqlStmt& statement = StmtOf(stmt);
  return Guarded(statement, [&] { statement.Execute(params, use_unicode); });
}

bool TMySQLAPIDirect::_mysql_stmt_bind_result(PMySqlStmt stmt, TMYSQL_BINDS&) {
  TMySqlStmt& statement = StmtOf(stmt);
  return Guarded(statement,
                 [&] { statement.BindResult(std::make_unique<TMySqlBinds>(statement.GetFieldCount())); }) != 0;
}

void TMySQLAPIDirect::_mysql_stmt_fetch_lengths(PMySqlStmt stmt, TMySqlLengths& lengths) {
  const TMySqlStmt& statement = StmtOf(stmt);
  const TMySqlResultSet* rows = statement.GetResultSet();
  const TMySqlBinds* binds = rows ? rows->GetResultBinds() : nullptr;
  CopyLengths(binds, binds ? binds->Count() : 0, lengths);
}

const char* TMySQLAPIDirect::_mysql_stmt_fetch_value_ptr(PMySqlStmt stmt, uint32_t column) {
  const TMySqlResultSet* rows = StmtOf(stmt).GetResultSet();
  const TMySqlBinds* binds = rows ? rows->GetResultBinds() : nullptr;
  DAC_ASSERT(binds != nullptr, "the statement has no rows");
  return CheckedBinds(*binds, column).ValuePtr(static_cast<int>(column));
}

uint32_t TMySQLAPIDirect::_mysql_server_status(PMySqlCon con) { return SessionOf(con).GetServerStatus(); }

// ---- what the direct protocol does not provide ----

const void* TMySQLAPIDirect::mysql_fetch_field_direct(PMySqlRes, uint32_t) { NotProvided("mysql_fetch_field_direct"); }
unsigned long* TMySQLAPIDirect::mysql_fetch_lengths(PMySqlRes) { NotProvided("mysql_fetch_lengths"); }
int32_t TMySQLAPIDirect::mysql_server_init(int, char**, char**) { NotProvided("mysql_server_init"); }
void TMySQLAPIDirect::mysql_server_end() { NotProvided("mysql_server_end"); }
int32_t TMySQLAPIDirect::mysql_stmt_fetch(PMySqlStmt) { NotProvided("mysql_stmt_fetch"); }
bool TMySQLAPIDirect::mysql_stmt_send_long_data(PMySqlStmt, uint32_t, const char*, unsigned long) {
  NotProvided("mysql_stmt_send_long_data");
}
PMySqlRes TMySQLAPIDirect::mysql_stmt_param_metadata(PMySqlStmt) { NotProvided("mysql_stmt_param_metadata"); }
int32_t TMySQLAPIDirect::_mysql_stmt_fetch_column(PMySqlStmt, TMYSQL_BINDS&, uint32_t, unsigned long) {
  NotProvided("_mysql_stmt_fetch_column");
}

}  // namespace dac
