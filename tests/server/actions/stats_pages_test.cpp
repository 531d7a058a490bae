// The statistics pages and downloads answered in memory: exact layouts,
// parameters out of range or hostile, what each page caches, and CSV fields
// that must not run as formulas or shift columns.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/quiz/answers_record.h"
#include "server/stats/stats_csv.h"
#include "tests/server/admin_test_support.h"
#include "tests/server/learner_test_support.h"

namespace server {
namespace {

const std::string kCsvTop =
    "Kelmo Statistics,,,,,,,,,,\r\n,,,,,,,,,,\r\n,,,,,,,,,,\r\n"
    "Group Profile/Employee Profile,Highest Score,Subject/ employee,Lowest Score,Subject/ employee,"
    "Average Score,Progress on Average Score,Test Frequency,Usage Frequency,Average Score Percentile,"
    "Average Score History\r\n";

std::string CsvReply(const std::string& file_name, const std::string& body) {
  return "HTTP/1.0 200 OK\r\nServer: Varnel Server 1.0\r\nConnection: close\r\nPragma: no-cache\r\n"
         "Expires: -1\r\nContent-Type: text/csv\r\nContent-Disposition: attachment;filename=" +
         file_name + "\r\nAccept-Ranges: bytes\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string AttributeOf(const std::string& reply, const std::string& name) {
  const std::string key = " " + name + "=\"";
  const size_t start = reply.find(key);
  if (start == std::string::npos) return "<none>";
  const size_t from = start + key.size();
  return reply.substr(from, reply.find('"', from) - from);
}

class StatsPages : public AdminTest {
 protected:
  // The whole reply, headers included.
  std::string AskRaw(const std::string& action, const std::string& parameters = "") {
    TReplySink sink;
    TNetStream channel(sink);
    EXPECT_TRUE(server_.ProcessRequest(&channel, "action=" + action + "&sessionid=" + session_id_ + parameters));
    return sink.Bytes();
  }
  std::string Csv(const std::string& action) {
    const std::string reply = AskRaw(action);
    return reply.substr(reply.find("\r\n\r\n") + 4);
  }

