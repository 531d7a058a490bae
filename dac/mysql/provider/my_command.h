// TMySQLCommand: one SQL text run on a TMySQLConnection. Unprepared, the
// parameter values are written into the text as SQL literals at its "?"
// placeholders and the text goes out as a query; prepared, a server-side
// statement runs with the parameters bound. It records the rows affected,
// leaves a result for its record set (or reads away every result when none
// is wanted), and can be broken off from another thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dac/core/server/command.h"
#include "dac/mysql/client/api/mysql_api.h"
#include "dac/mysql/provider/my_sql_literals.h"
#include "platform/critical_section.h"

namespace dac {

class StringBuilder;
class TMySQLConnection;

using TParamPositions = std::vector<int32_t>;
// The owner reads the OUT values of a procedure call back into its parameters.
using TReadParamsProc = std::function<void()>;
// Hears the final text of each execution as it goes to the server.
using TNativeSQLProc = std::function<void(const std::string& sql)>;

class TMySQLCommand : public TDKCommand {
  DAC_DECLARE_CLASS();

 public:
  TMySQLCommand();
  ~TMySQLCommand() override;

  // A server statement for the text; a failure leaves none behind.
  void Prepare() override;
  void Unprepare() override;
  bool GetPrepared() const override { return prepared_; }
  // From csInactive or csPrepared only; any other state does nothing. A
  // statement broken off by BreakExec ends in EAbort.
  void Execute(int iters) override;
  void SetConnection(TDKConnection* value) override;
  // The placeholder positions go with the text unless kept.
  void SetSQL(const std::string& value) override;
  TCursorState GetCursorState() const override { return cursor_state_; }
  void SetCursorState(TCursorState value) override { cursor_state_ = value; }
  //   1016 CommandTimeout (set), 1026 the previous-count flag,
  //   1027 append a placeholder position (set), 1028 keep positions (set;
  //   true empties them), 13 rows affected (get; -1 reads 0), 11 ignored.
  bool SetProp(int prop, const Variant& value) override;
  bool GetProp(int prop, Variant& value) override;

  // The checks of API results, raising through the connection as EMyError
  // with the command's component.
  virtual void Check(const void* result);
  virtual void Check(int32_t result);
  virtual void Check();
  virtual void CheckStmt(int32_t result);

  // Rows affected by the last execution, and the cursor state it leaves:
  // csExecuted when it has columns, else csInactive.
  int32_t CalcRowsAffected();
  // From another thread: ends the running statement (KILL QUERY) through a
  // second session made like the command's, which keeps its session.
  // Nothing when no statement runs; never raises: a statement that cannot
  // be broken off runs to its end.
  void BreakExec() noexcept;
  // The text becomes the call of the stored procedure or function, over
  // the parameters as they are (dac/mysql/provider/my_proc_call.h).
  void CreateProcCall(const std::string& name);

  TMySQLConnection* GetMySQLConnection() const { return my_connection_; }
  int32_t GetCommandTimeout() const { return command_timeout_; }
  void SetCommandTimeout(int32_t seconds) { command_timeout_ = seconds; }
  int32_t GetRowsAffected() const { return rows_affected_; }
  void SetRowsAffected(int32_t value) { rows_affected_ = value; }
  int32_t GetPrevRowsAffected() const { return prev_rows_affected_; }
  void SetPrevRowsAffected(int32_t value) { prev_rows_affected_ = value; }
  bool GetIsStoredProc() const { return is_stored_proc_; }
  void SetIsStoredProc(bool value) { is_stored_proc_ = value; }
  bool GetPrevCount() const { return prev_count_; }
  void SetPrevCount(bool value) { prev_count_ = value; }
  // The owner reads a result set: Execute leaves it in GetSQLResult.
  bool GetResultWanted() const { return result_wanted_; }
  void SetResultWanted(bool value) { result_wanted_ = value; }
  bool GetOpenNext() const { return open_next_; }
  void SetOpenNext(bool value) { open_next_ = value; }
  const TReadParamsProc& GetReadParams() const { return read_params_; }
  void SetReadParams(TReadParamsProc proc) { read_params_ = std::move(proc); }
  void SetOnNativeSQL(TNativeSQLProc proc) { native_sql_ = std::move(proc); }
  TParamPositions& ParamPositions() { return param_positions_; }
  PMySqlStmt GetStmt() const { return stmt_; }
  // The current result; the record set takes it over and frees it.
  PMySqlRes GetSQLResult() const { return sql_result_; }
  void SetSQLResult(PMySqlRes value) { sql_result_ = value; }
 private:
  // The text with the parameter values in place of its placeholders, as
  // it goes to the server (UTF-8 under UseUnicode).
  std::string BuildFinalSQL();
  TMySQLConnection& Connection() const;
  // The connection, which must be open (database error otherwise).
  TMySQLConnection& OpenConnection() const;
  bool UseUnicode() const;
  void InternalExecute();
  void ExecuteText();
  void ExecutePrepared();
  // Every result the statement gave, read and freed.
  void DrainResults();
  // Values are written for the session's escaping as it stands when the
  // text is built.
  void AppendPieces(StringBuilder& sql, const TMySQLEscaping& escaping);
  void AppendPositions(StringBuilder& sql, const TMySQLEscaping& escaping);
  void AppendParam(StringBuilder& sql, int placeholder, const TMySQLEscaping& escaping);
  // The parameter that fills the placeholder, in the order the text wants.
  TParamDesc* ParamFor(int placeholder) const;
  int32_t BuilderCapacity() const;

  TMySQLConnection* my_connection_ = nullptr;
  int32_t command_timeout_ = 0;
  TCursorState cursor_state_ = csInactive;
  int32_t rows_affected_ = -1;
  int32_t prev_rows_affected_ = -1;
  bool is_stored_proc_ = false;
  bool prev_count_ = false;
  bool result_wanted_ = false;
  TReadParamsProc read_params_;
  // The text between placeholders, computed once per text.
  std::vector<std::string> pieces_;
  TParamPositions param_positions_;
  bool keep_positions_ = false;
  bool prepared_ = false;
  PMySqlStmt stmt_ = nullptr;
  bool open_next_ = false;
  TNativeSQLProc native_sql_;
  PMySqlRes sql_result_ = nullptr;
  // Makes the test of the executing flag and the kill one step.
  plat::CriticalSection lock_;
  bool break_requested_ = false;
};

}  // namespace dac
