// What the sources of the client library's API share, and with them the
// only code that sees the library's header: every record handed to the
// library is the header's own, and every function is typed by the
// header's declaration. Included by mysql_api_client*.cpp alone.
#pragma once

#include <mariadb/mysql.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/api/mysql_api_client.h"
#include "dac/mysql/client/wire/client_errors.h"
#include "dac/mysql/client/wire/param_types.h"

namespace dac {

// The functions bound, in table order. mysql_stmt_prepare_result is looked
// up too, but nothing calls it and the header does not declare it.
#define DAC_CLIENT_FUNCTIONS(X)                                                                                 \
  X(mysql_num_fields) X(mysql_fetch_field_direct) X(mysql_field_count) X(mysql_affected_rows) X(mysql_insert_id) \
  X(mysql_errno) X(mysql_error) X(mysql_info) X(mysql_thread_id) X(mysql_character_set_name) X(mysql_init)      \
  X(mysql_ssl_set) X(mysql_real_connect) X(mysql_close) X(mysql_select_db) X(mysql_real_query) X(mysql_kill)    \
  X(mysql_ping) X(mysql_get_server_info) X(mysql_get_client_info) X(mysql_get_host_info) X(mysql_use_result)    \
  X(mysql_options) X(mysql_free_result) X(mysql_fetch_row) X(mysql_fetch_lengths) X(mysql_server_init)          \
  X(mysql_server_end) X(mysql_stmt_init) X(mysql_stmt_prepare) X(mysql_stmt_execute) X(mysql_stmt_param_count)  \
  X(mysql_stmt_bind_param) X(mysql_stmt_bind_result) X(mysql_stmt_field_count) X(mysql_stmt_close)              \
  X(mysql_stmt_free_result) X(mysql_stmt_errno) X(mysql_stmt_error) X(mysql_stmt_fetch)                         \
  X(mysql_stmt_fetch_column) X(mysql_stmt_send_long_data)
#define DAC_CLIENT_FUNCTIONS_AFTER_PREPARE_RESULT(X)                                                     \
  X(mysql_stmt_result_metadata) X(mysql_stmt_param_metadata) X(mysql_stmt_affected_rows)               \
  X(mysql_stmt_store_result) X(mysql_more_results) X(mysql_next_result) X(mysql_real_escape_string)          \
  X(mysql_sqlstate) X(mysql_stmt_sqlstate) X(mysql_stmt_next_result)
// Not every library has them: the embedded server's lacks mariadb_get_infov.
#define DAC_CLIENT_FUNCTIONS_OPTIONAL(X) X(mariadb_get_infov) X(mysql_get_ssl_cipher)

struct TMySQLAPIClient::Functions {
#define DAC_DECLARE_FUNCTION(name) decltype(&::name) name = nullptr;
  DAC_CLIENT_FUNCTIONS(DAC_DECLARE_FUNCTION)
  void* mysql_stmt_prepare_result = nullptr;
  DAC_CLIENT_FUNCTIONS_AFTER_PREPARE_RESULT(DAC_DECLARE_FUNCTION)
  DAC_CLIENT_FUNCTIONS_OPTIONAL(DAC_DECLARE_FUNCTION)
#undef DAC_DECLARE_FUNCTION
};

// The handles' records and the error taking, for these sources only.
namespace client_library {

// A failure this object reports on a handle in place of the library's: a
// refusal of its own, or the error it names for a call that the library
// let fail without one.
struct Refusal {
  uint32_t code = 0;
  std::string text;
  std::string state;

