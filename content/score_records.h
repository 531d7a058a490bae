// A user's test results per subject, and the best-result and improvement
// figures the statistics pages show.
//
// Scores are points until CalcStats turns every test into a percentage of 100.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/date_time.h"

namespace content {

// One test result. The statistics reader fills it field by field.
struct TTest {
  int32_t test_id = 0;
  int32_t max_score = 100;
  int32_t answered_score = 0;
  std::string grade;
  plat::DateTime date = 0;
};

// The totals of one calendar month, built inside TSubject::CalcStats.
struct TMonthScore {
  int32_t month = 0;  // 1..12
  int32_t year = 0;
  int64_t score_sum = 0;
  int32_t best_score = 0;
  int32_t test_count = 0;
  std::string best_grade;
};

class TMonthScores {
 public:
  // The entry of that month; a new one with zero totals, appended, when none.
  TMonthScore& FindOrAdd(int32_t month, int32_t year);
  // Earliest month first.
  void Sort();
  // Going back from (month, year), the best score of the latest month that
  // has one above 0, with its grade; 0 and "" when there is none. Needs Sort.
  int32_t GetScore(int32_t month, int32_t year, std::string& grade) const;

  int Count() const { return static_cast<int>(months_.size()); }
  const TMonthScore& At(int i) const { return *months_.at(static_cast<size_t>(i)); }

 private:
  std::vector<std::unique_ptr<TMonthScore>> months_;
};

// The results of one subject.
class TSubject {
 public:
  explicit TSubject(int32_t subject_number = 0) : subject_number_(subject_number) {}
  TSubject(const TSubject&) = delete;
  TSubject& operator=(const TSubject&) = delete;

  // Deletes every test; best score 0, max score 100, best grade "", usage 0.
  void Clear();
  // The first test with that id; when none, a new one with max score 0 and
  // answered score 0, appended.
  TTest& FindOrAddTest(int32_t test_id);
  int TestCount() const { return static_cast<int>(tests_.size()); }
  TTest& GetTest(int i) const { return *tests_.at(static_cast<size_t>(i)); }

  // Turns every test into a percentage (stored back, so a second run changes
  // nothing) and finds the best test of month/year, or of all time when month
  // is -1. When the month has no result above 0, the latest earlier month's
  // best stands in. The improvement compares the current month (by the
  // process clock) with the average of the three before it.
  void CalcStats(int32_t month, int32_t year);

  int32_t GetSubjectNumber() const { return subject_number_; }
  int32_t GetBestTestId() const { return best_test_id_; }
  int32_t GetMaxScore() const { return max_score_; }
  int32_t GetBestScore() const { return best_score_; }
  int32_t GetUsage() const { return usage_; }
  void SetUsage(int32_t usage) { usage_ = usage; }
  // The number of tests of the last CalcStats.
  int32_t GetTestCount() const { return test_count_; }
  int32_t GetImprovement() const { return improvement_; }
  const std::string& GetBestGrade() const { return best_grade_; }
  plat::DateTime GetBestDate() const { return best_date_; }

 private:
  std::vector<std::unique_ptr<TTest>> tests_;
  int32_t subject_number_;
  int32_t best_test_id_ = 0;
  int32_t max_score_ = 100;
  int32_t best_score_ = 0;
  int32_t usage_ = 0;
  int32_t test_count_ = 0;
  int32_t improvement_ = 0;
  std::string best_grade_;
  plat::DateTime best_date_ = 0;
};

// A user's results, one TSubject per subject number.
class TSubjects {
 public:
  TSubjects() = default;
  TSubjects(const TSubjects&) = delete;
  TSubjects& operator=(const TSubjects&) = delete;

  // Deletes every subject; best score 0, max score 100, best grade "".
  void Clear();
  // The first subject with that number; a new one, appended, when none.
  TSubject& FindOrAdd(int32_t subject_number);
  int Count() const { return static_cast<int>(subjects_.size()); }
  TSubject& GetSubject(int i) const { return *subjects_.at(static_cast<size_t>(i)); }

  // Runs every subject's CalcStats and takes the best subject's result, the
  // sums of usage and test count and the largest improvement (0 without
  // subjects).
  void CalcStats(int32_t month, int32_t year);

  int32_t GetBestSubjectNumber() const { return best_subject_number_; }
  int32_t GetBestTestId() const { return best_test_id_; }
  int32_t GetMaxScore() const { return max_score_; }
  int32_t GetBestScore() const { return best_score_; }
  int32_t GetUsage() const { return usage_; }
  int32_t GetTestCount() const { return test_count_; }
  int32_t GetImprovement() const { return improvement_; }
  const std::string& GetBestGrade() const { return best_grade_; }
  plat::DateTime GetBestDate() const { return best_date_; }

 private:
  std::vector<std::unique_ptr<TSubject>> subjects_;
  int32_t best_subject_number_ = 0;
  int32_t best_test_id_ = 0;
  int32_t max_score_ = 100;
  int32_t best_score_ = 0;
  int32_t usage_ = 0;
  int32_t test_count_ = 0;
  int32_t improvement_ = 0;
  std::string best_grade_;
  plat::DateTime best_date_ = 0;
};

}  // namespace content
