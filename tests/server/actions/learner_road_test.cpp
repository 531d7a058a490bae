// The learner road over loopback sockets: login, a drawn test, answers and
// every feedback reply compared whole; a re-login that continues the test
// from the session file; hostile input; skip-start-page mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "content/content_paths.h"
#include "content/percent_codec.h"
#include "platform/files.h"
#include "server/sessions/session_file.h"
#include "tests/server/learner_test_support.h"

namespace server {
namespace {

// Three bands: 50 % lies on band 1's Low and inside band 2, and the first wins.
const std::string kProjectIni =
    "[Subject_1]\n"
    "OverallFeedbacks=3\nTimer=600\nMaxQuestions=4\n"
    "SWF Upper Left=logo%20a.swf\n"
    "FeedbackIndex SWF Upper Left=fb%26index.swf\n"
    "Low_0=0\nHigh_0=49\nGrade_0=Try again\nUpperLeftExt_0=swf\nCenterLeftExt_0=swf\nCenterRightExt_0=swf\n"
    "UseScript_1=1\nLow_1=50\nHigh_1=100\nGrade_1=Well done!\n"
    "UpperLeftExt_1=swf\nCenterLeftExt_1=jp%22g\nCenterRightExt_1=flv\n"
    "Low_2=40\nHigh_2=60\nGrade_2=Overlap\n"
    "[Subject_2]\nMaxQuestions=-3\n"
    "[Subject_3]\nOverallFeedbacks=99999999\n";

std::string QuestionIndex() {
  IndexQuestion reef = Question("Which knot joins two ends?", {"Reef knot", "Granny", ""}, {10, 0, 99});
  reef.movie = "reef&1.swf";
  reef.script = "<p>Right over left</p><p>then left over right</p>";
  reef.use_script = true;
  IndexQuestion bowline = Question("A loop that holds?", {"Bowline", "Half hitch"}, {10, 5});
  IndexQuestion clove = Question("Rope to a post?", {"Clove hitch", "Sheet bend"}, {10, 0});
  clove.movie = "clove.swf";
  clove.upper_left[1] = "clove-ul.swf";
  clove.upper_right[1] = "clove-ur.swf";
  clove.center_left[1] = "clove-cl.swf";
  clove.feedback_scripts[1] = "Look <b>again</b>";
  clove.feedback_use_script[1] = true;
  IndexQuestion sheet = Question("Two ropes of different size?", {"Sheet bend", "Reef"}, {10, 0});
  return IndexOf({reef, bowline, clove, sheet});
}

std::map<std::string, std::string> Course() {
  return {{"project.ini", kProjectIni},
          {"PresentationsIndex_questions_1.csv", QuestionIndex()},
          {"PresentationsIndex_questions_2.csv", QuestionIndex()},
          {"PresentationsIndex_questions_3.csv", QuestionIndex()},
          {"OverallPerfomanceScript_01_1.html", "<p>Good work</p>"}};
}

class LearnerRoad : public LearnerTest {
 protected:
  std::string LoginOverSocket() {
    const std::string reply = Get("/?action=login&username=sam&password=bowline");
    const size_t start = reply.find("sessionid=\"");
    if (start == std::string::npos) return "";
    return reply.substr(start + 11, reply.find('"', start + 11) - start - 11);
  }

