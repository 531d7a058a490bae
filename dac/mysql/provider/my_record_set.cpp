#include "dac/mysql/provider/my_record_set.h"

#include "dac/core/server/messages.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/provider/my_connection.h"
#include "dac/mysql/provider/my_property_codes.h"
#include "dac/store/blob/blob.h"
#include "dac/store/blob/compressed_blob.h"
#include "dac/store/runtime/unaligned.h"

namespace dac {

DAC_DEFINE_CLASS(TMySQLRecordset, TDKRecordSet, ::dac::TDKRecordSetClassOf<TMySQLRecordset>)

TMySQLRecordset::TMySQLRecordset() { fetch_rows_ = 25; }

TMySQLRecordset::~TMySQLRecordset() {
  try {
    Close();
    UnPrepare();
  } catch (...) {
  }
  FreeCommand();
}

void TMySQLRecordset::CreateCommand() {
  auto command = std::make_unique<TMySQLCommand>();
  command->SetResultWanted(true);
  SetCommand(std::move(command));
}

void TMySQLRecordset::SetCommand(std::unique_ptr<TDKCommand> value) {
  command_ = dynamic_cast<TMySQLCommand*>(value.get());
  DAC_ASSERT(value == nullptr || command_ != nullptr, "Not a MySQL command");
  TDKRecordSet::SetCommand(std::move(value));
}

TMySQLCommand& TMySQLRecordset::Command() const {
  DAC_ASSERT(command_ != nullptr, "The record set has no command");
  return *command_;
}

TMySQLAPI& TMySQLRecordset::API() const { return Command().GetMySQLConnection()->GetAPI(); }

// ---- the connection's values ----

void TMySQLRecordset::RefreshConnectionValues() const {
  const TMySQLConnection* connection = command_ ? command_->GetMySQLConnection() : nullptr;
  if (!connection) return;
  is_client41_ = connection->GetIsClient41();
  use_unicode_ = connection->GetUseUnicode();
  numeric_type_ = connection->GetNumericType();
  server_primary_ver_ = connection->GetServerPrimaryVer();
  server_minor_ver_ = connection->GetServerMinorVer();
  session_charset_ = connection->GetSessionCharset();
}

const TDKTableInfoClass& TMySQLRecordset::GetTableInfoClass() const {
  RefreshConnectionValues();
  return TMyTableInfo::InfoClassFor(session_charset_);
}

bool TMySQLRecordset::GetIsClient41() const {
  RefreshConnectionValues();
  return is_client41_;
}

bool TMySQLRecordset::GetUseUnicode() const {
  RefreshConnectionValues();
  return use_unicode_;
}

TDANumericType TMySQLRecordset::GetNumericType() const {
  RefreshConnectionValues();
  return numeric_type_;
}

int32_t TMySQLRecordset::GetServerPrimaryVer() const {
  RefreshConnectionValues();
  return server_primary_ver_;
}

int32_t TMySQLRecordset::GetServerMinorVer() const {
  RefreshConnectionValues();
  return server_minor_ver_;
}

// ---- checks ----

void TMySQLRecordset::Check(const void* result) {
  DAC_ASSERT(Command().GetMySQLConnection() != nullptr, "The command has no connection");
  Command().GetMySQLConnection()->Check(result, GetComponent());
}

void TMySQLRecordset::Check(int32_t result) {
  DAC_ASSERT(Command().GetMySQLConnection() != nullptr, "The command has no connection");
  Command().GetMySQLConnection()->Check(result, GetComponent());
}

void TMySQLRecordset::Check() {
  DAC_ASSERT(Command().GetMySQLConnection() != nullptr, "The command has no connection");
  Command().GetMySQLConnection()->Check(GetComponent());
}

// ---- properties ----

bool TMySQLRecordset::SetProp(int prop, const Variant& value) {
  switch (prop) {
    case prMyFieldsAsString:
      fields_as_string_ = value.AsBoolean();
      return true;
    case prMyNullForZeroDate:
      null_for_zero_date_ = value.AsBoolean();
      return true;
    case prMyStoredProc:
      Command().SetIsStoredProc(value.AsBoolean());
      return true;
    case prMyEnableBoolean:
      enable_boolean_ = value.AsBoolean();
      return true;
    case prMyCreateConnection:
      create_connection_ = value.AsBoolean();
      return true;
    case prMyCommandTimeout:
      Command().SetCommandTimeout(value.AsInt32());
      return true;
    case prMyOpenNext:
      Command().SetOpenNext(value.AsBoolean());
      return true;
    case prMyUseHandler:
      use_handler_ = value.AsBoolean();
      return true;
    default:
      return TDKRecordSet::SetProp(prop, value);
  }
}

bool TMySQLRecordset::GetProp(int prop, Variant& value) {
  switch (prop) {
    case prMyOpenNext:
      value = Command().GetOpenNext();
      return true;
    case prMyMoreResults:
      value = result_state_ == rsMore;
      return true;
    default:
      return TDKRecordSet::GetProp(prop, value);
  }
}

// ---- state ----

bool TMySQLRecordset::RowsReturn() const {
  if (command_type_ != ctUnknown) return TDKRecordSet::RowsReturn();
  return Command().GetSQLResult() != nullptr || (Command().GetOpenNext() && sql_result_next_ != nullptr);
}

bool TMySQLRecordset::CanDisconnect() const {
  DAC_ASSERT(Command().GetMySQLConnection() != nullptr, "The command has no connection");
  const bool can = TDKRecordSet::CanDisconnect();
  if (!use_handler_) return can;
  return can && GetIsClient41() && Command().GetMySQLConnection()->GetIsServer41();
}

void TMySQLRecordset::Disconnect() {
  if (!GetPrepared()) FreeResult(false, true);
  RefreshConnectionValues();
  TDKRecordSet::Disconnect();
}

void TMySQLRecordset::SetToEnd() {
  FetchAll();
  TDKRecordSet::SetToEnd();
}

uint16_t TMySQLRecordset::GetCorrectedDataType(const TMySQLFieldDesc& field) const {
  const bool decimal = field.GetMySQLType() == mftDecimal || field.GetMySQLType() == mftNewDecimal;
  if (field.GetDataType() == dtFloat && decimal && GetServerPrimaryVer() >= 5) return dtBCD;
  return field.GetDataType();
}

void TMySQLRecordset::CreateComplexFields(void* rec_buf, bool with_blob) {
  TDKRecordSet::CreateComplexFields(rec_buf, with_blob);
  const bool compress = Command().GetCompressBlobMode() != cbNone;
  if (!with_blob || (!GetUseUnicode() && !compress)) return;
  for (int i = 0; i < GetFieldDescs().Count(); ++i) {
    TFieldDesc* field = GetFieldDescs().GetItems(i);
    const uint16_t type = field->GetDataType();
    if (field->GetFieldDescKind() != fdkData || field->HasParent() || !IsBlobFieldType(type)) continue;
    uint8_t* slot = static_cast<uint8_t*>(rec_buf) + field->GetOffset();
    if (compress) {
      FreeShared(TSharedObject::At(slot));
      auto* blob = new TCompressedBlob();
      blob->EnableRollback();
      StoreAt<void*>(slot, 0, blob->GetGCHandle());
    }
    static_cast<TBlob*>(TSharedObject::At(slot))->SetIsUnicode(GetUseUnicode() && type != dtBlob);
  }
}

// ---- preparing ----

void TMySQLRecordset::InternalPrepare() {
  if (!fetch_all_ && create_connection_) QuerySwapConnection();
  try {
    TDKRecordSet::InternalPrepare();
    DAC_ASSERT(Command().GetStmt() != nullptr, "The prepared command has no statement");
    command_type_ = API().mysql_stmt_field_count(Command().GetStmt()) != 0 ? ctCursor : ctStatement;
    Command().SetSQLResult(API().mysql_stmt_result_metadata(Command().GetStmt()));
    stmt_bound_ = false;
    stmt_exhausted_ = false;
  } catch (...) {
    try {
      InternalUnPrepare();
    } catch (...) {
    }
    throw;
  }
}

void TMySQLRecordset::InternalUnPrepare() {
  TMySQLCommand& command = Command();
  if (command.GetStmt()) {
    if (PMySqlRes result = command.GetSQLResult()) API().mysql_free_result(result);
    command.SetSQLResult(nullptr);
  }
  TDKRecordSet::InternalUnPrepare();
  command.SetCursorState(csInactive);
  command_type_ = ctUnknown;
  ReleaseSwapConnection(false);
}

// ---- the second connection ----

void TMySQLRecordset::QuerySwapConnection() {
  TMySQLCommand& command = Command();
  if (command.GetCursorState() == csExecuted || swap_connection_) return;
  TMySQLConnection* user = command.GetMySQLConnection();
  DAC_ASSERT(user != nullptr, "The command has no connection");
  if (!user->GetHandle()) DatabaseError(LoadResString(SConnectionIsClosed), GetComponent());
  user->GetAPI().SetTimeout(user->GetHandle(), static_cast<uint32_t>(std::max(command.GetCommandTimeout(), 0)));
  Check(user->GetAPI().mysql_ping(user->GetHandle()));
  TMySQLConnection* second = nullptr;
  if (user->GetOnGetConnection()) {
    DAC_ASSERT(static_cast<bool>(user->GetOnReturnConnection()), "A connection is taken that cannot be returned");
    second = user->GetOnGetConnection()();
  } else {
    swap_owned_ = std::make_unique<TMySQLConnection>();
    swap_owned_->Assign(*user);
    second = swap_owned_.get();
  }
  swap_connection_ = user;
  command.SetConnection(second);
  try {
    second->Connect("");
    if (user->GetInTransaction()) second->StartTransaction();
    second->SetIsSwapConnection(true);
  } catch (...) {
    ReleaseSwapConnection(true);
    throw;
  }
}

void TMySQLRecordset::ReleaseSwapConnection(bool killed) {
  TMySQLCommand& command = Command();
  TMySQLConnection* second = command.GetMySQLConnection();
  if (!swap_connection_ || !second) return;
  TMySQLConnection* user = std::exchange(swap_connection_, nullptr);
  command.SetConnection(user);
  try {
    if (second->GetInTransaction() && !killed && second->GetConnected()) second->Commit();
  } catch (...) {
    // The rows are read; the second connection goes whatever its end.
  }
  second->SetIsSwapConnection(false);
  if (user->GetOnReturnConnection() && !swap_owned_) {
    second->SetIsValid(!killed);
    user->GetOnReturnConnection()(second);
  } else {
    second->Disconnect();
    swap_owned_.reset();
  }
}

// ---- executing and results ----

void TMySQLRecordset::ExecCommand() {
  result_state_ = rsNone;
  if (!fetch_all_ && create_connection_) QuerySwapConnection();
  TMySQLCommand& command = Command();
  try {
    TDKRecordSet::ExecCommand();
  } catch (...) {
    if (!GetPrepared()) ReleaseSwapConnection(true);
    throw;
  }
  if (command.GetOpenNext() && command_type_ == ctUnknown && sql_result_next_) {
    TakeNextResult();
  } else if (GetPrepared()) {
    stmt_bound_ = false;
    stmt_exhausted_ = false;
  }
  if (command.GetSQLResult()) {
    command_type_ = ctCursor;
  } else {
    // A batch opens its first result with rows.
    command_type_ = ctStatement;
    FreeResult(true, true);
    if (sql_result_next_) {
      TakeNextResult();
      command_type_ = ctCursor;
    }
  }
  if (command_type_ != ctCursor) command.SetCursorState(csInactive);
}

void TMySQLRecordset::TakeNextResult() {
  TMySQLCommand& command = Command();
  command.SetSQLResult(std::exchange(sql_result_next_, nullptr));
  command.SetRowsAffected(rows_affected_next_);
  command.SetCursorState(csExecuted);
}

bool TMySQLRecordset::CutResult(PMySqlRes result) {
  TMySQLAPI& api = API();
  int read = 0;
  while (read < fetch_rows_ && api._mysql_fetch_row(result)) ++read;
  if (read < fetch_rows_) return false;
  DAC_ASSERT(swap_connection_ != nullptr, "A streamed result without a second connection");
  TMySQLConnection& second = *Command().GetMySQLConnection();
  const std::string kill = "KILL " + std::to_string(api.mysql_thread_id(second.GetHandle()));
  swap_connection_->GetAPI().mysql_real_query(swap_connection_->GetHandle(), kill,
                                              static_cast<uint32_t>(kill.size()));
  while (api._mysql_fetch_row(result)) {
  }
  return true;
}

void TMySQLRecordset::FreeResult(bool next_results, bool drain_rows) {
  null_row_.clear();
  bool released = false;
  bool killed = false;
  TMySQLCommand* command = command_;
  TMySQLConnection* connection = command ? command->GetMySQLConnection() : nullptr;
  if (command && GetPrepared() && command_type_ == ctCursor) {
    if (connection && !stmt_exhausted_ && command->GetCursorState() >= csExecuted) {
      TMySQLAPI& api = connection->GetAPI();
      const bool in_place = api._mysql_stmt_rows_in_place();
      // Any answer but a row ends the drain: an error has nothing more to give.
      for (;;) {
        PMySqlRow row = nullptr;
        const int32_t answer =
            in_place ? api._mysql_stmt_fetch(command->GetStmt(), row) : api.mysql_stmt_fetch(command->GetStmt());
        if (answer != 0 && answer != kMySqlDataTruncated) break;
      }
      stmt_exhausted_ = true;
    }
  } else if (!command || !connection || !connection->GetHandle()) {
    result_state_ = rsNoMore;
    command_type_ = ctUnknown;
    if (command) command->SetCursorState(csInactive);
  } else if (PMySqlRes result = command->GetSQLResult()) {
    TMySQLAPI& api = connection->GetAPI();
    if (!fetch_all_ && create_connection_ && may_kill_ && swap_connection_) {
      killed = CutResult(result);
    } else if (drain_rows) {
      while (api._mysql_fetch_row(result)) {
      }
    }
    if (GetIsClient41() && !killed && api.mysql_more_results(connection->GetHandle())) {
      result_state_ = rsMore;
    } else {
      result_state_ = rsNoMore;
    }
    api.mysql_free_result(result);
    command->SetSQLResult(nullptr);
    if (result_state_ == rsNoMore) {
      ReleaseSwapConnection(killed);
      released = true;
    }
  } else if (result_state_ != rsNoMore) {
    // Before the 4.1 protocol a statement has one result.
    result_state_ = GetIsClient41() ? rsMore : rsNoMore;
  }
  if (!released && next_results && result_state_ != rsNoMore && !GetPrepared() && GetIsClient41())
    MoveToNextResult(released, killed);
  if (command) {
    const TCursorState state = command->GetCursorState();
    if (state == csFetching || state == csFetchingAll) command->SetCursorState(csFetched);
  }
}

void TMySQLRecordset::MoveToNextResult(bool& released, bool killed) {
  TMySQLCommand& command = Command();
  TMySQLConnection& connection = *command.GetMySQLConnection();
  TMySQLAPI& api = connection.GetAPI();
  rows_affected_next_ = -2;
  while (result_state_ == rsMore && !sql_result_next_) {
    if (!api.mysql_more_results(connection.GetHandle())) {
      result_state_ = rsNoMore;
      break;
    }
    const int32_t answer = api.mysql_next_result(connection.GetHandle());
    if (answer > 0) {
      result_state_ = rsFailed;
      command.SetCursorState(csInactive);
      command_type_ = ctUnknown;
      Check(answer);
    }
    if (answer < 0) {
      result_state_ = rsNoMore;
      break;
    }
    command.SetPrevRowsAffected(rows_affected_next_ == -2 ? command.GetRowsAffected() : rows_affected_next_);
    rows_affected_next_ = command.CalcRowsAffected();
    sql_result_next_ = api.mysql_use_result(connection.GetHandle());
    Check();
  }
  if (result_state_ != rsMore) {
    ReleaseSwapConnection(killed);
    released = true;
  }
}

void TMySQLRecordset::DrainResults() {
  if (GetPrepared()) return FreeResult(false, true);
  do {
    FreeResult(true, true);
    if (sql_result_next_) TakeNextResult();
  } while (result_state_ == rsMore || Command().GetSQLResult());
}

void TMySQLRecordset::ReadPastLaterResults() {
  TMySQLCommand& command = Command();
  if (!GetPrepared() || !command.GetStmt() || command_type_ != ctCursor) return;
  Open();
  FetchAll();
  int32_t next = 0;
  while ((next = API().mysql_stmt_next_result(command.GetStmt())) == 0) {
  }
  if (next > 0) command.CheckStmt(next);
}

void TMySQLRecordset::OpenLastResult() {
  TMySQLCommand& command = Command();
  if (GetPrepared()) return ReadPastLaterResults();
  if (!command.GetSQLResult()) return;
  // Each close keeps what follows for the next open.
  const bool open_next = command.GetOpenNext();
  command.SetOpenNext(true);
  try {
    for (;;) {
      Open();
      FetchAll();
      if (!sql_result_next_) break;
      Close();
    }
  } catch (...) {
    command.SetOpenNext(open_next);
    // The rest of the results goes with the failed run.
    try {
      if (GetActive()) {
        Close();
      } else {
        DrainResults();
      }
    } catch (...) {
    }
    throw;
  }
  command.SetOpenNext(open_next);
}

// ---- opening and closing ----

void TMySQLRecordset::InternalOpen() {
  try {
    TDKRecordSet::InternalOpen();
  } catch (...) {
    try {
      FreeResult(false, true);
    } catch (...) {
    }
    throw;
  }
}

void TMySQLRecordset::InternalClose() {
  // Results left behind would keep the connection from its next command,
  // unless the next open is to take them.
  if (!Command().GetOpenNext()) {
    DrainResults();
  } else {
    FreeResult(true, true);
  }
  FreeFetchBlock();
  Command().SetCursorState(csInactive);
  if (!GetPrepared()) command_type_ = ctUnknown;
  // The next open reads its TIMESTAMP values afresh.
  for (int i = 0; i < GetFieldDescs().Count(); ++i) {
    auto* field = dynamic_cast<TMySQLFieldDesc*>(GetFieldDescs().GetItems(i));
    auto* table = field ? dynamic_cast<TMyTableInfo*>(field->GetTableInfo()) : nullptr;
    if (table && field->GetMySQLType() == mftTimestamp) table->SetMaxTimestamp(0);
  }
  TDKRecordSet::InternalClose();
}

}  // namespace dac
