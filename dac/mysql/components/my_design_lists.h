// Helpers of design-time editors for MySQL connections: table-name lists
// written as text and back, and the lists a connection gives.
#pragma once

#include <string>

#include "dac/framework/classes/string_list.h"

namespace dac {

class TCustomMyConnection;

// The names, bracketed where they need it, joined with ", ".
std::string TableNamesFromList(const TStrings& list);
// The names of text split at "," and ";", trimmed and unbracketed; empty ones dropped.
void TableNamesToList(const std::string& text, TStrings& list);
// The connection's lists; nothing without a connection.
void GetDatabasesList(TCustomMyConnection* connection, TStrings& list);
void GetTablesList(TCustomMyConnection* connection, TStrings& list);
void GetIndexNames(TCustomMyConnection* connection, TStrings& list, const std::string& table_name);
// The LAN's servers that offer a MySQL service.
void GetServerList(TStrings& list);

}  // namespace dac