  // The position (from 1) of each question of the drawn test, by its text.
  std::map<std::string, int> Positions(const std::string& id) {
    std::map<std::string, int> positions;
    const content::TQuestionsList& questions = Session(id)->GetTest(1)->GetQuestions();
    for (int i = 0; i < questions.Count(); ++i) positions[questions.GetQuestion(i)->GetQuestionText()] = i + 1;
    return positions;
  }
};

TEST_F(LearnerRoad, EveryReplyHasItsWholeForm) {
  OpenCourse(CourseMode::kFolder, Course());
  const std::string id = LoginOverSocket();
  ASSERT_FALSE(id.empty());
  const std::string session = "&sessionid=" + id;

  EXPECT_EQ(Get("/?action=genquestions" + session + "&subject=1"),
            Xml("<movie generated=\"1\" questionscount=\"4\" questionstimer=\"600\"/>"));
  std::map<std::string, int> at = Positions(id);
  const std::string reef = std::to_string(at["Which knot joins two ends?"]);
  const std::string bowline = std::to_string(at["A loop that holds?"]);
  const std::string clove = std::to_string(at["Rope to a post?"]);

  EXPECT_EQ(Get("/?action=getfeedbackindex" + session + "&subject=1"),
            Xml("<movie generated=\"1\" UpperLeft=\"fb&amp;index.swf\" "
                "UpperRight=\"FeedbackIndexTemplateUpperRight_1.swf\" DontShowWrongAnswersFeedback=\"1\" "
                "DontShowAllAnswersFeedback=\"1\"/>"));

  auto question_reply = [&](const std::string& answered) {
    return Xml(
        "<movie generated=\"1\" UpperLeft=\"logo a.swf\" FeedbackIndexLogo=\"fb&amp;index.swf\" "
        "UpperRight=\"QuestionTemplateUpperRight_1.swf\" CenterRight=\"reef&amp;1.swf\" QuestionText=\"" +
        content::PercentEncode("Which knot joins two ends?") + "\" ScriptText=\"" +
        content::PercentEncode("Right over left<BR>then left over right<BR>") +
        "\" UseScript=\"1\" HasText=\"1\" Answer1=\"" + content::PercentEncode("Reef knot") + "\" Answer2=\"" +
        content::PercentEncode("Granny") + "\" Answer3=\"\" Answer4=\"\" Answer5=\"\" Answered=\"" + answered + "\"/>");
  };
  // The template name carries the subject's number: "01" gives 1.
  EXPECT_EQ(Get("/?action=getquestion" + session + "&subject=01&qindex=" + reef), question_reply("0"));

  const std::string taken = Xml("<movie generated=\"1\"/>");
  EXPECT_EQ(Get("/?action=putanswer" + session + "&subject=1&qindex=" + reef + "&answer=1"), taken);
  EXPECT_EQ(Get("/?action=putanswer" + session + "&subject=1&qindex=" + bowline + "&answer=1"), taken);
  EXPECT_EQ(Get("/?action=putanswer" + session + "&subject=1&qindex=" + clove + "&answer=2"), taken);
  EXPECT_EQ(Get("/?action=getquestion" + session + "&subject=1&qindex=" + reef), question_reply("1"));

  EXPECT_EQ(Get("/?action=getfeedbackindex" + session + "&subject=1"),
            Xml("<movie generated=\"1\" UpperLeft=\"fb&amp;index.swf\" "
                "UpperRight=\"FeedbackIndexTemplateUpperRight_1.swf\"/>"));

  // 20 of 40 is 50 %: band 1's Low edge, also inside band 2; the first band
  // wins. The subject goes into the names as it was sent.
  EXPECT_EQ(Get("/?action=getoverallperfomance" + session + "&subject=01"),
            Xml("<movie  generated=\"1\" Score=\"20/40\" Grade=\"" + content::PercentEncode("Well done!") +
                "\" UpperLeft=\"OverallPerfomanceUpperLeft_01_1.swf\" "
                "UpperRight=\"OverallPerfomanceUpperRight_01_1.swf\" "
                "CenterLeft=\"OverallPerfomanceCenterRight_01_1.jp&quot;g\" "
                "CenterRight=\"OverallPerfomanceRight_01_1.flv\" UseScript=\"1\" "
                "Script=\"OverallPerfomanceScript_01_1.html\" HasText=\"1\"/>"));

  const std::string clove_feedback = Xml(
      "<movie  generated=\"1\" wronganswersnumber=\"1\" QuestionText=\"" + content::PercentEncode("Rope to a post?") +
      "\" AnswerText=\"" + content::PercentEncode("Sheet bend") + "\" Answer=\"0/10\" WrongAnswerIndex=\"" + clove +
      "\" UpperLeft=\"clove-ul.swf\" UpperRight=\"clove-ur.swf\" CenterLeft=\"clove-cl.swf\" "
      "QuestionMovie=\"clove.swf\" ScriptText=\"" +
      content::PercentEncode("Look again") + "\" UseScript=\"1\" HasText=\"1\"/>");
  EXPECT_EQ(Get("/?action=getindividualfeedback" + session + "&subject=1&wronganswers=1"), clove_feedback);
  EXPECT_EQ(Get("/?action=getindividualfeedback" + session + "&subject=1&wronganswers=1&feedbackquestionindex=2"),
            Xml("<movie />"));
  // All answered questions, in test order: the third of them is the
  // answered question that stands last in the test.
  const int last_answered =
      std::max({at["Which knot joins two ends?"], at["A loop that holds?"], at["Rope to a post?"]});
  const std::string third = Get("/?action=getindividualfeedback" + session + "&subject=1&feedbackquestionindex=3");
  EXPECT_NE(third.find("wronganswersnumber=\"3\""), std::string::npos) << third;
  EXPECT_NE(third.find("WrongAnswerIndex=\"" + std::to_string(last_answered) + "\""), std::string::npos) << third;
  EXPECT_EQ(Get("/?action=getindividualfeedback" + session + "&subject=1&wronganswers=0&feedbackquestionindex=4"),
            Xml("<movie />"));

  // One record per answer, the last with the running totals.
  const std::string answers = plat::ReadWholeFile(server_.GetDataFolder() + "Sessions/sam/answers.xml");
  size_t records = 0;
  for (size_t at_record = answers.find("<Record>"); at_record != std::string::npos;
       at_record = answers.find("<Record>", at_record + 1))
    ++records;
  EXPECT_EQ(records, 3u);
  EXPECT_NE(answers.find("    <AnsweredScore>20</AnsweredScore>\r\n    <Grade>Well done!</Grade>\r\n"
                         "    <Usage>1</Usage>\r\n  </Record>\r\n</Dataset>"),
            std::string::npos)
      << answers;
  EXPECT_TRUE(SettleConnections());
}

TEST_F(LearnerRoad, AReLoginContinuesThePartlyAnsweredTestFromTheSessionFile) {
  OpenCourse(CourseMode::kPacked, Course());
  const std::string first = LoginOverSocket();
  Get("/?action=genquestions&sessionid=" + first + "&subject=1");
  const std::string reef = std::to_string(Positions(first)["Which knot joins two ends?"]);
  Get("/?action=putanswer&sessionid=" + first + "&subject=1&qindex=" + reef + "&answer=2");
  std::vector<std::string> bands;
  const TSessionQuestions& before = *Session(first)->GetTest(1);
  for (int i = 0; i < before.GetBandCount(); ++i) bands.emplace_back(before.GetBand(i).Bytes());
  const std::map<std::string, int> order = Positions(first);

  const std::string second = LoginOverSocket();
  ASSERT_NE(second, first);
  EXPECT_EQ(Get("/?action=getquestion&sessionid=" + first + "&subject=1&qindex=1"), Xml("<movie generated=\"0\"/>"));
  const TSessionQuestions& after = *Session(second)->GetTest(1);
  ASSERT_EQ(after.GetBandCount(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(after.GetBand(i).Bytes(), bands[static_cast<size_t>(i)]) << i;
  EXPECT_EQ(Positions(second), order);
  EXPECT_EQ(after.GetUsageCount(), 1);
  const std::string reply = Get("/?action=getquestion&sessionid=" + second + "&subject=1&qindex=" + reef);
  EXPECT_NE(reply.find("Answered=\"2\"/>"), std::string::npos) << reply;
  // genquestions continues the same test.
  EXPECT_EQ(Get("/?action=genquestions&sessionid=" + second + "&subject=1"),
            Xml("<movie generated=\"1\" questionscount=\"4\" questionstimer=\"600\"/>"));
  EXPECT_EQ(Positions(second), order);
  EXPECT_EQ(Session(second)->GetTest(1)->AnsweredCount(), 1);
}

TEST_F(LearnerRoad, HostileInputChangesNothing) {
  OpenCourse(CourseMode::kFolder, Course());
  const std::string id = LoginSam();
  Ask("action=genquestions&sessionid=" + id + "&subject=1");
  Ask("action=putanswer&sessionid=" + id + "&subject=1&qindex=1&answer=2");
  const std::string stored = StoredSessionFile();
  const std::string snapshot = plat::ReadWholeFile(stored);
  const std::string answers_path = server_.GetDataFolder() + "Sessions/sam/answers.xml";
  const std::string answers = plat::ReadWholeFile(answers_path);

  const std::string s = "&sessionid=" + id;
  const std::string not_generated = Xml("<movie generated=\"0\"/>");
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"action=genquestions" + s + "&subject=25", not_generated},
      {"action=regenquestions" + s + "&subject=-1", not_generated},
      {"action=regenquestions" + s + "&subject=20", not_generated},
      {"action=genquestions" + s + "&subject=1x", "refused"},
      {"action=regenquestions" + s, "refused"},
      {"action=genquestions" + s + "&subject=99999999999", "refused"},
      {"action=getquestion" + s + "&subject=25&qindex=1", not_generated},
      {"action=getquestion" + s + "&subject=4&qindex=1", not_generated},  // empty slot
      {"action=getquestion" + s + "&subject=%201&qindex=1", "refused"},
      {"action=getquestion" + s + "&subject=1&qindex=0", not_generated},
      {"action=getquestion" + s + "&subject=1&qindex=5", not_generated},
      {"action=getquestion" + s + "&subject=1&qindex=-2147483648", not_generated},
      {"action=getquestion" + s + "&subject=1&qindex=1x", not_generated},
      {"action=putanswer" + s + "&subject=1&qindex=1&answer=0", not_generated},
      {"action=putanswer" + s + "&subject=1&qindex=1&answer=6", not_generated},
      {"action=putanswer" + s + "&subject=1&qindex=1&answer=1x", not_generated},
      {"action=putanswer" + s + "&subject=1&qindex=0&answer=1", not_generated},
      {"action=putanswer" + s + "&subject=-1&qindex=1&answer=1", not_generated},
      {"action=putanswer&sessionid=nobody&subject=1&qindex=1&answer=1", not_generated},
      {"action=getfeedbackindex" + s + "&subject=25", not_generated},
      {"action=getfeedbackindex" + s, "refused"},
      {"action=getoverallperfomance" + s + "&subject=-1", not_generated},
      {"action=getoverallperfomance" + s + "&subject=1x", "refused"},
      {"action=getindividualfeedback" + s + "&subject=25", not_generated},
      {"action=getindividualfeedback" + s + "&subject=1&feedbackquestionindex=0", Xml("<movie />")},
      {"action=getindividualfeedback" + s + "&subject=1&feedbackquestionindex=-2147483648", Xml("<movie />")},
  };
  for (const auto& [query, expected] : rows) {
    EXPECT_EQ(Ask(query), expected) << query;
    EXPECT_EQ(plat::ReadWholeFile(stored), snapshot) << query;
    EXPECT_EQ(plat::ReadWholeFile(answers_path), answers) << query;
  }
  EXPECT_EQ(Session(id)->GetTest(1)->GetQuestions().GetQuestion(0)->GetChosenAnswer(), 2);
  for (int slot = 0; slot < TQuizSessionParams::kTestSlots; ++slot)
    EXPECT_EQ(Session(id)->GetTest(slot) != nullptr, slot == 1) << slot;

  // A damaged chosen answer counts as unanswered everywhere.
  Session(id)->GetTest(1)->GetQuestions().GetQuestion(0)->SetChosenAnswer(9);
  EXPECT_EQ(Ask("action=getindividualfeedback" + s + "&subject=1"), Xml("<movie />"));
  const std::string question = Ask("action=getquestion" + s + "&subject=1&qindex=1");
  EXPECT_NE(question.find("Answered=\"0\"/>"), std::string::npos) << question;

  // Settings that would break the draw or the bands give a plain test.
  EXPECT_EQ(Ask("action=genquestions" + s + "&subject=2"),
            Xml("<movie generated=\"1\" questionscount=\"0\" questionstimer=\"1200\"/>"));
  EXPECT_EQ(Ask("action=genquestions" + s + "&subject=3"),
            Xml("<movie generated=\"1\" questionscount=\"4\" questionstimer=\"1200\"/>"));
  EXPECT_EQ(Session(id)->GetTest(3)->GetBandCount(), 1000);
  EXPECT_EQ(Ask("action=genquestions" + s + "&subject=5"),
            Xml("<movie generated=\"1\" questionscount=\"0\" questionstimer=\"1200\"/>"));
  EXPECT_EQ(Ask("action=getoverallperfomance" + s + "&subject=5"), Xml("<movie />"));
}

TEST_F(LearnerRoad, SkipStartPageStoresTheHandlersOwnSessionAndNoAnswers) {
  std::map<std::string, std::string> course = Course();
  course.emplace("SkipStartPage.sysdata", "");
  course.emplace("projectid.txt", "knots");
  OpenCourse(CourseMode::kPacked, course);
  // Another session stands first in the list.
  server_.GetSessions().AddNew(false)->SetName("Someone else");
  const std::string id = LoginSam();
  const std::string state = content::GetLastSessionStatePath(server_.GetContentFolder());
  ASSERT_FALSE(state.empty());

  ASSERT_EQ(::unlink(state.c_str()), 0);
  EXPECT_EQ(Ask("action=genquestions&sessionid=nobody&subject=1"), Xml("<movie generated=\"0\"/>"));
  EXPECT_EQ(Ask("action=putanswer&sessionid=nobody&subject=1&qindex=1&answer=1"), Xml("<movie generated=\"0\"/>"));
  EXPECT_FALSE(plat::PathExists(state));

  Ask("action=genquestions&sessionid=" + id + "&subject=1");
  EXPECT_EQ(Ask("action=putanswer&sessionid=" + id + "&subject=1&qindex=1&answer=1"), Xml("<movie generated=\"1\"/>"));
  TQuizSessionParams stored(false);
  ASSERT_TRUE(LoadSessionFile(state, stored));
  EXPECT_EQ(stored.GetName(), "sam");
  ASSERT_NE(stored.GetTest(1), nullptr);
  EXPECT_EQ(stored.GetTest(1)->AnsweredCount(), 1);
  EXPECT_EQ(plat::ReadWholeFile(state + ".name"), "sam");
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_.path()))
    EXPECT_NE(entry.path().filename(), "answers.xml") << entry.path();
}

