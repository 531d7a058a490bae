// The dataset of the data-access tests: a dataset component over the fake
// record set that takes its key fields from the columns' key flags (every
// other column is a data field) and edits its SQL with the tests' dialect.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dac/core/dataset/dataset_component.h"
#include "tests/dac/store/manual_timer_service.h"

namespace dac::test {

class TestDADataSet : public TCustomDADataSet {
  DAC_DECLARE_CLASS();

 public:
  using TCustomDADataSet::TCustomDADataSet;

  // As a provider's: modifiable unless read-only or forward-only.
  bool GetCanModify() override;
  // The detail refresh timer ticks when the test fires detail_clock.
  std::unique_ptr<ITimerService> MakeDetailTimerService() override;
  std::shared_ptr<FakeClock> detail_clock = std::make_shared<FakeClock>();
  // An edit holds the connection, as for a row lock.
  bool IsNeedEditPreconnect() override { return edit_preconnect; }
  bool edit_preconnect = false;

  void GetKeyAndDataFields(TKeyAndDataFields& fields, bool all_key_fields) override;
  std::string SQLAddWhere(const std::string& sql, const std::string& condition) override;
  std::string SQLDeleteWhere(const std::string& sql) override;
  std::string SQLGetWhere(const std::string& sql) override;
  std::string SQLSetOrderBy(const std::string& sql, const std::string& fields) override;
  std::string SQLGetOrderBy(const std::string& sql) override;

  using TCustomDADataSet::GetCurrentKeys;
  using TCustomDADataSet::SaveModifiedSQL;
};

}  // namespace dac::test
