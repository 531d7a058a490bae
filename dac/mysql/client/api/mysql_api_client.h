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
#include "dac/mysql/client/api/mysql_api_overrides.h"
#include "platform/shared_library.h"

namespace dac {

class TMySQLAPIClient : public TMySQLAPI {
  DAC_DECLARE_CLASS();

 public:
  TMySQLAPIClient();
  // Drops the binding; the library stays mapped (see platform/shared_library.h).
  ~TMySQLAPIClient() override;

  // The operations every implementation answers; here, where it matters:
  // - mysql_real_connect: with TLS asked for (mysql_ssl_set), never a
  //   session in plain text: with a CA or CA path the library verifies the
  //   server (chain, dates and host name) and refuses a greeting without the
  //   TLS offer before logging in; without either, a session that came up
  //   without TLS is closed at once and refused with 2026.
  // - Every call that fails leaves an error: where the library names none,
  //   a statement's is its connection's, else 2027 (malformed packet).
  // - mysql_close: statements still open stay valid handles that fail with 2013.
  // - mysql_real_query: a length beyond the text fails with 2000 on the
  //   handle, nothing sent.
  // - mysql_stmt_close: reads past the statement's results left unread first.
  // - mysql_stmt_fetch: writes the bound columns, dates and times as the
  //   project's MYSQL_TIME.
  // - mysql_stmt_next_result: statements of a closed connection fail with 2013.
  // - CheckMySQLLib: loads, or raises EOSError with the load error as its
  //   code; then ClientVersion is the library's text and StructVer cv411, the
  //   layout of the installed header, whatever number the library gives.
  // - _mysql_fetch_field_direct: the library's column record; org_name is
  //   the name when the library gives none.
  // - _mysql_fetch_value_to_buff, _mysql_fetch_value_to_str: copies stop at
  //   the value's length.
  // - _mysql_fetch_value_str: the whole value, NUL bytes included.
  // - _mysql_stmt_execute: parameters as the direct API sends them: unsigned
  //   types unsigned, text and bytes by their real length, a TIME as a signed
  //   span of days.
  // - _mysql_stmt_bind_result: assertion failure for fewer binds than result
  //   columns.
  // - _mysql_server_status: from the library's connection record through
  //   mariadb_get_infov; a library without it (the embedded server's) reports
  //   only the flag of NO_BACKSLASH_ESCAPES, as its own escaping routine
  //   reads it, and that of further results.
  DAC_MYSQL_API_SHARED_OVERRIDES

  // This implementation's own: the library's binds, and loading it.
  // Dates and times of the parameter binds are read again here. Results of
  // the last execute left unread are read past first, here and in
  // _mysql_stmt_execute.
  int32_t mysql_stmt_execute(PMySqlStmt stmt) override;
  // binds holds mysql_stmt_param_count entries (mysql_stmt_field_count for results).
  bool mysql_stmt_bind_param(PMySqlStmt stmt, MYSQL_BIND* binds) override;
  bool mysql_stmt_bind_result(PMySqlStmt stmt, MYSQL_BIND* binds) override;
  int32_t mysql_stmt_fetch_column(PMySqlStmt stmt, MYSQL_BIND* bind, uint32_t column, unsigned long offset) override;
  bool LoadedMySQLLib() override;
  // Loads and binds once, under a lock: threads that connect first at the
  // same moment wait for one load.
  void LoadMySQLLib() override;
  void FreeMySQLLib() override;
  // Assertion failure for fewer binds than parameters.
  bool _mysql_stmt_bind_param(PMySqlStmt stmt, TMYSQL_BINDS& binds) override;

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
  // Whether the library's connection, just made with TLS asked for, runs
  // over TLS, as far as the library tells; verified: a CA was given.
  virtual bool TlsInUse(void* library_mysql, bool verified);
  // A library connection not yet connected, in the system's code page; nil
  // when the library has no memory for one.
  void* NewLibraryConnection();

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
