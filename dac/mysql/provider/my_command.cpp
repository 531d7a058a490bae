#include "dac/mysql/provider/my_command.h"

#include <algorithm>
#include <memory>

#include "dac/core/server/messages.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/provider/my_connection.h"
#include "dac/mysql/provider/my_parser.h"
#include "dac/mysql/provider/my_property_codes.h"
#include "dac/mysql/provider/my_sql_literals.h"
#include "dac/store/blob/compressed_blob.h"
#include "dac/store/record/data_types.h"
#include "dac/store/runtime/string_builder.h"
#include "platform/code_page.h"

namespace dac {

DAC_DEFINE_CLASS(TMySQLCommand, TDKCommand, ::dac::TMetaClassOf<TMySQLCommand>)

namespace {

// The texts between the "?" placeholders of a statement: strings, quoted
// names and comments hide theirs.
std::vector<std::string> SplitAtPlaceholders(const std::string& sql) {
  auto parser = MakeParser<TMyParser>(sql);
  parser->SetOmitBlank(false);
  parser->SetOmitComment(true);
  parser->SetQuotedString(true);
  std::vector<std::string> pieces;
  size_t start = 0;
  std::string lexem;
  while (const int code = parser->GetNext(lexem)) {
    if (code != LexemSymbol || lexem != "?") continue;
    const size_t mark = static_cast<size_t>(parser->CurrPos() - 1);
    pieces.push_back(sql.substr(start, mark - start));
    start = mark + 1;
  }
  pieces.push_back(sql.substr(start));
  return pieces;
}

}  // namespace

TMySQLCommand::TMySQLCommand() = default;

TMySQLCommand::~TMySQLCommand() {
  try {
    Unprepare();
  } catch (...) {
  }
}

TMySQLConnection& TMySQLCommand::Connection() const {
  DAC_ASSERT(my_connection_ != nullptr, "The command has no connection");
  return *my_connection_;
}

TMySQLConnection& TMySQLCommand::OpenConnection() const {
  TMySQLConnection& connection = Connection();
  // A closed connection has no session to hand to the API.
  if (!connection.GetHandle()) DatabaseError(LoadResString(SConnectionIsClosed), component_);
  return connection;
}

bool TMySQLCommand::UseUnicode() const { return my_connection_ && my_connection_->GetUseUnicode(); }

// ---- checks ----

void TMySQLCommand::Check(const void* result) { Connection().Check(result, GetComponent()); }

void TMySQLCommand::Check(int32_t result) { Connection().Check(result, GetComponent()); }

void TMySQLCommand::Check() { Connection().Check(GetComponent()); }

void TMySQLCommand::CheckStmt(int32_t result) { Connection().CheckStmt(stmt_, result, GetComponent()); }

// ---- text and connection ----

void TMySQLCommand::SetConnection(TDKConnection* value) {
  if (value == my_connection_) return;
  TDKCommand::SetConnection(value);
  my_connection_ = dynamic_cast<TMySQLConnection*>(value);
  DAC_ASSERT(value == nullptr || my_connection_ != nullptr, "Not a MySQL connection");
}

void TMySQLCommand::SetSQL(const std::string& value) {
  TDKCommand::SetSQL(value);
  if (!keep_positions_) param_positions_.clear();
  pieces_.clear();
}

// ---- preparing ----

void TMySQLCommand::Prepare() {
  if (prepared_) return;
  TMySQLConnection& connection = OpenConnection();
  TMySQLAPI& api = connection.GetAPI();
  stmt_ = api.mysql_stmt_init(connection.GetHandle());
  Check(stmt_);
  try {
    if (connection.GetIsClient41()) {
      const uint32_t timeout = static_cast<uint32_t>(std::max(command_timeout_, 0));
      Check(api.mysql_options(connection.GetHandle(), MYSQL_OPT_READ_TIMEOUT, &timeout));
      Check(api.mysql_options(connection.GetHandle(), MYSQL_OPT_WRITE_TIMEOUT, &timeout));
    }
    const std::string text = UseUnicode() ? plat::AnsiToUtf8(sql_) : sql_;
    CheckStmt(api.mysql_stmt_prepare(stmt_, text, static_cast<uint32_t>(text.size())));
  } catch (...) {
    api.mysql_stmt_close(std::exchange(stmt_, nullptr));
    throw;
  }
  prepared_ = true;
  TDKCommand::Prepare();
}

void TMySQLCommand::Unprepare() {
  if (!prepared_ || !stmt_) return;
  Connection().GetAPI().mysql_stmt_close(std::exchange(stmt_, nullptr));
  TDKCommand::Unprepare();
  prepared_ = false;
}

// ---- executing ----

void TMySQLCommand::Execute(int) {
  if (cursor_state_ != csInactive && cursor_state_ != csPrepared) return;
  TMySQLConnection& connection = OpenConnection();
  prev_count_ = false;
  const TCursorState old_state = cursor_state_;
  connection.GetAPI().SetTimeout(connection.GetHandle(), static_cast<uint32_t>(std::max(command_timeout_, 0)));
  // A procedure call ends with a status of its own, read with its last result.
  if (connection.GetHandle()) connection.GetAPI()._mysql_set_stored_proc(connection.GetHandle(), is_stored_proc_);
  {
    plat::CriticalSectionGuard guard(lock_);
    executing_ = true;
    break_requested_ = false;
  }
  cursor_state_ = csExecuting;
  const auto done = [this] {
    plat::CriticalSectionGuard guard(lock_);
    executing_ = false;
  };
  try {
    InternalExecute();
    done();
  } catch (...) {
    done();
    if (cursor_state_ != csInactive) cursor_state_ = old_state;
    if (after_execute_) after_execute_(false);
    if (break_requested_) Abort();
    throw;
  }
  if (after_execute_) after_execute_(true);
}

void TMySQLCommand::InternalExecute() {
  if (prepared_) {
    ExecutePrepared();
  } else {
    ExecuteText();
  }
}

void TMySQLCommand::ExecuteText() {
  TMySQLConnection& connection = Connection();
  DAC_ASSERT(connection.GetConnected(), "The command's connection is closed");
  TMySQLAPI& api = connection.GetAPI();
  const PMySqlCon handle = connection.GetHandle();
  if (!open_next_) {
    const bool plain = params_.Count() == 0 || sql_.find('?') == std::string::npos;
    const std::string text = plain ? (UseUnicode() ? plat::AnsiToUtf8(sql_) : sql_) : BuildFinalSQL();
    if (native_sql_) native_sql_(plain ? sql_ : (UseUnicode() ? plat::Utf8ToAnsi(text) : text));
    Check(api.mysql_real_query(handle, text, static_cast<uint32_t>(text.size())));
  }
  prev_rows_affected_ = rows_affected_;
  rows_affected_ = CalcRowsAffected();
  if (!result_wanted_) {
    DrainResults();
    // Nothing is left to fetch: the next Execute must run again.
    cursor_state_ = csInactive;
    return;
  }
  if (open_next_) return;
  DAC_ASSERT(sql_result_ == nullptr, "FCommand.FSQLResult must be nil");
  sql_result_ = api.mysql_use_result(handle);
  Check();
}

void TMySQLCommand::DrainResults() {
  TMySQLConnection& connection = Connection();
  TMySQLAPI& api = connection.GetAPI();
  const PMySqlCon handle = connection.GetHandle();
  const auto drain_one = [&] {
    if (PMySqlRes result = api.mysql_use_result(handle)) {
      while (api.mysql_fetch_row(result)) {
      }
      // An error may come in place of a row.
      const bool failed = api.mysql_errno(handle) != 0;
      if (failed) {
        try {
          Check();
        } catch (...) {
          api.mysql_free_result(result);
          throw;
        }
      }
      api.mysql_free_result(result);
    }
  };
  drain_one();
  if (!connection.GetIsClient41()) return;
  int32_t next = 0;
  while ((next = api.mysql_next_result(handle)) == 0) drain_one();
  if (next > 0) Check();
}

void TMySQLCommand::ExecutePrepared() {
  // A bound double goes as its bits: NaN and infinity are refused as in SQL text.
  for (int i = 0; i < params_.Count(); ++i) {
    const TParamDesc& param = *params_.Items(i);
    if (param.GetDataType() == dtFloat && !param.GetNull() && param.GetParamType() != pdOutput &&
        param.GetParamType() != pdResult)
      RefuseNonFinite(param.GetValue().AsDouble());
  }
  TMySQLAPI& api = Connection().GetAPI();
  CheckStmt(api._mysql_stmt_execute(stmt_, params_, UseUnicode()));
  prev_rows_affected_ = rows_affected_;
  rows_affected_ = CalcRowsAffected();
  if (result_wanted_) {
    // The description of the last execution (or of Prepare) gives way.
    if (sql_result_) api.mysql_free_result(std::exchange(sql_result_, nullptr));
    sql_result_ = api.mysql_stmt_result_metadata(stmt_);
    Check();
  } else {
    api.mysql_stmt_free_result(stmt_);
    cursor_state_ = csPrepared;
  }
}

int32_t TMySQLCommand::CalcRowsAffected() {
  TMySQLConnection& connection = Connection();
  TMySQLAPI& api = connection.GetAPI();
  uint64_t rows = 0;
  uint32_t fields = 0;
  if (prepared_) {
    rows = api.mysql_stmt_affected_rows(stmt_);
    fields = api.mysql_stmt_field_count(stmt_);
  } else {
    rows = api.mysql_affected_rows(connection.GetHandle());
    fields = api.mysql_field_count(connection.GetHandle());
  }
  cursor_state_ = fields != 0 ? csExecuted : csInactive;
  return static_cast<int32_t>(rows);
}

// ---- the final text ----

int32_t TMySQLCommand::BuilderCapacity() const {
  int64_t sizes = 0;
  for (int i = 0; i < params_.Count(); ++i) sizes += std::max(params_.Items(i)->GetSize(), 0);
  return static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(sql_.size()) + 2 * sizes, 1 << 30));
}

