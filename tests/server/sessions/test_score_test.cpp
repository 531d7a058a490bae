// The score of a test: sums, percentage, grade band and damaged answers.
#include "server/sessions/test_score.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace server {
namespace {

struct Answered {
  int32_t max_score;
  int32_t chosen;        // 1-5, or anything else for not answered
  int32_t chosen_score;  // the score of that answer
};

// A test of these questions with bands 0-49, 50-74, 60-100 (overlapping).
void Fill(TSessionQuestions& test, const std::vector<Answered>& questions) {
  for (const Answered& q : questions) {
    content::TQuestion& question = *test.GetQuestions().AddNew();
    std::string row = "Q;A;B;C;D;E;";
    for (int i = 1; i <= 5; ++i) row += std::to_string(i == q.chosen ? q.chosen_score : 0) + ";";
    question.LoadFromIndexRow(row);
    question.SetMaxScore(q.max_score);
    question.SetChosenAnswer(q.chosen);
  }
  test.SetBandCount(3);
  const int32_t bands[3][2] = {{0, 49}, {50, 74}, {60, 100}};
  for (int i = 0; i < 3; ++i) {
    test.GetBand(i).SetLow(bands[i][0]);
    test.GetBand(i).SetHigh(bands[i][1]);
  }
}

TEST(TestScore, SumsPercentageAndBand) {
  struct Case {
    const char* what;
    std::vector<Answered> questions;
    int64_t answered, max, percentage;
    int band;
  };
  std::vector<Answered> ten(10, {10, -1, 0});
  ten[0] = {10, 1, 10};
  ten[4] = {10, 2, 5};
  ten[9] = {10, 3, 0};
  const std::vector<Case> cases = {
      {"three of ten answered", ten, 15, 100, 15, 0},
      {"on a band's High", {{100, 1, 49}}, 49, 100, 49, 0},
      {"on a band's Low", {{100, 1, 50}}, 50, 100, 50, 1},
      {"overlap: the first band wins", {{100, 1, 70}}, 70, 100, 70, 1},
      {"only the later band", {{100, 1, 75}}, 75, 100, 75, 2},
      {"truncated toward zero", {{3, 1, 2}}, 2, 3, 66, 1},
      {"negative scores: no band", {{10, 1, -5}}, -5, 10, -50, TTestScore::kNoBand},
      {"maximum 0", {{0, 1, 7}}, 7, 0, 0, 0},
      {"maximum below 0", {{-4, 1, 7}}, 7, -4, 0, 0},
      {"chosen 0, 6 and -1 are not answered", {{10, 0, 9}, {10, 6, 9}, {10, -1, 9}}, 0, 30, 0, 0},
      {"no questions", {}, 0, 0, 0, 0},
      {"sums beyond 32 bits",
       {{INT_MAX, 1, INT_MAX}, {INT_MAX, 1, INT_MAX}},
       int64_t{INT_MAX} * 2,
       int64_t{INT_MAX} * 2,
       100,
       2},
  };
  for (const Case& c : cases) {
    TSessionQuestions test;
    Fill(test, c.questions);
    const TTestScore score = ScoreTest(test);
    EXPECT_EQ(score.answered_score, c.answered) << c.what;
    EXPECT_EQ(score.max_score, c.max) << c.what;
    EXPECT_EQ(score.percentage, c.percentage) << c.what;
    EXPECT_EQ(score.grade_band, c.band) << c.what;
  }
}

TEST(TestScore, NoBandsNoGrade) {
  TSessionQuestions test;
  test.GetQuestions().AddNew()->SetMaxScore(10);
  EXPECT_FALSE(ScoreTest(test).HasBand());
}

}  // namespace
}  // namespace server
