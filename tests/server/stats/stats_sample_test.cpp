// The statistics of the packed sample course, with the history its seeding
// tool makes, asked over a real socket: pages, downloads and the four graphs
// as a browser receives them. The graphs are decoded again by libjpeg and
// left in stats-graphs/ below the build folder for a person to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "content/percent_codec.h"
#include "platform/clock.h"
#include "tests/server/server_test_support.h"
#include "tests/support/jpeg_decoder.h"
#include "tools/sample_history.h"

namespace server {
namespace {

struct Reply {
  std::string headers;
  std::string body;
};

Reply Split(const std::string& bytes) {
  const size_t end = bytes.find("\r\n\r\n");
  if (end == std::string::npos) return {bytes, ""};
  return {bytes.substr(0, end + 2), bytes.substr(end + 4)};
}

std::string AttributeOf(const std::string& reply, const std::string& name) {
  const std::string key = " " + name + "=\"";
  const size_t start = reply.find(key);
  if (start == std::string::npos) return "<none>";
  const size_t from = start + key.size();
  return reply.substr(from, reply.find('"', from) - from);
}

bool IsLabelBlue(plat::Color c) { return c.blue > 150 && c.red < 110 && c.green < 110; }
bool IsCurveColour(plat::Color c) { return c.blue < 90 && c.red + c.green > 180; }

// The middle value of a column of the plot, between its grid lines and points.
plat::Color MedianOfColumn(const plat::RgbImage& image, int x, int top, int bottom) {
  std::vector<int> reds, greens, blues;
  for (int y = top; y < bottom; ++y) {
    reds.push_back(image.At(x, y).red);
    greens.push_back(image.At(x, y).green);
    blues.push_back(image.At(x, y).blue);
  }
  for (auto* values : {&reds, &greens, &blues}) std::sort(values->begin(), values->end());
  const size_t mid = reds.size() / 2;
  return {static_cast<uint8_t>(reds[mid]), static_cast<uint8_t>(greens[mid]), static_cast<uint8_t>(blues[mid])};
}

bool AnyPixel(const plat::RgbImage& image, int left, int top, int right, int bottom, bool (*test)(plat::Color)) {
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x)
      if (test(image.At(x, y))) return true;
  return false;
}

class SampleStats : public ServerTest {
 protected:
  SampleStats()
      : config_home_("XDG_CONFIG_HOME", folder_.path() + "/config"),
        data_home_("XDG_DATA_HOME", folder_.path() + "/data-home") {}

  void SetUp() override {
    clock_.SetNow(kToday);
    std::map<std::string, std::string> entries;
    const char* source = std::getenv("VARNEL_SOURCE_DIR");
    ASSERT_NE(source, nullptr) << "VARNEL_SOURCE_DIR must name the source tree";
    const std::string sample = std::string(source) + "/samples/knots";
    for (const auto& entry : std::filesystem::directory_iterator(sample))
      if (entry.is_regular_file()) entries[entry.path().filename().string()] = plat::ReadWholeFile(entry.path());
    const std::string package = folder_.path() + "/build/knots.vrn";
    plat::CreateFolders(folder_.path() + "/build");
    PutPackage(package, entries);
    ASSERT_TRUE(server_.SetPath(package));
    const tools::SeedReport report = tools::SeedSampleHistory(server_, clock_, kToday);
    ASSERT_TRUE(report.seeded);
    EXPECT_GT(report.tests_taken, 20);
    ASSERT_TRUE(server_.Open());
  }

  std::string Ask(const std::string& query) { return Fetch("GET /?" + query + " HTTP/1.0\r\n\r\n"); }
  std::string AskAsAdmin(const std::string& action, const std::string& parameters = "") {
    return Ask("action=" + action + "&sessionid=" + admin_id_ + parameters);
  }

  // Fetches the graph, checks its reply and keeps the picture for a person.
  plat::RgbImage Graph(const std::string& action) {
    const Reply reply = Split(AskAsAdmin(action));
    EXPECT_NE(reply.headers.find("Content-Type: image/jpeg\r\n"), std::string::npos) << action;
    EXPECT_NE(reply.headers.find("Content-Length: " + std::to_string(reply.body.size()) + "\r\n"), std::string::npos)
        << action;
    std::filesystem::create_directories(VARNEL_GRAPHS_DIR);
    std::ofstream(VARNEL_GRAPHS_DIR "/" + action + ".jpg", std::ios::binary) << reply.body;
    const plat::testing::DecodedJpeg decoded = plat::testing::DecodeJpeg(reply.body);
    EXPECT_TRUE(decoded.ok) << action;
    EXPECT_EQ(decoded.image.width, 250);
    EXPECT_EQ(decoded.image.height, 155);
    return decoded.image;
  }

