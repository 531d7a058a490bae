// The score of a learner's test, worked out afresh from the chosen answers
// whenever a reply, a page or an answers record needs it.
//
//   answered score: the sum of the chosen answers' scores (answered
//                   questions only: a chosen answer of 1 to 5);
//   maximum score:  the sum of every question's maximum score;
//   percentage:     answered * 100 / maximum, truncated toward zero; 0 when
//                   the maximum is 0 or less;
//   grade band:     the first band, in band order, with Low <= percentage <=
//                   High; none when no band holds the percentage.
// Sums are 64-bit, so no count of questions or scores can overflow them.
#pragma once

#include <cstdint>

#include "content/question.h"
#include "server/sessions/grade_band.h"
#include "server/sessions/session_questions.h"

namespace server {

struct TTestScore {
  static constexpr int kNoBand = -1;

  int64_t answered_score = 0;
  int64_t max_score = 0;
  int64_t percentage = 0;
  int grade_band = kNoBand;  // the band's number, counted from 0

  bool HasBand() const { return grade_band != kNoBand; }
};

TTestScore ScoreTest(const TSessionQuestions& test);

// The first band holding the percentage, or TTestScore::kNoBand.
int FindGradeBand(const TSessionQuestions& test, int64_t percentage);

// The score of the question's chosen answer; 0 when it is not answered.
int32_t ChosenAnswerScore(const content::TQuestion& question);

}  // namespace server
