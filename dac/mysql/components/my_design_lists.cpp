#include "dac/mysql/components/my_design_lists.h"

#include "dac/core/login/net_manager.h"
#include "dac/mysql/components/my_connection_component.h"
#include "dac/mysql/provider/my_identifiers.h"
#include "platform/ascii.h"

namespace dac {

std::string TableNamesFromList(const TStrings& list) {
  std::string text;
  for (int i = 0; i < list.Count(); ++i) {
    if (i) text += ", ";
    text += BracketIfNeed(list.Strings(i));
  }
  return text;
}

void TableNamesToList(const std::string& text, TStrings& list) {
  list.Clear();
  const std::string_view names = plat::TrimBlanks(text);
  size_t start = 0;
  while (start <= names.size()) {
    size_t end = names.find_first_of(",;", start);
    if (end == std::string_view::npos) end = names.size();
    const std::string_view piece = plat::TrimBlanks(names.substr(start, end - start));
    if (!piece.empty()) list.Add(UnbracketIfPossible(piece));
    start = end + 1;
  }
}

void GetDatabasesList(TCustomMyConnection* connection, TStrings& list) {
  if (connection) connection->GetDatabaseNames(list);
}

void GetTablesList(TCustomMyConnection* connection, TStrings& list) {
  if (connection) connection->GetTableNames(list);
}

void GetIndexNames(TCustomMyConnection* connection, TStrings& list, const std::string& table_name) {
  if (connection) connection->GetIndexNames(list, table_name);
}

void GetServerList(TStrings& list) { DKNetManager().GetServerList(list, "mysql", 1, 120); }

}  // namespace dac
