#include "server/quiz/question_draw.h"

#include <algorithm>

namespace server {

void DrawQuestions(content::TQuestionsList& questions, int32_t max_questions, plat::RandomSource& random) {
  const int keep = std::max(0, max_questions);
  while (questions.Count() > keep) {
    questions.Delete(plat::RandomBelow(random, questions.Count()));
    questions.SetModified(true);
  }
  const int count = questions.Count();
  for (int i = 0; i < count; ++i) {
    const int a = plat::RandomBelow(random, count);
    const int b = plat::RandomBelow(random, count);
    questions.Exchange(a, b);
  }
}

int32_t QuestionMaxScore(const content::TQuestion& question) {
  int32_t max_score = 0;
  for (int i = 0; i < content::TQuestion::kAnswerCount; ++i)
    if (!question.GetAnswerText(i).empty() && question.GetAnswerScore(i) > max_score)
      max_score = question.GetAnswerScore(i);
  return max_score;
}

}  // namespace server
