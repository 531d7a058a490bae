// The string heap exists so that loading many rows costs few general
// allocations: small buffers are a free-list pop or a pointer bump. Compared
// here with the general heap, for the row-loading pattern (allocate many,
// free all at once) and the edit pattern (allocate and dispose in turn).
// Note on LoadRows: Clear returns its 16 KiB pages, which glibc trims back to
// the kernel, so each round pays fresh page faults; malloc's small blocks stay
// in its caches. The per-buffer cost itself is the Reuse figure.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "dac/store/record/string_heap.h"
#include "dac/store/runtime/string_builder.h"

namespace {

constexpr int kRows = 10000;

int RowSize(int i) { return 8 + (i * 37) % 120; }

void BM_StringHeapLoadRows(benchmark::State& state) {
  for (auto _ : state) {
    dac::TStringHeap heap;
    for (int i = 0; i < kRows; ++i) {
      void* p = heap.NewBuf(RowSize(i));
      std::memset(p, 'x', static_cast<size_t>(RowSize(i)));  // the row's value is copied in
      benchmark::DoNotOptimize(p);
    }
    heap.Clear();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kRows);
}
BENCHMARK(BM_StringHeapLoadRows);

void BM_MallocLoadRows(benchmark::State& state) {
  std::vector<void*> blocks(kRows);
  for (auto _ : state) {
    for (int i = 0; i < kRows; ++i) {
      void* p = std::malloc(static_cast<size_t>(RowSize(i)));
      std::memset(p, 'x', static_cast<size_t>(RowSize(i)));
      benchmark::DoNotOptimize(blocks[static_cast<size_t>(i)] = p);
    }
    for (void* p : blocks) std::free(p);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kRows);
}
BENCHMARK(BM_MallocLoadRows);

void BM_StringHeapReuse(benchmark::State& state) {
  dac::TStringHeap heap;
  int i = 0;
  for (auto _ : state) {
    void* p = heap.NewBuf(RowSize(i++));
    benchmark::DoNotOptimize(p);
    heap.DisposeBuf(p);
  }
}
BENCHMARK(BM_StringHeapReuse);

// Appending one character at a time stays amortised constant.
void BM_StringBuilderAppendChar(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    dac::StringBuilder sb(4);
    for (int i = 0; i < n; ++i) sb.Append(static_cast<char>('a' + i % 26));
    benchmark::DoNotOptimize(sb.Data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * n);
}
BENCHMARK(BM_StringBuilderAppendChar)->Arg(1 << 10)->Arg(1 << 20);

}  // namespace
