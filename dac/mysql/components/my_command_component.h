// TMyCommand: the MySQL SQL component. It runs statements that return no
// rows on a MySQL connection component through a TMySQLCommand: ":name"
// parameters become "?" placeholders whose positions the command records,
// the command timeout goes down with the command, OUT values of a stored
// procedure call come back into the parameters, and the last insert id is
// kept after each successful run.
//
//   auto* command = MakeComponent<TMyCommand>(nullptr);
//   command->SetConnection(connection);
//   command->SQL().SetText("INSERT INTO t (a) VALUES (:a)");
//   command->ParamByName("a")->SetAsInteger(5);
//   command->Execute();
//   int64_t id = command->GetInsertId();
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dac/core/sql_component.h"

namespace dac {

class TCustomMyConnection;
class TMySQLCommand;

class TMyCommand : public TCustomDASQL {
  DAC_DECLARE_CLASS();

 public:
  explicit TMyCommand(TComponent* owner);
  // AutoCommit on and the MySQL lexer for the macros.
  void Init() override;

  TCustomMyConnection* GetConnection() const;
  void SetConnection(TCustomMyConnection* value);

  // A TMySQLCommand even without a connection.
  void CreateICommand() override;
  // Hands the command the timeout and this component's ReadParams.
  void SetICommand(TDKCommand* value) override;
  // The command object, or none.
  TMySQLCommand* GetMySQLCommand() const { return command_; }

  // Seconds; 0 waits without limit.
  int32_t GetCommandTimeout() const { return command_timeout_; }
  void SetCommandTimeout(int32_t seconds);
  // The id the server generated for the last successful run.
  int64_t GetInsertId() const { return insert_id_; }

  // A text without ":" stays as it is.
  std::string ParseSQL(const std::string& sql, TDAParams* params, const std::string& rename_prefix) override;
  using TCustomDASQL::ParseSQL;
  // With ParamCheck the placeholders' positions go to the command; without
  // it the text goes unparsed.
  void AssembleSQL() override;
  // Only when the command read OUT values of a procedure call.
  void ReadParams() override;
  // Refused by a client or server older than 4.1.
  void Prepare() override;
  void Execute(int iters) override;
  using TCustomDASQL::Execute;
  // From another thread: kills the running statement.
  void BreakExec();

 protected:
  ~TMyCommand() override;
  // The inherited copy; to another TMyCommand also AfterExecute.
  void AssignTo(TPersistent* dest) const override;
  // The inherited run; the command is left inactive.
  void InternalExecute(int iters) override;
  // On success the insert id, then the inherited report.
  void DoAfterExecute(bool result) override;
  void ParseSQLParam(std::string& builder, TParser& parser, TDAParams* params, char left_quote, char right_quote,
                     const std::string& rename_prefix) override;
  std::unique_ptr<TParser> CreateParser(const std::string& sql) override;

 private:
  bool Designing() const { return ComponentState().Contains(csDesigning); }

  TMySQLCommand* command_ = nullptr;
  int64_t insert_id_ = 0;
  int32_t command_timeout_ = 0;
  // The command while no connection makes one.
  std::unique_ptr<TMySQLCommand> own_command_;
};

}  // namespace dac
