#include "content/score_records.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "platform/clock.h"
#include "platform/date_time.h"

namespace content {
namespace {

plat::DateTime Day(int year, int month, int day) {
  plat::DateTime value = 0;
  EXPECT_TRUE(plat::TryEncodeDate(year, month, day, value));
  return value;
}

// Statistics read "today" from the process clock; each test fixes it.
class ScoreRecords : public ::testing::Test {
 protected:
  void SetToday(int year, int month, int day) { clock_.SetNow(plat::LocalTime{year, month, day, 12, 0, 0, 0, 0}); }

  static void AddTest(TSubject& subject, int32_t id, int32_t answered, int32_t max, plat::DateTime date,
                      const std::string& grade) {
    TTest& test = subject.FindOrAddTest(id);
    test.answered_score = answered;
    test.max_score = max;
    test.date = date;
    test.grade = grade;
  }

  // 30 of 60 points in March 2006, 90 of 100 in April 2006.
  static void AddMarchAndApril(TSubject& subject) {
    AddTest(subject, 1, 30, 60, Day(2006, 3, 10), "C");
    AddTest(subject, 2, 90, 100, Day(2006, 4, 5) + 0.75, "A");
  }

  plat::ManualClock clock_;
  plat::ScopedProcessClock scoped_{clock_};
};

TEST_F(ScoreRecords, AllTimeBestAndPercentagesStoredBack) {
  SetToday(2006, 4, 20);
  TSubject subject(3);
  AddMarchAndApril(subject);
  subject.CalcStats(-1, -1);
  EXPECT_EQ(subject.GetBestScore(), 90);
  EXPECT_EQ(subject.GetBestGrade(), "A");
  EXPECT_EQ(subject.GetBestTestId(), 2);
  EXPECT_EQ(subject.GetBestDate(), Day(2006, 4, 5) + 0.75);
  EXPECT_EQ(subject.GetTestCount(), 2);
  EXPECT_EQ(subject.GetMaxScore(), 100);
  EXPECT_EQ(subject.GetTest(0).answered_score, 50);
  EXPECT_EQ(subject.GetTest(0).max_score, 100);
  EXPECT_EQ(subject.GetTest(1).answered_score, 90);

  // A second run finds the same figures and leaves the tests alone.
  const int32_t improvement = subject.GetImprovement();
  subject.CalcStats(-1, -1);
  EXPECT_EQ(subject.GetBestScore(), 90);
  EXPECT_EQ(subject.GetImprovement(), improvement);
  EXPECT_EQ(subject.GetTest(0).answered_score, 50);
  EXPECT_EQ(subject.GetTest(1).max_score, 100);
}

TEST_F(ScoreRecords, OneMonthAndTheFallbackToAnEarlierMonth) {
  SetToday(2006, 6, 1);
  TSubject subject(1);
  AddMarchAndApril(subject);
  subject.CalcStats(3, 2006);
  EXPECT_EQ(subject.GetBestScore(), 50);
  EXPECT_EQ(subject.GetBestGrade(), "C");
  EXPECT_EQ(subject.GetTestCount(), 2);

  subject.CalcStats(5, 2006);  // no May tests: April stands in
  EXPECT_EQ(subject.GetBestScore(), 90);
  EXPECT_EQ(subject.GetBestGrade(), "A");

  subject.CalcStats(2, 2006);  // nothing up to February
  EXPECT_EQ(subject.GetBestScore(), 0);
  EXPECT_EQ(subject.GetBestGrade(), "");

  subject.CalcStats(3, 2005);  // same month, other year
  EXPECT_EQ(subject.GetBestScore(), 0);
}

TEST_F(ScoreRecords, ImprovementComparesTodaysMonthWithTheThreeBefore) {
  TSubject subject(1);
  AddMarchAndApril(subject);
  // May 2006: current 90 (April stands in); April 90, March 50, February 0.
  SetToday(2006, 5, 15);
  subject.CalcStats(3, 2006);  // the month asked for does not matter
  EXPECT_EQ(subject.GetImprovement(), 90 - (90 + 50 + 0) / 3);

  // April 2006: current 90; March 50, February 0, January 0.
  SetToday(2006, 4, 1);
  subject.CalcStats(-1, -1);
  EXPECT_EQ(subject.GetImprovement(), 90 - 50 / 3);

  // Before any test: nothing to compare.
  SetToday(2006, 2, 1);
  subject.CalcStats(-1, -1);
  EXPECT_EQ(subject.GetImprovement(), 0);
}

TEST_F(ScoreRecords, ImprovementInJanuaryLooksAtTheYearBefore) {
  TSubject subject(1);
  AddTest(subject, 1, 30, 100, Day(2006, 10, 3), "D");
  AddTest(subject, 2, 60, 100, Day(2006, 11, 3), "C");
  AddTest(subject, 3, 80, 100, Day(2006, 12, 3), "B");
  AddTest(subject, 4, 70, 100, Day(2007, 1, 3), "B");
  AddTest(subject, 5, 95, 100, Day(2007, 2, 3), "A");  // after today: ignored
  SetToday(2007, 1, 20);
  subject.CalcStats(-1, -1);
  EXPECT_EQ(subject.GetImprovement(), 70 - (80 + 60 + 30) / 3);
  EXPECT_EQ(subject.GetBestScore(), 95);
}

TEST_F(ScoreRecords, TiesKeepTheEarlierTest) {
  SetToday(2006, 6, 1);
  TSubject subject(1);
  AddTest(subject, 7, 1, 2, Day(2006, 4, 1), "first");
  AddTest(subject, 8, 50, 100, Day(2006, 4, 2), "second");
  subject.CalcStats(-1, -1);
  EXPECT_EQ(subject.GetBestTestId(), 7);
  EXPECT_EQ(subject.GetBestGrade(), "first");
  EXPECT_EQ(subject.GetBestDate(), Day(2006, 4, 1));
  // The month's best keeps the earlier grade too.
  subject.CalcStats(5, 2006);
  EXPECT_EQ(subject.GetBestScore(), 50);
  EXPECT_EQ(subject.GetBestGrade(), "first");
}

TEST_F(ScoreRecords, TestsWorthNothingOrTooMuchStayInRange) {
  SetToday(2006, 6, 1);
  TSubject subject(1);
  AddTest(subject, 1, 5, 0, Day(2006, 4, 1), "zero");
  AddTest(subject, 2, std::numeric_limits<int32_t>::max(), 1, Day(2006, 4, 2), "huge");
  AddTest(subject, 3, std::numeric_limits<int32_t>::min(), 1, Day(2006, 5, 2), "low");
  subject.CalcStats(-1, -1);
  EXPECT_EQ(subject.GetTest(0).answered_score, 0);
  EXPECT_EQ(subject.GetTest(0).max_score, 100);
  EXPECT_EQ(subject.GetTest(1).answered_score, std::numeric_limits<int32_t>::max());
  EXPECT_EQ(subject.GetTest(2).answered_score, std::numeric_limits<int32_t>::min());
  EXPECT_EQ(subject.GetBestScore(), std::numeric_limits<int32_t>::max());
  subject.CalcStats(-1, -1);
  EXPECT_EQ(subject.GetTest(0).answered_score, 0);
}

TEST_F(ScoreRecords, SubjectTestsAndClear) {
  TSubject subject(4);
  TTest& added = subject.FindOrAddTest(9);
  EXPECT_EQ(added.max_score, 0);
  EXPECT_EQ(added.answered_score, 0);
  added.answered_score = 3;
  EXPECT_EQ(subject.FindOrAddTest(9).answered_score, 3);
  EXPECT_EQ(subject.TestCount(), 1);
  EXPECT_EQ(TTest().max_score, 100);

  SetToday(2006, 6, 1);
  subject.SetUsage(5);
  subject.CalcStats(-1, -1);
  subject.Clear();
  EXPECT_EQ(subject.TestCount(), 0);
  EXPECT_EQ(subject.GetUsage(), 0);
  EXPECT_EQ(subject.GetBestScore(), 0);
  EXPECT_EQ(subject.GetSubjectNumber(), 4);

  subject.CalcStats(-1, -1);
  EXPECT_EQ(subject.GetTestCount(), 0);
  EXPECT_EQ(subject.GetImprovement(), 0);
}

TEST_F(ScoreRecords, SubjectsTakeTheBestSubjectAndTheSums) {
  SetToday(2006, 5, 15);
  TSubjects user;
  user.CalcStats(-1, -1);
  EXPECT_EQ(user.GetImprovement(), 0);
  EXPECT_EQ(user.GetBestScore(), 0);

  TSubject& first = user.FindOrAdd(2);
  AddTest(first, 1, 40, 100, Day(2006, 5, 1), "C");  // improvement 40
  first.SetUsage(3);
  TSubject& second = user.FindOrAdd(5);
  AddTest(second, 1, 80, 100, Day(2006, 3, 1), "B");  // improvement 80 - 160/3
  AddTest(second, 2, 40, 100, Day(2006, 3, 2), "C");
  second.SetUsage(4);
  TSubject& third = user.FindOrAdd(6);              // ties with the second: the earlier wins
  AddTest(third, 1, 8, 10, Day(2006, 4, 1), "B-");  // improvement 80 - 80/3
  EXPECT_EQ(&user.FindOrAdd(2), &first);
  EXPECT_EQ(user.Count(), 3);

  user.CalcStats(-1, -1);
  EXPECT_EQ(user.GetBestScore(), 80);
  EXPECT_EQ(user.GetBestSubjectNumber(), 5);
  EXPECT_EQ(user.GetBestTestId(), 1);
  EXPECT_EQ(user.GetBestGrade(), "B");
  EXPECT_EQ(user.GetBestDate(), Day(2006, 3, 1));
  EXPECT_EQ(user.GetUsage(), 7);
  EXPECT_EQ(user.GetTestCount(), 4);
  EXPECT_EQ(user.GetImprovement(), 80 - 80 / 3);  // the third subject's
  EXPECT_EQ(user.GetMaxScore(), 100);

  user.Clear();
  EXPECT_EQ(user.Count(), 0);
  EXPECT_EQ(user.GetBestScore(), 0);
}

TEST(MonthScores, SortAndLookBack) {
  TMonthScores months;
  months.FindOrAdd(6, 2006).best_score = 60;
  months.FindOrAdd(1, 2006).best_score = 10;
  TMonthScore& march = months.FindOrAdd(3, 2006);
  march.best_score = 0;
  months.FindOrAdd(12, 2005).best_score = 5;
  months.FindOrAdd(12, 2005).best_grade = "dec";
  EXPECT_EQ(&months.FindOrAdd(3, 2006), &march);
  EXPECT_EQ(months.FindOrAdd(7, 2006).test_count, 0);
  months.Sort();
  ASSERT_EQ(months.Count(), 5);
  EXPECT_EQ(months.At(0).month, 12);
  EXPECT_EQ(months.At(1).month, 1);
  EXPECT_EQ(months.At(2).month, 3);
  EXPECT_EQ(months.At(3).month, 6);
  EXPECT_EQ(months.At(4).month, 7);

  std::string grade = "stale";
  EXPECT_EQ(months.GetScore(5, 2006, grade), 10);  // March has no score above 0
  EXPECT_EQ(months.GetScore(8, 2007, grade), 60);
  EXPECT_EQ(months.GetScore(12, 2005, grade), 5);
  EXPECT_EQ(grade, "dec");
  EXPECT_EQ(months.GetScore(11, 2005, grade), 0);
  EXPECT_EQ(grade, "");
}

}  // namespace
}  // namespace content
