// The statistics figures under an injected today: reading answers back, the
// month steps, grades, the three computations, their histories and bins.
#include "server/stats/stats_computation.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "server/quiz/answers_reading.h"
#include "server/quiz/answers_record.h"
#include "server/stats/month_steps.h"
#include "tests/support/test_folder.h"

namespace server {
namespace {

plat::DateTime Day(int year, int month, int day) {
  plat::DateTime date = 0;
  EXPECT_TRUE(plat::TryEncodeDate(year, month, day, date));
  return date;
}

std::string Record(const std::string& test_id, const std::string& date, const std::string& subject,
                   const std::string& max_score, const std::string& answered, const std::string& grade,
                   const std::string& usage = "1") {
  return "<Record><Testid>" + test_id + "</Testid><Date>" + date + "</Date><Subject>" + subject +
         "</Subject><MaxScore>" + max_score + "</MaxScore><AnsweredScore>" + answered + "</AnsweredScore><Grade>" +
         grade + "</Grade><Usage>" + usage + "</Usage></Record>";
}

std::string Document(const std::vector<std::string>& records) {
  std::string body;
  for (const std::string& record : records) body += record;
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Dataset>" + body + "</Dataset>";
}

// Today is 14 March 2025 unless a test moves it.
class StatsTest : public ::testing::Test {
 protected:
  StatsTest() { clock_.SetNow({2025, 3, 14, 12, 0, 0, 0, 5}); }

  // A user whose subject holds one test per score, all on the given day.
  content::TUser& AddUser(const std::string& name, int subject, const std::vector<int>& percentages,
                          plat::DateTime date = Day(2025, 3, 1)) {
    content::TUser& user = *users_.AddNew();
    user.SetLoginName(name);
    user.SetFullName(name);
    for (size_t i = 0; i < percentages.size(); ++i)
      AddTest(user, subject, static_cast<int>(i) + 1, percentages[i], date);
    return user;
  }
  static void AddTest(content::TUser& user, int subject, int id, int percentage, plat::DateTime date) {
    content::TTest& test = user.GetSubjects().FindOrAdd(subject).FindOrAddTest(id);
    test.max_score = 100;
    test.answered_score = percentage;
    test.date = date;
  }

