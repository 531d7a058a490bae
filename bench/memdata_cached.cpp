// cached_*: with cached updates, a tenth of the rows edited (at most
// 20,000), 1,000 of them reverted, then the rest applied and committed; the
// amounts afterwards checked.
#include <algorithm>

#include "bench/memdata_fixture.h"
#include "bench/memdata_tasks.h"

namespace bench {
namespace {

// Every row that was not reverted holds its amount plus 1 per edit.
void CheckAmounts(int n, DataSet& ds, const Fields& f, const std::vector<uint32_t>& draws, size_t reverts) {
  const size_t edits = draws.size();
  uint64_t cents = 0;
  for (ds.First(); !ds.GetEOF(); ds.Next()) cents += static_cast<uint64_t>(Cents(f.amount->AsFloat()));
  std::vector<int> times(static_cast<size_t>(n), 0);
  for (uint32_t at : draws) ++times[at];
  std::vector<bool> reverted(static_cast<size_t>(n), false);
  for (size_t i = 0; i < reverts; ++i) reverted[draws[edits - 1 - i]] = true;
  uint64_t expected = 0;
  for (size_t i = 0; i < F(n).rows.size(); ++i) {
    expected += static_cast<uint64_t>(Cents(F(n).rows[i].amount)) + (reverted[i] ? 0 : 100u * static_cast<uint64_t>(times[i]));
  }
  if (cents != expected) Mismatch(std::to_string(n) + "/cached updates: the amounts after revert and commit are wrong");
}

// The reverts and the apply of a round, each a series of its own.
void RevertAndApply(int n, int round, DataSet& ds, const std::vector<uint32_t>& draws, size_t reverts) {
  const size_t edits = draws.size();
  const double start = CpuSeconds();
  for (size_t i = 0; i < reverts; ++i) {
    ds.SetRecNo(static_cast<int>(draws[edits - 1 - i]) + 1);
    ds.RevertRecord();
  }
  Record(n, "cached_revert", "dataset RevertRecord", round,
         {(CpuSeconds() - start) / static_cast<double>(reverts), false, 0});
  const double apply_start = CpuSeconds();
  ds.ApplyUpdates();
  ds.CommitUpdates();
  Record(n, "cached_apply", "dataset ApplyUpdates+CommitUpdates", round,
         {(CpuSeconds() - apply_start) / static_cast<double>(edits - reverts + 1), false, 0});
}

}  // namespace

void RegisterCachedUpdates(int n, int rounds) {
  const size_t edits = std::min<size_t>(static_cast<size_t>(n) / 10, 20000);
  Task(n, rounds, "cached_edit", "dataset", Unit::kPerOp, [n, edits](int round) {
    DataSetPtr ds(dac::MakeComponent<DataSet>(nullptr, &F(n).rows));
    ds->SetCachedUpdates(true);
    ds->Open();
    Fields f(*ds);
    const std::vector<uint32_t> draws = Draws(n, round, "cached", edits);
    Measure m = Timed([&] {
      for (uint32_t at : draws) {
        ds->SetRecNo(static_cast<int>(at) + 1);
        ds->Edit();
        f.amount->SetAsFloat(f.amount->AsFloat() + 1);
        ds->Post();
      }
      return uint64_t{0};
    });
    m.value /= static_cast<double>(edits);
    m.has_answer = false;
    const size_t reverts = std::min<size_t>(edits, MaxOps());
    RevertAndApply(n, round, *ds, draws, reverts);
    CheckAmounts(n, *ds, f, draws, reverts);
    return m;
  });
  AddSeries(n, "cached_revert", "dataset RevertRecord", Unit::kPerOp);
  AddSeries(n, "cached_apply", "dataset ApplyUpdates+CommitUpdates", Unit::kPerOp);
}

}  // namespace bench
