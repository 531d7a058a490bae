#include "server/stats/stats_computation.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "server/stats/month_steps.h"

namespace server {
namespace {

constexpr int kNoHolder = -1;

int32_t ToInt32(int64_t value) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// The highest and the lowest of a run of values with who holds each. A
// value replaces the highest when it is greater or equal and the lowest
// when it is less or equal, so the later of equal values wins.
class TExtremes {
 public:
  TExtremes(int64_t highest_start, int64_t lowest_start, int holder_start)
      : highest_(highest_start), lowest_(lowest_start), highest_holder_(holder_start), lowest_holder_(holder_start) {}

  void Offer(int64_t value, int holder) {
    if (value >= highest_) {
      highest_ = value;
      highest_holder_ = holder;
    }
    if (value <= lowest_) {
      lowest_ = value;
      lowest_holder_ = holder;
      lowered_ = true;
    }
  }

  int64_t highest() const { return highest_; }
  // A lowest that nothing lowered reads as 0.
  int64_t lowest() const { return lowered_ ? lowest_ : 0; }
  int highest_holder() const { return highest_holder_; }
  int lowest_holder() const { return lowest_holder_; }

 private:
  int64_t highest_;
  int64_t lowest_;
  int highest_holder_;
  int lowest_holder_;
  bool lowered_ = false;
};

// The four values each user or module is ranked on.
struct TRankedValues {
  int64_t score = 0;
  int64_t usage = 0;
  int64_t tests = 0;
  int64_t improvement = 0;
};

TRankedValues ValuesOf(const content::TSubjects& subjects) {
  return {subjects.GetBestScore(), subjects.GetUsage(), subjects.GetTestCount(), subjects.GetImprovement()};
}

TRankedValues ValuesOf(const content::TSubject& subject) {
  return {subject.GetBestScore(), subject.GetUsage(), subject.GetTestCount(), subject.GetImprovement()};
}

struct TRanking {
  TExtremes score;
  TExtremes usage;
  TExtremes tests;
  TExtremes improvement;