  static constexpr plat::LocalTime kToday{2025, 3, 14, 12, 0, 0, 0, 5};
  plat::testing::ScopedEnv config_home_;
  plat::testing::ScopedEnv data_home_;
  plat::ManualClock clock_;
  plat::ScopedProcessClock clock_scope_{clock_};
  std::string admin_id_;
};

// The history stays with the statistics; a learner who logs in meets a test
// with nothing answered yet.
TEST_F(SampleStats, SeededLearnersStartAFreshTest) {
  const std::string login = Split(Ask("action=login&username=sam&password=bowline")).body;
  const std::string session = "&sessionid=" + AttributeOf(login, "sessionid") + "&subject=1";
  EXPECT_EQ(AttributeOf(Split(Ask("action=genquestions" + session)).body, "generated"), "1");
  for (const char* qindex : {"1", "2", "3"})
    EXPECT_EQ(AttributeOf(Split(Ask("action=getquestion" + session + "&qindex=" + qindex)).body, "Answered"), "0");
}

TEST_F(SampleStats, PagesDownloadsAndGraphsOverASocket) {
  EXPECT_EQ(Split(Ask("action=adminstatsgetindexgraph&sessionid=x")).body,
            "<movie errortext=\"You are not logged in.\" />");
  admin_id_ = AttributeOf(Split(Ask("action=adminlogin&username=qorbe&password=qorbe")).body, "sessionid");
  ASSERT_FALSE(admin_id_.empty());
  EXPECT_EQ(Split(AskAsAdmin("adminstatsgetindexgraph")).body, "<movie errortext=\"You are not logged in.\" />");

  const std::string overview = Split(AskAsAdmin("adminstatsindex", "&group=-1&module=-1")).body;
  EXPECT_EQ(content::PercentDecode(AttributeOf(overview, "Modules")), "*\r-1\rThe three knots\r0\rRope words\r1");
  EXPECT_EQ(content::PercentDecode(AttributeOf(overview, "Groups")), "*\r-1\rDeck crew\r0\rShore crew\r1");
  EXPECT_EQ(content::PercentDecode(AttributeOf(overview, "LastUpdated")), "3/14/2025");
  EXPECT_NE(AttributeOf(overview, "HighestScore"), "?");
  EXPECT_NE(content::PercentDecode(AttributeOf(overview, "MostImprovedName")), "?");
  const std::string employee = Split(AskAsAdmin("adminstatsemployee", "&module=0&employee=0")).body;
  EXPECT_NE(AttributeOf(employee, "TestFrequency"), "0");
  // Every titled subject has questions and was taken, so the lowest score is one of them.
  const std::string modules = Split(AskAsAdmin("adminstatsmodules", "&module=-1&employee=0")).body;
  EXPECT_NE(AttributeOf(modules, "LowestScore"), "0");
  EXPECT_NE(AttributeOf(modules, "LowestModule"), "<none>");
  EXPECT_NE(AttributeOf(modules, "LowestModule"), "%3F");

  const char* downloads[][2] = {{"adminstatsgroupcsv", "GroupStats.csv"},
                                {"adminstatsemployeecsv", "EmployeeStats.csv"},
                                {"adminstatsmodulescsv", "AllModulesStats.csv"}};
  for (const auto& [action, file_name] : downloads) {
    const Reply reply = Split(AskAsAdmin(action));
    EXPECT_NE(reply.headers.find("Content-Type: text/csv\r\nContent-Disposition: attachment;filename=" +
                                 std::string(file_name) + "\r\n"),
              std::string::npos);
    EXPECT_NE(reply.headers.find("Content-Length: " + std::to_string(reply.body.size()) + "\r\n"), std::string::npos);
    EXPECT_EQ(reply.body.rfind("Kelmo Statistics,", 0), 0u) << action;
  }
  const std::string row = Split(AskAsAdmin("adminstatsemployeecsv")).body;
  EXPECT_NE(row.find("\r\nSam Rigger,"), std::string::npos) << row;

  // Out of range and hostile parameters: nobody, and echoes kept inside their attributes.
  const std::string nobody = Split(AskAsAdmin("adminstatsmodules", "&group=%22%3E&module=-1&employee=-7")).body;
  EXPECT_EQ(AttributeOf(nobody, "HighestScore"), "?");
  EXPECT_EQ(AttributeOf(nobody, "CurrentGroup"), "&quot;&gt;");
  EXPECT_EQ(Split(AskAsAdmin("adminstatsgetmodulesgraph")).body, "<movie errortext=\"You are not logged in.\" />");
  Split(AskAsAdmin("adminstatsmodules", "&module=-1&employee=0"));

  for (const char* action : {"adminstatsgetindexgraph", "adminstatsgetemployeegraph", "adminstatsgetmodulesgraph",
                             "adminstatsgetemployeegraph2"}) {
    SCOPED_TRACE(action);
    const plat::RgbImage image = Graph(action);
    if (image.width != 250 || image.height != 155) continue;
    const plat::Color corner = image.At(2, 2);
    EXPECT_GT(corner.red + corner.green + corner.blue, 3 * 245);
    // Blue labels: the axis title under the plot and the one turned up the left side.
    EXPECT_TRUE(AnyPixel(image, 90, 140, 160, 155, IsLabelBlue));
    EXPECT_TRUE(AnyPixel(image, 0, 20, 12, 120, IsLabelBlue));
    // The plot's gradient, light blue-grey at the left to light grey at the right.
    const plat::Color left = MedianOfColumn(image, 36, 2, 110);
    const plat::Color right = MedianOfColumn(image, 226, 2, 110);
    EXPECT_GT(left.blue, left.red + 10);
    EXPECT_NEAR(right.red, 240, 8);
    EXPECT_NEAR(right.blue, 240, 8);
    if (std::string(action) != "adminstatsgetemployeegraph2") continue;
    // Under the percentile curve: red at the left giving way to green.
    double red_x = 0, green_x = 0;
    int reds = 0, greens = 0;
    for (int y = 0; y < 120; ++y)
      for (int x = 33; x < 230; ++x) {
        const plat::Color c = image.At(x, y);
        if (!IsCurveColour(c)) continue;
        if (c.red > c.green + 40) {
          red_x += x;
          ++reds;
        }
        if (c.green > c.red + 40) {
          green_x += x;
          ++greens;
        }
      }
    ASSERT_GT(reds, 10);
    ASSERT_GT(greens, 10);
    EXPECT_LT(red_x / reds, green_x / greens);
  }
}

}  // namespace
}  // namespace server
