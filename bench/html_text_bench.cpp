// Every requested content file shown as a script passes through HtmlToText.
#include <benchmark/benchmark.h>

#include <string>

#include "content/html_text.h"

namespace {

// Script code full of comparisons, with the one '>' at its end: every '<'
// before it opens a tag nobody knows.
std::string ComparisonsThenOneTag(size_t size) {
  std::string text;
  while (text.size() < size) text += "if(a<b)c=d;";
  return text + "<br>";
}

void BM_HtmlToTextManyOpenBrackets(benchmark::State& state) {
  const std::string html = ComparisonsThenOneTag(static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(content::HtmlToText(html));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_HtmlToTextManyOpenBrackets)->RangeMultiplier(4)->Range(1 << 10, 256 << 10)->Complexity();

}  // namespace
