#include "dac/mysql/client/api/mysql_api.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/wire/client_errors.h"

namespace dac {

DAC_DEFINE_CLASS(TMySQLAPI, TObject, TMetaClass)

namespace {

constexpr int32_t kMaxFieldLen = 65535;
constexpr uint32_t kOneYear = 31536000;

// The library-backed implementations hand rows out as the client API does:
// an array of value pointers, nil for NULL.
const char* ValueOf(PMySqlRow row, uint32_t column) {
  DAC_ASSERT(row != nullptr, "nil row");
  return reinterpret_cast<char* const*>(row)[column];
}

}  // namespace

void TMySQLAPI::AbstractError() { throw Exception("Abstract Error"); }

// ---- the client API: provided by the implementations ----

uint32_t TMySQLAPI::mysql_num_fields(PMySqlRes) { AbstractError(); }
const void* TMySQLAPI::mysql_fetch_field_direct(PMySqlRes, uint32_t) { AbstractError(); }
uint32_t TMySQLAPI::mysql_field_count(PMySqlCon) { AbstractError(); }
uint64_t TMySQLAPI::mysql_affected_rows(PMySqlCon) { AbstractError(); }
uint64_t TMySQLAPI::mysql_insert_id(PMySqlCon) { AbstractError(); }
uint32_t TMySQLAPI::mysql_errno(PMySqlCon) { AbstractError(); }
std::string TMySQLAPI::mysql_error(PMySqlCon) { AbstractError(); }
std::string TMySQLAPI::mysql_info(PMySqlCon) { AbstractError(); }
uint32_t TMySQLAPI::mysql_thread_id(PMySqlCon) { AbstractError(); }
std::string TMySQLAPI::mysql_character_set_name(PMySqlCon) { AbstractError(); }
PMySqlCon TMySQLAPI::mysql_init(PMySqlCon) { AbstractError(); }
int32_t TMySQLAPI::mysql_ssl_set(PMySqlCon, const char*, const char*, const char*, const char*, const char*) {
  AbstractError();
}
PMySqlCon TMySQLAPI::mysql_real_connect(PMySqlCon, const char*, const char*, const char*, const char*, uint32_t,
                                        const char*, uint32_t) {
  AbstractError();
}
void TMySQLAPI::mysql_close(PMySqlCon) { AbstractError(); }
int32_t TMySQLAPI::mysql_select_db(PMySqlCon, const char*) { AbstractError(); }
int32_t TMySQLAPI::mysql_real_query(PMySqlCon, const std::string&, uint32_t) { AbstractError(); }
int32_t TMySQLAPI::mysql_kill(PMySqlCon, uint32_t) { AbstractError(); }
int32_t TMySQLAPI::mysql_ping(PMySqlCon) { AbstractError(); }
std::string TMySQLAPI::mysql_get_server_info(PMySqlCon) { AbstractError(); }
std::string TMySQLAPI::mysql_get_client_info() { AbstractError(); }
std::string TMySQLAPI::mysql_get_host_info(PMySqlCon) { AbstractError(); }
PMySqlRes TMySQLAPI::mysql_use_result(PMySqlCon) { AbstractError(); }
int32_t TMySQLAPI::mysql_options(PMySqlCon, TMySqlOption, const void*) { AbstractError(); }
void TMySQLAPI::mysql_free_result(PMySqlRes) { AbstractError(); }
PMySqlRow TMySQLAPI::mysql_fetch_row(PMySqlRes) { AbstractError(); }
unsigned long* TMySQLAPI::mysql_fetch_lengths(PMySqlRes) { AbstractError(); }
int32_t TMySQLAPI::mysql_server_init(int, char**, char**) { AbstractError(); }
void TMySQLAPI::mysql_server_end() { AbstractError(); }
PMySqlStmt TMySQLAPI::mysql_stmt_init(PMySqlCon) { AbstractError(); }
int32_t TMySQLAPI::mysql_stmt_prepare(PMySqlStmt, const std::string&, uint32_t) { AbstractError(); }
int32_t TMySQLAPI::mysql_stmt_execute(PMySqlStmt) { AbstractError(); }
uint32_t TMySQLAPI::mysql_stmt_param_count(PMySqlStmt) { AbstractError(); }
bool TMySQLAPI::mysql_stmt_bind_param(PMySqlStmt, MYSQL_BIND*) { AbstractError(); }
bool TMySQLAPI::mysql_stmt_bind_result(PMySqlStmt, MYSQL_BIND*) { AbstractError(); }
uint32_t TMySQLAPI::mysql_stmt_field_count(PMySqlStmt) { AbstractError(); }
bool TMySQLAPI::mysql_stmt_close(PMySqlStmt) { AbstractError(); }
bool TMySQLAPI::mysql_stmt_free_result(PMySqlStmt) { AbstractError(); }
uint32_t TMySQLAPI::mysql_stmt_errno(PMySqlStmt) { AbstractError(); }
std::string TMySQLAPI::mysql_stmt_error(PMySqlStmt) { AbstractError(); }
int32_t TMySQLAPI::mysql_stmt_fetch(PMySqlStmt) { AbstractError(); }
int32_t TMySQLAPI::mysql_stmt_fetch_column(PMySqlStmt, MYSQL_BIND*, uint32_t, unsigned long) { AbstractError(); }
bool TMySQLAPI::mysql_stmt_send_long_data(PMySqlStmt, uint32_t, const char*, unsigned long) { AbstractError(); }
PMySqlRes TMySQLAPI::mysql_stmt_result_metadata(PMySqlStmt) { AbstractError(); }
PMySqlRes TMySQLAPI::mysql_stmt_param_metadata(PMySqlStmt) { AbstractError(); }
uint64_t TMySQLAPI::mysql_stmt_affected_rows(PMySqlStmt) { AbstractError(); }
bool TMySQLAPI::mysql_more_results(PMySqlCon) { AbstractError(); }
int32_t TMySQLAPI::mysql_next_result(PMySqlCon) { AbstractError(); }
std::string TMySQLAPI::mysql_sqlstate(PMySqlCon) { AbstractError(); }
std::string TMySQLAPI::mysql_stmt_sqlstate(PMySqlStmt) { AbstractError(); }
int32_t TMySQLAPI::mysql_stmt_next_result(PMySqlStmt) { AbstractError(); }

// ---- management ----

bool TMySQLAPI::LoadedMySQLLib() { return true; }
void TMySQLAPI::LoadMySQLLib() {}
void TMySQLAPI::FreeMySQLLib() {}

void TMySQLAPI::CheckMySQLLib() {
  client_version_ = mysql_get_client_info();
  struct_ver_ = ClientStructVerOf(client_version_);
}

// ---- auxiliary operations over the client API's rows ----

// Each library describes its columns in its own record.
TMYSQL_FIELD TMySQLAPI::_mysql_fetch_field_direct(PMySqlRes, uint32_t, bool) { AbstractError(); }
PMySqlRow TMySQLAPI::_mysql_fetch_row(PMySqlRes result) { return mysql_fetch_row(result); }
int32_t TMySQLAPI::_mysql_stmt_fetch(PMySqlStmt, PMySqlRow&) { AbstractError(); }

void TMySQLAPI::_mysql_fetch_lengths(PMySqlRes result, TMySqlLengths& lengths) {
  lengths.resize(mysql_num_fields(result));
  const unsigned long* source = mysql_fetch_lengths(result);
  DAC_ASSERT(source != nullptr, "no current row");
  std::copy(source, source + lengths.size(), lengths.begin());
}

bool TMySQLAPI::_mysql_fetch_value_is_null(PMySqlRow row, uint32_t column) { return ValueOf(row, column) == nullptr; }

const char* TMySQLAPI::_mysql_fetch_value_ptr(PMySqlRes, PMySqlRow row, uint32_t column) {
  return ValueOf(row, column);
}

void TMySQLAPI::_mysql_fetch_value_to_buff(PMySqlRow row, uint32_t column, char* buffer, int offset, int length) {
  _mysql_fetch_value_to_buff(row, column, static_cast<void*>(buffer + offset), length);
}

// The row alone does not tell the value's length: the caller passes at most
// the length _mysql_fetch_lengths gave.
void TMySQLAPI::_mysql_fetch_value_to_buff(PMySqlRow row, uint32_t column, void* buffer, int length) {
  const char* value = ValueOf(row, column);
  if (value && length > 0) std::memcpy(buffer, value, static_cast<size_t>(length));
}

void TMySQLAPI::_mysql_fetch_value_to_str(PMySqlRow row, uint32_t column, char* buffer, int offset, int length) {
  _mysql_fetch_value_to_str(row, column, static_cast<void*>(buffer + offset), length);
}

void TMySQLAPI::_mysql_fetch_value_to_str(PMySqlRow row, uint32_t column, void* buffer, int length) {
  const char* value = ValueOf(row, column);
  const size_t count = value && length > 0 ? strnlen(value, static_cast<size_t>(length)) : 0;
  if (count > 0) std::memcpy(buffer, value, count);
  static_cast<char*>(buffer)[count] = 0;
}

const char* TMySQLAPI::_mysql_fetch_value_arr(PMySqlRow row, uint32_t column, int& offset) {
  offset = 0;
  return ValueOf(row, column);
}

std::string TMySQLAPI::_mysql_fetch_value_str(PMySqlRow row, uint32_t column) {
  const char* value = ValueOf(row, column);
  return value ? std::string(value) : std::string();
}

int32_t TMySQLAPI::_mysql_stmt_execute(PMySqlStmt, const TParamDescs&, bool) { AbstractError(); }

bool TMySQLAPI::_mysql_stmt_bind_param(PMySqlStmt stmt, TMYSQL_BINDS& binds) {
  return mysql_stmt_bind_param(stmt, binds.data());
}

bool TMySQLAPI::_mysql_stmt_bind_result(PMySqlStmt stmt, TMYSQL_BINDS& binds) {
  return mysql_stmt_bind_result(stmt, binds.data());
}

int32_t TMySQLAPI::_mysql_stmt_fetch_column(PMySqlStmt stmt, TMYSQL_BINDS& binds, uint32_t column,
                                            unsigned long offset) {
  DAC_ASSERT(column < binds.size(), "column beyond the binds");
  return mysql_stmt_fetch_column(stmt, &binds[column], column, offset);
}

void TMySQLAPI::_mysql_stmt_fetch_lengths(PMySqlStmt, TMySqlLengths&) { AbstractError(); }
const char* TMySQLAPI::_mysql_stmt_fetch_value_ptr(PMySqlStmt, uint32_t) { AbstractError(); }
uint32_t TMySQLAPI::_mysql_server_status(PMySqlCon) { AbstractError(); }

// ---- what an implementation may do its own faster way ----

void TMySQLAPI::_mysql_fetch_row_values(PMySqlRes result, PMySqlRow row, TMySqlRowValues& values) {
  TMySqlLengths& lengths = values.Gather();
  _mysql_fetch_lengths(result, lengths);
  for (uint32_t column = 0; column < lengths.size(); ++column) {
    int offset = 0;
    const char* data = _mysql_fetch_value_is_null(row, column) ? nullptr : _mysql_fetch_value_arr(row, column, offset);
    values.Place(column, data ? data + offset : nullptr);
  }
}

bool TMySQLAPI::_mysql_stmt_rows_in_place() { return false; }
void TMySQLAPI::_mysql_set_stored_proc(PMySqlCon, bool) {}
PMySqlCon TMySQLAPI::SetIOHandler(PMySqlCon, TMyIOHandler*) { return nullptr; }
void TMySQLAPI::SetParams(const TStringList&) {}

int32_t TMySQLAPI::CorrectFieldLen(uint32_t length) {
  return length > static_cast<uint32_t>(kMaxFieldLen) ? kMaxFieldLen : static_cast<int32_t>(length);
}

void TMySQLAPI::SetTimeout(PMySqlCon con, uint32_t seconds) {
  if (struct_ver_ != cvDirect && struct_ver_ != cv410 && struct_ver_ != cv411) return;
  const uint32_t value = seconds == 0 ? kOneYear : seconds;
  mysql_options(con, MYSQL_OPT_READ_TIMEOUT, &value);
  mysql_options(con, MYSQL_OPT_WRITE_TIMEOUT, &value);
}

TClientStructVer ClientStructVerOf(std::string_view version) {
  int major = 0;
  int minor = 0;
  int release = 0;
  DecodeVersion(version, major, minor, release);
  switch (major) {
    case 3:
      return cv3;
    case 4:
      return minor == 0 ? cv4 : release == 0 ? cv410 : cv411;
    case 5:
      return cv411;
    default:
      throw Exception("Invalid client version");
  }
}

namespace {

// The settings above, one lock for all.
struct LibrarySettings {
  std::mutex lock;
  std::string client_library;
  std::string init_message;
  bool initing = false;
};

LibrarySettings& Settings() {
  static LibrarySettings settings;
  return settings;
}

template <typename Value>
Value Read(Value LibrarySettings::*member) {
  LibrarySettings& settings = Settings();
  const std::lock_guard<std::mutex> guard(settings.lock);
  return settings.*member;
}

template <typename Value>
void Write(Value LibrarySettings::*member, Value value) {
  LibrarySettings& settings = Settings();
  const std::lock_guard<std::mutex> guard(settings.lock);
  settings.*member = std::move(value);
}

}  // namespace

std::string GetMySQLClientLibrary() { return Read(&LibrarySettings::client_library); }
void SetMySQLClientLibrary(std::string name) { Write(&LibrarySettings::client_library, std::move(name)); }
std::string GetMySQLEmbServerInitMessage() { return Read(&LibrarySettings::init_message); }
void SetMySQLEmbServerInitMessage(std::string message) { Write(&LibrarySettings::init_message, std::move(message)); }
bool GetMySQLEmbServerIniting() { return Read(&LibrarySettings::initing); }
void SetMySQLEmbServerIniting(bool initing) { Write(&LibrarySettings::initing, initing); }

int CheckedQueryLength(const std::string& query, uint32_t length) {
  if (length > query.size())
    throw EMySqlException(kCrUnknownError, "The length " + std::to_string(length) + " is beyond the text's " +
                                               std::to_string(query.size()) + " bytes");
  if (length > static_cast<uint32_t>(INT32_MAX)) throw EMySqlException(kCrNetPacketTooLarge);
  return static_cast<int>(length);
}

}  // namespace dac
