// Stream input against text input: the same lexemes and positions, with
// blocks small enough that lexemes, comments and Back cross their boundaries.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/classes/streams.h"
#include "dac/store/lexer/parser.h"

namespace dac {
namespace {

// A memory stream whose reads return at most a few bytes, as pipes do.
class TTrickleStream : public TMemoryStream {
 public:
  explicit TTrickleStream(int64_t step) : step_(step) {}
  int64_t Read(void* buffer, int64_t count) override { return TMemoryStream::Read(buffer, std::min(count, step_)); }

 private:
  int64_t step_;
};

// Announces more bytes than it holds.
class TShortStream : public TMemoryStream {
 public:
  int64_t GetSize() override { return TMemoryStream::GetSize() + 10; }
};

void Fill(TMemoryStream& stream, const std::string& text) {
  stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  stream.SetPosition(0);
}

struct Step {
  int code;
  std::string text;
  int curr_pos, prev_pos, prev_prev_pos;
  std::string error;
  bool operator==(const Step&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Step& s) {
  return os << "{" << s.code << ", \"" << s.text << "\", " << s.curr_pos << ", " << s.prev_pos << ", "
            << s.prev_prev_pos << ", \"" << s.error << "\"}";
}

struct Options {
  bool omit_blank;
  bool omit_comment;
  bool quoted_string;
};

// Runs one operation script: each entry 0 reads, 1 goes back, 2 searches a code, 3 searches a text.
std::vector<Step> RunScript(TParser& parser, const Options& options, const std::vector<int>& script) {
  parser.SetOmitBlank(options.omit_blank);
  parser.SetOmitComment(options.omit_comment);
  parser.SetQuotedString(options.quoted_string);
  std::vector<Step> steps;
  for (int op : script) {
    Step step{};
    try {
      switch (op) {
        case 1: parser.Back(); break;
        case 2: step.code = parser.ToLexem(14); break;
        case 3: step.code = parser.ToLexem("SEL") ? 1 : 0; break;
        default: step.code = parser.GetNext(step.text); break;
      }
    } catch (const Exception& e) {
      step.error = e.Message();
    }
    step.curr_pos = parser.CurrPos();
    step.prev_pos = parser.PrevPos();
    step.prev_prev_pos = parser.PrevPrevPos();
    steps.push_back(step);
    if (!step.error.empty()) break;
  }
  return steps;
}

std::string RandomSqlText(std::mt19937& rng) {
  static const char* const pieces[] = {
      "select", "a1", "_x", "SEL", "12", "12.5", "3.", "'str ing'", "'a''b'", "\"q\"", "'open\nline'",
      "/* block\r\n comment */", "/**/", "/*/", "// inline\n", "--", "<>", "<=", ",", ".", "(", ")", "{", "~",
      " ", "  ", "\t", "\r\n", "\n", "\xE4\xF6", "and", "OR", "not"};
  std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
  std::uniform_int_distribution<int> count(0, 60);
  std::string text;
  for (int n = count(rng); n > 0; --n) text += pieces[pick(rng)];
  return text;
}

std::vector<int> RandomScript(std::mt19937& rng, size_t length) {
  std::discrete_distribution<int> op({80, 10, 5, 5});
  std::vector<int> script(length);
  for (int& s : script) s = op(rng);
  return script;
}

TEST(ParserStreamInput, SameLexemesAsTextInput) {
  std::mt19937 rng(20240611);
  const Options option_sets[] = {{true, false, false}, {false, true, true}, {false, false, false}, {true, true, true}};
  for (int round = 0; round < 400; ++round) {
    const std::string text = RandomSqlText(rng);
    const std::vector<int> script = RandomScript(rng, 120);
    const Options& options = option_sets[round % 4];
    auto by_text = MakeParser<TParser>(text);
    const std::vector<Step> expected = RunScript(*by_text, options, script);
    for (int block_size : {1, 2, 3, 7, 64}) {
      TMemoryStream stream;
      Fill(stream, text);
      auto by_stream = MakeParser<TParser>(stream);
      by_stream->SetBlockSize(block_size);
      ASSERT_EQ(RunScript(*by_stream, options, script), expected) << "text: " << text << " block size " << block_size;
    }
  }
}

TEST(ParserStreamInput, BackAcrossABlockBoundary) {
  TMemoryStream stream;
  Fill(stream, "alpha     beta gamma");
  auto parser = MakeParser<TParser>(stream);
  parser->SetBlockSize(4);
  std::string lexem;
  parser->GetNext(lexem);
  parser->GetNext(lexem);
  EXPECT_EQ(lexem, "beta");
  parser->Back();  // to position 6, several blocks behind the scan
  EXPECT_EQ(parser->GetNext(lexem), LexemIdent);
  EXPECT_EQ(lexem, "beta");
  EXPECT_EQ(parser->PrevPos(), 5);
  EXPECT_EQ(parser->GetNext(lexem), LexemIdent);
  EXPECT_EQ(lexem, "gamma");
}

TEST(ParserStreamInput, ShortReadsAndRestart) {
  const std::string text = "select x, 'long string value' from t /* tail comment */";
  TTrickleStream stream(3);
  Fill(stream, text);
  auto parser = MakeParser<TParser>(stream);
  parser->SetBlockSize(8);
  auto by_text = MakeParser<TParser>(text);
  const std::vector<int> script(20, 0);
  const std::vector<Step> expected = RunScript(*by_text, {true, false, false}, script);
  EXPECT_EQ(RunScript(*parser, {true, false, false}, script), expected);
  parser->ToBegin();  // reads the stream again from its start
  EXPECT_EQ(RunScript(*parser, {true, false, false}, script), expected);
  parser->SetText("other");
  std::string lexem;
  EXPECT_EQ(parser->GetNext(lexem), LexemIdent);
  EXPECT_EQ(lexem, "other");
}

// Spans that start in the current block and end in blocks not read yet,
// and spans reaching past the text, read as over text input.
TEST(ParserStreamInput, CopyTextOfSpansAheadOfTheScan) {
  const std::string text = "abcdefghij klmnop";
  auto by_text = MakeParser<TParser>(text);
  for (int block_size : {1, 2, 4, 7}) {
    for (const auto& [position, length] : {std::pair{3, 6}, {1, 17}, {9, 5}, {15, 6}, {20, 2}}) {
      TMemoryStream stream;
      Fill(stream, text);
      auto by_stream = MakeParser<TParser>(stream);
      by_stream->SetBlockSize(block_size);
      by_stream->GetChar(position);
      std::string expected;
      std::string got;
      by_text->CopyText(position, length, expected);
      by_stream->CopyText(position, length, got);
      EXPECT_EQ(got, expected) << "block size " << block_size << ", span " << position << "+" << length;
    }
  }
}

TEST(ParserStreamInput, StreamEndingEarlyEndsTheText) {
  TShortStream stream;
  Fill(stream, "a 'b");
  auto parser = MakeParser<TParser>(stream);
  parser->SetBlockSize(2);
  std::string lexem;
  EXPECT_EQ(parser->GetNext(lexem), LexemIdent);
  EXPECT_EQ(parser->GetNext(lexem), LexemString);
  EXPECT_EQ(lexem, "b");
  EXPECT_EQ(parser->GetNext(lexem), LexemEnd);
  EXPECT_EQ(parser->TextLength(), 4);
}

TEST(ParserStreamInput, RandomBytesGiveLexemesOrTheUnknownSymbolError) {
  std::mt19937 rng(77);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> length(0, 300);
  for (int round = 0; round < 300; ++round) {
    std::string text(static_cast<size_t>(length(rng)), '\0');
    for (char& c : text) c = static_cast<char>(byte(rng));
    // Bias towards the characters that open quotes and comments.
    for (size_t i = 0; i < text.size(); i += 5) text[i] = "'\"/*-\n "[static_cast<size_t>(byte(rng)) % 7];
    const std::vector<int> script = RandomScript(rng, 200);
    const Options options{round % 2 == 0, round % 3 == 0, round % 5 == 0};
    auto by_text = MakeParser<TParser>(text);
    const std::vector<Step> expected = RunScript(*by_text, options, script);
    for (const Step& step : expected) {
      if (!step.error.empty()) {
        EXPECT_EQ(step.error.rfind("Parser: The unknown symbol '", 0), 0u);
      }
    }
    TMemoryStream stream;
    Fill(stream, text);
    auto by_stream = MakeParser<TParser>(stream);
    by_stream->SetBlockSize(1 + round % 5);
    ASSERT_EQ(RunScript(*by_stream, options, script), expected);
  }
}

}  // namespace
}  // namespace dac
