// The client API over the MariaDB client library, loaded by name at run time
// (GetMySQLClientLibrary, else libmariadb.so.3). The library's functions are
// bound by name when it loads; one it does not export raises the
// not-linked text when called, so an older library still loads.
//
// Operations forward to the library. Handles are this object's own, each
// holding the library's: a connection knows its statements, so that a
// statement used after its connection closed fails with 2013 instead of
// reaching into the closed connection, and a result knows its current row
// with the row's lengths, so that values are copied by their real length.
// Binds are converted to the library's records on every call (two threads
// may bind at once); dates and times in caller binds are the project's
// MYSQL_TIME, converted to and from the library's record around each call.
// Statements fetch rows through binds (mysql_stmt_fetch): the auxiliary
// _mysql_stmt_fetch, _mysql_stmt_fetch_lengths and
// _mysql_stmt_fetch_value_ptr are the direct API's.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "dac/mysql/client/api/mysql_api.h"
#include "platform/shared_library.h"

namespace dac {

class TMySQLAPIClient : public TMySQLAPI {
  DAC_DECLARE_CLASS();

 public:
  TMySQLAPIClient();
  // Drops the binding; the library stays mapped (see platform/shared_library.h).
  ~TMySQLAPIClient() override;

  uint32_t mysql_num_fields(PMySqlRes result) override;
  const void* mysql_fetch_field_direct(PMySqlRes result, uint32_t column) override;
  uint32_t mysql_field_count(PMySqlCon con) override;
  uint64_t mysql_affected_rows(PMySqlCon con) override;
  uint64_t mysql_insert_id(PMySqlCon con) override;
  uint32_t mysql_errno(PMySqlCon con) override;
  std::string mysql_error(PMySqlCon con) override;
  std::string mysql_info(PMySqlCon con) override;
  uint32_t mysql_thread_id(PMySqlCon con) override;
  std::string mysql_character_set_name(PMySqlCon con) override;
  PMySqlCon mysql_init(PMySqlCon con) override;
  int32_t mysql_ssl_set(PMySqlCon con, const char* key, const char* cert, const char* ca, const char* capath,
                        const char* cipher) override;
  PMySqlCon mysql_real_connect(PMySqlCon con, const char* host, const char* user, const char* passwd, const char* db,
                               uint32_t port, const char* unix_socket, uint32_t client_flag) override;
  // Statements still open stay valid handles that fail with 2013.
  void mysql_close(PMySqlCon con) override;
  int32_t mysql_select_db(PMySqlCon con, const char* db) override;
  // A length beyond the text fails with 2000 on the handle, nothing sent.
  int32_t mysql_real_query(PMySqlCon con, const std::string& query, uint32_t length) override;
  int32_t mysql_kill(PMySqlCon con, uint32_t pid) override;
  int32_t mysql_ping(PMySqlCon con) override;
  std::string mysql_get_server_info(PMySqlCon con) override;
  std::string mysql_get_client_info() override;
  std::string mysql_get_host_info(PMySqlCon con) override;
  PMySqlRes mysql_use_result(PMySqlCon con) override;
  int32_t mysql_options(PMySqlCon con, TMySqlOption option, const void* value) override;
  void mysql_free_result(PMySqlRes result) override;
  PMySqlRow mysql_fetch_row(PMySqlRes result) override;
  unsigned long* mysql_fetch_lengths(PMySqlRes result) override;
  int32_t mysql_server_init(int argc, char** argv, char** groups) override;
  void mysql_server_end() override;
  PMySqlStmt mysql_stmt_init(PMySqlCon con) override;
  int32_t mysql_stmt_prepare(PMySqlStmt stmt, const std::string& query, uint32_t length) override;
  // Dates and times of the parameter binds are read again here. Results of
  // the last execute left unread are read past first, here and in
  // _mysql_stmt_execute.
  int32_t mysql_stmt_execute(PMySqlStmt stmt) override;
  uint32_t mysql_stmt_param_count(PMySqlStmt stmt) override;
  // binds holds mysql_stmt_param_count entries (mysql_stmt_field_count for results).
  bool mysql_stmt_bind_param(PMySqlStmt stmt, MYSQL_BIND* binds) override;
  bool mysql_stmt_bind_result(PMySqlStmt stmt, MYSQL_BIND* binds) override;
  uint32_t mysql_stmt_field_count(PMySqlStmt stmt) override;
  // Reads past the statement's results left unread first.
  bool mysql_stmt_close(PMySqlStmt stmt) override;
  bool mysql_stmt_free_result(PMySqlStmt stmt) override;
  uint32_t mysql_stmt_errno(PMySqlStmt stmt) override;
  std::string mysql_stmt_error(PMySqlStmt stmt) override;
  // Writes the bound columns, dates and times as the project's MYSQL_TIME.
  int32_t mysql_stmt_fetch(PMySqlStmt stmt) override;
  int32_t mysql_stmt_fetch_column(PMySqlStmt stmt, MYSQL_BIND* bind, uint32_t column, unsigned long offset) override;
  bool mysql_stmt_send_long_data(PMySqlStmt stmt, uint32_t param, const char* data, unsigned long length) override;
  PMySqlRes mysql_stmt_result_metadata(PMySqlStmt stmt) override;
  PMySqlRes mysql_stmt_param_metadata(PMySqlStmt stmt) override;
  uint64_t mysql_stmt_affected_rows(PMySqlStmt stmt) override;
  bool mysql_more_results(PMySqlCon con) override;
  int32_t mysql_next_result(PMySqlCon con) override;
  std::string mysql_sqlstate(PMySqlCon con) override;
  std::string mysql_stmt_sqlstate(PMySqlStmt stmt) override;
  // Statements of a closed connection fail with 2013.
  int32_t mysql_stmt_next_result(PMySqlStmt stmt) override;

