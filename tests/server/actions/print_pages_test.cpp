// "print_script": the printable question, feedback, performance and script
// pages compared whole, which page a request gets, and what a request can
// put into them.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "content/percent_codec.h"
#include "platform/random.h"
#include "tests/server/learner_test_support.h"

namespace server {
namespace {

// Draws that keep the question index's order: every exchange swaps a
// question with itself.
class ZeroRandom final : public plat::RandomSource {
 public:
  uint32_t Next31() override { return 0; }
};

// The Flash object of the printable pages with the movie filled in.
std::string Snippet(const std::string& movie) {
  return "<object classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" "
         "codebase=\"https://flash-player.invalid/swflash.cab#version=6,0,29,0\" width=\"300\" height=\"200\" "
         "align=\"absmiddle\">\r\n"
         " <param name=\"movie\" value=\"CorvikIIS.dll?action=getfile&filename=" +
         movie +
         "\">\r\n"
         " <param name=\"quality\" value=\"high\">\r\n"
         " <embed src=\"CorvikIIS.dll?action=getfile&filename=" +
         movie +
         "\" width=\"300\" height=\"200\" align=\"absmiddle\" quality=\"high\" "
         "pluginspage=\"https://flash-player.invalid/download.html\" type=\"application/x-shockwave-flash\" "
         "></embed>\r\n"
         " </object>";
}

const std::string kLogo = "?action=getfile&filename=varnel-logo.jpg";
const std::string kNotSubmitted = "<FONT color=\"#FF0000\">-Not Submitted-</FONT>";
const std::string kNoQuestion = "<H1>Text is not available for the question.</H1>";

// 0-20 % and 50-100 % have a band; 25 % has none.
const std::string kProjectIni =
    "[Subject_1]\r\nOverallFeedbacks=2\r\n"
    "Low_0=0\r\nHigh_0=20\r\nGrade_0=Keep practising\r\nCenterRightExt_0=swf\r\n"
    "Low_1=50\r\nHigh_1=100\r\nGrade_1=Well <i>tied</i>\r\nCenterRightExt_1=fl%76\r\n";

std::map<std::string, std::string> Course() {
  IndexQuestion reef =
      Question("Which knot joins two ends?", {"Reef knot", "Granny", "Clove <b>hitch</b>"}, {10, 0, 5});
  reef.movie = "reef.swf";
  // Stored twice encoded: the page decodes the loaded script once more.
  reef.script = "<p>Right over left%2C left over right</p>";
  reef.feedback_scripts = {"<p>Well done</p>", "", "<p>Half marks</p>"};
  IndexQuestion bowline = Question("A loop that holds?", {"Bowline", "Half hitch"}, {10, 0});
  bowline.movie = "bowline.swf";
  bowline.feedback_scripts = {"", "<p>It slips</p>"};
  return {
      {"project.ini", kProjectIni},
      {"PresentationsIndex_questions_1.csv", IndexOf({reef, bowline})},
      {"PrintQuestion.html",
       "<title>{{question_page_title}}</title><img src=\"{{LOGO_URL}}\">{{QUESTION_NUMBER}}. {{QUESTION_CONTENT}}"
       "<p>{{RESPONSE_TEXT}} | {{YOUR_SCORE}}</p>{{QUESTION_SWF}}{{UNFILLED}}"},
      {"PrintFeedback.html",
       "<title>{{FEEDBACK_PAGE_TITLE}}</title>{{QUESTION_NUMBER}} {{QUESTION_TITLE}}: {{RESPONSE_TEXT}} "
       "({{YOUR_ANSWER}}){{FEEDBACK_CONTENT}}{{FEEDBACK_SWF}}"},
      {"PrintPerfomance.html",
       "<h1>{{PERFOMANCE_GRADE}}</h1>{{PERFOMANCE_SCORE}}{{PERFOMANCE_TEXT}}{{PERFOMANCE_SWF}}"},
      {"OverallPerfomanceScript_1_1.html", "<p>Good {{LOGO_URL}} work</p>"},
      {"PrintFAQ.html",
       "<title>{{FAQ_PAGE_TITLE}}</title><h1>{{FAQ_TITLE}}</h1>{{FAQ_TEXT}}{{FAQ_SWF}}<img "
       "src=\"{{logo_url}}\">"},
      {"PrintPresentation.html", "<h1>{{PRESENTATION_TITLE}}</h1>{{PRESENTATION_TEXT}}"},
      {"FAQScript_1.html", "%3Cp%3EA reef knot%3C/p%3E"},
      {"PresentationScript_1.html", "%3Cp%3ESlides%3C/p%3E"},
      {"PresentationScript_FAQScript_2.html", "both"},
      {"notes.html", "<p>Plain {{LOGO_URL}} notes</p>"},
  };
}

class PrintPages : public LearnerTest, public ::testing::WithParamInterface<CourseMode> {
 protected:
  void SetUp() override {
    LearnerTest::SetUp();
    OpenCourse(GetParam(), Course());
    id_ = LoginSam();
    ASSERT_EQ(Ask("action=genquestions&sessionid=" + id_ + "&subject=1"),
              Xml("<movie generated=\"1\" questionscount=\"2\" questionstimer=\"1200\"/>"));
  }

