// The client API over the library's own protocol: a connection handle is a
// TMySqlSession, a result handle a TMySqlResultSet, a statement handle a
// TMySqlStmt, and a row the bind list of the result's current row.
//
// Guarded operations clear the handle's error, then turn an EMySqlException
// into the handle's code and text and return the code (nil where they return
// a handle); other exceptions pass. Statement operations keep their errors
// on the statement. The object holds no state of its own: the SQL text goes
// out through the session's own packet buffer, so connections never wait
// for each other.
#pragma once

#include <mutex>

#include "dac/mysql/client/api/mysql_api.h"

namespace dac {

class TMyIOHandler;

class TMySQLAPIDirect : public TMySQLAPI {
  DAC_DECLARE_CLASS();

 public:
  uint32_t mysql_num_fields(PMySqlRes result) override;
  // Not provided: assertion failure.
  const void* mysql_fetch_field_direct(PMySqlRes result, uint32_t column) override;
  uint32_t mysql_field_count(PMySqlCon con) override;
  uint64_t mysql_affected_rows(PMySqlCon con) override;
  uint64_t mysql_insert_id(PMySqlCon con) override;
  uint32_t mysql_errno(PMySqlCon con) override;
  std::string mysql_error(PMySqlCon con) override;
  std::string mysql_info(PMySqlCon con) override;
  uint32_t mysql_thread_id(PMySqlCon con) override;
  // NotSupportedException.
  std::string mysql_character_set_name(PMySqlCon con) override;
  PMySqlCon mysql_init(PMySqlCon con) override;
  // Sets the TLS protocol (MYSQL_PROTOCOL_SSL) too.
  int32_t mysql_ssl_set(PMySqlCon con, const char* key, const char* cert, const char* ca, const char* capath,
                        const char* cipher) override;
  PMySqlCon mysql_real_connect(PMySqlCon con, const char* host, const char* user, const char* passwd, const char* db,
                               uint32_t port, const char* unix_socket, uint32_t client_flag) override;
  void mysql_close(PMySqlCon con) override;
  int32_t mysql_select_db(PMySqlCon con, const char* db) override;
  // A length beyond the text is refused with 2000 before anything is sent.
  int32_t mysql_real_query(PMySqlCon con, const std::string& query, uint32_t length) override;
  int32_t mysql_kill(PMySqlCon con, uint32_t pid) override;
  int32_t mysql_ping(PMySqlCon con) override;
  std::string mysql_get_server_info(PMySqlCon con) override;
  // "4.1.3 Direct".
  std::string mysql_get_client_info() override;
  std::string mysql_get_host_info(PMySqlCon con) override;
  // A second call for the same result: 2014 with "mysql.status = 2".
  PMySqlRes mysql_use_result(PMySqlCon con) override;
  // Connect time-out (0), named pipe (2, the value not read), local files
  // (8: on for a nil value or a non-zero one), protocol (9), read and write
  // time-out (11, 12: one shared value), secure authentication (18); the
  // others change nothing. A nil value where one is read: 2028.
  int32_t mysql_options(PMySqlCon con, TMySqlOption option, const void* value) override;
  void mysql_free_result(PMySqlRes result) override;
  PMySqlRow mysql_fetch_row(PMySqlRes result) override;
  unsigned long* mysql_fetch_lengths(PMySqlRes result) override;
  int32_t mysql_server_init(int argc, char** argv, char** groups) override;
  void mysql_server_end() override;
  PMySqlStmt mysql_stmt_init(PMySqlCon con) override;
  int32_t mysql_stmt_prepare(PMySqlStmt stmt, const std::string& query, uint32_t length) override;
  uint32_t mysql_stmt_param_count(PMySqlStmt stmt) override;
  uint32_t mysql_stmt_field_count(PMySqlStmt stmt) override;
  // Reads past the statement's results left unread, so that the
  // connection takes commands again. Protocol errors are swallowed: the
  // handle is freed in any case.
  bool mysql_stmt_close(PMySqlStmt stmt) override;
  bool mysql_stmt_free_result(PMySqlStmt stmt) override;
  uint32_t mysql_stmt_errno(PMySqlStmt stmt) override;
  std::string mysql_stmt_error(PMySqlStmt stmt) override;
  int32_t mysql_stmt_fetch(PMySqlStmt stmt) override;
  bool mysql_stmt_send_long_data(PMySqlStmt stmt, uint32_t param, const char* data, unsigned long length) override;
  PMySqlRes mysql_stmt_result_metadata(PMySqlStmt stmt) override;
  PMySqlRes mysql_stmt_param_metadata(PMySqlStmt stmt) override;
  uint64_t mysql_stmt_affected_rows(PMySqlStmt stmt) override;
  bool mysql_more_results(PMySqlCon con) override;
  // Before the rows of the current result are read: 2014 with "mysql.status = ".
  int32_t mysql_next_result(PMySqlCon con) override;
  // From the error packet's state marker.
  std::string mysql_sqlstate(PMySqlCon con) override;
  std::string mysql_stmt_sqlstate(PMySqlStmt stmt) override;
  int32_t mysql_stmt_next_result(PMySqlStmt stmt) override;

