// The statistics figures: the group overview, one employee in one module,
// and one employee across modules, each with its four-month score history,
// and the employee's percentile bins.
//
// Figures travel as decimal texts; one that was not computed is "?". The
// computations read the users' score records as the last CalcUserStats (see
// answers_reading.h) left them and add empty subject records for modules a
// user never took, which count as zeros from then on.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "content/score_records.h"
#include "content/text_lists.h"
#include "content/users.h"
#include "platform/date_time.h"
#include "server/quiz/grade_table.h"

namespace server {

inline constexpr std::string_view kNoFigure = "?";

// The name of the first grade row with low <= score <= high; "" when none.
std::string GetGrade(const TGradeTable& grades, int64_t score);
// "+12%", "+0%", "-7%".
std::string ImprovementText(int64_t improvement);

// The users an overview covers.
struct TUserFilter {
  enum class Kind { kAll, kGroup, kNobody };
  Kind kind = Kind::kAll;
  int32_t group_id = 0;  // kGroup

  static TUserFilter All() { return {}; }
  static TUserFilter Group(int32_t id) { return {Kind::kGroup, id}; }
  static TUserFilter Nobody() { return {Kind::kNobody, 0}; }
  bool Includes(const content::TUser& user) const;
};

// Monthly scores of the four months ending with the statistics date's
// month, oldest first.
struct TScoreHistory {
  bool computed = false;
  std::array<int32_t, 4> values{};

  // "a,b,c,d", or "?".
  std::string Text() const;
  // The values' mean, truncated, or "?".
  std::string MeanText() const;
};

// Highest, lowest and average score with their grades.
struct TScoreFigures {
  std::string highest{kNoFigure};
  std::string lowest{kNoFigure};
  std::string average{kNoFigure};
  std::string highest_grade{kNoFigure};
  std::string lowest_grade{kNoFigure};
  std::string average_grade{kNoFigure};
};

// A figure and who holds it: a user's full name or a module's title.
struct THeldFigure {
  std::string value{kNoFigure};
  std::string holder{kNoFigure};
};

// The group overview and the employee modules page: who or which module
// stands highest and lowest in score, usage, test count and improvement.
struct TRankingStats {
  bool computed = false;
  TScoreFigures scores;
  std::string highest_holder{kNoFigure};
  std::string lowest_holder{kNoFigure};
  THeldFigure highest_usage;
  THeldFigure lowest_usage;
  THeldFigure highest_tests;
  THeldFigure lowest_tests;
  THeldFigure most_improved;
  THeldFigure least_improved;
  TScoreHistory history;
};

struct TEmployeeStats {
  bool computed = false;
  TScoreFigures scores;
  std::string progress{kNoFigure};
  std::string test_frequency{kNoFigure};
  std::string usage_frequency{kNoFigure};
  TScoreHistory history;
  std::array<int32_t, 11> bins{};
};

// The users in the filter, ranked on one module (a subject number) or on
// all of them (nullopt). Nothing is computed when nobody is in the filter.
// Ties go to the later user in table order. The history months end with the
// table's statistics date.
TRankingStats GroupOverview(content::TUsersList& users, const TUserFilter& filter, std::optional<int32_t> subject,
                            const TGradeTable& grades);

// One user's results in one subject.
TEmployeeStats EmployeeStatistics(content::TUser& user, int32_t subject, const TGradeTable& grades,
                                  plat::DateTime stats_date);

// One user's modules ranked against each other: every non-empty title i
// names subject i + 1. Ties go to the later title.
TRankingStats EmployeeModulesStatistics(content::TUser& user, const content::TStringList& titles,
                                        const TGradeTable& grades, plat::DateTime stats_date);

// The share of the subject's tests in each tenth of the percentage range,
// in tenths: bin i holds percentages 10i..10i+9, bin 10 holds 100 (and
// anything above; anything below 0 falls into bin 0). The tests must hold
// percentages (after CalcStats).
std::array<int32_t, 11> PercentileBins(const content::TSubject& subject);

}  // namespace server
