// The fake provider's record set: it hands out the rows of the fake
// server's result FetchRows at a time through the record store's fetch
// operations, as a provider does (in forward-only mode each block replaces
// the one before), and describes the result's columns with their tables and
// key flags. Preparing learns from the scripted answer whether the statement
// returns rows.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "dac/core/server/record_set.h"
#include "tests/dac/core/support/fake_provider.h"

namespace dac::test {

class FakeRecordSet : public TDKRecordSet {
  DAC_DECLARE_CLASS();

 public:
  void CreateCommand() override;
  // A block of at most FetchRows rows; false when none came. A block that
  // is not full, or an empty read, ends the result.
  bool Fetch(bool fetch_back) override;
  // A prepared cursor keeps its fields; otherwise every open describes them.
  bool NeedInitFields() override { return !GetPrepared(); }

  FakeCommand& Command() const;

  // Reads from the server: fetches that passed the state check.
  int block_reads = 0;
  // InternalInitFields fails while set.
  bool fail_init_fields = false;

 protected:
  // Then, from the scripted answer: a result makes the statement a cursor.
  void InternalPrepare() override;
  void InternalInitFields() override;
  // The result is let go.
  void InternalClose() override;

 private:
  void TakeAnswer(const FakeAnswer& answer);
  // Frees the cached rows (forward-only mode).
  void DropCache();

  std::vector<FakeColumn> columns_;
  std::vector<std::vector<Variant>> rows_;
  size_t next_row_ = 0;
};

}  // namespace dac::test
