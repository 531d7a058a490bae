// A subject's question index (after a first byte that sets the test's
// question limit), drawn into a test as question generation draws it, which
// must give the test that loading every question and drawing from the list
// gives; each question as its stored record must load to the same record
// again, and each line of the input is also read as a stored record.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "content/question.h"
#include "content/questions_list.h"
#include "content/text_lines.h"
#include "fuzz/fuzz_support.h"
#include "platform/random.h"
#include "server/quiz/question_draw.h"

namespace fuzz {
namespace {

void RequireStableRecord(const content::TQuestion& question) {
  const std::string record = question.SaveToString();
  content::TQuestion again(nullptr, "");
  again.LoadFromString(record);
  Require(again.SaveToString() == record, "a stored question changes when loaded again");
}

}  // namespace
}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view text = fuzz::AsText(data + 1, size - 1);
  content::TQuestionsList questions;
  plat::LcgRandom random(size);
  server::DrawQuestionsFromIndex(text, questions, data[0], random);
  fuzz::Require(questions.Count() <= data[0], "the draw left more questions than the test takes");
  content::TQuestionsList whole_list;
  whole_list.LoadFromIndexText(text);
  plat::LcgRandom same_draws(size);
  server::DrawQuestions(whole_list, data[0], same_draws);
  fuzz::Require(whole_list.Count() == questions.Count(), "the two draws kept different numbers of questions");
  for (int i = 0; i < questions.Count(); ++i) {
    content::TQuestion& question = *questions.GetQuestion(i);
    fuzz::Require(question.SaveToString() == whole_list.GetQuestion(i)->SaveToString(), "the two draws differ");
    question.SetMaxScore(server::QuestionMaxScore(question));
    fuzz::RequireStableRecord(question);
  }
  // Records are read one by one: the first lines tell whether a record keeps.
  const content::TStringList lines = content::NonEmptyLines(text);
  for (size_t i = 0; i < std::min<size_t>(lines.size(), 256); ++i) {
    content::TQuestion question(nullptr, "");
    question.LoadFromString(lines[i]);
    fuzz::RequireStableRecord(question);
  }
  return 0;
}
