// One server-side prepared statement on a session: prepare, execute with
// binary parameters, fetch binary rows through a result set, free the
// result, close. The packets are statement_protocol.h's; this class does the
// I/O through its session.
//
// Lifetime: a statement may outlive its session, and its session's
// connection. Once that connection has closed, every operation raises 2013
// and Close sends nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dac/framework/classes/meta_class.h"
#include "dac/framework/values/bytes.h"
#include "dac/mysql/client/wire/client_records.h"
#include "dac/mysql/client/wire/mysql_binds.h"

namespace dac {

class TMySqlResultSet;
class TMySqlSession;
class TParamDescs;
struct SessionLink;

class TMySqlStmt : public TObject {
  DAC_DECLARE_CLASS();

 public:
  explicit TMySqlStmt(TMySqlSession* session);
  // Closes; never throws.
  ~TMySqlStmt() override;
  TMySqlStmt(const TMySqlStmt&) = delete;
  TMySqlStmt& operator=(const TMySqlStmt&) = delete;

  // Prepares the text, closing the statement prepared before, if any.
  void Prepare(const uint8_t* sql, int length);
  // 2029 before Prepare. Ends the rows and results of the last execute,
  // then executes with the parameters (use_unicode: text goes out as
  // UTF-8). A result comes with binds of its own, so rows can be fetched
  // without BindResult.
  void Execute(const TParamDescs& params, bool use_unicode);
  // The next result of the last execute (a procedure call sends several,
  // the last one its status), the rows of the current one read past: 0
  // when one was read (its columns, if any, replace the descriptions), -1
  // when none is left. A server error in its place raises.
  int NextResult();
  // 2029 before Prepare, 2000 for a statement without columns.
  void BindResult(std::unique_ptr<TMySqlBinds> binds);
  // 0 with the next row decoded into the result binds (binds names them),
  // kMySqlNoData after the last one; 2014 without rows of an execute.
  int Fetch(TMySqlBinds*& binds);
  // Ends the rows of the last execute (unread ones are drained) and drops them.
  void FreeResult();
  // Reads past what is left of the last execute's results (their server
  // errors are dropped: nobody asked for them), frees the server's
  // statement (scCloseStmt, without a reply) and forgets the result and the
  // descriptions; Prepare may follow.
  void Close();

  int32_t GetLastErrorCode() const { return last_error_code_; }
  void SetLastErrorCode(int32_t value) { last_error_code_ = value; }
  const std::string& GetLastError() const { return last_error_; }
  void SetLastError(const std::string& value) { last_error_ = value; }
  // Null once the connection it was prepared on has closed.
  TMySqlSession* GetSession() const;
  // The rows of the last execute; null when it gave none.
  TMySqlResultSet* GetResultSet() const { return result_set_.get(); }
  uint32_t GetStmtId() const { return stmt_id_; }
  bool GetPrepared() const { return prepared_; }
  int GetParamCount() const { return param_count_; }
  int GetFieldCount() const { return field_count_; }
  const TMySqlFieldInfos& GetFieldsInfo() const { return fields_info_; }
  int64_t GetAffectedRows() const { return affected_rows_; }

 private:
  // The session, while the connection lives; else 2013.
  TMySqlSession& LiveSession() const;
  // The column or parameter definitions that follow a prepare reply.
  TMySqlFieldInfos ReadDefinitions(TMySqlSession& session, int count);
  // The reply the session has just read, taken as this statement's result.
  void TakeResult(TMySqlSession& session);
  // True while further results of this statement's last execute wait on
  // the connection.
  bool ResultsPending(const TMySqlSession& session) const;
  // Reads past the rest of the last execute's results. Their server errors
  // are dropped; a failure of the connection raises.
  void DiscardResults();

  int32_t last_error_code_ = 0;
  std::string last_error_;
  std::shared_ptr<SessionLink> link_;
  std::unique_ptr<TMySqlResultSet> result_set_;
  uint32_t stmt_id_ = 0;
  bool prepared_ = false;
  int param_count_ = 0;
  int field_count_ = 0;
  TMySqlFieldInfos fields_info_;
  int64_t affected_rows_ = 0;
  // The session's command count when this statement last executed; 0 for never.
  uint64_t executed_as_ = 0;
  // Two bytes per parameter, as the server last received them, and as the
  // execute being sent leaves them.
  TBytes types_sent_;
  TBytes types_staged_;
};

}  // namespace dac
