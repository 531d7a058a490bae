#include "bench/memdata_rounds.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <utility>
#include <vector>

#include "bench/memdata_peers.h"

namespace bench {
namespace {

struct Series {
  Unit unit = Unit::kSeconds;
  std::vector<double> values;
  std::map<int, uint64_t> answers;  // by round
};

std::map<std::string, Series> g_series;  // "rows/task/peer"
std::vector<std::string> g_order;        // keys in registration order
bool g_mismatch = false;

struct PendingTask {
  int rows;
  int rounds;
  std::string task;
  std::string peer;
  Unit unit;
  std::function<Measure(int round)> run;
};
std::vector<PendingTask> g_pending;

std::string Key(int rows, const std::string& task, const std::string& peer) {
  return std::to_string(rows) + "/" + task + "/" + peer;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void RegisterRound(const PendingTask& t, int round) {
  const std::string name = Key(t.rows, t.task, t.peer) + "/round:" + std::to_string(round);
  benchmark::RegisterBenchmark(name.c_str(), [t, round](benchmark::State& state) {
    for (auto _ : state) {
      const Measure m = t.run(round);
      Record(t.rows, t.task, t.peer, round, m);
      // Google Benchmark shows seconds; the other units are in the counters.
      state.SetIterationTime(t.unit == Unit::kSeconds || t.unit == Unit::kPerOp ? m.value : 1e-9);
      if (t.unit == Unit::kBytesPerRow) state.counters["bytes_per_row"] = m.value;
      if (t.unit == Unit::kMBps) state.counters["MB_per_s"] = m.value;
    }
  })
      ->Iterations(1)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
}

std::string CpuName() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);) {
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  }
  return "unknown CPU";
}

std::string Shown(Unit unit, double value) {
  char text[64];
  switch (unit) {
    case Unit::kSeconds:
      std::snprintf(text, sizeof text, value >= 1 ? "%.2f s" : "%.1f ms", value >= 1 ? value : value * 1e3);
      break;
    case Unit::kPerOp:
      if (value >= 1e-3) {
        std::snprintf(text, sizeof text, "%.1f ms/op", value * 1e3);
      } else {
        std::snprintf(text, sizeof text, "%.2f us/op", value * 1e6);
      }
      break;
    case Unit::kBytesPerRow: std::snprintf(text, sizeof text, "%.1f B/row", value); break;
    case Unit::kMBps: std::snprintf(text, sizeof text, "%.1f MB/s", value); break;
  }
  return text;
}

}  // namespace

void Task(int rows, int rounds, const std::string& task, const std::string& peer, Unit unit,
          std::function<Measure(int round)> run) {
  const std::string key = Key(rows, task, peer);
  g_series[key].unit = unit;
  g_order.push_back(key);
  g_pending.push_back({rows, rounds, task, peer, unit, std::move(run)});
}

void EndGroup() {
  int most = 0;
  for (const PendingTask& t : g_pending) most = std::max(most, t.rounds);
  for (int round = 0; round < most; ++round) {
    for (const PendingTask& t : g_pending) {
      if (round < t.rounds) RegisterRound(t, round);
    }
  }
  g_pending.clear();
}

void AddSeries(int rows, const std::string& task, const std::string& peer, Unit unit) {
  g_series[Key(rows, task, peer)].unit = unit;
  g_order.push_back(Key(rows, task, peer));
}

void AddMemory(int rows, const std::string& peer, size_t before, size_t count) {
  g_series[Key(rows, "memory", peer)].values.push_back(static_cast<double>(HeapInUse() - before) / count);
}

void Record(int rows, const std::string& task, const std::string& peer, int round, const Measure& m) {
  Series& series = g_series[Key(rows, task, peer)];
  series.values.push_back(m.value);
  if (!m.has_answer) return;
  series.answers[round] = m.answer;
  const std::string prefix = std::to_string(rows) + "/" + task + "/";
  for (const auto& [key, other] : g_series) {
    if (key.rfind(prefix, 0) != 0 || key == Key(rows, task, peer)) continue;
    auto it = other.answers.find(round);
    if (it != other.answers.end() && it->second != m.answer) {
      std::fprintf(stderr, "MISMATCH %s: %s and %s disagree in round %d\n", prefix.c_str(), peer.c_str(),
                   key.substr(prefix.size()).c_str(), round);
      g_mismatch = true;
    }
  }
}

void Mismatch(const std::string& what) {
  std::fprintf(stderr, "MISMATCH %s\n", what.c_str());
  g_mismatch = true;
}

bool PeersDisagreed() { return g_mismatch; }

Measure Timed(const std::function<uint64_t()>& work) {
  const double start = CpuSeconds();
  const uint64_t answer = work();
  return {CpuSeconds() - start, true, answer};
}

void PrintTable() {
  std::printf("\n%s; medians of the rounds, process CPU time\n", CpuName().c_str());
  std::string last_task;
  for (const std::string& key : g_order) {
    const Series& series = g_series[key];
    if (series.values.empty()) continue;
    const size_t first = key.find('/');
    const size_t second = key.find('/', first + 1);
    const std::string rows_task = key.substr(0, second);
    const std::string task = key.substr(first + 1, second - first - 1);
    if (rows_task != last_task) {
      std::printf("%s rows, %s\n", key.substr(0, first).c_str(), task.c_str());
      last_task = rows_task;
    }
    std::printf("    %-38s %16s\n", key.substr(second + 1).c_str(), Shown(series.unit, Median(series.values)).c_str());
  }
}

}  // namespace bench
