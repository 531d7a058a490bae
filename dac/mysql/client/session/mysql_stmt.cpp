#include "dac/mysql/client/session/mysql_stmt.h"

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/session/mysql_result_set.h"
#include "dac/mysql/client/session/mysql_session.h"
#include "dac/mysql/client/wire/client_errors.h"
#include "dac/mysql/client/wire/statement_protocol.h"

namespace dac {

DAC_DEFINE_CLASS(TMySqlStmt, TObject, TMetaClass)

TMySqlStmt::TMySqlStmt(TMySqlSession* session) {
  DAC_ASSERT(session != nullptr, "statement without a session");
  link_ = session->GetLink();
}

TMySqlStmt::~TMySqlStmt() {
  try {
    Close();
  } catch (...) {
    // A destructor never throws; the server frees the statement with the connection.
  }
}

TMySqlSession* TMySqlStmt::GetSession() const { return link_ ? link_->session : nullptr; }

TMySqlSession& TMySqlStmt::LiveSession() const {
  TMySqlSession* session = GetSession();
  if (!session) throw EMySqlException(kCrServerLost);
  return *session;
}

TMySqlFieldInfos TMySqlStmt::ReadDefinitions(TMySqlSession& session, int count) {
  EndPacket end;
  TMySqlFieldInfos fields = session.ReadColumnDefinitions(count, end);
  session.Apply(end);
  return fields;
}

void TMySqlStmt::Prepare(const uint8_t* sql, int length) {
  TMySqlSession& session = LiveSession();
  // The server keeps a statement until it is closed: never two for one object.
  if (prepared_) Close();
  session.SimpleCommand(scPrepare, sql, false, length);
  const TMySqlNet& net = session.GetNet();
  const PrepareOk ok = ParsePrepareOk(net.GetData(), static_cast<size_t>(net.GetLength()));
  stmt_id_ = ok.statement_id;
  prepared_ = true;
  param_count_ = ok.param_count;
  field_count_ = ok.column_count;
  if (ok.param_count > 0) ReadDefinitions(session, ok.param_count);
  if (ok.column_count > 0) fields_info_ = ReadDefinitions(session, ok.column_count);
}

void TMySqlStmt::Execute(const TParamDescs& params, bool use_unicode) {
  TMySqlSession& session = LiveSession();
  if (!prepared_) throw EMySqlException(kCrNoPrepareStmt);
  DiscardResults();
  ExecuteRequest request;
  request.statement_id = stmt_id_;
  request.param_count = param_count_;
  request.params = &params;
  request.types_sent_last = &types_sent_;
  request.use_unicode = use_unicode;
  session.WriteCommand(scExecute);
  executed_as_ = session.GetCommandCount();
  PacketWriter out = session.GetNet().Writer();
  BuildExecute(out, request, types_staged_);
  session.GetNet().Send();
  // Only types the server has received count as sent.
  types_sent_.swap(types_staged_);
  session.ReadQueryResult();
  TakeResult(session);
}

void TMySqlStmt::TakeResult(TMySqlSession& session) {
  if (session.GetFieldCount() > 0) {
    field_count_ = session.GetFieldCount();
    session.Apply(ResultTaken{nullptr, &fields_info_});
    result_set_ = std::make_unique<TMySqlResultSet>(&session, fields_info_, field_count_,
                                                    std::make_unique<TMySqlBinds>(field_count_));
  }
  affected_rows_ = session.GetAffectedRows();
}

bool TMySqlStmt::ResultsPending(const TMySqlSession& session) const {
  return executed_as_ != 0 && session.GetCommandCount() == executed_as_ && session.MoreResults();
}

int TMySqlStmt::NextResult() {
  TMySqlSession& session = LiveSession();
  if (!prepared_) throw EMySqlException(kCrNoPrepareStmt);
  FreeResult();
  if (!ResultsPending(session)) return -1;
  session.ReadQueryResult();
  if (session.GetFieldCount() == 0) {
    // The status that ends a procedure call: no columns.
    field_count_ = 0;
    fields_info_.clear();
  }
  TakeResult(session);
  return 0;
}

void TMySqlStmt::DiscardResults() {
  for (;;) {
    try {
      if (NextResult() < 0) return;
    } catch (const EMySqlException& e) {
      // An error ends the results; the connection's own failure goes on.
      if (IsClientError(e.ErrorCode())) throw;
      return;
    }
  }
}

void TMySqlStmt::BindResult(std::unique_ptr<TMySqlBinds> binds) {
  if (!prepared_) throw EMySqlException(kCrNoPrepareStmt);
  if (field_count_ == 0) throw EMySqlException(kCrUnknownError);
  if (result_set_) result_set_->SetresultBind(std::move(binds));
}

int TMySqlStmt::Fetch(TMySqlBinds*& binds) {
  LiveSession();
  if (!result_set_) throw EMySqlException(kCrCommandsOutOfSync);
  return result_set_->Read(binds) ? 0 : kMySqlNoData;
}

void TMySqlStmt::FreeResult() {
  if (!result_set_) return;
  std::unique_ptr<TMySqlResultSet> result = std::move(result_set_);
  result->Clear();
}

void TMySqlStmt::Close() {
  TMySqlSession* session = GetSession();
  if (session && prepared_) {
    try {
      DiscardResults();
    } catch (const EMySqlException&) {
      // The connection failed: the close below meets the same failure.
    }
  }
  const bool was_prepared = prepared_;
  prepared_ = false;
  param_count_ = 0;
  field_count_ = 0;
  fields_info_.clear();
  types_sent_.clear();
  FreeResult();
  const uint32_t id = stmt_id_;
  stmt_id_ = 0;
  executed_as_ = 0;
  if (!session || !was_prepared) return;
  session->WriteCommand(scCloseStmt);
  session->GetNet().Writer().WriteInt32(static_cast<int32_t>(id));
  session->GetNet().Send();
}

}  // namespace dac