  bool LoadedMySQLLib() override;
  // Loads and binds once, under a lock: threads that connect first at the
  // same moment wait for one load.
  void LoadMySQLLib() override;
  void FreeMySQLLib() override;
  // Loads, or raises EOSError with the load error as its code; then
  // ClientVersion is the library's text and StructVer cv411, the layout of
  // the installed header, whatever number the library gives.
  void CheckMySQLLib() override;

  // The library's column record; org_name is the name when the library gives none.
  TMYSQL_FIELD _mysql_fetch_field_direct(PMySqlRes result, uint32_t column, bool use_unicode) override;
  bool _mysql_fetch_value_is_null(PMySqlRow row, uint32_t column) override;
  const char* _mysql_fetch_value_ptr(PMySqlRes result, PMySqlRow row, uint32_t column) override;
  // Copies stop at the value's length.
  void _mysql_fetch_value_to_buff(PMySqlRow row, uint32_t column, char* buffer, int offset, int length) override;
  void _mysql_fetch_value_to_buff(PMySqlRow row, uint32_t column, void* buffer, int length) override;
  void _mysql_fetch_value_to_str(PMySqlRow row, uint32_t column, char* buffer, int offset, int length) override;
  void _mysql_fetch_value_to_str(PMySqlRow row, uint32_t column, void* buffer, int length) override;
  const char* _mysql_fetch_value_arr(PMySqlRow row, uint32_t column, int& offset) override;
  // The whole value, NUL bytes included.
  std::string _mysql_fetch_value_str(PMySqlRow row, uint32_t column) override;
  // Parameters as the direct API sends them: unsigned types unsigned, text
  // and bytes by their real length, a TIME as a signed span of days.
  int32_t _mysql_stmt_execute(PMySqlStmt stmt, const TParamDescs& params, bool use_unicode) override;
  // Assertion failure for fewer binds than parameters (or result columns).
  bool _mysql_stmt_bind_param(PMySqlStmt stmt, TMYSQL_BINDS& binds) override;
  bool _mysql_stmt_bind_result(PMySqlStmt stmt, TMYSQL_BINDS& binds) override;
  // From the library's connection record through mariadb_get_infov; a
  // library without it (the embedded server's) reports only the flag of
  // NO_BACKSLASH_ESCAPES, as its own escaping routine reads it, and that of
  // further results.
  uint32_t _mysql_server_status(PMySqlCon con) override;

  // The library file: GetMySQLClientLibrary when set, else this object's default.
  std::string GetLibraryName() const;
  // The text a call of a function the library does not export raises.
  virtual std::string NotLinkedMessage() const;
  // The system error of the last failed load.
  int32_t GetLoadError() const { return load_error_; }

 protected:
  // The bound functions, typed by the library's header.
  struct Functions;

  // The file loaded when no name is set.
  virtual std::string DefaultLibraryName() const;
  // Whether a statement's results (of an execute, and each later one of
  // mysql_stmt_next_result) are buffered before their rows are fetched.
  virtual bool BuffersStatementResults() const { return false; }
  // The outcome of an execute or next result; when results are buffered
  // and this one has rows, the outcome of buffering them. library_stmt is
  // the library's statement.
  int32_t BufferedIfAsked(void* library_stmt, int32_t outcome);
  // Loads and binds; false when the library did not load. Callers hold load_lock_.
  bool LoadAndBind();
  // Drops the binding without anything else. Callers hold load_lock_.
  void Unbind();
  const Functions& Bound() const;
  // A result handle of this object for the library's result; nil for nil.
  PMySqlRes Wrap(void* res);

  std::recursive_mutex load_lock_;
  // Handles made by mysql_init and not yet closed.
  std::atomic<int> open_connections_ = 0;

 private:
  plat::SharedLibrary library_;
  std::unique_ptr<Functions> functions_;
  int32_t load_error_ = 0;
};

// The process-wide client-library API, made on first use.
TMySQLAPIClient& MyAPIClient();

}  // namespace dac
