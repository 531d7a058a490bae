// One record read again from the server: the current row refreshed, or
// removed from the store when the server no longer has it. The rows a
// refresh statement brings are taken by the row merge (TRefreshRowMerge).
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/dataset_options.h"
#include "dac/store/record/mem_data.h"

namespace dac {

void TCustomDADataSet::InternalRefreshRecord() {
  // A pending change goes before the row is read again.
  if (GetCachedUpdates() && UpdateStatus() == usModified && !GetInCacheProcessing()) RevertRecord();
  if (TRecordBuffer buffer = ActiveBuffer()) FreeRefComplexFields(buffer);
  PerformSQL("", {stRefresh});
}

// Re-reads the current row from the server; a row the server no longer has
// leaves the store with RemoveOnRefresh.
void TCustomDADataSet::RefreshRecord() {
  CheckActive();
  switch (GetState()) {
    case dsEdit: Cancel(); break;
    case dsInsert: Cancel(); return;
    case dsSetKey: Post(); break;
    default: break;
  }
  if (IsEmpty()) return;
  UpdateCursorPos();
  InternalRefreshRecord();
  if (RowsAffected() == 0) {
    if (Options().GetRemoveOnRefresh()) MemData()->RemoveRecord();
    Resync({});
  } else if (RowsAffected() > 0) {
    Resync({});
  }
}

// A provider's hidden descriptor of a refreshed row, into the current
// record (target_of finds the record's descriptor of a column the refresh
// names); copied as it is here.
void TCustomDADataSet::CopyHiddenValue(TData& source, void* source_buf, TFieldDesc* from, TFieldDesc* to, void* target,
                                       const std::function<TFieldDesc*(const std::string&)>&) {
  Variant value;
  source.GetFieldAsVariant(from->GetFieldNo(), source_buf, value);
  Data()->PutFieldAsVariant(to->GetFieldNo(), target, value);
}

}  // namespace dac
