// The connection component's decisions after a server error: what the
// application was doing (the operation stack), whether the connection is
// lost, whether it may be restored, and whether the operation runs again.
#include "dac/core/connection_client.h"
#include "dac/core/connection_component.h"
#include "dac/core/pool/connection_pool.h"
#include "dac/core/server/connection.h"
#include "dac/core/server/da_errors.h"
#include "dac/core/trace/sql_monitor.h"
#include "dac/framework/classes/scoped_value.h"
#include "dac/framework/data/dataset.h"
#include "platform/clock.h"

namespace dac {

namespace {

constexpr size_t kOperationStackStep = 50;

}  // namespace

int TCustomDAConnection::PushOperation(TConnLostCause operation, bool allow_fail_over) {
  if (!options_->GetLocalFailover()) return 0;
  if (operations_.size() == operations_.capacity()) operations_.reserve(operations_.capacity() + kOperationStackStep);
  operations_.push_back({operation, allow_fail_over});
  return static_cast<int>(operations_.size()) - 1;
}

void TCustomDAConnection::PopOperation() {
  // An option switched on while an operation ran leaves its pop without a push.
  if (options_->GetLocalFailover() && !operations_.empty()) operations_.pop_back();
}

TConnLostCause TCustomDAConnection::DetectConnLostCause(TComponent* component) {
  TConnLostCause result = clUnknown;
  bool allow_fail_over = true;
  const IDAConnectionClient* client = ConnectionClientOf(component);
  // Such a client runs its statement again on a connection it holds on to.
  const bool reruns_alone = client && (client->ClientKind() == dckSQL || !client->ClientIsQuery());
  for (auto entry = operations_.rbegin(); entry != operations_.rend(); ++entry) {
    if (entry->operation > result) {
      result = entry->operation;
      allow_fail_over = entry->allow_fail_over;
    }
    if ((result == clExecute || result == clOpen) && reruns_alone) ++connect_count_;
    if (result == clConnect) {
      // A connect that never succeeded since the last explicit disconnect
      // is the user's to repeat.
      if (prompt_on_internal_connect_) result = clUnknown;
      break;
    }
  }
  return allow_fail_over ? result : clUnknown;
}

bool TCustomDAConnection::ClientsAllowReconnect(TConnLostCause cause, const TComponent* component) const {
  for (int i = 0; i < DataSetCount(); ++i) {
    const IDAConnectionClient& data_set = DataSetClientOf(DataSets(i));
    if (data_set.ClientPrepared()) return false;
    // Rows still to come would be lost, unless this very refresh reads them again.
    const bool unfinished = data_set.ClientActive() && !data_set.ClientFetchAll() && !data_set.ClientFetched();
    if (unfinished && !(cause == clRefresh && DataSets(i) == component)) return false;
  }
  for (const IDAConnectionClient* sql : sqls_) {
    if (sql->ClientPrepared() && !sql->ClientExecuting()) return false;
  }
  return true;
}

void TCustomDAConnection::PauseBeforeReconnect() { plat::Sleep(kReconnectPauseMs); }

void TCustomDAConnection::DoError(Exception& error, bool& fail, bool& reconnect, bool& reexecute,
                                  int32_t reconnect_attempt, TConnLostCause& conn_lost_cause) {
  conn_lost_cause = clUnknown;
  auto* da_error = dynamic_cast<EDAError*>(&error);
  if (!da_error) return;
  TScopedValue<int32_t> attempt(reconnect_attempt_, reconnect_attempt);
  SQLMonitorClass().DBError(*da_error);
  const bool fatal = IsFatalError(*da_error);
  const bool local_failover = options_->GetLocalFailover();
  if (fatal) {
    conn_lost_cause = DetectConnLostCause(da_error->Component());
    reconnect = (GetConnected() || (reconnect_attempt > 0 && local_failover) ||
                 (conn_lost_cause == clConnect && options_->GetDisconnectedMode())) &&
                (transaction_id_.empty() || conn_lost_cause == clConnectionApply);
    // A server that stays down is not tried without end, whoever decides.
    if (reconnect && reconnect_attempt >= kMaxReconnectAttempts) {
      reconnect = false;
      fail = true;
    }
    if (reconnect) reconnect = ClientsAllowReconnect(conn_lost_cause, da_error->Component());
  }
  if (reconnect && local_failover) {
    TRetryMode retry_mode =
        conn_lost_cause == clUnknown || conn_lost_cause == clExecute ? rmRaise : rmReconnectExecute;
    if (on_connection_lost_)
      on_connection_lost_(this, da_error->Component(), conn_lost_cause, reconnect_attempt, retry_mode);
    reconnect = retry_mode != rmRaise;
    reexecute = (retry_mode == rmReconnectExecute && conn_lost_cause != clUnknown) ||
                (conn_lost_cause == clConnect && retry_mode != rmRaise);
    fail = !reexecute;
  }
  if (fatal && reconnect && reconnect_attempt > 0) PauseBeforeReconnect();
  if ((!local_failover || !reconnect) && on_error_) on_error_(this, *da_error, fail);
  if (fatal && iconnection_) {
    iconnection_->SetIsValid(false);
    if (iconnection_->GetPool()) iconnection_->GetPool()->Invalidate();
  }
  if (fatal && reconnect_attempt == 0) ResetOnFatalError();
  if (fatal && reconnect_attempt == 0 && !reconnect && !disconnect_guard_) DisconnectGuarded();
}

}  // namespace dac
