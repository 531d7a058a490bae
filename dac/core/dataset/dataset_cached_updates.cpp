// Cached updates reach the server: the record store applies each cached
// record through the write steps, whose statements may be collected into
// batches; a lost connection runs the whole apply again only when nothing
// it did was committed.
#include "dac/core/connection_component.h"
#include "dac/core/da_param.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/server/connection.h"
#include "dac/core/server/da_errors.h"
#include "dac/core/server/messages.h"
#include "dac/core/server/record_set.h"
#include "dac/framework/classes/database_error.h"

namespace dac {

// ---- batches ----

bool TCustomDADataSet::BatchUpdate() {
  return GetInCacheProcessing() && options_->GetUpdateBatchSize() >= 2 && !update_object_;
}

bool TCustomDADataSet::CanFlushBatch() {
  return BatchUpdate() && batch_count_ > 0 && batch_count_ >= options_->GetUpdateBatchSize();
}

void TCustomDADataSet::ClearBatch() {
  batch_sql_.clear();
  if (batch_params_) batch_params_->Clear();
  batch_count_ = 0;
}

void TCustomDADataSet::FlushBatch() {
  if (batch_count_ == 0) return;
  // A failed batch is not sent again with the next one.
  try {
    PerformSQL("", {stBatchUpdate});
  } catch (...) {
    ClearBatch();
    throw;
  }
  ClearBatch();
}

// ---- applying ----

void TCustomDADataSet::InternalApplyUpdates(bool allow_fail_over) {
  TCustomDAConnection* used = UsedConnection();
  TOperationScope operation(used, clApply, allow_fail_over);
  for (;;) {
    // Rows applied inside a transaction stay on the server only if it commits.
    if (irecord_set_) irecord_set_->SetTentativeApply(used && used->GetInTransaction());
    try {
      TMemDataSet::ApplyUpdates();
      return;
    } catch (const EFailOver& failover) {
      ClearBatch();
      // A connection-wide apply runs again as a whole, from its own loop.
      if (failover.ConnLostCause() != clApply) throw;
      used->RestoreAfterFailOver();
    } catch (...) {
      ClearBatch();
      throw;
    }
  }
}

void TCustomDADataSet::ClientTransactionEnded(bool committed) {
  if (!irecord_set_) return;
  if (committed) {
    irecord_set_->ConfirmTentativeUpdates();
  } else {
    irecord_set_->RestoreTentativeUpdates();
  }
}

void TCustomDADataSet::ApplyUpdates() {
  TCustomDAConnection* used = UsedConnection();
  if (!used) DatabaseError(LoadResString(SConnectionNotDefined), this);
  InternalApplyUpdates(!used->GetInTransaction() && !auto_commit_);
}

}  // namespace dac