TEST_F(LearnerRoad, TheSampleCourseHasATestToDraw) {
  const char* source = std::getenv("VARNEL_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  // A copy: learner data must never land in the sources.
  const std::string copy = folder_.path() + "/knots";
  std::filesystem::copy(std::string(source) + "/samples/knots", copy, std::filesystem::copy_options::recursive);
  ASSERT_TRUE(server_.SetPath(copy));
  ASSERT_TRUE(server_.Open());
  const std::string id = LoginOverSocket();
  EXPECT_TRUE(server_.HasSubjectQuestions(1));
  EXPECT_EQ(Get("/?action=genquestions&sessionid=" + id + "&subject=1"),
            Xml("<movie generated=\"1\" questionscount=\"3\" questionstimer=\"600\"/>"));
  for (int q = 1; q <= 3; ++q) {
    const content::TQuestion& question = *Session(id)->GetTest(1)->GetQuestions().GetQuestion(q - 1);
    int best = 1;
    for (int a = 0; a < 5; ++a)
      if (question.GetAnswerScore(a) == question.GetMaxScore()) best = a + 1;
    Get("/?action=putanswer&sessionid=" + id + "&subject=1&qindex=" + std::to_string(q) +
        "&answer=" + std::to_string(best));
  }
  const std::string reply = Get("/?action=getoverallperfomance&sessionid=" + id + "&subject=1");
  EXPECT_NE(reply.find("Score=\"30/30\" Grade=\"" + content::PercentEncode("Well tied") + "\""), std::string::npos)
      << reply;
  EXPECT_NE(reply.find("HasText=\"1\"/>"), std::string::npos) << reply;
}

}  // namespace
}  // namespace server
