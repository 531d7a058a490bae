// A fake provider for the data-access tests: a scripted server, a server
// connection and a command over it. They fail the way a provider does: an
// EDAError naming the working component goes to the connection's error
// loop, and is raised only while Fail stays true (else the silent abort).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dac/core/server/command.h"
#include "dac/core/server/connection.h"
#include "dac/framework/values/variant.h"

namespace dac::test {

// A column of a result: its name, record-store data type (text length for
// dtString), the table it comes from and whether it is part of the key.
struct FakeColumn {
  std::string name;
  uint16_t data_type = 0;
  uint16_t length = 0;
  std::string table;
  bool key = false;
};

// What the server answers to one statement; a statement with columns
// returns a result (its rows in column order).
struct FakeAnswer {
  int32_t rows_affected = 0;
  std::vector<std::vector<Variant>> rows;
  int32_t error_code = 0;  // non-zero: the statement fails with error_message
  std::string error_message;
  std::vector<FakeColumn> columns;
};

// A statement as it reached the server, with the values bound to it in order.
struct FakeStatement {
  std::string sql;
  std::vector<std::pair<std::string, Variant>> params;  // a null value is Null
};

// The server every fake connection of a test talks to. Texts are matched
// without their trailing blanks and line ends.
class FakeServer {
 public:
  // The error of a lost session; a provider treats it as fatal.
  static constexpr int32_t kLostConnection = 2013;
  // The error of a failed connect.
  static constexpr int32_t kCannotConnect = 2003;

  // The answer to every later execution of exactly this text.
  void Script(const std::string& sql, FakeAnswer answer) { answers_[Key(sql)] = {std::move(answer)}; }
  void ScriptError(const std::string& sql, int32_t code, std::string message);
  // Answers for the runs of this text in turn: the table changes between
  // reads. The last one stays for every later run.
  void ScriptSequence(const std::string& sql, std::vector<FakeAnswer> answers);
  // The scripted answer the next run gets; no rows and no error for a text without one.
  const FakeAnswer& AnswerFor(const std::string& sql) const;
  // The answer of one run (the sequence moves on).
  FakeAnswer TakeAnswer(const std::string& sql);

  // Down: connects fail, and statements fail with kLostConnection.
  void SetUp(bool up) { up_ = up; }
  bool IsUp() const { return up_; }
  // The next count connects fail even while the server is up.
  void FailConnects(int count) { failing_connects_ = count; }
  // Counts one connect; false when it is to fail.
  bool AcceptConnect();
  // The next count runs of exactly this text lose the connection.
  void DropConnectionOn(const std::string& sql, int count = 1) { drops_[Key(sql)] += count; }
  // Counts one run of the text; true when it is to lose the connection.
  bool TakeDrop(const std::string& sql);

  // Every statement that reached the server, in order, without and with its values.
  const std::vector<std::string>& Statements() const { return statements_; }
  const std::vector<FakeStatement>& Executed() const { return executed_; }
  void Record(const std::string& sql, std::vector<std::pair<std::string, Variant>> params = {});
  void ClearRecords() {
    statements_.clear();
    executed_.clear();
  }

 private:
  static std::string Key(const std::string& sql);

  std::map<std::string, std::vector<FakeAnswer>> answers_;
  std::map<std::string, int> drops_;
  std::vector<std::string> statements_;
  std::vector<FakeStatement> executed_;
  bool up_ = true;
  int failing_connects_ = 0;
};

struct FakeConnectionCalls {
  int connect = 0;
  int disconnect = 0;
  int start_transaction = 0;
  int commit = 0;
  int rollback = 0;
  int check_is_valid = 0;
  int enlist = 0;
  int unenlist = 0;
};

class FakeConnection : public TDKConnection {
  DAC_DECLARE_CLASS();

 public:
  explicit FakeConnection(std::shared_ptr<FakeServer> server = std::make_shared<FakeServer>());
  ~FakeConnection() override;

  void Connect(const std::string& connect_string) override;
  void Disconnect() override;
  // BEGIN, COMMIT and ROLLBACK on the server.
  void StartTransaction() override;
  void Commit() override;
  void Rollback() override;
  bool CheckIsValid() override;
  // Counted; with enlist_supported off, the base's refusal.
  void Enlist(IDKTransactionSC* transaction) override;
  void UnEnlist(IDKTransactionSC* transaction) override;
  bool SetProp(int prop, const Variant& value) override;

  // Runs one statement with its bound values: the server's answer, or its
  // error raised as a provider raises it.
  FakeAnswer Run(const std::string& sql, TComponent* component,
                 std::vector<std::pair<std::string, Variant>> params = {});
  // The provider's error path.
  [[noreturn]] void RaiseError(int32_t code, const std::string& message, TComponent* component);

  FakeServer& Server() { return *server_; }
  const std::shared_ptr<FakeServer>& SharedServer() const { return server_; }

  FakeConnectionCalls calls;
  // Every property set, in order, handled or not.
  std::vector<std::pair<int, Variant>> props_set;
  // What CheckIsValid answers while connected to a server that is up.
  bool valid_answer = true;
  bool enlist_supported = true;
  // Enlisting fails with this error while it is non-zero.
  int32_t enlist_error = 0;

 private:
  std::shared_ptr<FakeServer> server_;
};

// One execution as the fake command saw it.
struct FakeExecution {
  std::string sql;
  int iters = 0;
  struct Param {
    std::string name;
    uint16_t data_type;
    TParamDirection direction;
    int32_t size;
    Variant value;
    bool is_null;
  };
  std::vector<Param> params;
};

class FakeCommand : public TDKCommand {
  DAC_DECLARE_CLASS();

 public:
  bool GetPrepared() const override { return prepared_; }
  void Prepare() override;
  void Unprepare() override;
  // From csInactive or csPrepared only: records the execution, runs the SQL
  // on the connection's server (a result leaves the command csExecuted),
  // and tells the after-execute hook.
  void Execute(int iters) override;
  TCursorState GetCursorState() const override { return cursor_state_; }
  void SetCursorState(TCursorState value) override { cursor_state_ = value; }
  // 13: rows affected by the last execution as the server said (0 before the first); 11:
  // describes_params.
  bool GetProp(int prop, Variant& value) override;

  std::vector<FakeExecution> executions;
  // Whether the command says it describes its parameters itself.
  bool describes_params = false;
  // Called while a statement runs.
  std::function<void()> while_running;
  // Told the server's answer of a statement that ran, before the
  // after-execute hook (a record set takes its result here).
  std::function<void(const FakeAnswer&)> on_answer;

 private:
  void Record(int iters);

  bool prepared_ = false;
  TCursorState cursor_state_ = csInactive;
  int32_t rows_affected_ = 0;
};

}  // namespace dac::test
