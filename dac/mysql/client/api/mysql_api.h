// The one seam between the MySQL provider and whatever talks to a server:
// operations named after the MySQL C client API (mysql_...) plus auxiliary
// ones (_mysql_...) that hide how each implementation holds rows and column
// descriptions. The implementations are process-wide objects shared by every
// connection: MyAPIDirect (mysql_api_direct.h), MyAPIClient
// (mysql_api_client.h) and MyAPIEmbedded (mysql_api_embedded.h); callers
// that need not know which one they drive take it by a connection's
// settings (mysql_api_objects.h).
//
// Handles are opaque and owned by the implementation that made them; callers
// only pass them back. Server and protocol failures do not escape as
// exceptions: they show as codes and texts on the handles (mysql_errno,
// mysql_stmt_errno) and as the operation's result. An operation an
// implementation does not provide raises Exception "Abstract Error" here,
// or an assertion failure where the implementation says so.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dac/framework/classes/meta_class.h"
#include "dac/mysql/client/api/mysql_row_values.h"
#include "dac/mysql/client/wire/client_records.h"

namespace dac {

class TMyIOHandler;
class TParamDescs;
class TStringList;

// Distinct handle types, so that a swapped handle does not compile.
struct MySqlConnectionTag;
struct MySqlResultTag;
struct MySqlStatementTag;
struct MySqlRowTag;
using PMySqlCon = MySqlConnectionTag*;
using PMySqlRes = MySqlResultTag*;
using PMySqlStmt = MySqlStatementTag*;
using PMySqlRow = MySqlRowTag*;

// One column as every implementation describes it.
struct TMYSQL_FIELD {
  std::string name;
  std::string org_name;  // the name when the server gives none
  std::string table;
  std::string org_table;
  uint32_t flags = 0;  // the column flags of client_records.h
  uint8_t type = 0;    // the column type code
  int32_t length = 0;  // display length, at most 65535
  int32_t decimals = 0;
  int32_t charsetnr = 0;  // the character set and collation; 63 for bytes
};

// One parameter or result column bound to the caller's memory, as the
// client API binds them (the members the caller sets, at 64-bit widths).
struct MYSQL_BIND {
  unsigned long* length = nullptr;  // the value's length
  bool* is_null = nullptr;
  void* buffer = nullptr;
  bool* error = nullptr;  // set when a fetched value did not fit
  uint8_t buffer_type = 0;  // the column type code
  unsigned long buffer_length = 0;
  bool is_unsigned = false;
};
using TMYSQL_BINDS = std::vector<MYSQL_BIND>;

// Value lengths of a row, one per column.
using TMySqlLengths = std::vector<unsigned long>;

class TMySQLAPI : public TObject {
  DAC_DECLARE_CLASS();

 public:
  TMySQLAPI() = default;
  ~TMySQLAPI() override = default;
  TMySQLAPI(const TMySQLAPI&) = delete;
  TMySQLAPI& operator=(const TMySQLAPI&) = delete;