  void Set(uint32_t error) { Set(EMySqlException(static_cast<int32_t>(error))); }
  void Set(const EMySqlException& e) {
    code = static_cast<uint32_t>(e.ErrorCode());
    text = e.Message();
    state = SqlStateOf(e.ErrorCode(), text);
  }
};

// A date or time of a caller's bind, beside the library's record that the
// library reads or writes in its place.
struct TimeSlot {
  dac::MYSQL_TIME* caller;
  ::MYSQL_TIME library;
  unsigned long length;  // the embedded server reads a date's length, not its buffer's
};

struct ClientStatement;

struct ClientConnection {
  MYSQL* mysql = nullptr;
  Refusal refusal;
  std::vector<ClientStatement*> statements;
  // The rows of the last statement have been handed out.
  bool result_taken = false;
  // TLS asked for (mysql_ssl_set), and with a CA or CA path to verify by.
  bool tls_wanted = false;
  bool tls_verified = false;
};

struct ClientStatement {
  MYSQL_STMT* stmt;
  ClientConnection* owner;  // nil once the connection has closed
  Refusal refusal;
  std::vector<TimeSlot> param_times;
  std::vector<TimeSlot> result_times;
};

// A result with its current row; the row handle is the result itself.
struct ClientResult {
  MYSQL_RES* res;
  uint32_t columns;
  MYSQL_ROW values = nullptr;
  unsigned long* lengths = nullptr;  // of the current row, asked for once
};

// What a handle of this object holds; assertion failure for nil.
template <typename Held, typename Handle>
Held& HeldBy(Handle handle, const char* what) {
  DAC_ASSERT(handle != nullptr, std::string("nil ") + what);
  return *reinterpret_cast<Held*>(handle);
}

inline ClientConnection& ConnectionOf(PMySqlCon con) { return HeldBy<ClientConnection>(con, "connection handle"); }
inline ClientStatement& StatementOf(PMySqlStmt stmt) { return HeldBy<ClientStatement>(stmt, "statement handle"); }
inline ClientResult& ResultOf(PMySqlRes result) { return HeldBy<ClientResult>(result, "result handle"); }
inline ClientResult& RowOf(PMySqlRow row) { return HeldBy<ClientResult>(row, "row"); }

inline std::string Text(const char* text) { return text ? std::string(text) : std::string(); }

// The library's connection, this object's own refusal on it cleared for a new call.
inline MYSQL* Use(ClientConnection& connection) {
  connection.refusal = Refusal();
  return connection.mysql;
}

// The bound function, or the not-linked failure when the library lacks it.
template <typename Function>
Function Need(const TMySQLAPIClient& api, Function function) {
  if (!function) throw Exception(api.NotLinkedMessage());
  return function;
}

// The error a handle reports: this object's refusal when it set one, else
// the library's.
template <typename Bound>
Refusal ErrorOf(const TMySQLAPIClient& api, const Bound& f, const ClientConnection& connection) {
  if (connection.refusal.code) return connection.refusal;
  MYSQL* mysql = connection.mysql;
  return Refusal{Need(api, f.mysql_errno)(mysql), Text(Need(api, f.mysql_error)(mysql)),
                 Text(Need(api, f.mysql_sqlstate)(mysql))};
}

template <typename Bound>
Refusal ErrorOf(const TMySQLAPIClient& api, const Bound& f, const ClientStatement& statement) {
  if (statement.refusal.code) return statement.refusal;
  MYSQL_STMT* stmt = statement.stmt;
  return Refusal{Need(api, f.mysql_stmt_errno)(stmt), Text(Need(api, f.mysql_stmt_error)(stmt)),
                 Text(Need(api, f.mysql_stmt_sqlstate)(stmt))};
}

// A call that failed is never left without an error: where the library
// named none, a statement takes its connection's (a cut connection is
// reported there), and else the library lost its footing in what it read
// without saying so: a malformed packet.
template <typename Bound>
void NameFailure(const TMySQLAPIClient& api, const Bound& f, ClientConnection& connection) {
  if (ErrorOf(api, f, connection).code == 0) connection.refusal.Set(kCrMalformedPacket);
}

template <typename Bound>
void NameFailure(const TMySQLAPIClient& api, const Bound& f, ClientStatement& statement) {
  if (ErrorOf(api, f, statement).code != 0) return;
  if (statement.owner) statement.refusal = ErrorOf(api, f, *statement.owner);
  if (statement.refusal.code == 0) statement.refusal.Set(kCrMalformedPacket);
}

// The call's result, its failure named first when failed.
template <typename Bound, typename Holder, typename Result>
Result Named(const TMySQLAPIClient& api, const Bound& f, Holder& holder, Result result, bool failed) {
  if (failed) NameFailure(api, f, holder);
  return result;
}

}  // namespace client_library

}  // namespace dac

#define DAC_CALL(name) Need(*this, Bound().name)
#define DAC_NAMED(holder, result, failed) Named(*this, Bound(), holder, result, failed)
