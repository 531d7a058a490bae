// Cached updates reach the server: the record store applies each cached
// record through the write steps, whose statements may be collected into
// batches; a lost connection runs the whole apply again only when nothing
// it did was committed.
#include "dac/core/connection_component.h"
#include "dac/core/da_param.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_internals.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/core/server/connection.h"
#include "dac/core/server/da_errors.h"
#include "dac/core/server/messages.h"
#include "dac/core/server/record_set.h"
#include "dac/framework/classes/database_error.h"

namespace dac {

// ---- batches ----

bool TCustomDADataSet::BatchUpdate() {
  return GetInCacheProcessing() && d_->options->GetUpdateBatchSize() >= 2 && !d_->update_object;
}

bool TCustomDADataSet::CanFlushBatch() { return BatchUpdate() && d_->batch.Full(d_->options->GetUpdateBatchSize()); }

void TCustomDADataSet::ClearBatch() { d_->batch.Clear(); }

void TCustomDADataSet::FlushBatch() {
  d_->batch.Flush([this] { PerformSQL("", {stBatchUpdate}); });
}

// ---- applying ----

void TCustomDADataSet::InternalApplyUpdates(bool allow_fail_over) {
  TCustomDAConnection* used = UsedConnection();
  TOperationScope operation(used, clApply, allow_fail_over);
  for (;;) {
    // Rows applied inside a transaction stay on the server only if it commits.
    if (TDKRecordSet* record_set = d_->irecord_set) record_set->SetTentativeApply(used && used->GetInTransaction());
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

void TDADataSetInterfaces::ClientTransactionEnded(bool committed) {
  TDKRecordSet* record_set = Self().GetIRecordSet();
  if (!record_set) return;
  if (committed) {
    record_set->ConfirmTentativeUpdates();
  } else {
    record_set->RestoreTentativeUpdates();
  }
}

// The record store's apply, again after a restored connection only when
// nothing was committed on the way ("Connection is not defined" without one).
void TCustomDADataSet::ApplyUpdates() {
  TCustomDAConnection* used = UsedConnection();
  if (!used) DatabaseError(LoadResString(SConnectionNotDefined), this);
  InternalApplyUpdates(!used->GetInTransaction() && !GetAutoCommit());
}

}  // namespace dac
