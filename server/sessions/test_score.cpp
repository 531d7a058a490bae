#include "server/sessions/test_score.h"

namespace server {

int32_t ChosenAnswerScore(const content::TQuestion& question) {
  return TSessionQuestions::IsAnswered(question) ? question.GetAnswerScore(question.GetChosenAnswer() - 1) : 0;
}

int FindGradeBand(const TSessionQuestions& test, int64_t percentage) {
  for (int i = 0; i < test.GetBandCount(); ++i) {
    const TGradeBand& band = test.GetBand(i);
    if (band.GetLow() <= percentage && percentage <= band.GetHigh()) return i;
  }
  return TTestScore::kNoBand;
}

TTestScore ScoreTest(const TSessionQuestions& test) {
  TTestScore score;
  const content::TQuestionsList& questions = test.GetQuestions();
  for (int i = 0; i < questions.Count(); ++i) {
    const content::TQuestion& question = *questions.GetQuestion(i);
    score.answered_score += ChosenAnswerScore(question);
    score.max_score += question.GetMaxScore();
  }
  if (score.max_score > 0) score.percentage = score.answered_score * 100 / score.max_score;
  score.grade_band = FindGradeBand(test, score.percentage);
  return score;
}

}  // namespace server