  // A package with titles, grades, two modules with questions (1 and 3),
  // one group and three users; ann has answers on file.
  void OpenCourse() {
    const std::string index = IndexOf({Question("Q", {"Right", "Wrong"}, {10, 0})});
    const std::string package = folder_.path() + "/cd/course.vrn";
    plat::CreateFolders(folder_.path() + "/cd");
    PutPackage(package, {{"index.html", "<html/>"},
                         {"all.users.csv",
                          "ann;pw;;%31%0D%0A;Ann Lee\r\nbob;pw;;%31%0D%0A;Lee, Bob\r\n"
                          "cy;pw;;;=SUM(A1:A9)\r\n"},
                         {"all.groups.csv", "1;Deck\r\n"},
                         {"subjects.sysdata", "Intro\r\nLists\r\nSafety\r\n"},
                         {"grades.sysdata", "0 49 Fail\r\n50 100 Pass\r\n"},
                         {"PresentationsIndex_questions_1.csv", index},
                         {"PresentationsIndex_questions_3.csv", index}});
    clock_.SetNow({2025, 3, 14, 12, 0, 0, 0, 5});
    ASSERT_TRUE(server_.SetPath(package));
    TAnswersRecord record;
    record.test_id = 1;
    record.date = {2025, 3, 2};
    record.subject = 1;
    record.max_score = 10;
    record.answered_score = 8;
    ASSERT_NO_THROW(AppendAnswersRecord(AnswersFilePath(server_.GetDataFolder(), "ann"), record));
    LogIn();
  }
};

TEST_F(StatsPages, NoUsersGiveTheLayoutsExactly) {
  OpenFolder();
  LogIn();
  const std::string q = content::PercentEncode("?");
  EXPECT_EQ(AskAsAdmin("adminstatsindex", "&group=-1&module=-1"),
            "<movie  Groups=\"" + content::PercentEncode("*\r-1") + "\" CurrentGroup=\"-1\" Modules=\"" +
                content::PercentEncode("*\r-1") +
                "\" CurrentModule=\"-1\" Users=\"\" HighestScore=\"?\" LowestScore=\"?\" AverageScore=\"?\""
                " HighestGrade=\"" +
                q + "\" LowestGrade=\"" + q + "\" AverageGrade=\"" + q + "\" HighestName=\"" + q + "\" LowestName=\"" +
                q + "\" HighestUsage=\"?\" HighestUsageName=\"" + q + "\" LowestUsage=\"?\" LowestUsageName=\"" + q +
                "\" HighestTests=\"?\" HighestTestsName=\"" + q + "\" LowestTests=\"?\" LowestTestsName=\"" + q +
                "\" MostImproved=\"?\" LeastImproved=\"?\" MostImprovedName=\"" + q + "\" LeastImprovedName=\"" + q +
                "\" LastUpdated=\"" + content::PercentEncode("1/1/2000") + "\"/>");
  EXPECT_EQ(AskRaw("adminstatsgroupcsv"), CsvReply("GroupStats.csv", kCsvTop + "*,?,?,?,?,?,?,?,?,?,\"?\"\r\n"));
  // Fresh content: no groups, so an absent "group" names none.
  EXPECT_EQ(AttributeOf(AskAsAdmin("adminstatsindex"), "HighestScore"), "?");
  EXPECT_EQ(Csv("adminstatsgroupcsv"), kCsvTop + ",?,?,?,?,?,?,?,?,?,\"?\"\r\n");
}

TEST_F(StatsPages, EveryRequestNeedsTheAdministratorAndGraphsNeedTheirPage) {
  OpenFolder();
  const char* actions[] = {"adminstatsindex",
                           "adminstatsemployee",
                           "adminstatsmodules",
                           "adminstatsgroupcsv",
                           "adminstatsemployeecsv",
                           "adminstatsmodulescsv",
                           "adminstatsgetindexgraph",
                           "adminstatsgetmodulesgraph",
                           "adminstatsgetemployeegraph",
                           "adminstatsgetemployeegraph2"};
  for (const char* action : actions) EXPECT_EQ(AskAsAdmin(action, "&group=-1"), kNotLoggedIn) << action;
  EXPECT_TRUE(server_.GetStatsCache().group_csv.empty());

  LogIn();
  // Before any page: empty downloads, and graphs answered as to a stranger.
  EXPECT_EQ(AskRaw("adminstatsemployeecsv"), CsvReply("EmployeeStats.csv", ""));
  EXPECT_EQ(AskRaw("adminstatsmodulescsv"), CsvReply("AllModulesStats.csv", ""));
  // The employee pages read the last overview's records: there is none yet.
  EXPECT_EQ(AttributeOf(AskAsAdmin("adminstatsemployee", "&module=0&employee=0"), "LastUpdated"),
            content::PercentEncode("12/30/1899"));
  for (const char* graph : {"adminstatsgetindexgraph", "adminstatsgetmodulesgraph", "adminstatsgetemployeegraph",
                            "adminstatsgetemployeegraph2"})
    EXPECT_EQ(AskAsAdmin(graph), kNotLoggedIn) << graph;
}

TEST_F(StatsPages, ModulesListKeepsTitleIndexesAndPagesCacheOnlyTheirOwn) {
  OpenCourse();
  const std::string overview = AskAsAdmin("adminstatsindex", "&group=0&module=-1");
  EXPECT_EQ(AttributeOf(overview, "Modules"), content::PercentEncode("*\r-1\rIntro\r0\rSafety\r2"));
  EXPECT_EQ(AttributeOf(overview, "Groups"), content::PercentEncode("*\r-1\rDeck\r0"));
  EXPECT_EQ(AttributeOf(overview, "Users"), content::PercentEncode("Ann Lee\r0\rLee, Bob\r1\r=SUM(A1:A9)\r2"));
  EXPECT_EQ(AttributeOf(overview, "HighestScore"), "80");
  EXPECT_EQ(AttributeOf(overview, "HighestName"), content::PercentEncode("Ann Lee"));
  EXPECT_EQ(AttributeOf(overview, "LowestScore"), "0");
  EXPECT_EQ(AttributeOf(overview, "HighestGrade"), content::PercentEncode("Pass"));
  EXPECT_EQ(AttributeOf(overview, "LastUpdated"), content::PercentEncode("3/14/2025"));
  const std::string group_csv = Csv("adminstatsgroupcsv");
  EXPECT_EQ(group_csv, kCsvTop + "Deck,80,Ann Lee,0,\"Lee, Bob\",40,+80%,1,0,10,\"0,0,0,40\"\r\n");

  const std::string employee = AskAsAdmin("adminstatsemployee", "&group=0&module=0&employee=0");
  EXPECT_EQ(AttributeOf(employee, "CurrentUser"), "0");
  EXPECT_EQ(AttributeOf(employee, "TestFrequency"), "1");
  EXPECT_EQ(AttributeOf(employee, "Progress"), "+80%");
  ASSERT_TRUE(server_.GetStatsCache().employee_graph2.has_value());

  // Employee without a module: figures "?", both employee graphs dropped;
  // the overview's CSV and graph stay.
  const std::string no_module = AskAsAdmin("adminstatsemployee", "&module=-1&employee=1");
  EXPECT_EQ(AttributeOf(no_module, "HighestScore"), "?");
  EXPECT_EQ(AskAsAdmin("adminstatsgetemployeegraph2"), kNotLoggedIn);
  EXPECT_EQ(AskAsAdmin("adminstatsgetemployeegraph"), kNotLoggedIn);
  EXPECT_EQ(Csv("adminstatsemployeecsv"), kCsvTop + "\"Lee, Bob\",?,*,?,*,?,?,?,?,?,\"?\"\r\n");
  EXPECT_EQ(Csv("adminstatsgroupcsv"), group_csv);
  EXPECT_NE(AskRaw("adminstatsgetindexgraph").find("Content-Type: image/jpeg"), std::string::npos);

  // The modules page with a module selected computes nothing.
  EXPECT_EQ(AttributeOf(AskAsAdmin("adminstatsmodules", "&module=0&employee=0"), "HighestModule"),
            content::PercentEncode("?"));
  EXPECT_EQ(AskAsAdmin("adminstatsgetmodulesgraph"), kNotLoggedIn);
  const std::string modules = AskAsAdmin("adminstatsmodules", "&module=-1&employee=0");
  EXPECT_EQ(AttributeOf(modules, "HighestModule"), content::PercentEncode("Intro"));
  EXPECT_EQ(AttributeOf(modules, "LowestModule"), content::PercentEncode("Safety"));
  EXPECT_EQ(AttributeOf(modules, "CurrentEmployee"), "0");
  EXPECT_EQ(Csv("adminstatsmodulescsv"), kCsvTop + "Ann Lee,80,Intro,0,Safety,40,+80%,1,0,6,\"0,0,0,26\"\r\n");
}

TEST_F(StatsPages, ParametersOutOfRangeOrHostileAreAnsweredAsDecided) {
  OpenCourse();
  // A group outside the table covers nobody; the CSV names no group.
  EXPECT_EQ(AttributeOf(AskAsAdmin("adminstatsindex", "&group=7&module=-1"), "HighestScore"), "?");
  EXPECT_EQ(Csv("adminstatsgroupcsv"), kCsvTop + ",?,?,?,?,?,?,?,?,?,\"?\"\r\n");
  // Without "group" the first group is meant.
  EXPECT_EQ(AttributeOf(AskAsAdmin("adminstatsindex", "&module=-1"), "HighestScore"), "80");
  EXPECT_EQ(Csv("adminstatsgroupcsv").substr(kCsvTop.size(), 5), "Deck,");
  // A module beyond the titles is still a module: computed, titled "".
  EXPECT_EQ(AttributeOf(AskAsAdmin("adminstatsemployee", "&module=9&employee=2"), "HighestScore"), "0");
  EXPECT_EQ(Csv("adminstatsemployeecsv"), kCsvTop + "'=SUM(A1:A9),0,,0,,0,+0%,0,0,0,\"0,0,0,0\"\r\n");
  // The largest index names a subject nobody has results in.
  EXPECT_EQ(AttributeOf(AskAsAdmin("adminstatsindex", "&group=-1&module=2147483647"), "HighestScore"), "0");
  EXPECT_EQ(AttributeOf(AskAsAdmin("adminstatsemployee", "&module=2147483647&employee=0"), "HighestScore"), "0");
  for (const char* employee : {"3", "-2", "x", ""}) {
    const std::string reply = AskAsAdmin("adminstatsemployee", std::string("&module=0&employee=") + employee);
    EXPECT_EQ(AttributeOf(reply, "HighestScore"), "?") << employee;
    EXPECT_EQ(
        AttributeOf(AskAsAdmin("adminstatsmodules", std::string("&module=-1&employee=") + employee), "HighestScore"),
        "?")
        << employee;
  }
  EXPECT_EQ(Csv("adminstatsmodulescsv"), kCsvTop + ",?,?,?,?,?,?,?,?,?,\"?\"\r\n");
  // Echoes stay inside their attributes.
  const std::string hostile =
      AskAsAdmin("adminstatsemployee", "&group=" + content::PercentEncode("\"/><x a=\"&") +
                                           "&module=%3C&employee=" + content::PercentEncode("0\""));
  EXPECT_EQ(AttributeOf(hostile, "CurrentGroup"), "&quot;/&gt;&lt;x a=&quot;&amp;");
  EXPECT_EQ(AttributeOf(hostile, "CurrentModule"), "&lt;");
  EXPECT_NE(hostile.find(" CurrentUser=\"0&quot;\""), std::string::npos);
}

TEST(StatsCsv, FreeTextCannotAddRowsColumnsOrFormulas) {
  const std::pair<std::string, std::string> cases[] = {
      {"Ann Lee", "Ann Lee"},
      {"Lee, Ann", "\"Lee, Ann\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"two\r\nlines", "\"two\r\nlines\""},
      {"=1+2", "'=1+2"},
      {"+1", "'+1"},
      {"-x,y", "\"'-x,y\""},
      {"@SUM", "'@SUM"},
      {"\tTAB", "'\tTAB"},
      {"\rCR", "\"'\rCR\""},
      {"", ""},
  };
  for (const auto& [text, field] : cases) EXPECT_EQ(CsvTextField(text), field) << text;
}

}  // namespace
}  // namespace server
