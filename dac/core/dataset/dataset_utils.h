// TDADataSetUtils: opens a dataset quickly (one row, no monitor output) and
// puts it back as it was. Calls nest on one dataset; only the outermost
// Restore puts it back.
//
//   TDADataSetUtils utils;
//   utils.QuickOpen(data_set, false);
//   ... read the fields ...
//   utils.Restore(true);
#pragma once

#include <cstdint>

namespace dac {

class TCustomDADataSet;

class TDADataSetUtils {
 public:
  TDADataSetUtils() = default;
  virtual ~TDADataSetUtils() = default;
  TDADataSetUtils(const TDADataSetUtils&) = delete;
  TDADataSetUtils& operator=(const TDADataSetUtils&) = delete;

  // Remembers the dataset's state on the first call and, unless it is open
  // and refresh is false, executes it again with one row per fetch. A
  // nested call must name the same dataset (assertion).
  virtual void QuickOpen(TCustomDADataSet* data_set, bool refresh);
  // Undoes one QuickOpen; the outermost restores Debug and FetchAll and,
  // with restore_active, FetchRows (reopening for it) and Active.
  // Assertion "TDADataSetUtils.Restore without QuickOpen" without one.
  virtual void Restore(bool restore_active);
  // QuickOpen, then Restore(true) whatever happens.
  void QuickOpenAndRestore(TCustomDADataSet* data_set, bool refresh);

 private:
  int32_t count_ = 0;
  TCustomDADataSet* data_set_ = nullptr;
  bool old_active_ = false;
  bool old_debug_ = false;
  bool old_fetch_all_ = false;
  int32_t old_fetch_rows_ = 0;
};

}  // namespace dac
