// The connection component's local transactions and its connection-wide
// apply of cached updates.
#include "dac/core/connection_client.h"
#include "dac/core/connection_component.h"
#include "dac/core/server/connection.h"
#include "dac/core/server/da_errors.h"
#include "dac/core/server/messages.h"
#include "dac/core/trace/sql_monitor.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/data/dataset.h"

namespace dac {

namespace {

// Runs work until it ends without EFailOver: each EFailOver comes after the
// lost connection was restored.
template <typename Work>
void RepeatAfterFailOver(Work work) {
  for (;;) {
    try {
      work();
      return;
    } catch (const EFailOver&) {
    }
  }
}

}  // namespace

void TCustomDAConnection::CheckConnected() const {
  if (!GetConnected()) DatabaseError(LoadResString(SConnectionIsClosed), this);
}

void TCustomDAConnection::InternalStartTransaction() {
  iconnection_->StartTransaction();
  transaction_id_ = kLocalTransaction;
}

void TCustomDAConnection::StartTransaction() {
  const bool internal = options_->GetDisconnectedMode();
  if (internal) InternalConnect();
  try {
    CheckConnected();
    if (GetInTransaction()) DatabaseError(LoadResString(STransactionInProgress), this);
    const TDASQLMonitorClass& monitor = SQLMonitorClass();
    int32_t message_id = 0;
    monitor.TRStart(this, message_id, true);
    {
      TOperationScope operation(this, clTransStart);
      RepeatAfterFailOver([this] {
        InternalStartTransaction();
        transaction_id_ = kLocalTransaction;
        iconnection_->SetProp(prAutoCommit, false);
      });
    }
    monitor.TRStart(this, message_id, false);
  } catch (...) {
    // A start that failed does not keep the connection in use.
    if (internal) InternalDisconnect();
    throw;
  }
}

void TCustomDAConnection::Commit() { EndTransaction(true); }

void TCustomDAConnection::Rollback() { EndTransaction(false); }

void TCustomDAConnection::EndTransaction(bool commit) {
  CheckConnected();
  const bool had_transaction = GetInTransaction();
  const TDASQLMonitorClass& monitor = SQLMonitorClass();
  int32_t message_id = 0;
  if (commit) {
    monitor.TRCommit(this, message_id, true);
    iconnection_->Commit();
  } else {
    monitor.TRRollback(this, message_id, true);
    iconnection_->Rollback();
  }
  TransactionEnded(commit);
  iconnection_->SetProp(prAutoCommit, auto_commit_);
  if (commit) {
    monitor.TRCommit(this, message_id, false);
  } else {
    monitor.TRRollback(this, message_id, false);
  }
  if (had_transaction && options_->GetDisconnectedMode()) InternalDisconnect();
}

void TCustomDAConnection::TransactionEnded(bool committed) {
  if (transaction_id_.empty()) return;
  transaction_id_.clear();
  for (int i = 0; i < DataSetCount(); ++i) {
    if (IDAConnectionClient* client = ConnectionClientOf(DataSets(i))) client->ClientTransactionEnded(committed);
  }
}

void TCustomDAConnection::ApplyUpdates() {
  std::vector<TDataSet*> data_sets;
  for (int i = 0; i < DataSetCount(); ++i) data_sets.push_back(DataSets(i));
  ApplyUpdates(data_sets);
}

void TCustomDAConnection::ApplyUpdates(const std::vector<TDataSet*>& data_sets) {
  TOperationScope operation(this, clConnectionApply);
  RepeatAfterFailOver([&] { ApplyUpdatesOnce(data_sets); });
}

void TCustomDAConnection::ApplyUpdatesOnce(const std::vector<TDataSet*>& data_sets) {
  std::vector<IDAConnectionClient*> clients;
  for (TDataSet* data_set : data_sets) {
    IDAConnectionClient& client = DataSetClientOf(data_set);
    if (client.ClientConnection() != this)
      DatabaseError(FormatMessage(SUpdateWrongDB, {data_set->Name(), Name()}), this);
    if (client.ClientActive() && client.ClientCachedUpdates()) clients.push_back(&client);
  }
  StartTransaction();
  try {
    for (IDAConnectionClient* client : clients) client->ClientApplyUpdates();
    Commit();
  } catch (const EFailOver&) {
    throw;
  } catch (...) {
    // A lost connection took its transaction along, and its error matters.
    RollbackAfterFailedApply();
    throw;
  }
  for (IDAConnectionClient* client : clients) client->ClientCommitUpdates();
}

// The rows of the failed apply become pending again with the rollback. A
// rollback that fails too leaves the transaction's state unknown: the
// session goes, which ends the transaction for sure.
void TCustomDAConnection::RollbackAfterFailedApply() noexcept {
  try {
    if (GetConnected()) Rollback();
  } catch (...) {
    try {
      DisconnectGuarded();
    } catch (...) {
    }
  }
  TransactionEnded(false);
}

void TCustomDAConnection::MaintainImplicitTransaction(bool client_auto_commit) {
  if (!options_->GetDisconnectedMode() || !GetConnected()) return;
  if (auto_commit_ && client_auto_commit) return SetTransactionID(GetTransactionID());
  if (!transaction_id_.empty()) return;
  SetTransactionID(kImplicitTransaction);
  SetTransactionID(GetTransactionID());
}

}  // namespace dac
