// The lexer keeps lexemes as positions and copies text only when GetNext
// hands it out; ToLexem by text compares in place. Text input against
// stream input shows the cost of the block bookkeeping.
#include <benchmark/benchmark.h>

#include <string>

#include "dac/framework/classes/streams.h"
#include "dac/store/lexer/parser.h"

namespace {

std::string SqlText(int statements) {
  std::string text;
  for (int i = 0; i < statements; ++i) {
    text += "SELECT a.id, b.name, 'text ''quoted''' AS q, 12.5 * price /* note */\r\n"
            "  FROM orders a, items b WHERE a.id = b.order_id AND NOT b.deleted OR b.qty >= 10;\r\n";
  }
  return text;
}

void BM_LexTextInput(benchmark::State& state) {
  const std::string text = SqlText(1000);
  for (auto _ : state) {
    auto parser = dac::MakeParser<dac::TParser>(text);
    std::string lexem;
    int count = 0;
    while (parser->GetNext(lexem) != dac::LexemEnd) ++count;
    benchmark::DoNotOptimize(count);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_LexTextInput);

void BM_LexStreamInput(benchmark::State& state) {
  const std::string text = SqlText(1000);
  dac::TMemoryStream stream;
  stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  for (auto _ : state) {
    auto parser = dac::MakeParser<dac::TParser>(stream);
    std::string lexem;
    int count = 0;
    while (parser->GetNext(lexem) != dac::LexemEnd) ++count;
    benchmark::DoNotOptimize(count);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_LexStreamInput);

void BM_ToLexemByText(benchmark::State& state) {
  const std::string text = SqlText(1000) + " LIMIT 5";
  for (auto _ : state) {
    auto parser = dac::MakeParser<dac::TParser>(text);
    benchmark::DoNotOptimize(parser->ToLexem("LIMIT"));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ToLexemByText);

}  // namespace
