// The one source that sees the library's header: every record handed to the
// library is the header's own, and every function is typed by the header's
// declaration.
#include "dac/mysql/client/api/mysql_api_client.h"

#include <mariadb/mysql.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <type_traits>
#include <vector>

#include "dac/core/server/param_desc.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/api/mysql_api_embedded.h"
#include "dac/mysql/client/wire/client_errors.h"
#include "dac/mysql/client/wire/param_types.h"
#include "dac/mysql/client/wire/protocol.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/data_types.h"

namespace dac {

DAC_DEFINE_CLASS(TMySQLAPIClient, TMySQLAPI, TMetaClass)

// The interface's records and numbers are the header's where the library reads them.
static_assert(sizeof(bool) == sizeof(my_bool));
static_assert(std::is_same_v<decltype(MYSQL_BIND::length), decltype(::MYSQL_BIND::length)>);
static_assert(std::is_same_v<decltype(MYSQL_BIND::buffer), decltype(::MYSQL_BIND::buffer)>);
static_assert(std::is_same_v<decltype(MYSQL_BIND::buffer_length), decltype(::MYSQL_BIND::buffer_length)>);
static_assert(std::is_same_v<TMySqlLengths::value_type, std::remove_pointer_t<decltype(::MYSQL_BIND::length)>>);
static_assert(MYSQL_OPT_CONNECT_TIMEOUT == static_cast<int>(::MYSQL_OPT_CONNECT_TIMEOUT));
static_assert(MYSQL_OPT_LOCAL_INFILE == static_cast<int>(::MYSQL_OPT_LOCAL_INFILE));
static_assert(MYSQL_OPT_PROTOCOL == static_cast<int>(::MYSQL_OPT_PROTOCOL));
static_assert(MYSQL_SECURE_AUTH == static_cast<int>(::MYSQL_SECURE_AUTH));
static_assert(MYSQL_PROTOCOL_SOCKET == static_cast<int>(::MYSQL_PROTOCOL_SOCKET));
static_assert(mftNewDecimal == static_cast<int>(::MYSQL_TYPE_NEWDECIMAL) &&
              mftString == static_cast<int>(::MYSQL_TYPE_STRING) &&
              mftDateTime == static_cast<int>(::MYSQL_TYPE_DATETIME));
static_assert(kMySqlNoData == MYSQL_NO_DATA && kMySqlDataTruncated == MYSQL_DATA_TRUNCATED);
static_assert(kServerStatusNoBackslashEscapes == SERVER_STATUS_NO_BACKSLASH_ESCAPES &&
              kServerMoreResultsExists == SERVER_MORE_RESULTS_EXIST);

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

namespace {

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

ClientConnection& ConnectionOf(PMySqlCon con) { return HeldBy<ClientConnection>(con, "connection handle"); }
ClientStatement& StatementOf(PMySqlStmt stmt) { return HeldBy<ClientStatement>(stmt, "statement handle"); }
ClientResult& ResultOf(PMySqlRes result) { return HeldBy<ClientResult>(result, "result handle"); }
ClientResult& RowOf(PMySqlRow row) { return HeldBy<ClientResult>(row, "row"); }

std::string Text(const char* text) { return text ? std::string(text) : std::string(); }

// The library's connection, this object's own refusal on it cleared for a new call.
MYSQL* Use(ClientConnection& connection) {
  connection.refusal = Refusal();
  return connection.mysql;
}

bool IsTimeType(int type) {
  return type == MYSQL_TYPE_DATE || type == MYSQL_TYPE_TIME || type == MYSQL_TYPE_DATETIME ||
         type == MYSQL_TYPE_TIMESTAMP || type == MYSQL_TYPE_NEWDATE;
}

::MYSQL_TIME LibraryTime(const dac::MYSQL_TIME& t) {
  ::MYSQL_TIME out{};
  out.year = t.year;
  out.month = t.month;
  out.day = t.day;
  out.hour = t.hour;
  out.minute = t.minute;
  out.second = t.second;
  out.second_part = t.second_part;
  out.neg = t.neg;
  out.time_type = static_cast<enum_mysql_timestamp_type>(t.time_type);
  return out;
}

dac::MYSQL_TIME ProjectTime(const ::MYSQL_TIME& t) {
  dac::MYSQL_TIME out;
  out.year = t.year;
  out.month = t.month;
  out.day = t.day;
  out.hour = t.hour;
  out.minute = t.minute;
  out.second = t.second;
  out.second_part = static_cast<uint32_t>(t.second_part);
  out.neg = t.neg != 0;
  out.time_type = t.time_type;
  return out;
}

// The caller's binds as the library's records. A date or time goes through
// a slot of `times`, which holds one per such bind and must not move while
// the library may use it.
std::vector<::MYSQL_BIND> LibraryBinds(const dac::MYSQL_BIND* binds, size_t count, std::vector<TimeSlot>& times) {
  times.clear();
  times.reserve(count);
  std::vector<::MYSQL_BIND> out(count);
  for (size_t i = 0; i < count; ++i) {
    const dac::MYSQL_BIND& from = binds[i];
    ::MYSQL_BIND& to = out[i];
    to.length = from.length;
    to.is_null = reinterpret_cast<my_bool*>(from.is_null);
    to.error = reinterpret_cast<my_bool*>(from.error);
    to.buffer = from.buffer;
    to.buffer_length = from.buffer_length;
    to.buffer_type = static_cast<enum_field_types>(from.buffer_type);
    to.is_unsigned = from.is_unsigned;
    if (IsTimeType(from.buffer_type) && from.buffer) {
      auto* caller = static_cast<dac::MYSQL_TIME*>(from.buffer);
      times.push_back(TimeSlot{caller, LibraryTime(*caller), sizeof(::MYSQL_TIME)});
      to.buffer = &times.back().library;
      to.buffer_length = sizeof(::MYSQL_TIME);
      if (!to.length) to.length = &times.back().length;
    }
  }
  return out;
}

void RefreshLibraryTimes(std::vector<TimeSlot>& times) {
  for (TimeSlot& slot : times) slot.library = LibraryTime(*slot.caller);
}

void HandBackTimes(const std::vector<TimeSlot>& times) {
  for (const TimeSlot& slot : times) *slot.caller = ProjectTime(slot.library);
}

// One parameter of _mysql_stmt_execute: the storage its bind points at.
struct ParamValue {
  unsigned char word[8] = {};
  ::MYSQL_TIME time{};
  std::string bytes;
  my_bool is_null = 0;
  unsigned long length = 0;
};

template <typename Number>
void PutNumber(::MYSQL_BIND& bind, ParamValue& value, Number number) {
  static_assert(sizeof(Number) <= sizeof value.word);
  std::memcpy(value.word, &number, sizeof number);
  bind.buffer = value.word;
  bind.buffer_length = sizeof number;
}

void PutTime(::MYSQL_BIND& bind, ParamValue& value, const dac::MYSQL_TIME& time) {
  value.time = LibraryTime(time);
  value.length = sizeof value.time;
  bind.buffer = &value.time;
  bind.buffer_length = value.length;
  bind.length = &value.length;
}

void PutBytes(::MYSQL_BIND& bind, ParamValue& value, std::string bytes) {
  value.bytes = std::move(bytes);
  value.length = value.bytes.size();
  bind.buffer = value.bytes.data();
  bind.buffer_length = value.length;
  bind.length = &value.length;
}

// The value as the parameter's type carries it.
void PutValue(::MYSQL_BIND& bind, ParamValue& value, const TParamDesc& param, bool use_unicode) {
  const Variant v = param.GetValue();
  switch (param.GetDataType()) {
    case dtInt8:
      return PutNumber(bind, value, v.AsInt8());
    case dtBoolean:
      return PutNumber(bind, value, static_cast<int8_t>(v.AsBoolean() ? 1 : 0));
    case dtSmallint:
      return PutNumber(bind, value, v.AsInt16());
    case dtWord:
      return PutNumber(bind, value, static_cast<uint32_t>(v.AsUInt16()));
    case dtInteger:
      return PutNumber(bind, value, v.AsInt32());
    case dtUInt32:
      return PutNumber(bind, value, v.AsUInt32());
    case dtLargeint:
      return PutNumber(bind, value, v.AsInt64());
    case dtFloat:
      return PutNumber(bind, value, v.AsDouble());
    case dtDate: {
      dac::MYSQL_TIME date = DateTimeToMYSQL_TIME(v.AsDateTime());
      date.hour = date.minute = date.second = date.second_part = 0;
      date.time_type = MYSQL_TIMESTAMP_DATE;
      return PutTime(bind, value, date);
    }
    case dtDateTime:
      return PutTime(bind, value, DateTimeToMYSQL_TIME(v.AsDateTime()));
    case dtTime:
      return PutTime(bind, value, TimeSpanToMYSQL_TIME(v.AsDateTime()));
    case dtBCD:
    case dtFmtBCD:
      return PutBytes(bind, value, BCDParamDescToStr(param));
    default: {
      BytesParamValue bytes = BytesParamValueOf(param, use_unicode);
      if (bytes.pieces) {
        bytes.bytes.reserve(bytes.pieces->GetDataSize());
        for (PPieceHeader piece = bytes.pieces->FirstPiece(); piece; piece = NextPiece(piece))
          bytes.bytes.append(reinterpret_cast<const char*>(PieceData(piece)), piece->used);
      }
      return PutBytes(bind, value, std::move(bytes.bytes));
    }
  }
}

}  // namespace

TMySQLAPIClient& MyAPIClient() {
  static TMySQLAPIClient api;
  return api;
}

TMySQLAPIClient::TMySQLAPIClient() : functions_(std::make_unique<Functions>()) {}

TMySQLAPIClient::~TMySQLAPIClient() { Unbind(); }

const TMySQLAPIClient::Functions& TMySQLAPIClient::Bound() const { return *functions_; }

namespace {

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

}  // namespace

#define DAC_CALL(name) Need(*this, Bound().name)
#define DAC_NAMED(holder, result, failed) Named(*this, Bound(), holder, result, failed)

// ---- the library ----

std::string TMySQLAPIClient::DefaultLibraryName() const { return "libmariadb.so.3"; }

std::string TMySQLAPIClient::GetLibraryName() const {
  const std::string configured = GetMySQLClientLibrary();
  return configured.empty() ? DefaultLibraryName() : configured;
}

std::string TMySQLAPIClient::NotLinkedMessage() const {
  return "MySQL API function is not linked. You should update MySQL client library (" + GetLibraryName() + ").";
}

bool TMySQLAPIClient::LoadedMySQLLib() { return library_.IsOpen(); }

bool TMySQLAPIClient::LoadAndBind() {
  const bool loaded = library_.Open(GetLibraryName());
  load_error_ = library_.LoadError();
  if (!loaded) return false;
  Functions& f = *functions_;
#define DAC_BIND_FUNCTION(name) f.name = reinterpret_cast<decltype(f.name)>(library_.Symbol(#name));
  DAC_CLIENT_FUNCTIONS(DAC_BIND_FUNCTION)
  f.mysql_stmt_prepare_result = library_.Symbol("mysql_stmt_prepare_result");
  DAC_CLIENT_FUNCTIONS_AFTER_PREPARE_RESULT(DAC_BIND_FUNCTION)
  DAC_CLIENT_FUNCTIONS_OPTIONAL(DAC_BIND_FUNCTION)
#undef DAC_BIND_FUNCTION
  return true;
}

void TMySQLAPIClient::Unbind() {
  *functions_ = Functions();
  library_.Close();
}

void TMySQLAPIClient::LoadMySQLLib() {
  const std::lock_guard<std::recursive_mutex> guard(load_lock_);
  if (!LoadedMySQLLib()) LoadAndBind();
}

void TMySQLAPIClient::FreeMySQLLib() {
  const std::lock_guard<std::recursive_mutex> guard(load_lock_);
  Unbind();
}

void TMySQLAPIClient::CheckMySQLLib() {
  const std::lock_guard<std::recursive_mutex> guard(load_lock_);
  LoadMySQLLib();
  if (!LoadedMySQLLib())
    throw EOSError("MySQL client library couldn't be loaded. Please place " + GetLibraryName() +
                       " file to system folder (included to PATH) or to the folder with executable unit of main "
                       "program.",
                   static_cast<uint32_t>(load_error_));
  std::string version = mysql_get_client_info();
  // Written only when it changes: other threads read it while connecting.
  if (version != client_version_) client_version_ = std::move(version);
  if (struct_ver_ != cv411) struct_ver_ = cv411;
}

// ---- connections ----

uint32_t TMySQLAPIClient::mysql_field_count(PMySqlCon con) {
  return DAC_CALL(mysql_field_count)(Use(ConnectionOf(con)));
}
uint64_t TMySQLAPIClient::mysql_affected_rows(PMySqlCon con) {
  return DAC_CALL(mysql_affected_rows)(Use(ConnectionOf(con)));
}
uint64_t TMySQLAPIClient::mysql_insert_id(PMySqlCon con) { return DAC_CALL(mysql_insert_id)(Use(ConnectionOf(con))); }

uint32_t TMySQLAPIClient::mysql_errno(PMySqlCon con) { return ErrorOf(*this, Bound(), ConnectionOf(con)).code; }
std::string TMySQLAPIClient::mysql_error(PMySqlCon con) { return ErrorOf(*this, Bound(), ConnectionOf(con)).text; }
std::string TMySQLAPIClient::mysql_sqlstate(PMySqlCon con) { return ErrorOf(*this, Bound(), ConnectionOf(con)).state; }

std::string TMySQLAPIClient::mysql_info(PMySqlCon con) { return Text(DAC_CALL(mysql_info)(Use(ConnectionOf(con)))); }
uint32_t TMySQLAPIClient::mysql_thread_id(PMySqlCon con) {
  return static_cast<uint32_t>(DAC_CALL(mysql_thread_id)(Use(ConnectionOf(con))));
}
std::string TMySQLAPIClient::mysql_character_set_name(PMySqlCon con) {
  return Text(DAC_CALL(mysql_character_set_name)(Use(ConnectionOf(con))));
}

// Text travels in the system's 8-bit code page unless the caller sets another.
void* TMySQLAPIClient::NewLibraryConnection() {
  MYSQL* mysql = DAC_CALL(mysql_init)(nullptr);
  if (mysql) DAC_CALL(mysql_options)(mysql, ::MYSQL_SET_CHARSET_NAME, "latin1");
  return mysql;
}

PMySqlCon TMySQLAPIClient::mysql_init(PMySqlCon) {
  auto* mysql = static_cast<MYSQL*>(NewLibraryConnection());
  if (!mysql) return nullptr;
  ++open_connections_;
  auto* connection = new ClientConnection();
  connection->mysql = mysql;
  return reinterpret_cast<PMySqlCon>(connection);
}

int32_t TMySQLAPIClient::mysql_ssl_set(PMySqlCon con, const char* key, const char* cert, const char* ca,
                                       const char* capath, const char* cipher) {
  ClientConnection& connection = ConnectionOf(con);
  connection.tls_wanted = true;
  connection.tls_verified = (ca && *ca) || (capath && *capath);
  return static_cast<int32_t>(DAC_CALL(mysql_ssl_set)(Use(connection), key, cert, ca, capath, cipher));
}

// With a CA the library verifies the server, and then also refuses a
// greeting without the TLS offer before the log-in goes out. Without one
// nothing stops it from logging in in clear: such a connection is closed
// at once, before any statement, and refused as the direct API refuses it.
PMySqlCon TMySQLAPIClient::mysql_real_connect(PMySqlCon con, const char* host, const char* user, const char* passwd,
                                              const char* db, uint32_t port, const char* unix_socket,
                                              uint32_t client_flag) {
  ClientConnection& connection = ConnectionOf(con);
  MYSQL* mysql = Use(connection);
  if (connection.tls_verified) {
    const my_bool verify = 1;
    DAC_CALL(mysql_options)(mysql, ::MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &verify);
  }
  const bool connected = DAC_CALL(mysql_real_connect)(mysql, host, user, passwd, db, port, unix_socket, client_flag);
  if (connected && connection.tls_wanted && !TlsInUse(mysql, connection.tls_verified)) {
    DAC_CALL(mysql_close)(mysql);
    connection.mysql = static_cast<MYSQL*>(NewLibraryConnection());
    connection.refusal.Set(EMySqlException(kCrSslConnectionError, "The server does not offer TLS"));
  }
  return DAC_NAMED(connection, con, !connected);
}

bool TMySQLAPIClient::TlsInUse(void* library_mysql, bool) {
  auto cipher = Bound().mysql_get_ssl_cipher;
  return cipher && cipher(static_cast<MYSQL*>(library_mysql)) != nullptr;
}

// Defined here, beside the library's header: the embedded server's library
// gives no cipher, and no host information for its server in the process.
bool TMySQLAPIEmbedded::TlsInUse(void* library_mysql, bool verified) {
  return verified || DAC_CALL(mysql_get_host_info)(static_cast<MYSQL*>(library_mysql)) == nullptr;
}

void TMySQLAPIClient::mysql_close(PMySqlCon con) {
  if (!con) return;
  std::unique_ptr<ClientConnection> connection(&ConnectionOf(con));
  for (ClientStatement* statement : connection->statements) statement->owner = nullptr;
  --open_connections_;
  DAC_CALL(mysql_close)(connection->mysql);
}

int32_t TMySQLAPIClient::mysql_select_db(PMySqlCon con, const char* db) {
  ClientConnection& connection = ConnectionOf(con);
  const int32_t outcome = DAC_CALL(mysql_select_db)(Use(connection), db);
  return DAC_NAMED(connection, outcome, outcome != 0);
}

int32_t TMySQLAPIClient::mysql_real_query(PMySqlCon con, const std::string& query, uint32_t length) {
  ClientConnection& connection = ConnectionOf(con);
  MYSQL* mysql = Use(connection);
  connection.result_taken = false;
  try {
    CheckedQueryLength(query, length);
  } catch (const EMySqlException& e) {
    connection.refusal.Set(e);
    return 1;
  }
  const int32_t outcome = DAC_CALL(mysql_real_query)(mysql, query.data(), length);
  return DAC_NAMED(connection, outcome, outcome != 0);
}

int32_t TMySQLAPIClient::mysql_kill(PMySqlCon con, uint32_t pid) {
  ClientConnection& connection = ConnectionOf(con);
  const int32_t outcome = DAC_CALL(mysql_kill)(Use(connection), pid);
  return DAC_NAMED(connection, outcome, outcome != 0);
}
int32_t TMySQLAPIClient::mysql_ping(PMySqlCon con) {
  ClientConnection& connection = ConnectionOf(con);
  const int32_t outcome = DAC_CALL(mysql_ping)(Use(connection));
  return DAC_NAMED(connection, outcome, outcome != 0);
}

std::string TMySQLAPIClient::mysql_get_server_info(PMySqlCon con) {
  return Text(DAC_CALL(mysql_get_server_info)(ConnectionOf(con).mysql));
}
std::string TMySQLAPIClient::mysql_get_client_info() { return Text(DAC_CALL(mysql_get_client_info)()); }
std::string TMySQLAPIClient::mysql_get_host_info(PMySqlCon con) {
  return Text(DAC_CALL(mysql_get_host_info)(ConnectionOf(con).mysql));
}

int32_t TMySQLAPIClient::mysql_options(PMySqlCon con, TMySqlOption option, const void* value) {
  return DAC_CALL(mysql_options)(Use(ConnectionOf(con)), static_cast<enum mysql_option>(option), value);
}

bool TMySQLAPIClient::mysql_more_results(PMySqlCon con) {
  return DAC_CALL(mysql_more_results)(Use(ConnectionOf(con))) != 0;
}
int32_t TMySQLAPIClient::mysql_next_result(PMySqlCon con) {
  ClientConnection& connection = ConnectionOf(con);
  const int32_t outcome = DAC_CALL(mysql_next_result)(Use(connection));
  if (outcome == 0) connection.result_taken = false;
  return DAC_NAMED(connection, outcome, outcome > 0);
}

uint32_t TMySQLAPIClient::_mysql_server_status(PMySqlCon con) {
  MYSQL* mysql = ConnectionOf(con).mysql;
  if (Bound().mariadb_get_infov) {
    unsigned int status = 0;
    if (Bound().mariadb_get_infov(mysql, MARIADB_CONNECTION_SERVER_STATUS, &status) == 0) return status;
  }
  // The library escapes a quote as '' exactly when the flag is set.
  char escaped[3] = {};
  DAC_CALL(mysql_real_escape_string)(mysql, escaped, "'", 1);
  uint32_t status = escaped[0] == '\'' ? kServerStatusNoBackslashEscapes : 0;
  if (DAC_CALL(mysql_more_results)(mysql)) status |= kServerMoreResultsExists;
  return status;
}

int32_t TMySQLAPIClient::mysql_server_init(int argc, char** argv, char** groups) {
  return DAC_CALL(mysql_server_init)(argc, argv, groups);
}
void TMySQLAPIClient::mysql_server_end() { DAC_CALL(mysql_server_end)(); }

// ---- results and rows ----

PMySqlRes TMySQLAPIClient::Wrap(void* res) {
  if (!res) return nullptr;
  auto* library = static_cast<MYSQL_RES*>(res);
  return reinterpret_cast<PMySqlRes>(new ClientResult{library, DAC_CALL(mysql_num_fields)(library)});
}

uint32_t TMySQLAPIClient::mysql_num_fields(PMySqlRes result) { return ResultOf(result).columns; }

const void* TMySQLAPIClient::mysql_fetch_field_direct(PMySqlRes result, uint32_t column) {
  return DAC_CALL(mysql_fetch_field_direct)(ResultOf(result).res, column);
}

// The library answers a second call for the same rows with nil and no
// error, as if there were none: that is out of sync here, as it is on the
// wire.
PMySqlRes TMySQLAPIClient::mysql_use_result(PMySqlCon con) {
  ClientConnection& connection = ConnectionOf(con);
  MYSQL* mysql = Use(connection);
  if (connection.result_taken && DAC_CALL(mysql_field_count)(mysql) > 0) {
    connection.refusal.Set(kCrCommandsOutOfSync);
    return nullptr;
  }
  PMySqlRes result = Wrap(DAC_CALL(mysql_use_result)(mysql));
  connection.result_taken = result != nullptr;
  return DAC_NAMED(connection, result, !result && DAC_CALL(mysql_field_count)(mysql) > 0);
}

void TMySQLAPIClient::mysql_free_result(PMySqlRes result) {
  if (!result) return;
  std::unique_ptr<ClientResult> owned(&ResultOf(result));
  DAC_CALL(mysql_free_result)(owned->res);
}

PMySqlRow TMySQLAPIClient::mysql_fetch_row(PMySqlRes result) {
  ClientResult& rows = ResultOf(result);
  rows.values = DAC_CALL(mysql_fetch_row)(rows.res);
  rows.lengths = nullptr;
  return rows.values ? reinterpret_cast<PMySqlRow>(&rows) : nullptr;
}

unsigned long* TMySQLAPIClient::mysql_fetch_lengths(PMySqlRes result) {
  ClientResult& rows = ResultOf(result);
  if (!rows.lengths && rows.values) rows.lengths = DAC_CALL(mysql_fetch_lengths)(rows.res);
  return rows.lengths;
}

TMYSQL_FIELD TMySQLAPIClient::_mysql_fetch_field_direct(PMySqlRes result, uint32_t column, bool) {
  DAC_ASSERT(column < mysql_num_fields(result), "column beyond the result");
  const auto* info = static_cast<const ::MYSQL_FIELD*>(mysql_fetch_field_direct(result, column));
  DAC_ASSERT(info != nullptr, "no column description");
  TMYSQL_FIELD field;
  field.name = Text(info->name);
  field.org_name = info->org_name && *info->org_name ? info->org_name : field.name;
  field.table = Text(info->table);
  field.org_table = Text(info->org_table);
  field.flags = info->flags;
  field.type = static_cast<uint8_t>(info->type);
  field.length = CorrectFieldLen(static_cast<uint32_t>(std::min<unsigned long>(info->length, UINT32_MAX)));
  field.decimals = static_cast<int32_t>(info->decimals);
  field.charsetnr = static_cast<int32_t>(info->charsetnr);
  return field;
}

bool TMySQLAPIClient::_mysql_fetch_value_is_null(PMySqlRow row, uint32_t column) {
  const ClientResult& rows = RowOf(row);
  DAC_ASSERT(column < rows.columns, "column beyond the row");
  return rows.values[column] == nullptr;
}

const char* TMySQLAPIClient::_mysql_fetch_value_ptr(PMySqlRes, PMySqlRow row, uint32_t column) {
  return _mysql_fetch_value_is_null(row, column) ? nullptr : RowOf(row).values[column];
}

void TMySQLAPIClient::_mysql_fetch_value_to_buff(PMySqlRow row, uint32_t column, char* buffer, int offset,
                                                 int length) {
  _mysql_fetch_value_to_buff(row, column, buffer ? static_cast<void*>(buffer + offset) : nullptr, length);
}

void TMySQLAPIClient::_mysql_fetch_value_to_buff(PMySqlRow row, uint32_t column, void* buffer, int length) {
  const char* value = _mysql_fetch_value_ptr(nullptr, row, column);
  if (!value || !buffer || length <= 0) return;
  const unsigned long size = mysql_fetch_lengths(reinterpret_cast<PMySqlRes>(&RowOf(row)))[column];
  std::memcpy(buffer, value, std::min<unsigned long>(size, static_cast<unsigned long>(length)));
}

void TMySQLAPIClient::_mysql_fetch_value_to_str(PMySqlRow row, uint32_t column, char* buffer, int offset,
                                                int length) {
  _mysql_fetch_value_to_str(row, column, buffer ? static_cast<void*>(buffer + offset) : nullptr, length);
}

// The zero byte is written whatever was copied, so a reused buffer always ends.
void TMySQLAPIClient::_mysql_fetch_value_to_str(PMySqlRow row, uint32_t column, void* buffer, int length) {
  if (!buffer) return;
  const char* value = _mysql_fetch_value_ptr(nullptr, row, column);
  unsigned long count = 0;
  if (value && length > 0) {
    const unsigned long size = mysql_fetch_lengths(reinterpret_cast<PMySqlRes>(&RowOf(row)))[column];
    count = std::min<unsigned long>(size, static_cast<unsigned long>(length));
    std::memcpy(buffer, value, count);
  }
  static_cast<char*>(buffer)[count] = 0;
}

const char* TMySQLAPIClient::_mysql_fetch_value_arr(PMySqlRow row, uint32_t column, int& offset) {
  offset = 0;
  return _mysql_fetch_value_ptr(nullptr, row, column);
}

std::string TMySQLAPIClient::_mysql_fetch_value_str(PMySqlRow row, uint32_t column) {
  const char* value = _mysql_fetch_value_ptr(nullptr, row, column);
  if (!value) return std::string();
  return std::string(value, mysql_fetch_lengths(reinterpret_cast<PMySqlRes>(&RowOf(row)))[column]);
}

// ---- statements ----

namespace {

// The results of the statement's last execute that were not read (a
// procedure call gives several): the library refuses to execute it again,
// or to close it in the embedded server, before they are read past. A
// library without the function has no later results to read.
void DiscardLaterResults(decltype(&::mysql_stmt_next_result) next_result, MYSQL_STMT* stmt) {
  if (!next_result) return;
  while (next_result(stmt) == 0) {
  }
}

// The library's statement while its connection is open; else the statement
// fails as a lost connection, since the library would read the closed one.
MYSQL_STMT* Live(ClientStatement& statement) {
  statement.refusal = Refusal();
  if (statement.owner) return statement.stmt;
  statement.refusal.Set(kCrServerLost);
  return nullptr;
}

}  // namespace

PMySqlStmt TMySQLAPIClient::mysql_stmt_init(PMySqlCon con) {
  ClientConnection& connection = ConnectionOf(con);
  MYSQL_STMT* stmt = DAC_CALL(mysql_stmt_init)(Use(connection));
  if (!stmt) return DAC_NAMED(connection, PMySqlStmt{}, true);
  auto* statement = new ClientStatement{stmt, &connection, {}, {}, {}};
  connection.statements.push_back(statement);
  return reinterpret_cast<PMySqlStmt>(statement);
}

int32_t TMySQLAPIClient::mysql_stmt_prepare(PMySqlStmt stmt, const std::string& query, uint32_t length) {
  ClientStatement& statement = StatementOf(stmt);
  MYSQL_STMT* live = Live(statement);
  if (!live) return 1;
  try {
    CheckedQueryLength(query, length);
  } catch (const EMySqlException& e) {
    statement.refusal.Set(e);
    return 1;
  }
  const int32_t outcome = DAC_CALL(mysql_stmt_prepare)(live, query.data(), length);
  return DAC_NAMED(statement, outcome, outcome != 0);
}

int32_t TMySQLAPIClient::mysql_stmt_execute(PMySqlStmt stmt) {
  ClientStatement& statement = StatementOf(stmt);
  MYSQL_STMT* live = Live(statement);
  if (!live) return 1;
  RefreshLibraryTimes(statement.param_times);
  DiscardLaterResults(Bound().mysql_stmt_next_result, live);
  const int32_t outcome = BufferedIfAsked(live, DAC_CALL(mysql_stmt_execute)(live));
  return DAC_NAMED(statement, outcome, outcome != 0);
}

uint32_t TMySQLAPIClient::mysql_stmt_param_count(PMySqlStmt stmt) {
  return static_cast<uint32_t>(DAC_CALL(mysql_stmt_param_count)(StatementOf(stmt).stmt));
}

uint32_t TMySQLAPIClient::mysql_stmt_field_count(PMySqlStmt stmt) {
  return DAC_CALL(mysql_stmt_field_count)(StatementOf(stmt).stmt);
}

bool TMySQLAPIClient::mysql_stmt_bind_param(PMySqlStmt stmt, MYSQL_BIND* binds) {
  ClientStatement& statement = StatementOf(stmt);
  MYSQL_STMT* live = Live(statement);
  if (!live) return true;
  std::vector<::MYSQL_BIND> library = LibraryBinds(binds, mysql_stmt_param_count(stmt), statement.param_times);
  const bool failed = DAC_CALL(mysql_stmt_bind_param)(live, library.data()) != 0;
  return DAC_NAMED(statement, failed, failed);
}

bool TMySQLAPIClient::mysql_stmt_bind_result(PMySqlStmt stmt, MYSQL_BIND* binds) {
  ClientStatement& statement = StatementOf(stmt);
  MYSQL_STMT* live = Live(statement);
  if (!live) return true;
  std::vector<::MYSQL_BIND> library = LibraryBinds(binds, mysql_stmt_field_count(stmt), statement.result_times);
  const bool failed = DAC_CALL(mysql_stmt_bind_result)(live, library.data()) != 0;
  return DAC_NAMED(statement, failed, failed);
}

bool TMySQLAPIClient::_mysql_stmt_bind_param(PMySqlStmt stmt, TMYSQL_BINDS& binds) {
  DAC_ASSERT(binds.size() >= mysql_stmt_param_count(stmt), "fewer binds than parameters");
  return mysql_stmt_bind_param(stmt, binds.data());
}

bool TMySQLAPIClient::_mysql_stmt_bind_result(PMySqlStmt stmt, TMYSQL_BINDS& binds) {
  DAC_ASSERT(binds.size() >= mysql_stmt_field_count(stmt), "fewer binds than result columns");
  return mysql_stmt_bind_result(stmt, binds.data());
}

// The embedded server frees the results a procedure call left unread twice
// when the statement closes over them: they are read past first.
bool TMySQLAPIClient::mysql_stmt_close(PMySqlStmt stmt) {
  if (!stmt) return false;
  std::unique_ptr<ClientStatement> statement(&StatementOf(stmt));
  if (statement->owner) {
    std::erase(statement->owner->statements, statement.get());
    DiscardLaterResults(Bound().mysql_stmt_next_result, statement->stmt);
  }
  return DAC_CALL(mysql_stmt_close)(statement->stmt) != 0;
}

bool TMySQLAPIClient::mysql_stmt_free_result(PMySqlStmt stmt) {
  ClientStatement& statement = StatementOf(stmt);
  MYSQL_STMT* live = Live(statement);
  const bool failed = !live || DAC_CALL(mysql_stmt_free_result)(live) != 0;
  return DAC_NAMED(statement, failed, failed);
}

uint32_t TMySQLAPIClient::mysql_stmt_errno(PMySqlStmt stmt) { return ErrorOf(*this, Bound(), StatementOf(stmt)).code; }
std::string TMySQLAPIClient::mysql_stmt_error(PMySqlStmt stmt) {
  return ErrorOf(*this, Bound(), StatementOf(stmt)).text;
}
std::string TMySQLAPIClient::mysql_stmt_sqlstate(PMySqlStmt stmt) {
  return ErrorOf(*this, Bound(), StatementOf(stmt)).state;
}

int32_t TMySQLAPIClient::mysql_stmt_fetch(PMySqlStmt stmt) {
  ClientStatement& statement = StatementOf(stmt);
  MYSQL_STMT* live = Live(statement);
  if (!live) return 1;
  for (TimeSlot& slot : statement.result_times) slot.library = ::MYSQL_TIME{};
  const int32_t fetched = DAC_CALL(mysql_stmt_fetch)(live);
  if (fetched == 0 || fetched == kMySqlDataTruncated) HandBackTimes(statement.result_times);
  return DAC_NAMED(statement, fetched, fetched == 1);
}

int32_t TMySQLAPIClient::mysql_stmt_fetch_column(PMySqlStmt stmt, MYSQL_BIND* bind, uint32_t column,
                                                 unsigned long offset) {
  ClientStatement& statement = StatementOf(stmt);
  MYSQL_STMT* live = Live(statement);
  if (!live) return 1;
  std::vector<TimeSlot> times;
  std::vector<::MYSQL_BIND> library = LibraryBinds(bind, 1, times);
  const int32_t fetched = DAC_CALL(mysql_stmt_fetch_column)(live, library.data(), column, offset);
  if (fetched == 0) HandBackTimes(times);
  return DAC_NAMED(statement, fetched, fetched != 0);
}

bool TMySQLAPIClient::mysql_stmt_send_long_data(PMySqlStmt stmt, uint32_t param, const char* data,
                                                unsigned long length) {
  ClientStatement& statement = StatementOf(stmt);
  MYSQL_STMT* live = Live(statement);
  const bool failed = !live || DAC_CALL(mysql_stmt_send_long_data)(live, param, data, length) != 0;
  return DAC_NAMED(statement, failed, failed);
}

PMySqlRes TMySQLAPIClient::mysql_stmt_result_metadata(PMySqlStmt stmt) {
  MYSQL_STMT* live = Live(StatementOf(stmt));
  return live ? Wrap(DAC_CALL(mysql_stmt_result_metadata)(live)) : nullptr;
}

PMySqlRes TMySQLAPIClient::mysql_stmt_param_metadata(PMySqlStmt stmt) {
  MYSQL_STMT* live = Live(StatementOf(stmt));
  return live ? Wrap(DAC_CALL(mysql_stmt_param_metadata)(live)) : nullptr;
}

int32_t TMySQLAPIClient::mysql_stmt_next_result(PMySqlStmt stmt) {
  ClientStatement& statement = StatementOf(stmt);
  MYSQL_STMT* live = Live(statement);
  if (!live) return static_cast<int32_t>(statement.refusal.code);
  const int32_t outcome = BufferedIfAsked(live, DAC_CALL(mysql_stmt_next_result)(live));
  return DAC_NAMED(statement, outcome, outcome > 0);
}

int32_t TMySQLAPIClient::BufferedIfAsked(void* library_stmt, int32_t outcome) {
  auto* live = static_cast<MYSQL_STMT*>(library_stmt);
  if (outcome != 0 || !BuffersStatementResults() || DAC_CALL(mysql_stmt_field_count)(live) == 0) return outcome;
  return DAC_CALL(mysql_stmt_store_result)(live);
}

uint64_t TMySQLAPIClient::mysql_stmt_affected_rows(PMySqlStmt stmt) {
  return DAC_CALL(mysql_stmt_affected_rows)(StatementOf(stmt).stmt);
}

int32_t TMySQLAPIClient::_mysql_stmt_execute(PMySqlStmt stmt, const TParamDescs& params, bool use_unicode) {
  ClientStatement& statement = StatementOf(stmt);
  MYSQL_STMT* live = Live(statement);
  if (!live) return 1;
  DiscardLaterResults(Bound().mysql_stmt_next_result, live);
  const int skip = params.Count() > 0 && params.Items(0)->GetParamType() == pdResult ? 1 : 0;
  const uint32_t count = mysql_stmt_param_count(stmt);
  DAC_ASSERT(count == static_cast<uint32_t>(params.Count() - skip), "the parameters do not match the placeholders");
  // The library copies the binds when they are bound and reads the values while executing.
  std::vector<::MYSQL_BIND> binds(count);
  std::vector<ParamValue> values(count);
  for (uint32_t i = 0; i < count; ++i) {
    const TParamDesc& param = *params.Items(static_cast<int>(i) + skip);
    ::MYSQL_BIND& bind = binds[i];
    bind.buffer_type = static_cast<enum_field_types>(ConvertInternalTypeMySQLFormat(param.GetDataType()));
    bind.is_unsigned = IsUnsignedParamType(param.GetDataType());
    values[i].is_null = param.GetNull();
    bind.is_null = &values[i].is_null;
    if (!param.GetNull()) PutValue(bind, values[i], param, use_unicode);
  }
  if (count > 0) {
    statement.param_times.clear();
    if (DAC_CALL(mysql_stmt_bind_param)(live, binds.data())) return DAC_NAMED(statement, 1, true);
  }
  const int32_t outcome = BufferedIfAsked(live, DAC_CALL(mysql_stmt_execute)(live));
  return DAC_NAMED(statement, outcome, outcome != 0);
}

#undef DAC_NAMED
#undef DAC_CALL

}  // namespace dac
