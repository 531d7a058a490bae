// A learner's answers.xml after a grade and a NUL: read into the learner's
// score records as the statistics read it, the statistics pages' figures
// computed from them, and a new record with that grade (as a band keeps it)
// added as an accepted answer adds it, which must leave a readable file
// readable.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "content/users.h"
#include "fuzz/fuzz_support.h"
#include "server/quiz/answers_reading.h"
#include "server/quiz/answers_record.h"
#include "server/quiz/grade_table.h"
#include "server/sessions/grade_band.h"
#include "server/stats/stats_computation.h"

namespace fuzz {
namespace {

void ComputeStatistics(content::TUsersList& users) {
  server::TGradeTable grades;
  grades.LoadFromText("0 49 Fail\n50 100 Pass\n");
  content::TUser& user = *users.GetUser(0);
  server::GroupOverview(users, server::TUserFilter::All(), std::nullopt, grades);
  server::GroupOverview(users, server::TUserFilter::All(), 1, grades);
  server::EmployeeStatistics(user, 1, grades, users.GetStatsDate());
  server::EmployeeModulesStatistics(user, {"Knots", "Hitches"}, grades, users.GetStatsDate());
}

void AddRecord(std::string_view grade, std::string_view document) {
  server::TAnswersRecord record;
  record.test_id = 7;
  record.date = plat::CalendarDate{2024, 6, 11};
  record.subject = 1;
  record.max_score = 10;
  record.answered_score = 7;
  server::TGradeBand band;
  band.SetGrade(grade);
  record.grade = band.GetGrade();
  record.usage = 2;
  const std::optional<std::string> added = server::InsertAnswersRecord(document, server::FormatAnswersRecord(record));
  if (!added) return;
  content::TSubjects subjects;
  Require(server::ReadAnswersDocument(*added, subjects), "adding a record made the file unreadable");
}

}  // namespace
}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = fuzz::AsText(data, size);
  const size_t nul = text.find('\0');
  if (nul == std::string_view::npos) return 0;
  const std::string_view document = text.substr(nul + 1);
  content::TUsersList users;
  users.AddNew()->SetLoginName("sam");
  plat::DateTime stats_date = 0;
  plat::TryEncodeDate(2024, 6, 30, stats_date);
  users.SetStatsDate(stats_date);
  if (!server::ReadAnswersDocument(document, users.GetUser(0)->GetSubjects())) return 0;
  fuzz::ComputeStatistics(users);
  fuzz::AddRecord(text.substr(0, nul), document);
  return 0;
}