  // ---- the client API ----
  virtual uint32_t mysql_num_fields(PMySqlRes result);
  // The implementation's own column record; read it through _mysql_fetch_field_direct.
  virtual const void* mysql_fetch_field_direct(PMySqlRes result, uint32_t column);
  // Columns of the last statement's result; 0 when it gave no rows.
  virtual uint32_t mysql_field_count(PMySqlCon con);
  virtual uint64_t mysql_affected_rows(PMySqlCon con);
  virtual uint64_t mysql_insert_id(PMySqlCon con);
  // The last operation's error; 0 and "" when it succeeded.
  virtual uint32_t mysql_errno(PMySqlCon con);
  virtual std::string mysql_error(PMySqlCon con);
  virtual std::string mysql_info(PMySqlCon con);
  virtual uint32_t mysql_thread_id(PMySqlCon con);
  virtual std::string mysql_character_set_name(PMySqlCon con);
  // A new connection handle; the argument is not used.
  virtual PMySqlCon mysql_init(PMySqlCon con);
  // Records the TLS settings (nil for none) before connecting; 0.
  virtual int32_t mysql_ssl_set(PMySqlCon con, const char* key, const char* cert, const char* ca, const char* capath,
                                const char* cipher);
  // Connects; nil texts and port 0 take the defaults. The handle comes back
  // whatever happened: check mysql_errno.
  virtual PMySqlCon mysql_real_connect(PMySqlCon con, const char* host, const char* user, const char* passwd,
                                       const char* db, uint32_t port, const char* unix_socket, uint32_t client_flag);
  // Closes the connection and frees the handle; nil is ignored.
  virtual void mysql_close(PMySqlCon con);
  virtual int32_t mysql_select_db(PMySqlCon con, const char* db);
  // Sends the first length bytes of query as they are; 0 on success.
  virtual int32_t mysql_real_query(PMySqlCon con, const std::string& query, uint32_t length);
  virtual int32_t mysql_kill(PMySqlCon con, uint32_t pid);
  virtual int32_t mysql_ping(PMySqlCon con);
  virtual std::string mysql_get_server_info(PMySqlCon con);
  virtual std::string mysql_get_client_info();
  virtual std::string mysql_get_host_info(PMySqlCon con);
  // The rows of the last statement, read one by one; nil when it has none.
  virtual PMySqlRes mysql_use_result(PMySqlCon con);
  // Sets an option before connecting. value points to a 32-bit unsigned
  // number for every option that reads one.
  virtual int32_t mysql_options(PMySqlCon con, TMySqlOption option, const void* value);
  // Releases a result, unread rows included; nil is ignored.
  virtual void mysql_free_result(PMySqlRes result);
  // The next row; nil at the end or on an error (mysql_errno tells).
  virtual PMySqlRow mysql_fetch_row(PMySqlRes result);
  virtual unsigned long* mysql_fetch_lengths(PMySqlRes result);
  virtual int32_t mysql_server_init(int argc, char** argv, char** groups);
  virtual void mysql_server_end();
  virtual PMySqlStmt mysql_stmt_init(PMySqlCon con);
  // Prepares the first length bytes of query; 0 on success.
  virtual int32_t mysql_stmt_prepare(PMySqlStmt stmt, const std::string& query, uint32_t length);
  virtual int32_t mysql_stmt_execute(PMySqlStmt stmt);
  virtual uint32_t mysql_stmt_param_count(PMySqlStmt stmt);
  // These three answer false on success.
  virtual bool mysql_stmt_bind_param(PMySqlStmt stmt, MYSQL_BIND* binds);
  virtual bool mysql_stmt_bind_result(PMySqlStmt stmt, MYSQL_BIND* binds);
  virtual uint32_t mysql_stmt_field_count(PMySqlStmt stmt);
  // Frees the statement handle, whatever state its connection is in.
  virtual bool mysql_stmt_close(PMySqlStmt stmt);
  virtual bool mysql_stmt_free_result(PMySqlStmt stmt);
  virtual uint32_t mysql_stmt_errno(PMySqlStmt stmt);
  virtual std::string mysql_stmt_error(PMySqlStmt stmt);
  // 0 a row, 100 no more rows, 1 an error.
  virtual int32_t mysql_stmt_fetch(PMySqlStmt stmt);
  virtual int32_t mysql_stmt_fetch_column(PMySqlStmt stmt, MYSQL_BIND* bind, uint32_t column, unsigned long offset);
  virtual bool mysql_stmt_send_long_data(PMySqlStmt stmt, uint32_t param, const char* data, unsigned long length);
  // The statement's column descriptions as a result of the caller's own,
  // without rows, freed with mysql_free_result (before or after the
  // statement); nil for a statement without columns.
  virtual PMySqlRes mysql_stmt_result_metadata(PMySqlStmt stmt);
  virtual PMySqlRes mysql_stmt_param_metadata(PMySqlStmt stmt);
  virtual uint64_t mysql_stmt_affected_rows(PMySqlStmt stmt);
  virtual bool mysql_more_results(PMySqlCon con);
  // 0 the next result is read, -1 there is none, above 0 an error.
  virtual int32_t mysql_next_result(PMySqlCon con);
  // The SQLSTATE of the last operation's error: the server's for a server
  // error, "HY000" for a client error, "00000" when it succeeded.
  virtual std::string mysql_sqlstate(PMySqlCon con);
  virtual std::string mysql_stmt_sqlstate(PMySqlStmt stmt);
  // The statement's next result (a procedure call gives several): the rows
  // of the current one are read past first. 0 the next result is read
  // (mysql_stmt_field_count tells whether it has rows), -1 there is none,
  // above 0 an error.
  virtual int32_t mysql_stmt_next_result(PMySqlStmt stmt);

  // ---- managing what the implementation needs ----
  virtual bool LoadedMySQLLib();
  virtual void LoadMySQLLib();
  virtual void FreeMySQLLib();
  // Loads what is needed, then decides ClientVersion and StructVer (called
  // before each connect): here from mysql_get_client_info through
  // ClientStructVerOf.
  virtual void CheckMySQLLib();