  plat::ManualClock clock_;
  plat::ScopedProcessClock scoped_{clock_};
  content::TUsersList users_;
  TGradeTable grades_;
};

TEST_F(StatsTest, MonthStepsCrossYearsAndShortMonths) {
  struct Case {
    plat::DateTime from, earlier, later;
  };
  const Case cases[] = {
      {Day(2025, 1, 15), Day(2024, 12, 15), Day(2025, 2, 15)},
      {Day(2024, 12, 31), Day(2024, 11, 30), Day(2025, 1, 31)},
      {Day(2024, 3, 31), Day(2024, 2, 29), Day(2024, 4, 30)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DiffMonth(c.from), c.earlier);
    EXPECT_EQ(MyIncMonth(c.from), c.later);
  }
}

TEST_F(StatsTest, GradesAndImprovementTexts) {
  grades_.LoadFromText("0 49 Fail\r\n50 100 Pass\r\n40 60 Shadowed\r\n");
  EXPECT_EQ(GetGrade(grades_, 0), "Fail");
  EXPECT_EQ(GetGrade(grades_, 49), "Fail");
  EXPECT_EQ(GetGrade(grades_, 50), "Pass");  // the first row that holds it wins
  EXPECT_EQ(GetGrade(grades_, 100), "Pass");
  EXPECT_EQ(GetGrade(grades_, 101), "");
  EXPECT_EQ(GetGrade(grades_, -1), "");
  EXPECT_EQ(ImprovementText(12), "+12%");
  EXPECT_EQ(ImprovementText(0), "+0%");
  EXPECT_EQ(ImprovementText(-7), "-7%");
}

TEST_F(StatsTest, AnswersReadBackDayBeforeMonthAndTheBestRunningTotal) {
  EXPECT_EQ(ScanAnswersDate("2024-25-12"), (std::array<int, 3>{2024, 25, 12}));
  EXPECT_EQ(ScanAnswersDate(" 2024- 3-x"), (std::array<int, 3>{2024, 3, 0}));
  EXPECT_EQ(ScanAnswersDate(""), (std::array<int, 3>{0, 0, 0}));

  content::TSubjects subjects;
  ASSERT_TRUE(ReadAnswersDocument(Document({Record("7", "2024-25-12", "2", "100", "40", "Low", "3"),
                                            Record("7", "2024-03-01", "2", "120", "60", "High", "2"),
                                            Record("7", "2024-04-01", "2", "90", "60", "Later", "5"),
                                            Record("8", "2024-05-01", "1", "10", "5", "")}),
                                  subjects));
  ASSERT_EQ(subjects.Count(), 2);
  const content::TSubject& second = subjects.GetSubject(0);
  EXPECT_EQ(second.GetSubjectNumber(), 2);
  EXPECT_EQ(second.GetUsage(), 5);
  ASSERT_EQ(second.TestCount(), 1);
  const content::TTest& test = second.GetTest(0);
  EXPECT_EQ(test.answered_score, 60);
  EXPECT_EQ(test.max_score, 120);
  EXPECT_EQ(test.grade, "High");  // the first record to reach 60
  EXPECT_EQ(test.date, Day(2024, 1, 3));
  EXPECT_EQ(subjects.GetSubject(1).GetTest(0).date, Day(2024, 1, 5));
}

TEST_F(StatsTest, HandEditedAnswersLoseOnlyTheBadRecords) {
  content::TSubjects subjects;
  ASSERT_TRUE(ReadAnswersDocument(
      Document({Record("", "2024-01-01", "1", "10", "5", "A"), Record("1", "2024-01-01", "x", "10", "5", "A"),
                Record("2", "", "1", "10", "5", "A"), Record("3", "2024-31-02", "1", "10", "5", "A"),
                Record("4", "2024-01-01", "1", "10", " 7 ", "Pass & merit", "many"),
                "<Record><Testid>5</Testid><Date>2024-02-01</Date><Subject>1</Subject>"
                "<MaxScore>10</MaxScore><AnsweredScore>3</AnsweredScore></Record>"}),
      subjects));
  ASSERT_EQ(subjects.Count(), 1);
  const content::TSubject& subject = subjects.GetSubject(0);
  ASSERT_EQ(subject.TestCount(), 2);
  EXPECT_EQ(subject.GetTest(0).test_id, 4);
  EXPECT_EQ(subject.GetTest(0).answered_score, 7);
  EXPECT_EQ(subject.GetTest(0).grade, "Pass & merit");  // a raw '&' of an older file
  EXPECT_EQ(subject.GetUsage(), 0);                     // "many" reads as 0
  EXPECT_EQ(subject.GetTest(1).grade, "");              // no Grade at all

  // A file that is not XML leaves the records as they were.
  EXPECT_FALSE(ReadAnswersDocument("<Dataset><Record>", subjects));
  EXPECT_EQ(subjects.GetSubject(0).TestCount(), 2);
}

TEST_F(StatsTest, CalcUserStatsReadsWhatExistsAndCreatesNothing) {
  plat::testing::TestFolder folder;
  const std::string data = folder.path() + "/";
  content::TUser& sam = AddUser("sam", 1, {});
  content::TUser& ann = AddUser("ann", 4, {90});
  AddUser("bad", 1, {});
  plat::CreateFolders(data + "Sessions/sam");
  plat::CreateFolders(data + "Sessions/bad");
  plat::WriteFileAtomic(data + "Sessions/sam/answers.xml", Document({Record("1", "2025-02-03", "1", "10", "8", "B")}));
  plat::WriteFileAtomic(data + "Sessions/bad/answers.xml", "not xml");
  const auto expect_read = [&](int32_t score) {
    EXPECT_EQ(users_.GetStatsDate(), Day(2025, 3, 14));
    ASSERT_EQ(sam.GetSubjects().Count(), 1);
    EXPECT_EQ(sam.GetSubjects().GetSubject(0).GetTest(0).answered_score, score);
    // No file: the records of an earlier reading stay, and no folder appears.
    EXPECT_EQ(ann.GetSubjects().GetSubject(0).GetTest(0).answered_score, 90);
    EXPECT_FALSE(plat::PathExists(data + "Sessions/ann"));
  };
  CalcUserStats(users_, data);
  expect_read(8);
  // Through the cache of files read: the same, also when a file changes
  // without changing its size.
  TAnswersCache cache;
  CalcUserStats(users_, data, &cache);
  expect_read(8);
  CalcUserStats(users_, data, &cache);
  expect_read(8);
  plat::WriteFileAtomic(data + "Sessions/sam/answers.xml", Document({Record("1", "2025-02-03", "1", "10", "9", "B")}));
  CalcUserStats(users_, data, &cache);
  expect_read(9);
}

TEST_F(StatsTest, GroupOverviewRanksMembersAndTheLaterUserWinsTies) {
  grades_.LoadFromText("0 59 Fail\r\n60 100 Pass\r\n");
  AddUser("first", 1, {80});
  AddUser("second", 1, {55});
  AddUser("third", 1, {80});
  users_.SetStatsDate(Day(2025, 3, 14));

  const TRankingStats stats = GroupOverview(users_, TUserFilter::All(), std::nullopt, grades_);
  ASSERT_TRUE(stats.computed);
  EXPECT_EQ(stats.scores.highest, "80");
  EXPECT_EQ(stats.highest_holder, "third");
  EXPECT_EQ(stats.scores.lowest, "55");
  EXPECT_EQ(stats.lowest_holder, "second");
  EXPECT_EQ(stats.scores.average, "67");
  EXPECT_EQ(stats.scores.average_grade, "Pass");
  EXPECT_EQ(stats.highest_tests.value, "1");
  EXPECT_EQ(stats.highest_tests.holder, "third");
  EXPECT_EQ(stats.history.Text(), "0,0,0,71");  // (80 + 55 + 80) / 3 in March only

  // A user who never took module 2 counts 0 in it.
  AddTest(*users_.GetUser(2), 2, 1, 70, Day(2025, 3, 1));
  const TRankingStats module = GroupOverview(users_, TUserFilter::All(), 2, grades_);
  EXPECT_EQ(module.scores.lowest, "0");
  EXPECT_EQ(module.lowest_holder, "second");
  EXPECT_EQ(module.highest_holder, "third");
}

TEST_F(StatsTest, GroupOverviewOfNobodyOrOfDecliningMembers) {
  const TRankingStats none = GroupOverview(users_, TUserFilter::All(), std::nullopt, grades_);
  EXPECT_FALSE(none.computed);
  EXPECT_EQ(none.scores.highest, "?");
  EXPECT_EQ(none.history.Text(), "?");
  EXPECT_EQ(none.history.MeanText(), "?");

  // Outside the group, the first user would hold "+0%" if the extremes
  // started from nothing.
  AddUser("outsider", 1, {50}, Day(2025, 3, 1));
  // 90 in February against 10 and 20 in March: -20 % and -10 %.
  for (const auto& [name, march] : {std::pair{"down twenty", 10}, std::pair{"down ten", 20}}) {
    content::TUser& user = AddUser(name, 1, {90}, Day(2025, 2, 10));
    AddTest(user, 1, 2, march, Day(2025, 3, 2));
    user.AddGroup(5);
  }
  const TRankingStats group = GroupOverview(users_, TUserFilter::Group(5), std::nullopt, grades_);
  EXPECT_EQ(group.most_improved.value, "-10%");
  EXPECT_EQ(group.most_improved.holder, "down ten");
  EXPECT_EQ(group.least_improved.value, "-20%");
  EXPECT_EQ(group.least_improved.holder, "down twenty");
  EXPECT_FALSE(GroupOverview(users_, TUserFilter::Nobody(), std::nullopt, grades_).computed);
}

TEST_F(StatsTest, HistoryMonthsCrossTheYearEnd) {
  content::TUser& user = AddUser("sam", 1, {60}, Day(2024, 12, 5));
  AddTest(user, 1, 2, 80, Day(2025, 2, 20));
  AddTest(user, 1, 3, 40, Day(2024, 11, 30));  // before the four months
  users_.SetStatsDate(Day(2025, 3, 14));
  // December, January (falls back to December), February, March (to February).
  EXPECT_EQ(GroupOverview(users_, TUserFilter::All(), std::nullopt, grades_).history.Text(), "60,60,80,80");
  const TEmployeeStats employee = EmployeeStatistics(user, 1, grades_, Day(2025, 3, 14));
  EXPECT_EQ(employee.history.Text(), "60,60,80,80");
  EXPECT_EQ(employee.history.MeanText(), "70");
}

TEST_F(StatsTest, EmployeeFiguresWithAndWithoutTests) {
  grades_.LoadFromText("0 49 Fail\r\n50 100 Pass\r\n");
  content::TUser& user = AddUser("sam", 1, {100, 95, 40, 40});
  user.GetSubjects().FindOrAdd(1).SetUsage(6);
  const TEmployeeStats stats = EmployeeStatistics(user, 1, grades_, Day(2025, 3, 14));
  EXPECT_EQ(stats.scores.highest, "100");
  EXPECT_EQ(stats.scores.lowest, "40");
  EXPECT_EQ(stats.scores.average, "70");
  EXPECT_EQ(stats.scores.lowest_grade, "Fail");
  EXPECT_EQ(stats.test_frequency, "4");
  EXPECT_EQ(stats.usage_frequency, "6");
  EXPECT_EQ(stats.progress, "+100%");
  EXPECT_EQ(stats.bins, (std::array<int32_t, 11>{0, 0, 0, 0, 5, 0, 0, 0, 0, 2, 2}));

  const TEmployeeStats empty = EmployeeStatistics(user, 3, grades_, Day(2025, 3, 14));
  EXPECT_EQ(empty.scores.highest, "0");
  EXPECT_EQ(empty.scores.lowest, "0");
  EXPECT_EQ(empty.scores.average, "0");
  EXPECT_EQ(empty.test_frequency, "0");
  EXPECT_EQ(empty.bins, (std::array<int32_t, 11>{}));
}

TEST_F(StatsTest, PercentileBinsAreWholeTenthsAndStayInRange) {
  struct Case {
    std::vector<int> percentages;
    std::array<int32_t, 11> bins;
  };
  const Case cases[] = {
      {{40, 45, 49}, {0, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0}},
      {{40, 80}, {0, 0, 0, 0, 5, 0, 0, 0, 5, 0, 0}},
      {{10, 20, 30}, {0, 3, 3, 3, 0, 0, 0, 0, 0, 0, 0}},
      {{150, -20}, {5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5}},
  };
  for (const Case& c : cases) {
    content::TSubject subject(1);
    for (size_t i = 0; i < c.percentages.size(); ++i)
      subject.FindOrAddTest(static_cast<int>(i)).answered_score = c.percentages[i];
    for (int i = 0; i < subject.TestCount(); ++i) subject.GetTest(i).max_score = 100;
    EXPECT_EQ(PercentileBins(subject), c.bins) << c.percentages.front();
  }
}

TEST_F(StatsTest, ModulesRankTitlesAndKeepAQuestionMarkWithoutHolder) {
  content::TUser& user = AddUser("sam", 1, {70});
  AddTest(user, 3, 1, 70, Day(2025, 3, 1));
  const TRankingStats stats = EmployeeModulesStatistics(user, {"Intro", "", "Safety"}, grades_, Day(2025, 3, 14));
  EXPECT_EQ(stats.scores.highest, "70");
  EXPECT_EQ(stats.highest_holder, "Safety");  // a tie: the later title
  EXPECT_EQ(stats.lowest_holder, "Safety");
  // The best of the month over the user's subject records (1 and 3).
  EXPECT_EQ(stats.history.Text(), "0,0,0,35");

  const TRankingStats untitled = EmployeeModulesStatistics(user, {"", ""}, grades_, Day(2025, 3, 14));
  EXPECT_EQ(untitled.scores.highest, "0");
  EXPECT_EQ(untitled.scores.lowest, "0");
  EXPECT_EQ(untitled.highest_holder, "?");
  EXPECT_EQ(untitled.lowest_usage.value, "0");
  EXPECT_EQ(untitled.lowest_usage.holder, "?");
  EXPECT_EQ(untitled.most_improved.value, "+0%");
}

}  // namespace
}  // namespace server
