// The client library's API: results, their column descriptions and rows.
#include "dac/mysql/client/api/mysql_api_client_handles.h"

#include <algorithm>
#include <cstring>

#include "dac/mysql/client/wire/protocol.h"

namespace dac {

using namespace client_library;

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

}  // namespace dac