std::string TMySQLCommand::BuildFinalSQL() {
  StringBuilder sql(std::max(BuilderCapacity(), 16));
  const TMySQLEscaping escaping = Connection().GetEscaping();
  if (param_positions_.empty()) {
    AppendPieces(sql, escaping);
  } else {
    AppendPositions(sql, escaping);
  }
  return sql.ToString();
}

void TMySQLCommand::AppendPieces(StringBuilder& sql, const TMySQLEscaping& escaping) {
  if (pieces_.empty()) {
    pieces_ = SplitAtPlaceholders(sql_);
    if (UseUnicode())
      for (std::string& piece : pieces_) piece = plat::AnsiToUtf8(piece);
  }
  for (size_t i = 0; i < pieces_.size(); ++i) {
    sql.Append(pieces_[i]);
    if (i + 1 < pieces_.size()) AppendParam(sql, static_cast<int>(i), escaping);
  }
}

void TMySQLCommand::AppendPositions(StringBuilder& sql, const TMySQLEscaping& escaping) {
  if (!is_stored_proc_)
    DAC_ASSERT(static_cast<int>(param_positions_.size()) == params_.Count(),
               "The placeholder positions do not match the parameters");
  const auto append_text = [&](size_t from, size_t to) {
    const std::string text = sql_.substr(std::min(from, sql_.size()), to > from ? to - from : 0);
    sql.Append(UseUnicode() ? plat::AnsiToUtf8(text) : text);
  };
  size_t from = 0;
  for (size_t i = 0; i < param_positions_.size(); ++i) {
    const int32_t position = param_positions_[i];
    // A position outside the text would make the statement of whatever
    // lies around it: refuse it.
    if (position < 1 || static_cast<size_t>(position) > sql_.size() || static_cast<size_t>(position) <= from)
      DatabaseError("Wrong placeholder position " + std::to_string(position), component_);
    append_text(from, static_cast<size_t>(position) - 1);
    AppendParam(sql, static_cast<int>(i), escaping);
    from = static_cast<size_t>(position);
  }
  append_text(from, sql_.size());
}

