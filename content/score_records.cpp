#include "content/score_records.h"

#include <algorithm>
#include <limits>

#include "platform/clock.h"

namespace content {
namespace {

int32_t ClampToInt32(int64_t value) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// Truncating, as integer division does. A test worth 0 points (a crafted
// answers record can hold one) counts 0 % rather than dividing by zero.
int32_t Percentage(int32_t answered_score, int32_t max_score) {
  if (max_score == 0) return 0;
  return ClampToInt32(int64_t{answered_score} * 100 / max_score);
}

bool MonthAfter(int32_t month_a, int32_t year_a, int32_t month_b, int32_t year_b) {
  return year_a != year_b ? year_a > year_b : month_a > month_b;
}

void StepBackOneMonth(int32_t& month, int32_t& year) {
  if (--month < 1) {
    month = 12;
    --year;
  }
}

}  // namespace

TMonthScore& TMonthScores::FindOrAdd(int32_t month, int32_t year) {
  for (const auto& entry : months_) {
    if (entry->month == month && entry->year == year) return *entry;
  }
  auto entry = std::make_unique<TMonthScore>();
  entry->month = month;
  entry->year = year;
  months_.push_back(std::move(entry));
  return *months_.back();
}

void TMonthScores::Sort() {
  std::stable_sort(months_.begin(), months_.end(),
                   [](const auto& a, const auto& b) { return MonthAfter(b->month, b->year, a->month, a->year); });
}

int32_t TMonthScores::GetScore(int32_t month, int32_t year, std::string& grade) const {
  for (auto it = months_.rbegin(); it != months_.rend(); ++it) {
    const TMonthScore& entry = **it;
    if (MonthAfter(entry.month, entry.year, month, year) || entry.best_score <= 0) continue;
    grade = entry.best_grade;
    return entry.best_score;
  }
  grade.clear();
  return 0;
}

void TSubject::Clear() {
  tests_.clear();
  best_score_ = 0;
  max_score_ = 100;
  best_grade_.clear();
  usage_ = 0;
}

TTest& TSubject::FindOrAddTest(int32_t test_id) {
  for (const auto& test : tests_) {
    if (test->test_id == test_id) return *test;
  }
  auto test = std::make_unique<TTest>();
  test->test_id = test_id;
  test->max_score = 0;
  test->answered_score = 0;
  tests_.push_back(std::move(test));
  return *tests_.back();
}

void TSubject::CalcStats(int32_t month, int32_t year) {
  TMonthScores months;
  max_score_ = 100;
  best_score_ = 0;
  best_grade_.clear();
  test_count_ = ClampToInt32(static_cast<int64_t>(tests_.size()));

  for (const auto& test : tests_) {
    const int32_t percentage = Percentage(test->answered_score, test->max_score);
    test->answered_score = percentage;
    test->max_score = 100;

    const plat::CalendarDate date = plat::DecodeDate(test->date);
    TMonthScore& entry = months.FindOrAdd(date.month, date.year);
    if (entry.best_score < percentage) {
      entry.best_score = percentage;
      entry.best_grade = test->grade;
    }
    entry.score_sum += percentage;
    entry.test_count += 1;

    if (month != -1 && (date.month != month || date.year != year)) continue;
    if (percentage > best_score_) {
      best_score_ = percentage;
      best_grade_ = test->grade;
      best_test_id_ = test->test_id;
      best_date_ = test->date;
    }
  }
  months.Sort();

  if (month != -1 && best_score_ == 0) best_score_ = months.GetScore(month, year, best_grade_);

  // The improvement always looks at the real current month, whatever month
  // the best score was asked for.
  const plat::LocalTime today = plat::ProcessClock().Now();
  int32_t scan_month = today.month;
  int32_t scan_year = today.year;
  std::string unused_grade;
  int64_t earlier_sum = 0;
  for (int k = 0; k < 3; ++k) {
    StepBackOneMonth(scan_month, scan_year);
    earlier_sum += months.GetScore(scan_month, scan_year, unused_grade);
  }
  const int64_t current = months.GetScore(today.month, today.year, unused_grade);
  improvement_ = ClampToInt32(current - earlier_sum / 3);
}

void TSubjects::Clear() {
  subjects_.clear();
  best_score_ = 0;
  max_score_ = 100;
  best_grade_.clear();
}

TSubject& TSubjects::FindOrAdd(int32_t subject_number) {
  for (const auto& subject : subjects_) {
    if (subject->GetSubjectNumber() == subject_number) return *subject;
  }
  subjects_.push_back(std::make_unique<TSubject>(subject_number));
  return *subjects_.back();
}

void TSubjects::CalcStats(int32_t month, int32_t year) {
  constexpr int32_t kNoImprovement = -9999999;
  best_score_ = 0;
  max_score_ = 100;
  best_grade_.clear();
  int64_t usage = 0;
  int64_t test_count = 0;
  improvement_ = kNoImprovement;

  for (const auto& subject : subjects_) {
    subject->CalcStats(month, year);
    if (subject->GetBestScore() > best_score_) {
      best_score_ = subject->GetBestScore();
      best_subject_number_ = subject->GetSubjectNumber();
      best_test_id_ = subject->GetBestTestId();
      best_grade_ = subject->GetBestGrade();
      best_date_ = subject->GetBestDate();
    }
    usage += subject->GetUsage();
    test_count += subject->GetTestCount();
    improvement_ = std::max(improvement_, subject->GetImprovement());
  }
  usage_ = ClampToInt32(usage);
  test_count_ = ClampToInt32(test_count);
  if (improvement_ == kNoImprovement) improvement_ = 0;
}

}  // namespace content
