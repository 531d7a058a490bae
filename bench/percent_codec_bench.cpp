// Percent encoding triples every record field and reply body.
#include <benchmark/benchmark.h>

#include <string>

#include "content/percent_codec.h"

namespace {

std::string SampleText(size_t size) {
  std::string text(size, ' ');
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>(i * 31 + 7);
  return text;
}

void BM_PercentEncode(benchmark::State& state) {
  const std::string text = SampleText(static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(content::PercentEncode(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_PercentEncode)->Arg(64)->Arg(64 << 10);

void BM_PercentDecode(benchmark::State& state) {
  const std::string encoded = content::PercentEncode(SampleText(static_cast<size_t>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(content::PercentDecode(encoded));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_PercentDecode)->Arg(64)->Arg(64 << 10);

}  // namespace
