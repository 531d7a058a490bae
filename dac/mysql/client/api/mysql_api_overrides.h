// The operations of TMySQLAPI that every implementation answers in its own
// way (the direct protocol and the client library, whose embedded-server
// form inherits them), declared once: each implementation's class names
// DAC_MYSQL_API_SHARED_OVERRIDES in its body and adds the few of its own.
#pragma once

#define DAC_MYSQL_API_SHARED_OVERRIDES \
  uint32_t mysql_num_fields(PMySqlRes result) override; \
  const void* mysql_fetch_field_direct(PMySqlRes result, uint32_t column) override; \
  uint32_t mysql_field_count(PMySqlCon con) override; \
  uint64_t mysql_affected_rows(PMySqlCon con) override; \
  uint64_t mysql_insert_id(PMySqlCon con) override; \
  uint32_t mysql_errno(PMySqlCon con) override; \
  std::string mysql_error(PMySqlCon con) override; \
  std::string mysql_info(PMySqlCon con) override; \
  uint32_t mysql_thread_id(PMySqlCon con) override; \
  std::string mysql_character_set_name(PMySqlCon con) override; \
  PMySqlCon mysql_init(PMySqlCon con) override; \
  int32_t mysql_ssl_set(PMySqlCon con, const char* key, const char* cert, const char* ca, const char* capath, \
                        const char* cipher) override; \
  PMySqlCon mysql_real_connect(PMySqlCon con, const char* host, const char* user, const char* passwd, \
                               const char* db, uint32_t port, const char* unix_socket, \
                               uint32_t client_flag) override; \
  void mysql_close(PMySqlCon con) override; \
  int32_t mysql_select_db(PMySqlCon con, const char* db) override; \
  int32_t mysql_real_query(PMySqlCon con, const std::string& query, uint32_t length) override; \
  int32_t mysql_kill(PMySqlCon con, uint32_t pid) override; \
  int32_t mysql_ping(PMySqlCon con) override; \
  std::string mysql_get_server_info(PMySqlCon con) override; \
  std::string mysql_get_client_info() override; \
  std::string mysql_get_host_info(PMySqlCon con) override; \
  PMySqlRes mysql_use_result(PMySqlCon con) override; \
  int32_t mysql_options(PMySqlCon con, TMySqlOption option, const void* value) override; \
  void mysql_free_result(PMySqlRes result) override; \
  PMySqlRow mysql_fetch_row(PMySqlRes result) override; \
  unsigned long* mysql_fetch_lengths(PMySqlRes result) override; \
  int32_t mysql_server_init(int argc, char** argv, char** groups) override; \
  void mysql_server_end() override; \
  PMySqlStmt mysql_stmt_init(PMySqlCon con) override; \
  int32_t mysql_stmt_prepare(PMySqlStmt stmt, const std::string& query, uint32_t length) override; \
  uint32_t mysql_stmt_param_count(PMySqlStmt stmt) override; \
  uint32_t mysql_stmt_field_count(PMySqlStmt stmt) override; \
  bool mysql_stmt_close(PMySqlStmt stmt) override; \
  bool mysql_stmt_free_result(PMySqlStmt stmt) override; \
  uint32_t mysql_stmt_errno(PMySqlStmt stmt) override; \
  std::string mysql_stmt_error(PMySqlStmt stmt) override; \
  int32_t mysql_stmt_fetch(PMySqlStmt stmt) override; \
  bool mysql_stmt_send_long_data(PMySqlStmt stmt, uint32_t param, const char* data, unsigned long length) override; \
  PMySqlRes mysql_stmt_result_metadata(PMySqlStmt stmt) override; \
  PMySqlRes mysql_stmt_param_metadata(PMySqlStmt stmt) override; \
  uint64_t mysql_stmt_affected_rows(PMySqlStmt stmt) override; \
  bool mysql_more_results(PMySqlCon con) override; \
  int32_t mysql_next_result(PMySqlCon con) override; \
  std::string mysql_sqlstate(PMySqlCon con) override; \
  std::string mysql_stmt_sqlstate(PMySqlStmt stmt) override; \
  int32_t mysql_stmt_next_result(PMySqlStmt stmt) override; \
  void CheckMySQLLib() override; \
  TMYSQL_FIELD _mysql_fetch_field_direct(PMySqlRes result, uint32_t column, bool use_unicode) override; \
  bool _mysql_fetch_value_is_null(PMySqlRow row, uint32_t column) override; \
  const char* _mysql_fetch_value_ptr(PMySqlRes result, PMySqlRow row, uint32_t column) override; \
  void _mysql_fetch_value_to_buff(PMySqlRow row, uint32_t column, char* buffer, int offset, int length) override; \
  void _mysql_fetch_value_to_buff(PMySqlRow row, uint32_t column, void* buffer, int length) override; \
  void _mysql_fetch_value_to_str(PMySqlRow row, uint32_t column, char* buffer, int offset, int length) override; \
  void _mysql_fetch_value_to_str(PMySqlRow row, uint32_t column, void* buffer, int length) override; \
  const char* _mysql_fetch_value_arr(PMySqlRow row, uint32_t column, int& offset) override; \
  std::string _mysql_fetch_value_str(PMySqlRow row, uint32_t column) override; \
  int32_t _mysql_stmt_execute(PMySqlStmt stmt, const TParamDescs& params, bool use_unicode) override; \
  bool _mysql_stmt_bind_result(PMySqlStmt stmt, TMYSQL_BINDS& binds) override; \
  uint32_t _mysql_server_status(PMySqlCon con) override;
