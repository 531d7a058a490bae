// A test dataset that writes back the way a provider's does: its data fields
// are every column of the updating table (key columns included), its key
// fields the flagged key columns of that table.
#pragma once

#include "tests/dac/core/support/test_da_dataset.h"

namespace dac::test {

class UpdatingDataSet : public TestDADataSet {
  DAC_DECLARE_CLASS();

 public:
  using TestDADataSet::TestDADataSet;

  void GetKeyAndDataFields(TKeyAndDataFields& fields, bool all_key_fields) override;
};

}  // namespace dac::test