  void Answer(int qindex, int answer) {
    ASSERT_EQ(Ask("action=putanswer&sessionid=" + id_ + "&subject=1&qindex=" + std::to_string(qindex) +
                  "&answer=" + std::to_string(answer)),
              Xml("<movie generated=\"1\"/>"));
  }

  std::string Print(const std::string& parameters) { return Ask("action=print_script&" + parameters); }
  std::string Print(const std::string& kind, const std::string& parameters) {
    return Print(kind + "=1&sessionid=" + id_ + "&" + parameters);
  }

  static std::string Html(const std::string& body) { return FileReply("text/html", body); }

  ZeroRandom random_;
  ScopedProcessRandom scoped_random_{random_};
  std::string id_;
};

TEST_P(PrintPages, QuestionPage) {
  const std::string answered = "<title>Which knot joins two ends?</title><img src=\"" + kLogo +
                               "\">1. <p>Right over left, left over right</p><p>Clove <b>hitch</b> | 5</p>" +
                               Snippet("reef.swf") + "{{UNFILLED}}";
  EXPECT_EQ(Print("question", "subject=1&qindex=1&qanswer=3"), Html(answered));
  // Question first, whatever else is set.
  EXPECT_EQ(Print("question=1&feedback=1&perfomance=1&sessionid=" + id_ + "&subject=1&qindex=1&qanswer=3"),
            Html(answered));

  const std::string not_submitted = "<title>A loop that holds?</title><img src=\"" + kLogo + "\">2. <p>" +
                                    kNotSubmitted + " | " + kNotSubmitted + "</p>" + Snippet("bowline.swf") +
                                    "{{UNFILLED}}";
  for (const char* qanswer : {"", "&qanswer=0", "&qanswer=6", "&qanswer=-1", "&qanswer=x"})
    EXPECT_EQ(Print("question", std::string("subject=1&qindex=2") + qanswer), Html(not_submitted)) << qanswer;

  // No question to print: another session, subject, slot or position.
  for (const std::string& parameters : std::vector<std::string>{
           "question=1&sessionid=nobody&subject=1&qindex=1", "question=1&sessionid=" + id_ + "&subject=2&qindex=1",
           "question=1&sessionid=" + id_ + "&subject=20&qindex=1",
           "question=1&sessionid=" + id_ + "&subject=-1&qindex=1",
           "question=1&sessionid=" + id_ + "&subject=1&qindex=0", "question=1&sessionid=" + id_ + "&subject=1&qindex=3",
           "question=1&sessionid=" + id_ + "&subject=1&qindex=-2147483648"})
    EXPECT_EQ(Print(parameters), Html(kNoQuestion)) << parameters;
  for (const char* subject : {"", "&subject=", "&subject=1x", "&subject=99999999999"})
    EXPECT_EQ(Print("question=1&sessionid=" + id_ + "&qindex=1" + subject), "refused") << subject;
}

TEST_P(PrintPages, FeedbackPageWalksTheAnsweredQuestions) {
  EXPECT_EQ(Print("feedback", "subject=1"), Html(""));  // nothing answered yet
  Answer(2, 2);
  Answer(1, 3);
  EXPECT_EQ(Print("feedback", "subject=1"),
            Html("<title>Which knot joins two ends? Feedback</title>1 Which knot joins two ends?: Clove <b>hitch</b> "
                 "(5/10)<p>Half marks</p>" +
                 Snippet("reef.swf")));
  EXPECT_EQ(Print("feedback", "subject=1&feedbackquestionindex=2"),
            Html("<title>A loop that holds? Feedback</title>2 A loop that holds?: Half hitch (0/10)<p>It slips</p>" +
                 Snippet("bowline.swf")));
  for (const char* index : {"0", "3", "-1"})
    EXPECT_EQ(Print("feedback", std::string("subject=1&feedbackquestionindex=") + index), Html("")) << index;
  EXPECT_EQ(Print("feedback", "subject=7"), Html(""));
  EXPECT_EQ(Print("feedback", "subject=one"), "refused");
}

TEST_P(PrintPages, PerformancePageOnlyWithAGradeBand) {
  Answer(1, 3);  // 5 of 20: 25 %, in no band
  EXPECT_EQ(Print("perfomance", "subject=1"), Html(""));
  Answer(2, 1);  // 15 of 20: 75 %, band 1
  EXPECT_EQ(Print("perfomance", "subject=1"), Html("<h1>Well <i>tied</i></h1>15/20<p>Good " + kLogo + " work</p>" +
                                                   Snippet("OverallPerfomanceRight_1_1.flv")));
  // File names carry the subject as it was sent.
  EXPECT_EQ(Print("perfomance", "subject=01"),
            Html("<h1>Well <i>tied</i></h1>15/20" + Snippet("OverallPerfomanceRight_01_1.flv")));
  EXPECT_EQ(Print("perfomance=1&sessionid=other&subject=1"), Html(""));
  EXPECT_EQ(Print("perfomance", "subject=21"), Html(""));
  EXPECT_EQ(Print("perfomance", "subject=%2B"), "refused");
}

TEST_P(PrintPages, ScriptPagesByFileName) {
  const std::string faq =
      "<title>Knots</title><h1>Reef</h1><p>A reef knot</p>" + Snippet("faq.swf") + "<img src=\"" + kLogo + "\">";
  EXPECT_EQ(Print("filename=FAQScript_1.html&title=Reef&page=Knots&swf=faq.swf"), Html(faq));
  EXPECT_EQ(Print("filename=PresentationScript_1.html&title=Slides&swf=x.swf"), Html("<h1>Slides</h1><p>Slides</p>"));
  // "FAQScript_" anywhere wins over "PresentationScript_".
  EXPECT_EQ(Print("filename=PresentationScript_FAQScript_2.html&title=T&page=P&swf=s.swf"),
            Html("<title>P</title><h1>T</h1>both" + Snippet("s.swf") + "<img src=\"" + kLogo + "\">"));
  EXPECT_EQ(Print("filename=notes.html"), Html("<p>Plain " + kLogo + " notes</p>"));
  EXPECT_EQ(Print("filename=missing.html"), Html(""));
  // Empty kind parameters do not pick a page.
  EXPECT_EQ(Print("question=&feedback=&perfomance=&filename=notes.html"), Html("<p>Plain " + kLogo + " notes</p>"));
}

TEST_P(PrintPages, RequestValuesComeBackEscaped) {
  EXPECT_EQ(Print("filename=FAQScript_1.html&title=%3Cscript%3Ealert(1)%3C/script%3E&page=a%26b%27&swf=x%22 "
                  "onload%3D%22y.swf"),
            Html("<title>a&amp;b&#39;</title><h1>&lt;script&gt;alert(1)&lt;/script&gt;</h1><p>A reef knot</p>" +
                 Snippet("x&quot; onload=&quot;y.swf") + "<img src=\"" + kLogo + "\">"));
  EXPECT_EQ(Print("filename=PresentationScript_1.html&title=%3Cb%3E"), Html("<h1>&lt;b&gt;</h1><p>Slides</p>"));
}

INSTANTIATE_TEST_SUITE_P(Modes, PrintPages, ::testing::Values(CourseMode::kFolder, CourseMode::kPacked),
                         [](const auto& info) { return ModeName(info.param); });

}  // namespace
}  // namespace server