  void Offer(const TRankedValues& values, int holder) {
    score.Offer(values.score, holder);
    usage.Offer(values.usage, holder);
    tests.Offer(values.tests, holder);
    improvement.Offer(values.improvement, holder);
  }
};

TScoreFigures ScoreFigures(int64_t highest, int64_t lowest, const TGradeTable& grades) {
  const int64_t average = (highest + lowest) / 2;
  return {std::to_string(highest),   std::to_string(lowest),   std::to_string(average),
          GetGrade(grades, highest), GetGrade(grades, lowest), GetGrade(grades, average)};
}

template <typename NameOf>
TRankingStats RankingTexts(const TRanking& ranking, const TGradeTable& grades, NameOf name_of) {
  TRankingStats stats;
  stats.computed = true;
  stats.scores = ScoreFigures(ranking.score.highest(), ranking.score.lowest(), grades);
  stats.highest_holder = name_of(ranking.score.highest_holder());
  stats.lowest_holder = name_of(ranking.score.lowest_holder());
  stats.highest_usage = {std::to_string(ranking.usage.highest()), name_of(ranking.usage.highest_holder())};
  stats.lowest_usage = {std::to_string(ranking.usage.lowest()), name_of(ranking.usage.lowest_holder())};
  stats.highest_tests = {std::to_string(ranking.tests.highest()), name_of(ranking.tests.highest_holder())};
  stats.lowest_tests = {std::to_string(ranking.tests.lowest()), name_of(ranking.tests.lowest_holder())};
  stats.most_improved = {ImprovementText(ranking.improvement.highest()), name_of(ranking.improvement.highest_holder())};
  stats.least_improved = {ImprovementText(ranking.improvement.lowest()), name_of(ranking.improvement.lowest_holder())};
  return stats;
}

// The four months ending with the statistics date's month, oldest first:
// month_value(month, year) gives each month's figure.
template <typename MonthValue>
TScoreHistory History(plat::DateTime stats_date, MonthValue month_value) {
  TScoreHistory history;
  history.computed = true;
  plat::DateTime month = DiffMonth(DiffMonth(DiffMonth(stats_date)));
  for (int32_t& value : history.values) {
    const plat::CalendarDate date = plat::DecodeDate(month);
    value = ToInt32(month_value(date.month, date.year));
    month = MyIncMonth(month);
  }
  return history;
}

}  // namespace

std::string GetGrade(const TGradeTable& grades, int64_t score) {
  for (const TGradeRange& row : grades.Rows())
    if (row.low <= score && score <= row.high) return row.name;
  return "";
}

std::string ImprovementText(int64_t improvement) {
  return (improvement >= 0 ? "+" : "") + std::to_string(improvement) + "%";
}

bool TUserFilter::Includes(const content::TUser& user) const {
  switch (kind) {
    case Kind::kAll:
      return true;
    case Kind::kGroup:
      return user.IsInGroup(group_id);
    case Kind::kNobody:
      return false;
  }
  return false;
}

std::string TScoreHistory::Text() const {
  if (!computed) return std::string(kNoFigure);
  std::string text;
  for (const int32_t value : values) {
    if (!text.empty()) text += ',';
    text += std::to_string(value);
  }
  return text;
}

std::string TScoreHistory::MeanText() const {
  if (!computed) return std::string(kNoFigure);
  int64_t sum = 0;
  for (const int32_t value : values) sum += value;
  return std::to_string(sum / 4);
}

TRankingStats GroupOverview(content::TUsersList& users, const TUserFilter& filter, std::optional<int32_t> subject,
                            const TGradeTable& grades) {
  std::vector<int> members;
  for (int i = 0; i < users.Count(); ++i)
    if (filter.Includes(*users.GetUser(i))) members.push_back(i);
  if (members.empty()) return {};

  // A user who never took the module gets an empty record: a zero.
  auto values_of = [&](int i) {
    content::TSubjects& subjects = users.GetUser(i)->GetSubjects();
    return subject ? ValuesOf(subjects.FindOrAdd(*subject)) : ValuesOf(subjects);
  };
  for (const int i : members) users.GetUser(i)->GetSubjects().CalcStats(-1, -1);

  // Every extreme starts from the first member, so each figure and its name
  // belong to a member even when all improvements are negative.
  const TRankedValues first = values_of(members.front());
  TRanking ranking{TExtremes(first.score, first.score, members.front()),
                   TExtremes(first.usage, first.usage, members.front()),
                   TExtremes(first.tests, first.tests, members.front()),
                   TExtremes(first.improvement, first.improvement, members.front())};
  for (const int i : members) ranking.Offer(values_of(i), i);

  TRankingStats stats = RankingTexts(ranking, grades, [&](int i) { return users.GetUser(i)->GetFullName(); });
  stats.history = History(users.GetStatsDate(), [&](int32_t month, int32_t year) {
    int64_t sum = 0;
    for (const int i : members) {
      content::TSubjects& subjects = users.GetUser(i)->GetSubjects();
      subjects.CalcStats(month, year);
      sum += subject ? subjects.FindOrAdd(*subject).GetBestScore() : subjects.GetBestScore();
    }
    return sum / static_cast<int64_t>(members.size());
  });
  return stats;
}

TEmployeeStats EmployeeStatistics(content::TUser& user, int32_t subject_number, const TGradeTable& grades,
                                  plat::DateTime stats_date) {
  content::TSubject& subject = user.GetSubjects().FindOrAdd(subject_number);
  subject.CalcStats(-1, -1);

  // Without tests both read 0.
  int64_t highest = 0;
  int64_t lowest = subject.TestCount() > 0 ? std::numeric_limits<int64_t>::max() : 0;
  for (int i = 0; i < subject.TestCount(); ++i) {
    const int64_t percentage = subject.GetTest(i).answered_score;
    highest = std::max(highest, percentage);
    lowest = std::min(lowest, percentage);
  }

  TEmployeeStats stats;
  stats.computed = true;
  stats.scores = ScoreFigures(highest, lowest, grades);
  stats.progress = ImprovementText(subject.GetImprovement());
  stats.test_frequency = std::to_string(subject.TestCount());
  stats.usage_frequency = std::to_string(subject.GetUsage());
  stats.bins = PercentileBins(subject);
  stats.history = History(stats_date, [&](int32_t month, int32_t year) {
    subject.CalcStats(month, year);
    return int64_t{subject.GetBestScore()};
  });
  return stats;
}

TRankingStats EmployeeModulesStatistics(content::TUser& user, const content::TStringList& titles,
                                        const TGradeTable& grades, plat::DateTime stats_date) {
  content::TSubjects& subjects = user.GetSubjects();
  subjects.CalcStats(-1, -1);

  constexpr int64_t kLowestStart = 1410065407;
  TRanking ranking{TExtremes(0, 9999999, kNoHolder), TExtremes(0, kLowestStart, kNoHolder),
                   TExtremes(0, kLowestStart, kNoHolder), TExtremes(0, 99999999, kNoHolder)};
  for (size_t i = 0; i < titles.size(); ++i) {
    if (titles[i].empty()) continue;
    const int index = static_cast<int>(i);
    ranking.Offer(ValuesOf(subjects.FindOrAdd(index + 1)), index);
  }

  TRankingStats stats = RankingTexts(
      ranking, grades, [&](int i) { return i == kNoHolder ? std::string(kNoFigure) : titles[static_cast<size_t>(i)]; });
  stats.history = History(stats_date, [&](int32_t month, int32_t year) {
    subjects.CalcStats(month, year);
    return subjects.Count() == 0 ? int64_t{0} : int64_t{subjects.GetBestScore()} / subjects.Count();
  });
  return stats;
}

std::array<int32_t, 11> PercentileBins(const content::TSubject& subject) {
  std::array<int64_t, 11> counters{};
  for (int i = 0; i < subject.TestCount(); ++i) {
    const int64_t bin = std::clamp<int64_t>(subject.GetTest(i).answered_score / 10, 0, 10);
    ++counters[static_cast<size_t>(bin)];
  }
  std::array<int32_t, 11> shares{};
  const int64_t tests = subject.TestCount();
  if (tests == 0) return shares;
  // In integers: a share that is a whole number of tenths stays whole.
  for (size_t i = 0; i < shares.size(); ++i) shares[i] = static_cast<int32_t>(counters[i] * 10 / tests);
  return shares;
}

}  // namespace server
