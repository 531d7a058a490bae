// The client library's API: prepared statements, their binds in the
// library's records and their parameters' values.
#include "dac/mysql/client/api/mysql_api_client_handles.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

#include "dac/core/server/param_desc.h"
#include "dac/mysql/client/wire/protocol.h"
#include "dac/store/blob/blob.h"
#include "dac/store/record/data_types.h"

namespace dac {

using namespace client_library;

namespace {

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
