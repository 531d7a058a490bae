#include "dac/core/dataset/dataset_utils.h"

#include "dac/core/dataset/dataset_component.h"
#include "dac/framework/classes/exceptions.h"

namespace dac {

void TDADataSetUtils::QuickOpen(TCustomDADataSet* data_set, bool refresh) {
  ++count_;
  if (count_ > 1) {
    DAC_ASSERT(data_set == data_set_, "TDADataSetUtils.QuickOpen - another dataset");
    return;
  }
  DAC_ASSERT(data_set_ == nullptr, "TDADataSetUtils.QuickOpen - twice call");
  DAC_ASSERT(data_set != nullptr, "TDADataSetUtils.QuickOpen - no dataset");
  data_set_ = data_set;
  old_active_ = data_set->GetActive();
  old_debug_ = data_set->GetDebug();
  old_fetch_all_ = data_set->GetFetchAll();
  old_fetch_rows_ = data_set->GetFetchRows();
  if (!refresh && old_active_) return;
  data_set->SetDebug(false);
  data_set->SetFetchAll(false);
  data_set->Close();
  data_set->SetFetchRows(1);
  data_set->Execute();
}

void TDADataSetUtils::Restore(bool restore_active) {
  DAC_ASSERT(data_set_ != nullptr, "TDADataSetUtils.Restore without QuickOpen");
  if (--count_ > 0) return;
  TCustomDADataSet* data_set = data_set_;
  data_set_ = nullptr;
  count_ = 0;
  data_set->SetDebug(old_debug_);
  data_set->SetFetchAll(old_fetch_all_);
  if (!restore_active) return;
  if (data_set->GetFetchRows() != old_fetch_rows_) {
    data_set->Close();
    data_set->SetFetchRows(old_fetch_rows_);
  }
  data_set->SetActive(old_active_);
}

void TDADataSetUtils::QuickOpenAndRestore(TCustomDADataSet* data_set, bool refresh) {
  try {
    QuickOpen(data_set, refresh);
  } catch (...) {
    // Whatever the open did is undone; its error is the one to report.
    try {
      if (data_set_) Restore(true);
    } catch (...) {
    }
    throw;
  }
  Restore(true);
}

}  // namespace dac