  // StructVer cvDirect, ClientVersion "4.1.3 Direct".
  void CheckMySQLLib() override;

  // With use_unicode, before the 4.1 protocol, a text column of a table
  // reports three times its length (room for UTF-8).
  TMYSQL_FIELD _mysql_fetch_field_direct(PMySqlRes result, uint32_t column, bool use_unicode) override;
  int32_t _mysql_stmt_fetch(PMySqlStmt stmt, PMySqlRow& row) override;
  void _mysql_fetch_lengths(PMySqlRes result, TMySqlLengths& lengths) override;
  bool _mysql_fetch_value_is_null(PMySqlRow row, uint32_t column) override;
  const char* _mysql_fetch_value_ptr(PMySqlRes result, PMySqlRow row, uint32_t column) override;
  void _mysql_fetch_value_to_buff(PMySqlRow row, uint32_t column, char* buffer, int offset, int length) override;
  void _mysql_fetch_value_to_buff(PMySqlRow row, uint32_t column, void* buffer, int length) override;
  void _mysql_fetch_value_to_str(PMySqlRow row, uint32_t column, char* buffer, int offset, int length) override;
  void _mysql_fetch_value_to_str(PMySqlRow row, uint32_t column, void* buffer, int length) override;
  // The row's own bytes: no copy.
  const char* _mysql_fetch_value_arr(PMySqlRow row, uint32_t column, int& offset) override;
  // The whole value, NUL bytes included.
  std::string _mysql_fetch_value_str(PMySqlRow row, uint32_t column) override;
  int32_t _mysql_stmt_execute(PMySqlStmt stmt, const TParamDescs& params, bool use_unicode) override;
  // Rows are always decoded into binds of the statement's own; the caller's are not read.
  bool _mysql_stmt_bind_result(PMySqlStmt stmt, TMYSQL_BINDS& binds) override;
  int32_t _mysql_stmt_fetch_column(PMySqlStmt stmt, TMYSQL_BINDS& binds, uint32_t column,
                                   unsigned long offset) override;
  void _mysql_stmt_fetch_lengths(PMySqlStmt stmt, TMySqlLengths& lengths) override;
  const char* _mysql_stmt_fetch_value_ptr(PMySqlStmt stmt, uint32_t column) override;
  uint32_t _mysql_server_status(PMySqlCon con) override;

  // The application transport the session connects through (not owned).
  PMySqlCon SetIOHandler(PMySqlCon con, TMyIOHandler* handler);

 private:
  std::once_flag checked_;  // the version is decided once: threads connect at once
};

// The process-wide direct API, made on first use.
TMySQLAPIDirect& MyAPIDirect();

}  // namespace dac