TParamDesc* TMySQLCommand::ParamFor(int placeholder) const {
  if (is_stored_proc_) {
    // A built call sets its INOUT variables first, then passes its inputs.
    std::vector<TParamDesc*> in_out;
    std::vector<TParamDesc*> in;
    for (int i = 0; i < params_.Count(); ++i) {
      TParamDesc* param = params_.Items(i);
      if (param->GetParamType() == pdInputOutput) in_out.push_back(param);
      if (param->GetParamType() == pdInput) in.push_back(param);
    }
    const size_t k = static_cast<size_t>(placeholder);
    if (k < in_out.size()) return in_out[k];
    return k - in_out.size() < in.size() ? in[k - in_out.size()] : nullptr;
  }
  int index = -1;
  for (int i = 0; i < params_.Count(); ++i) {
    if (params_.Items(i)->GetParamType() == pdResult) continue;
    if (++index == placeholder) return params_.Items(i);
  }
  return nullptr;
}

void TMySQLCommand::AppendParam(StringBuilder& sql, int placeholder, const TMySQLEscaping& escaping) {
  TParamDesc* param = ParamFor(placeholder);
  // A placeholder without a parameter would leave the text broken.
  if (!param) DatabaseError("No value for the parameter of placeholder " + std::to_string(placeholder + 1), component_);
  const bool compress = compress_blob_mode_ == cbServer || compress_blob_mode_ == cbClientServer;
  AppendValueToSQL(sql, param->GetDataType(), param->GetValue(), param->GetNull(), UseUnicode(), compress,
                   Connection().GetServerPrimaryVer(), escaping);
}

