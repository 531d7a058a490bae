// The statistics pages: the group overview, one employee in one module, and
// one employee across modules.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "content/debug_log.h"
#include "content/percent_codec.h"
#include "platform/ascii.h"
#include "server/http/method_log.h"
#include "server/quiz/answers_reading.h"
#include "server/quiz/request_numbers.h"
#include "server/quiz_session.h"
#include "server/stats/stats_computation.h"
#include "server/stats/stats_csv.h"
#include "server/stats/stats_graphs.h"

namespace server {
namespace {

constexpr int32_t kAll = -1;

// " name=\"value\"" with the value as it stands (numbers and figures).
std::string Attribute(std::string_view name, std::string_view value) {
  return " " + std::string(name) + "=\"" + std::string(value) + "\"";
}
std::string EncodedAttribute(std::string_view name, std::string_view value) {
  return Attribute(name, content::PercentEncode(value));
}
// A parameter echoed as received: escaped so it stays inside its attribute.
std::string EchoAttribute(const content::TRequestMap& map, std::string_view name, std::string_view parameter) {
  return Attribute(name, plat::XmlAttrEscape(map.GetValue(parameter)));
}

// M/d/yyyy.
std::string ShortDate(plat::DateTime date) {
  const plat::CalendarDate d = plat::DecodeDate(date);
  char text[48];
  std::snprintf(text, sizeof text, "%d/%d/%04d", d.month, d.day, d.year);
  return text;
}

// The overview's users and how its CSV names them.
struct TGroupSelection {
  TUserFilter filter;
  std::string profile;
};

// "-1" covers everyone; any other value is a group's index (a non-number
// reads as 0, so an absent "group" means the first group). An index outside
// the table covers nobody.
TGroupSelection GroupSelection(const content::TRequestMap& map, const content::TGroupsList& groups) {
  if (map.GetValue("group") == "-1") return {TUserFilter::All(), "*"};
  const content::TGroup* group = groups.GetGroup(NumberOr(map, "group", 0));
  if (group == nullptr) return {TUserFilter::Nobody(), ""};
  return {TUserFilter::Group(group->GetId()), group->GetTitle()};
}

// A title index from 0, kAll, or below kAll: neither.
int32_t ModuleParameter(const content::TRequestMap& map) { return NumberOr(map, "module", kAll); }

// Title index i names subject i + 1. The largest index has no number after
// it and wraps to the lowest, which no real subject has.
int32_t SubjectOfTitle(int32_t index) { return static_cast<int32_t>(static_cast<uint32_t>(index) + 1u); }

// The user the "employee" parameter names, or null.
content::TUser* EmployeeParameter(const content::TRequestMap& map, const content::TUsersList& users) {
  return users.GetUser(NumberOr(map, "employee", kAll));
}

std::string TitleOf(const content::TStringList& titles, int32_t index) {
  return index >= 0 && static_cast<size_t>(index) < titles.size() ? titles[static_cast<size_t>(index)] : "";
}

std::string GroupsList(const content::TGroupsList& groups) {
  std::string list = "*\r-1";
  for (int i = 0; i < groups.Count(); ++i) list += "\r" + groups.GetGroup(i)->GetTitle() + "\r" + std::to_string(i);
  return list;
}

std::string UsersList(const content::TUsersList& users) {
  std::string list;
  for (int i = 0; i < users.Count(); ++i) {
    if (i > 0) list += "\r";
    list += users.GetUser(i)->GetFullName() + "\r" + std::to_string(i);
  }
  return list;
}

// Groups, CurrentGroup, Modules, CurrentModule, then the employee echoed
// under its page's name (none on the overview), then Users.
std::string SelectionAttributes(const content::TRequestMap& map, const content::TGroupsList& groups,
                                const std::string& modules, const content::TUsersList& users,
                                std::string_view employee_echo) {
  std::string attributes = EncodedAttribute("Groups", GroupsList(groups)) +
                           EchoAttribute(map, "CurrentGroup", "group") + EncodedAttribute("Modules", modules) +
                           EchoAttribute(map, "CurrentModule", "module");
  if (!employee_echo.empty()) attributes += EchoAttribute(map, employee_echo, "employee");
  return attributes + EncodedAttribute("Users", UsersList(users));
}

std::string ScoreAttributes(const TScoreFigures& scores) {
  return Attribute("HighestScore", scores.highest) + Attribute("LowestScore", scores.lowest) +
         Attribute("AverageScore", scores.average) + EncodedAttribute("HighestGrade", scores.highest_grade) +
         EncodedAttribute("LowestGrade", scores.lowest_grade) + EncodedAttribute("AverageGrade", scores.average_grade);
}

// The ranking's attributes after the scores; holders named with the suffix
// ("Name" for users, "Module" for modules).
std::string RankingAttributes(const TRankingStats& stats, const std::string& holder) {
  return EncodedAttribute("Highest" + holder, stats.highest_holder) +
         EncodedAttribute("Lowest" + holder, stats.lowest_holder) +
         Attribute("HighestUsage", stats.highest_usage.value) +
         EncodedAttribute("HighestUsage" + holder, stats.highest_usage.holder) +
         Attribute("LowestUsage", stats.lowest_usage.value) +
         EncodedAttribute("LowestUsage" + holder, stats.lowest_usage.holder) +
         Attribute("HighestTests", stats.highest_tests.value) +
         EncodedAttribute("HighestTests" + holder, stats.highest_tests.holder) +
         Attribute("LowestTests", stats.lowest_tests.value) +
         EncodedAttribute("LowestTests" + holder, stats.lowest_tests.holder) +
         Attribute("MostImproved", stats.most_improved.value) + Attribute("LeastImproved", stats.least_improved.value) +
         EncodedAttribute("MostImproved" + holder, stats.most_improved.holder) +
         EncodedAttribute("LeastImproved" + holder, stats.least_improved.holder);
}

TStatsCsvRow RankingCsvRow(std::string profile, const TRankingStats& stats) {
  return {std::move(profile),        stats.scores.highest,     stats.highest_holder,      stats.scores.lowest,
          stats.lowest_holder,       stats.scores.average,     stats.most_improved.value, stats.highest_tests.value,
          stats.highest_usage.value, stats.history.MeanText(), stats.history.Text()};
}

// A freshly drawn graph; none when drawing fails, so the page still answers.
template <typename Draw>
std::optional<std::string> DrawnGraph(Draw draw) {
  try {
    return draw();
  } catch (const std::exception& e) {
    content::LogMessage("cannot draw a statistics graph: %s", e.what());
    return std::nullopt;
  }
}

}  // namespace

std::string TQuizSession::StatsModulesList() const {
  std::string list = "*\r-1";
  for (size_t i = 0; i < subject_titles_.size(); ++i) {
    const std::string& title = subject_titles_[i];
    if (title.empty() || !HasSubjectQuestions(static_cast<int32_t>(i) + 1)) continue;
    list += "\r" + title + "\r" + std::to_string(i);
  }
  return list;
}

bool TQuizSession::AdminStatsIndex(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminStatsIndex");
  if (!CheckAdminSession(channel, map)) return true;
  const TGroupSelection group = GroupSelection(map, groups_);
  const int32_t module = ModuleParameter(map);
  // Below -1 the number itself: a subject no record has.
  const std::optional<int32_t> subject =
      module == kAll ? std::nullopt : std::optional<int32_t>(module >= 0 ? SubjectOfTitle(module) : module);

  CalcUserStats(users_, data_folder_, &stats_.answers);
  const TRankingStats stats = GroupOverview(users_, group.filter, subject, grades_);

  stats_.index_graph.reset();
  if (stats.computed)
    stats_.index_graph =
        DrawnGraph([&] { return ScoreGraphJpeg(stats.history.values, grades_, users_.GetStatsDate()); });

  stats_.group_csv = StatsCsvLines(RankingCsvRow(group.profile, stats));

  ReturnXML(channel, "<movie " + SelectionAttributes(map, groups_, StatsModulesList(), users_, "") +
                         ScoreAttributes(stats.scores) + RankingAttributes(stats, "Name") +
                         EncodedAttribute("LastUpdated", ShortDate(users_.GetStatsDate())) + "/>");
  return true;
}

bool TQuizSession::AdminStatsEmployee(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminStatsEmployee");
  if (!CheckAdminSession(channel, map)) return true;
  const int32_t module = ModuleParameter(map);
  content::TUser* employee = EmployeeParameter(map, users_);

  TEmployeeStats stats;
  stats_.employee_graph.reset();
  stats_.employee_graph2.reset();
  if (employee != nullptr && module >= 0) {
    stats = EmployeeStatistics(*employee, SubjectOfTitle(module), grades_, users_.GetStatsDate());
    stats_.employee_graph =
        DrawnGraph([&] { return ScoreGraphJpeg(stats.history.values, grades_, users_.GetStatsDate()); });
    stats_.employee_graph2 = DrawnGraph([&] { return PercentileGraphJpeg(stats.bins); });
  }

  const std::string module_title = module >= 0 ? TitleOf(subject_titles_, module) : "*";
  stats_.employee_csv =
      StatsCsvLines({employee != nullptr ? employee->GetFullName() : "", stats.scores.highest, module_title,
                     stats.scores.lowest, module_title, stats.scores.average, stats.progress, stats.test_frequency,
                     stats.usage_frequency, stats.history.MeanText(), stats.history.Text()});

  ReturnXML(channel, "<movie " + SelectionAttributes(map, groups_, StatsModulesList(), users_, "CurrentUser") +
                         ScoreAttributes(stats.scores) + Attribute("Progress", stats.progress) +
                         Attribute("TestFrequency", stats.test_frequency) +
                         Attribute("UsageFrequency", stats.usage_frequency) +
                         EncodedAttribute("LastUpdated", ShortDate(users_.GetStatsDate())) + "/>");
  return true;
}

bool TQuizSession::AdminStatsModule(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminStatsModule");
  if (!CheckAdminSession(channel, map)) return true;
  const int32_t module = ModuleParameter(map);
  content::TUser* employee = EmployeeParameter(map, users_);

  TRankingStats stats;
  stats_.modules_graph.reset();
  if (employee != nullptr && module == kAll) {
    stats = EmployeeModulesStatistics(*employee, subject_titles_, grades_, users_.GetStatsDate());
    stats_.modules_graph =
        DrawnGraph([&] { return ScoreGraphJpeg(stats.history.values, grades_, users_.GetStatsDate()); });
  }

  stats_.modules_csv = StatsCsvLines(RankingCsvRow(employee != nullptr ? employee->GetFullName() : "", stats));

  ReturnXML(channel, "<movie " + SelectionAttributes(map, groups_, StatsModulesList(), users_, "CurrentEmployee") +
                         ScoreAttributes(stats.scores) + RankingAttributes(stats, "Module") +
                         EncodedAttribute("LastUpdated", ShortDate(users_.GetStatsDate())) + "/>");
  return true;
}

}  // namespace server
