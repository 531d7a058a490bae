// The record store benchmark's rounds: each task's peers measured in rounds
// that take turns within their group, the answer of a round checked against
// the other peers' answers of that round, and the table of the medians.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace bench {

enum class Unit { kSeconds, kPerOp, kBytesPerRow, kMBps };

struct Measure {
  double value = 0;  // by the task's unit
  bool has_answer = false;
  uint64_t answer = 0;
};

// A peer of a task: run measures one round. The rounds wait for the end of
// their group (EndGroup): the group's tasks then take their rounds in turn,
// so that a load that changes during the run falls on every peer of a row
// alike.
void Task(int rows, int rounds, const std::string& task, const std::string& peer, Unit unit,
          std::function<Measure(int round)> run);
// One benchmark a round: round 0 of every task of the group, then round 1, ...
void EndGroup();

// A series that the rounds of another task fill, in the table at this place.
void AddSeries(int rows, const std::string& task, const std::string& peer, Unit unit);
// The heap bytes per row the peer's structure took since `before` (HeapInUse).
void AddMemory(int rows, const std::string& peer, size_t before, size_t count);
// The answer a round gave, against every other peer's answer of that round.
void Record(int rows, const std::string& task, const std::string& peer, int round, const Measure& m);
// A wrong result found otherwise: said on standard error; the run fails.
void Mismatch(const std::string& what);
bool PeersDisagreed();

// The process CPU time work takes; its result is the answer.
Measure Timed(const std::function<uint64_t()>& work);

// Every series in the order of registration, with its median.
void PrintTable();

}  // namespace bench