// ---- breaking off ----

void TMySQLCommand::BreakExec() noexcept {
  try {
    plat::CriticalSectionGuard guard(lock_);
    if (!executing_) return;
    TMySQLConnection& running = Connection();
    TMySQLConnection killer;
    killer.Assign(running);
    // The second session's errors stay here: its failure only leaves the
    // statement running to its end, and nothing may reach the components
    // from this thread.
    killer.SetOnError(nullptr);
    killer.Connect("");
    // The statement ends; the session, with its variables, temporary tables
    // and transaction, stays.
    const std::string kill = "KILL QUERY " + std::to_string(running.GetAPI().mysql_thread_id(running.GetHandle()));
    if (killer.GetAPI().mysql_real_query(killer.GetHandle(), kill, static_cast<uint32_t>(kill.size())) == 0)
      break_requested_ = true;
  } catch (...) {
    // The statement may have ended meanwhile, or the second session was refused.
  }
}

void TMySQLCommand::CreateProcCall(const std::string& name) {
  SetSQL(Connection().CreateProcCall(false, params_, name, false));
}

// ---- properties ----

bool TMySQLCommand::SetProp(int prop, const Variant& value) {
  switch (prop) {
    case prParamCheck:
      return true;
    case prMyCommandTimeout:
      command_timeout_ = value.AsInt32();
      return true;
    case prMyPrevCount:
      prev_count_ = value.AsBoolean();
      return true;
    case prMyParamPosition:
      param_positions_.push_back(value.AsInt32());
      return true;
    case prMyKeepParamPositions:
      keep_positions_ = value.AsBoolean();
      if (keep_positions_) param_positions_.clear();
      return true;
    default:
      return TDKCommand::SetProp(prop, value);
  }
}

bool TMySQLCommand::GetProp(int prop, Variant& value) {
  switch (prop) {
    case prParamCheck:
      value = false;
      return true;
    case prRowsProcessed: {
      if (prev_count_) DAC_ASSERT(is_stored_proc_, "The previous count belongs to a procedure call");
      const int32_t rows = prev_count_ ? prev_rows_affected_ : rows_affected_;
      value = rows == -1 ? 0 : rows;
      return true;
    }
    case prMyPrevCount:
      value = prev_count_;
      return true;
    default:
      return TDKCommand::GetProp(prop, value);
  }
}

}  // namespace dac
