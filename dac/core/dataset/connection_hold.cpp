#include "dac/core/dataset/connection_hold.h"

#include <utility>

#include "dac/core/connection_component.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/server/connection.h"
#include "dac/core/server/da_errors.h"
#include "dac/core/server/record_set.h"

namespace dac {

// ---- the running operation ----

TConnectionHold::Statement::Statement(TConnectionHold& hold) : hold_(hold), outer_(hold.attempt_released_) {
  hold.data_set_.BeginConnection(true);
  hold.attempt_released_ = &released_;
}

void TConnectionHold::Statement::GiveBack() {
  if (released_) return;
  released_ = true;
  hold_.data_set_.EndConnection();
}

void TConnectionHold::Statement::GiveBackQuietly() {
  try {
    GiveBack();
  } catch (...) {
  }
}

void TConnectionHold::Statement::Finish(bool keep_for_cursor) {
  if (released_) return;
  if (keep_for_cursor && hold_.CursorUnfinished() && !hold_.cursor_) {
    released_ = true;
    hold_.cursor_ = true;
    return;
  }
  GiveBack();
}

void TConnectionHold::Statement::RunAttempts(TCustomDAConnection* used, const std::function<void()>& attempt,
                                             bool execute_only) {
  for (;;) {
    try {
      attempt();
      return;
    } catch (const EFailOver& failover) {
      if (execute_only && failover.ConnLostCause() != clExecute) {
        GiveBackQuietly();
        throw;
      }
      used->RestoreAfterFailOver();
      released_ = false;
    } catch (...) {
      GiveBackQuietly();
      throw;
    }
  }
}

// ---- the references ----

void TConnectionHold::ReleaseAttempt() {
  if (!attempt_released_ || *attempt_released_) return;
  *attempt_released_ = true;
  data_set_.EndConnection();
}

void TConnectionHold::ReleaseAfterFetch() {
  if (attempt_released_ && !*attempt_released_) return ReleaseAttempt();
  ReleaseCursor();
}

void TConnectionHold::ReleaseCursor() {
  if (!cursor_) return;
  cursor_ = false;
  data_set_.EndConnection();
}

bool TConnectionHold::TakeCursor() { return std::exchange(cursor_, false); }

void TConnectionHold::ReleasePrepared(bool still_prepared) {
  if (!prepared_ || still_prepared) return;
  prepared_ = false;
  data_set_.EndConnection();
}

void TConnectionHold::Forget() {
  cursor_ = false;
  prepared_ = false;
}

bool TConnectionHold::CursorUnfinished() const {
  const TDKRecordSet* record_set = data_set_.GetIRecordSet();
  return record_set && record_set->GetCommand() && record_set->CursorState() != csInactive &&
         !record_set->CanDisconnect();
}

}  // namespace dac
