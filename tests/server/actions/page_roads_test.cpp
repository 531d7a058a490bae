// What a name in a request's "filename" reaches through getfile, getscript
// and print_script, beside the plain file road, on a real socket in folder
// and packed mode; and the start page's XML.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "content/percent_codec.h"
#include "server/quiz/start_page.h"
#include "server/road/requested_name.h"
#include "tests/server/learner_test_support.h"

namespace server {
namespace {

// How one road asks for a name and answers when it serves or refuses it.
struct Road {
  const char* name;
  std::function<std::string(const std::string& file)> target;
  std::function<std::string(const std::string& bytes)> served;
  std::string refused;
};

std::string Html(const std::string& body) { return FileReply("text/html", body); }

std::vector<Road> Roads() {
  const auto action = [](const char* name) {
    return [name](const std::string& file) {
      return "/?action=" + std::string(name) + "&filename=" + content::PercentEncode(file);
    };
  };
  return {
      {"getfile", action("getfile"), Html, kInvalidRequestPage},
      // The script text travels percent-encoded; a refused name reads as a missing file.
      {"getscript", action("getscript"), [](const std::string& bytes) { return Html(content::PercentEncode(bytes)); },
       Html("")},
      {"print_script", action("print_script"), Html, Html("")},
      // The plain road takes its name undecoded: "%00" stands for a NUL.
      {"GET",
       [](std::string file) {
         if (const size_t nul = file.find('\0'); nul != std::string::npos) file.replace(nul, 1, "%00");
         return "/" + file;
       },
       Html, kInvalidRequestPage},
  };
}

class PageRoads : public LearnerTest, public ::testing::WithParamInterface<CourseMode> {
 protected:
  void SetUp() override {
    LearnerTest::SetUp();
    PutFile(folder_.path() + "/outside.html", "outside");
    std::map<std::string, std::string> files = {{"admin.sysdata", "[system]\r\npassword=secret\r\n"},
                                                {"all.groups.csv", "1;Riggers\r\n"},
                                                {"TimeStamp.txt", "5-9-15-3-2006"}};
    if (GetParam() == CourseMode::kFolder) {
      files.emplace("Sub/Page.html", "page");
      files.emplace("Sessions/sam/answers.xml", "<Dataset/>");
      std::filesystem::create_symlink(folder_.path() + "/outside.html", content_ + "link.html");
    } else {
      // Entries that the last part of a traversal would name.
      files.emplace("Page.html", "page");
      files.emplace("outside.html", "outside");
      files.emplace("answers.xml", "<Dataset/>");
    }
    OpenCourse(GetParam(), files);
  }
};

TEST_P(PageRoads, ServeTheContentAndRefuseEverythingElse) {
  const bool packed = GetParam() == CourseMode::kPacked;
  const std::vector<std::string> refused = {"../outside.html",
                                            "..\\outside.html",
                                            "sub/../../outside.html",
                                            "sub\\..\\..\\outside.html",
                                            folder_.path() + "/outside.html",
                                            "/outside.html",
                                            "\\outside.html",
                                            "C:\\outside.html",
                                            std::string("Sub/Page.html\0.txt", 18),
                                            "link.html",
                                            "admin.sysdata",
                                            "ALL.USERS.CSV",
                                            "all.groups.csv",
                                            "TimeStamp.txt",
                                            "Sessions/sam/answers.xml",
                                            "sessions\\SAM\\answers.xml"};
  for (const Road& road : Roads()) {
    // The plain road finds package entries by their whole name.
    const bool whole_names = packed && std::string(road.name) == "GET";
    for (const std::string& name : whole_names ? std::vector<std::string>{"Page.html", "PAGE.HTML"}
                                               : std::vector<std::string>{"sub/page.html", "SUB\\Page.HTML"})
      EXPECT_EQ(Get(road.target(name)), road.served("page")) << road.name << " " << name;
    for (const std::string& name : refused) EXPECT_EQ(Get(road.target(name)), road.refused) << road.name << " " << name;
  }
  EXPECT_EQ(Get("/?action=getfile&filename="), kInvalidRequestPage);
  EXPECT_EQ(Get("/?action=getscript"), Html(""));
  EXPECT_EQ(Get("/?action=print_script&filename="), Html(""));
}

INSTANTIATE_TEST_SUITE_P(Modes, PageRoads, ::testing::Values(CourseMode::kFolder, CourseMode::kPacked),
                         [](const auto& info) { return ModeName(info.param); });

TEST(RequestedContentName, OnlyPlainRelativeNames) {
  for (const char* name : {"index.html", "sub/page.html", "sub\\page.html", "a..b.swf", "..x/y.html", "c/d:e.swf"})
    EXPECT_TRUE(IsRequestedContentName(name)) << name;
  for (const std::string& name : std::vector<std::string>{"", "/etc/passwd", "\\x.html", "C:x.html", "z:\\x.html", "..",
                                                          "a/..", "a\\..\\b", "../x", std::string("a\0b", 3)})
    EXPECT_FALSE(IsRequestedContentName(name)) << name;
}

TEST(StartPageXml, ClosesTheLastElementAfreshWithTheRestoreOffer) {
  const std::string page = "<?xml version=\"1.0\"?>\r\n<startpage a=\"1\"/>\r\n";
  EXPECT_EQ(StartPageXml(page, false), "<?xml version=\"1.0\"?>\r\n<startpage a=\"1\" />");
  EXPECT_EQ(StartPageXml(page, true), "<?xml version=\"1.0\"?>\r\n<startpage a=\"1\" RestoreSession=\"1\" />");
  // A closing tag loses its element name: the page has always been cut so.
  EXPECT_EQ(StartPageXml("<a><b/></a>", false), "<a><b/>< />");
  for (const char* text : {"", "<startpage a=\"1\">", "/>", ">", "no tag at all /"})
    EXPECT_EQ(StartPageXml(text, true), "") << text;
}

class StartPage : public LearnerTest, public ::testing::WithParamInterface<CourseMode> {};

TEST_P(StartPage, OffersTheRestoreUntilLogout) {
  OpenCourse(GetParam(), {{"StartPage.XML", "<startpage title=\"Knots\"/>"}});
  EXPECT_EQ(Ask("action=loadstartpagexml"), Xml("<startpage title=\"Knots\" />"));
  server_.SetRestoreFlag(true);
  EXPECT_EQ(Ask("action=loadstartpagexml"), Xml("<startpage title=\"Knots\" RestoreSession=\"1\" />"));
  EXPECT_EQ(Ask("action=logout"), FileReply("text/html", "<html>start</html>"));
  EXPECT_EQ(Ask("action=loadstartpagexml"), Xml("<startpage title=\"Knots\" />"));
}

TEST_P(StartPage, MissingStartPageGivesAnEmptyBody) {
  OpenCourse(GetParam(), {});
  server_.SetRestoreFlag(true);
  EXPECT_EQ(Ask("action=loadstartpagexml"), Xml(""));
}

INSTANTIATE_TEST_SUITE_P(Modes, StartPage, ::testing::Values(CourseMode::kFolder, CourseMode::kPacked),
                         [](const auto& info) { return ModeName(info.param); });

}  // namespace
}  // namespace server
