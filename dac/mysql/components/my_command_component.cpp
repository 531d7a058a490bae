#include "dac/mysql/components/my_command_component.h"

#include "dac/core/da_param.h"
#include "dac/core/macros.h"
#include "dac/core/server/server_types.h"
#include "dac/mysql/components/my_connection_component.h"
#include "dac/mysql/provider/my_command.h"
#include "dac/mysql/provider/my_parser.h"
#include "dac/mysql/provider/my_property_codes.h"

namespace dac {

DAC_DEFINE_CLASS(TMyCommand, TCustomDASQL, TComponentClassOf<TMyCommand>)

TMyCommand::TMyCommand(TComponent* owner) : TCustomDASQL(owner) {}

void TMyCommand::Init() {
  TCustomDASQL::Init();
  SetAutoCommit(true);
  Macros().SetParserClass(TMyParser::ParserClass());
}

TMyCommand::~TMyCommand() {
  if (own_command_ && GetICommand() == own_command_.get()) TCustomDASQL::SetICommand(nullptr);
}

TCustomMyConnection* TMyCommand::GetConnection() const {
  return dynamic_cast<TCustomMyConnection*>(TCustomDASQL::GetConnection());
}

void TMyCommand::SetConnection(TCustomMyConnection* value) { TCustomDASQL::SetConnection(value); }

void TMyCommand::CreateICommand() {
  TCustomDASQL::CreateICommand();
  if (GetICommand()) {
    own_command_.reset();
    return;
  }
  // Without a connection the command still keeps the settings made meanwhile.
  auto command = std::make_unique<TMySQLCommand>();
  SetICommand(command.get());
  own_command_ = std::move(command);
}

void TMyCommand::SetICommand(TDKCommand* value) {
  command_ = dynamic_cast<TMySQLCommand*>(value);
  if (command_) {
    command_->SetProp(prMyCommandTimeout, command_timeout_);
    command_->SetReadParams([this] { ReadParams(); });
  }
  TCustomDASQL::SetICommand(value);
}

void TMyCommand::SetCommandTimeout(int32_t seconds) {
  if (seconds == command_timeout_) return;
  command_timeout_ = seconds;
  if (command_) command_->SetProp(prMyCommandTimeout, seconds);
}

void TMyCommand::AssignTo(TPersistent* dest) const {
  TCustomDASQL::AssignTo(dest);
  if (auto* other = dynamic_cast<TMyCommand*>(dest)) other->SetAfterExecute(GetAfterExecute());
}

void TMyCommand::InternalExecute(int iters) {
  TCustomDASQL::InternalExecute(iters);
  if (command_) command_->SetCursorState(csInactive);
}

void TMyCommand::DoAfterExecute(bool result) {
  if (result) {
    TCustomDAConnection* connection = UsedConnection();
    Variant id;
    if (connection && connection->GetIConnection() && connection->GetIConnection()->GetProp(prMyLastInsertId, id))
      insert_id_ = id.AsInt64();
  }
  TCustomDASQL::DoAfterExecute(result);
}

std::string TMyCommand::ParseSQL(const std::string& sql, TDAParams* params, const std::string& rename_prefix) {
  if (sql.find(':') == std::string::npos) {
    if (params) params->Clear();
    return sql;
  }
  return TCustomDASQL::ParseSQL(sql, params, rename_prefix);
}

void TMyCommand::ParseSQLParam(std::string& builder, TParser& parser, TDAParams* params, char left_quote,
                               char right_quote, const std::string& rename_prefix) {
  if (!params) return TCustomDASQL::ParseSQLParam(builder, parser, params, left_quote, right_quote, rename_prefix);
  const int count = params->Count();
  const size_t length = builder.size();
  TCustomDASQL::ParseSQLParam(builder, parser, params, left_quote, right_quote, rename_prefix);
  if (params->Count() != count + 1) return;
  DAC_ASSERT(builder.size() == length + 1, "A parameter took more than one character");
  // The 1-based position of the "?" just written.
  if (command_) command_->SetProp(prMyParamPosition, static_cast<int32_t>(length + 1));
}

std::unique_ptr<TParser> TMyCommand::CreateParser(const std::string& sql) {
  return TMyParser::ParserClass().Create(sql);
}

void TMyCommand::AssembleSQL() {
  if (!GetParamCheck() && !Designing()) return TCustomDASQL::AssembleSQL();
  // The positions recorded while the parameters are parsed go with the text.
  if (command_) command_->SetProp(prMyKeepParamPositions, true);
  try {
    TCustomDASQL::AssembleSQL();
  } catch (...) {
    if (command_) command_->SetProp(prMyKeepParamPositions, false);
    throw;
  }
  if (command_) command_->SetProp(prMyKeepParamPositions, false);
}

void TMyCommand::ReadParams() {
  Variant read;
  if (command_ && command_->GetProp(prMyPrevCount, read) && read.AsBoolean()) TCustomDASQL::ReadParams();
}

void TMyCommand::Prepare() {
  BeginConnection(true);
  try {
    if (TCustomMyConnection* connection = dynamic_cast<TCustomMyConnection*>(UsedConnection()))
      connection->CheckPrepareSupport();
    TCustomDASQL::Prepare();
  } catch (...) {
    EndConnection();
    throw;
  }
  EndConnection();
}

void TMyCommand::Execute(int iters) {
  BeginConnection(true);
  try {
    TCustomDASQL::Execute(iters);
  } catch (...) {
    EndConnection();
    throw;
  }
  EndConnection();
}

void TMyCommand::BreakExec() {
  DAC_ASSERT(command_ != nullptr, "The command has no server command");
  command_->BreakExec();
}

}  // namespace dac
