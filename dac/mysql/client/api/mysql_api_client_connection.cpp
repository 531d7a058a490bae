// The client library's API: connections, the TLS they were asked for, and
// the server's state read from them.
#include "dac/mysql/client/api/mysql_api_client_handles.h"

#include <memory>

#include "dac/mysql/client/api/mysql_api_embedded.h"
#include "dac/mysql/client/wire/protocol.h"

namespace dac {

using namespace client_library;

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

}  // namespace dac
