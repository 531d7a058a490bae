// The lexer over a text (after three bytes that choose the dialect, the
// switches and a stream block size), read once from the text and once from a
// stream in small blocks, stepping back now and then: both readings must
// give the same lexemes, positions and errors.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/classes/streams.h"
#include "dac/store/lexer/bool_parser.h"
#include "dac/store/lexer/parser.h"
#include "dac/store/xml/xml_parser.h"
#include "fuzz/fuzz_support.h"

namespace fuzz {
namespace {

struct Step {
  int code = 0;
  std::string text;
  int curr_pos = 0;
  int prev_pos = 0;
  int prev_prev_pos = 0;
  int curr_line = 0;
  std::string error;
  bool operator==(const Step&) const = default;
};

struct Setup {
  uint8_t dialect = 0;
  uint8_t switches = 0;
  uint8_t back_every = 0;
  int32_t block_size = 1;
};

template <typename Source>
std::unique_ptr<dac::TParser> MakeLexer(uint8_t dialect, Source& source) {
  switch (dialect % 3) {
    case 1:
      return dac::MakeParser<dac::TBoolParser>(source);
    case 2:
      return dac::MakeParser<dac::TXmlParser>(source);
    default:
      return dac::MakeParser<dac::TParser>(source);
  }
}

// Reads to the end (or the first error), going one lexeme back after every
// back_every-th read.
std::vector<Step> Lex(dac::TParser& lexer, const Setup& setup) {
  lexer.SetOmitBlank(setup.switches & 1);
  lexer.SetOmitComment(setup.switches & 2);
  lexer.SetQuotedString(setup.switches & 4);
  lexer.SetQQuotedStrings(setup.switches & 8);
  lexer.SetOmitKeywords(setup.switches & 16);
  lexer.SetUppercase(setup.switches & 32);
  lexer.SetCharwiseQuoteSearch(setup.switches & 64);
  std::vector<Step> steps;
  const int back_every = setup.back_every % 8 + 2;
  for (int reads = 1;; ++reads) {
    Step step;
    try {
      if (reads % back_every == 0) lexer.Back();
      step.code = lexer.GetNext(step.text);
    } catch (const dac::Exception& e) {
      step.error = e.Message();
    }
    step.curr_pos = lexer.CurrPos();
    step.prev_pos = lexer.PrevPos();
    step.prev_prev_pos = lexer.PrevPrevPos();
    // Only the character-wise quote search counts the lines inside a string.
    if (lexer.GetCharwiseQuoteSearch()) step.curr_line = lexer.CurrLine();
    steps.push_back(step);
    if (step.code == dac::LexemEnd || !step.error.empty()) return steps;
    Require(steps.size() <= 4 * static_cast<size_t>(lexer.TextLength()) + 8, "the lexer does not advance");
  }
}

}  // namespace
}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const fuzz::Setup setup{data[0], data[1], data[2], data[2] / 8 + 1};
  const std::string text(fuzz::AsText(data + 3, size - 3));
  const std::unique_ptr<dac::TParser> by_text = fuzz::MakeLexer(setup.dialect, text);
  const std::vector<fuzz::Step> expected = fuzz::Lex(*by_text, setup);

  dac::TMemoryStream stream;
  stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  stream.SetPosition(0);
  const std::unique_ptr<dac::TParser> by_stream = fuzz::MakeLexer(setup.dialect, stream);
  by_stream->SetBlockSize(setup.block_size);
  fuzz::Require(fuzz::Lex(*by_stream, setup) == expected, "a stream reads other lexemes than its text");
  return 0;
}
