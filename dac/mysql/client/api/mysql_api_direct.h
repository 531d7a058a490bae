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
#include "dac/mysql/client/api/mysql_api_overrides.h"
#include "dac/mysql/client/wire/mysql_binds.h"

namespace dac {

class TMySQLAPIDirect final : public TMySQLAPI {
  DAC_DECLARE_CLASS();

 public:
  // The operations every implementation answers; here, where it matters:
  // - mysql_fetch_field_direct: not provided, an assertion failure.
  // - mysql_character_set_name: NotSupportedException.
  // - mysql_ssl_set: sets the TLS protocol (MYSQL_PROTOCOL_SSL) too.
  // - mysql_real_query: a length beyond the text is refused with 2000 before
  //   anything is sent.
  // - mysql_get_client_info: "4.1.3 Direct".
  // - mysql_use_result: a second call for the same result: 2014 with
  //   "mysql.status = 2".
  // - mysql_options: connect time-out (0), named pipe (2, the value not
  //   read), local files (8: on for a nil value or a non-zero one), protocol
  //   (9), read and write time-out (11, 12: one shared value), secure
  //   authentication (18); the others change nothing. A nil value where one
  //   is read: 2028.
  // - mysql_stmt_close: reads past the statement's results left unread, so
  //   that the connection takes commands again. Protocol errors are
  //   swallowed: the handle is freed in any case.
  // - mysql_next_result: before the rows of the current result are read:
  //   2014 with "mysql.status = ".
  // - mysql_sqlstate, mysql_stmt_sqlstate: from the error packet's state marker.
  // - CheckMySQLLib: StructVer cvDirect, ClientVersion "4.1.3 Direct".
  // - _mysql_fetch_field_direct: with use_unicode, before the 4.1 protocol,
  //   a text column of a table reports three times its length (room for UTF-8).
  // - _mysql_fetch_value_arr: the row's own bytes, no copy.
  // - _mysql_fetch_value_str: the whole value, NUL bytes included.
  // - _mysql_stmt_bind_result: rows are always decoded into binds of the
  //   statement's own; the caller's are not read.
  DAC_MYSQL_API_SHARED_OVERRIDES

  // This implementation's own: rows and lengths read in place.
  int32_t _mysql_stmt_fetch(PMySqlStmt stmt, PMySqlRow& row) override;
  void _mysql_fetch_lengths(PMySqlRes result, TMySqlLengths& lengths) override;
  int32_t _mysql_stmt_fetch_column(PMySqlStmt stmt, TMYSQL_BINDS& binds, uint32_t column,
                                   unsigned long offset) override;
  void _mysql_stmt_fetch_lengths(PMySqlStmt stmt, TMySqlLengths& lengths) override;
  const char* _mysql_stmt_fetch_value_ptr(PMySqlStmt stmt, uint32_t column) override;

  // What this implementation does its own faster way:
  // - _mysql_fetch_row_values: the row's binds themselves (RowValues).
  // - _mysql_stmt_rows_in_place: true.
  // - _mysql_set_stored_proc: the session's flag, which has reading past a
  //   result read the status a procedure call ends with.
  // - SetIOHandler: the session opens its transport through the handler.
  void _mysql_fetch_row_values(PMySqlRes result, PMySqlRow row, TMySqlRowValues& values) override;
  bool _mysql_stmt_rows_in_place() override;
  void _mysql_set_stored_proc(PMySqlCon con, bool stored_proc) override;
  PMySqlCon SetIOHandler(PMySqlCon con, TMyIOHandler* handler) override;

  // A row handle from mysql_fetch_row, _mysql_fetch_row or _mysql_stmt_fetch
  // is the row's values where they lie (ValuePtr, IsNull, and Lengths, one
  // per column, handed out without a copy). Valid until the next fetch,
  // like the row.
  static const TMySqlBinds& RowValues(PMySqlRow row) { return *reinterpret_cast<const TMySqlBinds*>(row); }

 private:
  std::once_flag checked_;  // the version is decided once: threads connect at once
};

// The process-wide direct API, made on first use.
TMySQLAPIDirect& MyAPIDirect();

}  // namespace dac
