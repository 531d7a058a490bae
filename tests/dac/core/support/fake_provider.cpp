#include "tests/dac/core/support/fake_provider.h"

#include "dac/core/server/da_errors.h"
#include "dac/framework/classes/database_error.h"

namespace dac::test {

DAC_DEFINE_CLASS(FakeConnection, TDKConnection, TMetaClassOf<FakeConnection>)
DAC_DEFINE_CLASS(FakeCommand, TDKCommand, TMetaClassOf<FakeCommand>)

// ---- Server ----

std::string FakeServer::Key(const std::string& sql) {
  size_t end = sql.size();
  while (end > 0 && static_cast<unsigned char>(sql[end - 1]) <= ' ') --end;
  return sql.substr(0, end);
}

void FakeServer::ScriptError(const std::string& sql, int32_t code, std::string message) {
  std::vector<FakeAnswer>& answers = answers_[Key(sql)];
  if (answers.empty()) answers.emplace_back();
  for (FakeAnswer& answer : answers) {
    answer.error_code = code;
    answer.error_message = message;
  }
}

void FakeServer::ScriptSequence(const std::string& sql, std::vector<FakeAnswer> answers) {
  if (!answers.empty()) answers_[Key(sql)] = std::move(answers);
}

const FakeAnswer& FakeServer::AnswerFor(const std::string& sql) const {
  static const FakeAnswer kNone;
  auto found = answers_.find(Key(sql));
  return found == answers_.end() ? kNone : found->second.front();
}

FakeAnswer FakeServer::TakeAnswer(const std::string& sql) {
  auto found = answers_.find(Key(sql));
  if (found == answers_.end()) return {};
  std::vector<FakeAnswer>& answers = found->second;
  FakeAnswer answer = answers.front();
  if (answers.size() > 1) answers.erase(answers.begin());
  return answer;
}

void FakeServer::Record(const std::string& sql, std::vector<std::pair<std::string, Variant>> params) {
  statements_.push_back(Key(sql));
  executed_.push_back({Key(sql), std::move(params)});
}

bool FakeServer::AcceptConnect() {
  if (!up_) return false;
  if (failing_connects_ == 0) return true;
  --failing_connects_;
  return false;
}

bool FakeServer::TakeDrop(const std::string& sql) {
  auto found = drops_.find(Key(sql));
  if (found == drops_.end() || found->second == 0) return false;
  --found->second;
  return true;
}

// ---- Connection ----

FakeConnection::FakeConnection(std::shared_ptr<FakeServer> server) : server_(std::move(server)) {}

FakeConnection::~FakeConnection() {
  if (connected_) FakeConnection::Disconnect();
}

void FakeConnection::Connect(const std::string& connect_string) {
  ++calls.connect;
  if (connected_) return;
  if (!server_->AcceptConnect()) RaiseError(FakeServer::kCannotConnect, "Can't connect to the server", GetComponent());
  connected_ = true;
  TDKConnection::Connect(connect_string);
}

void FakeConnection::Disconnect() {
  ++calls.disconnect;
  connected_ = false;
}

void FakeConnection::StartTransaction() {
  ++calls.start_transaction;
  Run("BEGIN", GetComponent());
}

void FakeConnection::Commit() {
  ++calls.commit;
  Run("COMMIT", GetComponent());
}

void FakeConnection::Rollback() {
  ++calls.rollback;
  Run("ROLLBACK", GetComponent());
}

bool FakeConnection::CheckIsValid() {
  ++calls.check_is_valid;
  is_valid_ = connected_ && server_->IsUp() && valid_answer;
  return is_valid_;
}

void FakeConnection::Enlist(IDKTransactionSC* transaction) {
  ++calls.enlist;
  if (!enlist_supported) TDKConnection::Enlist(transaction);
  if (enlist_error != 0) RaiseError(enlist_error, "Enlisting failed", GetComponent());
}

void FakeConnection::UnEnlist(IDKTransactionSC* transaction) {
  ++calls.unenlist;
  if (!enlist_supported) TDKConnection::UnEnlist(transaction);
}

bool FakeConnection::SetProp(int prop, const Variant& value) {
  props_set.emplace_back(prop, value);
  return TDKConnection::SetProp(prop, value);
}

FakeAnswer FakeConnection::Run(const std::string& sql, TComponent* component,
                               std::vector<std::pair<std::string, Variant>> params) {
  DAC_ASSERT(connected_, "Statement on a closed connection");
  if (!server_->IsUp() || server_->TakeDrop(sql))
    RaiseError(FakeServer::kLostConnection, "Lost connection to the server", component);
  server_->Record(sql, std::move(params));
  FakeAnswer answer = server_->TakeAnswer(sql);
  if (answer.error_code != 0) RaiseError(answer.error_code, answer.error_message, component);
  return answer;
}

void FakeConnection::RaiseError(int32_t code, const std::string& message, TComponent* component) {
  EDAError error(code, message);
  error.SetComponent(component);
  bool fail = true;
  if (GetOnError()) DoError(error, fail);
  if (fail) throw error;
  Abort();
}

// ---- Command ----

void FakeCommand::Prepare() {
  prepared_ = true;
  TDKCommand::Prepare();
}

void FakeCommand::Unprepare() {
  prepared_ = false;
  TDKCommand::Unprepare();
}

void FakeCommand::Execute(int iters) {
  if (cursor_state_ != csInactive && cursor_state_ != csPrepared) return;
  auto* connection = dynamic_cast<FakeConnection*>(connection_);
  DAC_ASSERT(connection != nullptr, "A fake command runs on a fake connection");
  const TCursorState before = cursor_state_;
  Record(iters);
  executing_ = true;
  cursor_state_ = csExecuting;
  try {
    if (while_running) while_running();
    std::vector<std::pair<std::string, Variant>> bound;
    for (const FakeExecution::Param& param : executions.back().params) {
      bound.emplace_back(param.name, param.is_null ? Variant::Null() : param.value);
    }
    const FakeAnswer answer = connection->Run(sql_, component_, std::move(bound));
    rows_affected_ = answer.rows_affected;
    cursor_state_ = answer.rows.empty() && answer.columns.empty() ? csInactive : csExecuted;
    executing_ = false;
    if (on_answer) on_answer(answer);
  } catch (...) {
    executing_ = false;
    if (cursor_state_ != csInactive) cursor_state_ = before;
    if (after_execute_) after_execute_(false);
    throw;
  }
  if (after_execute_) after_execute_(true);
}

void FakeCommand::Record(int iters) {
  FakeExecution execution{sql_, iters, {}};
  for (int i = 0; i < params_.Count(); ++i) {
    const TParamDesc* param = params_.Items(i);
    execution.params.push_back({param->GetName(), param->GetDataType(), param->GetParamType(), param->GetSize(),
                                param->GetValue(), param->GetNull()});
  }
  executions.push_back(std::move(execution));
}

bool FakeCommand::GetProp(int prop, Variant& value) {
  if (prop == prParamCheck) {
    value = describes_params;
    return true;
  }
  if (prop != prRowsProcessed) return TDKCommand::GetProp(prop, value);
  value = rows_affected_;
  return true;
}

}  // namespace dac::test
