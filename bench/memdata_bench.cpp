// The record store (the record set TMemData and the dataset TMemDataSet over
// it) against a plain std::vector of structs, SQLite in memory and ICU, on
// the same generated rows: KEY INT (a permutation), NAME VARCHAR(40),
// AMOUNT DOUBLE, STAMP DATETIME. Every peer does the same work: names are
// compared by the same ICU collation everywhere (SQLite through a
// registered collation), searches stop at the first match, sorts are
// checked by the sequence of values they produce (and, between the stable
// peers, of keys).
//
// Tasks, each in several rounds (the median counts; the peers of a task take
// their rounds in turn), by process CPU time:
//   append       AppendRecord; dataset Append + 4 setters + Post; push_back; INSERT
//   memory       heap bytes per row of each structure
//   open         the dataset opening over the rows, fetched 25 at a time
//   sort_*       IndexFieldNames KEY, STAMP, NAME, "AMOUNT;NAME"; std::stable_sort;
//                ICU sort keys + std::sort; ORDER BY
//   filter       AMOUNT > 500 AND NAME LIKE 'a%' and a walk over what it shows,
//                also after a sort by KEY (list order no longer memory order)
//   walk         First..Eof reading the 4 fields
//   locate_*     Locate of a key in a set sorted by it; of a name (a scan)
//   sorted_*     in a dataset sorted by KEY, per operation: Locate + Edit +
//                Post of AMOUNT, of KEY (the row moves), Append + Post,
//                Insert + Post in the middle, Delete in the middle
//   position     RecNo to random rows
//   cached_*     with cached updates: edits, RevertRecord, apply and commit
//   xml_*        SaveToXML against a plain writer of the same bytes; reading
//                it back; an attribute made of entities (linear or not)
// Operations that cost per row are time-boxed (VARNEL_BENCH_BUDGET seconds
// per round for the store; the peers then do the same operations).
//
// VARNEL_BENCH_ROWS: the row counts (default 10000,100000,1000000);
// VARNEL_BENCH_ROUNDS: rounds (default 5, 3 from 1,000,000 rows); VARNEL_BENCH_OPS:
// operations on single rows per round (default 1,000).
// The run fails (exit status 1) when the peers disagree.
//
// One file per task family (memdata_tasks.h); memdata_rounds.h runs the
// rounds and prints the table, memdata_fixture.h holds what the tasks share.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_command_line.h"
#include "bench/memdata_fixture.h"
#include "bench/memdata_rounds.h"
#include "bench/memdata_tasks.h"
#include "platform/program_usage.h"

namespace bench {
namespace {

std::vector<int> RowCounts() {
  const char* text = std::getenv("VARNEL_BENCH_ROWS");
  std::vector<int> counts;
  std::stringstream list(text ? text : "10000,100000,1000000");
  for (std::string item; std::getline(list, item, ',');) {
    if (!item.empty()) counts.push_back(std::max(10, std::atoi(item.c_str())));
  }
  return counts;
}

void RegisterAll() {
  const char* rounds_text = std::getenv("VARNEL_BENCH_ROUNDS");
  for (int n : RowCounts()) {
    const int rounds = rounds_text ? std::max(1, std::atoi(rounds_text)) : (n >= 1000000 ? 3 : 5);
    RegisterAppend(n, rounds);
    EndGroup();
    for (const char* peer : {"store (appended)", "store (fetched)", "vector", "sqlite"}) {
      AddSeries(n, "memory", peer, Unit::kBytesPerRow);
    }
    RegisterSorts(n, rounds);
    EndGroup();
    RegisterFilter(n, rounds, false);
    EndGroup();
    RegisterFilter(n, rounds, true);
    EndGroup();
    RegisterWalk(n, rounds);
    EndGroup();
    RegisterLocate(n, rounds);
    EndGroup();
    RegisterSortedEdits(n, rounds);
    EndGroup();
    RegisterCachedUpdates(n, rounds);
    EndGroup();
    RegisterXml(n, rounds);
    EndGroup();
  }
}

void PrintHelp() {
  std::fputs(
      "Usage: dac_memdata_bench [OPTION]...\n"
      "Sets the record store against a std::vector of structs, SQLite in memory and\n"
      "ICU on the same generated rows; fails when their answers differ.\n"
      "\n"
      "  -h, --help  print this help and exit\n"
      "\n"
      "Settings from the environment:\n"
      "  VARNEL_BENCH_ROWS=N[,N]...   row counts, in turn (10000,100000,1000000)\n"
      "  VARNEL_BENCH_ROUNDS=N        rounds of each task (5; 3 from 1000000 rows)\n"
      "  VARNEL_BENCH_OPS=N           single-row operations in a round at most (1000)\n"
      "  VARNEL_BENCH_BUDGET=SECONDS  processor time a round of them may take (1)\n",
      stdout);
  PrintBenchmarkOptions();
}

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
  if (!bench::InitializeBenchmarks(&argc, argv, "dac_memdata_bench", bench::PrintHelp)) return plat::kUsageErrorStatus;
  bench::RegisterAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  bench::PrintTable();
  bench::FreeFixtures();
  if (bench::PeersDisagreed()) std::printf("RESULTS DIFFER BETWEEN THE PEERS\n");
  return bench::PeersDisagreed() ? 1 : 0;
}
