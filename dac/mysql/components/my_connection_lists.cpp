// The lists a MySQL connection gives: tables, databases, stored routines,
// character sets and indexes, each the first (or a named) column of the
// rows of one statement.
#include "dac/mysql/components/my_connection_lists.h"

#include <exception>

#include "dac/core/server/server_types.h"
#include "dac/mysql/client/wire/client_records.h"
#include "dac/mysql/components/my_connection_component.h"
#include "dac/mysql/provider/my_identifiers.h"
#include "dac/mysql/provider/my_property_codes.h"
#include "dac/mysql/provider/my_record_set.h"
#include "dac/mysql/provider/my_sql_literals.h"
#include "dac/store/record/block_manager.h"
#include "platform/ascii.h"

namespace dac {

std::string StoredProcNamesSQL(const std::string& server_version, const std::string& database,
                               const TMySQLEscaping& escaping) {
  int major = 0;
  int minor = 0;
  int release = 0;
  DecodeVersion(server_version, major, minor, release);
  if (major < 5) return "";
  if (major == 5 && minor == 0 && release == 0) return "SELECT name FROM mysql.proc ORDER BY name";
  // A string literal of the name, so that no name can end the literal early.
  const std::string literal = database.empty() ? "'mysql'" : TextLiteral(plat::AsciiLowerCase(database), escaping);
  if (major == 5 && minor == 0 && release < 4)
    return "SELECT name FROM mysql.proc WHERE LOWER(db) = " + literal + " ORDER BY name";
  return "SELECT ROUTINE_NAME FROM information_schema.routines WHERE LOWER(routine_schema) = " + literal +
         " ORDER BY ROUTINE_NAME";
}

void TCustomMyConnection::ReadList(const std::string& sql, TStrings& list, const std::string& column) {
  std::unique_ptr<TDKRecordSet> record_set = CreateIRecordSet();
  record_set->SetComponent(this);
  record_set->SetProp(prFetchAll, true);
  record_set->SetProp(prMyFieldsAsString, true);
  record_set->SetSQL(sql);
  record_set->Open();
  TFieldDesc* field = column.empty() ? record_set->GetFieldDescs().GetItems(0) : record_set->FindField(column);
  if (!field) return;
  Variant value;
  record_set->SetToBegin();
  for (record_set->GetNextRecord(nullptr); !record_set->GetEOF(); record_set->GetNextRecord(nullptr)) {
    record_set->GetFieldAsVariant(field->GetFieldNo(), TBlockManager::GetRecordPtr(record_set->GetCurrentItem()),
                                  value);
    list.Add(value.IsNull() ? std::string() : value.AsString());
  }
}

template <typename Work>
void TCustomMyConnection::WithoutDatabase(const Work& list_work) {
  const std::string database = database_;
  const bool was_connected = GetConnected();
  // A closed connection needs no database to list what the server holds.
  if (!was_connected) SetDatabase("");
  std::exception_ptr failed;
  try {
    Connect();
    list_work(database);
  } catch (...) {
    failed = std::current_exception();
  }
  try {
    if (!was_connected) Disconnect();
  } catch (...) {
    if (!failed) failed = std::current_exception();
  }
  SetDatabase(database);
  if (failed) std::rethrow_exception(failed);
}

void TCustomMyConnection::GetTableNames(TStrings& list) {
  list.Clear();
  if (database_.empty()) return;
  WhileInUse([&] { ReadList("SHOW tables", list); });
}

void TCustomMyConnection::GetDatabaseNames(TStrings& list) {
  list.Clear();
  WithoutDatabase([&](const std::string&) { ReadList("SHOW databases", list); });
}

void TCustomMyConnection::GetStoredProcNames(TStrings& list) {
  list.Clear();
  WithoutDatabase([&](const std::string& database) {
    const TMySQLConnection& connection = ConnectedIConnection();
    const std::string sql = StoredProcNamesSQL(connection.GetServerVersion(), database, connection.GetEscaping());
    if (!sql.empty()) ReadList(sql, list);
  });
}

void TCustomMyConnection::GetCharsetNames(TStrings& list) {
  list.Clear();
  WhileInUse([&] {
    const TMySQLConnection& connection = ConnectedIConnection();
    const int32_t major = connection.GetServerPrimaryVer();
    if (major > 4 || (major == 4 && connection.GetServerMinorVer() != 0)) ReadList("SHOW CHARSET", list);
  });
}

void TCustomMyConnection::GetIndexNames(TStrings& list, const std::string& table_name) {
  list.Clear();
  WhileInUse([&] {
    const std::string table = ConnectedIConnection().GetIdentifierRules().NormalizeName(table_name, false);
    ReadList("SHOW INDEX FROM " + table, list, "key_name");
  });
}

}  // namespace dac