  // ---- auxiliary operations ----
  // use_unicode: the caller reads text columns as UTF-8.
  virtual TMYSQL_FIELD _mysql_fetch_field_direct(PMySqlRes result, uint32_t column, bool use_unicode);
  virtual PMySqlRow _mysql_fetch_row(PMySqlRes result);
  // 0 with row set to the fetched row, 100 after the last one, else the error code.
  virtual int32_t _mysql_stmt_fetch(PMySqlStmt stmt, PMySqlRow& row);
  virtual void _mysql_fetch_lengths(PMySqlRes result, TMySqlLengths& lengths);
  virtual bool _mysql_fetch_value_is_null(PMySqlRow row, uint32_t column);
  // The value in place; nil for NULL.
  virtual const char* _mysql_fetch_value_ptr(PMySqlRes result, PMySqlRow row, uint32_t column);
  // Copy at most length bytes of the value to buffer + offset; the _str
  // forms then write a zero byte after them (the buffer holds length + 1).
  virtual void _mysql_fetch_value_to_buff(PMySqlRow row, uint32_t column, char* buffer, int offset, int length);
  virtual void _mysql_fetch_value_to_buff(PMySqlRow row, uint32_t column, void* buffer, int length);
  virtual void _mysql_fetch_value_to_str(PMySqlRow row, uint32_t column, char* buffer, int offset, int length);
  virtual void _mysql_fetch_value_to_str(PMySqlRow row, uint32_t column, void* buffer, int length);
  // The storage that holds the value, and the value's offset in it.
  virtual const char* _mysql_fetch_value_arr(PMySqlRow row, uint32_t column, int& offset);
  virtual std::string _mysql_fetch_value_str(PMySqlRow row, uint32_t column);
  // Executes with the parameters (a leading function result has no
  // placeholder); use_unicode sends text as UTF-8. 0 on success.
  virtual int32_t _mysql_stmt_execute(PMySqlStmt stmt, const TParamDescs& params, bool use_unicode);
  // False on success.
  virtual bool _mysql_stmt_bind_param(PMySqlStmt stmt, TMYSQL_BINDS& binds);
  virtual bool _mysql_stmt_bind_result(PMySqlStmt stmt, TMYSQL_BINDS& binds);
  virtual int32_t _mysql_stmt_fetch_column(PMySqlStmt stmt, TMYSQL_BINDS& binds, uint32_t column,
                                           unsigned long offset);
  virtual void _mysql_stmt_fetch_lengths(PMySqlStmt stmt, TMySqlLengths& lengths);
  virtual const char* _mysql_stmt_fetch_value_ptr(PMySqlStmt stmt, uint32_t column);
  // The server's status flags as the last OK or end packet of the session
  // left them (protocol.h: kServerStatus...), kept across a failed
  // statement: how the session reads string literals follows from them.
  virtual uint32_t _mysql_server_status(PMySqlCon con);

  // ---- what an implementation may do its own faster way ----
  // The defaults serve every implementation through the operations above.
  // The values of a row, one call a row and none a value: a row of
  // mysql_fetch_row or _mysql_fetch_row of result, or (result nil) one of
  // _mysql_stmt_fetch where _mysql_stmt_rows_in_place. Here gathered through
  // _mysql_fetch_lengths, _mysql_fetch_value_is_null and _mysql_fetch_value_arr.
  virtual void _mysql_fetch_row_values(PMySqlRes result, PMySqlRow row, TMySqlRowValues& values);
  // Whether a statement's rows come in place: _mysql_stmt_bind_result then
  // gives the statement buffers of its own, whatever binds are passed, and
  // _mysql_stmt_fetch hands out each row for _mysql_fetch_row_values. Here
  // false: rows come into the caller's binds (mysql_stmt_bind_result,
  // mysql_stmt_fetch, mysql_stmt_fetch_column).
  virtual bool _mysql_stmt_rows_in_place();
  // Whether the connection's next statement is a procedure call, which ends
  // with a status of its own for reading past a result to read as well.
  // Here nothing: the implementation reads that status by itself.
  virtual void _mysql_set_stored_proc(PMySqlCon con, bool stored_proc);
  // The application transport (not owned) the connection opens through, set
  // before connecting; the connection. Here refused: nil, and the
  // connection opens a transport of its own as if none were given.
  virtual PMySqlCon SetIOHandler(PMySqlCon con, TMyIOHandler* handler);
  // The parameter lines of the server the implementation starts in the
  // process, for its next start. Here nothing: it starts none.
  virtual void SetParams(const TStringList& params);

  // A display length above 65535 becomes 65535.
  static int32_t CorrectFieldLen(uint32_t length);
  // Read, then write time-out through mysql_options; 0 is one year. Nothing
  // for the cv3 and cv4 layouts.
  void SetTimeout(PMySqlCon con, uint32_t seconds);

  const std::string& GetClientVersion() const { return client_version_; }
  TClientStructVer GetStructVer() const { return struct_ver_; }

 protected:
  [[noreturn]] static void AbstractError();

  std::string client_version_;
  TClientStructVer struct_ver_ = cvDirect;
};

// The layout family of a client version: 3.x cv3; 4.0 cv4; 4.x.0 cv410;
// other 4.x and 5.x cv411. Exception "Invalid client version" for any other
// major number; a version without three numbers raises EConvertError.
TClientStructVer ClientStructVerOf(std::string_view version);

// Settings of the library-backed implementations, safe to read and write
// from any thread: the library file to load instead of their default
// (empty: the default), and what the last start of an embedded server left
// to report (emptied at each start; an application may add to it while a
// start is under way), and whether a start is under way.
std::string GetMySQLClientLibrary();
void SetMySQLClientLibrary(std::string name);
std::string GetMySQLEmbServerInitMessage();
void SetMySQLEmbServerInitMessage(std::string message);
bool GetMySQLEmbServerIniting();
void SetMySQLEmbServerIniting(bool initing);

// The first length bytes of query, which must hold them: EMySqlException
// 2000 for a length beyond the text, 2020 for one beyond 32 bits signed.
int CheckedQueryLength(const std::string& query, uint32_t length);

}  // namespace dac
