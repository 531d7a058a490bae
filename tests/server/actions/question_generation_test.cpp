// Question generation: the settings of project.ini, the draw with a fixed
// seed, the maximum scores, the band records and the two counters, from a
// course folder and from a package.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/random.h"
#include "server/quiz/question_draw.h"
#include "server/sessions/grade_band.h"
#include "tests/server/learner_test_support.h"

namespace server {
namespace {

std::string Int(int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  return {static_cast<char>(bits & 0xFF), static_cast<char>((bits >> 8) & 0xFF), static_cast<char>((bits >> 16) & 0xFF),
          static_cast<char>((bits >> 24) & 0xFF)};
}

// A text field of the band record: the text, then zeros to the field's end.
std::string Field(const std::string& text, size_t size) { return text + std::string(size - text.size(), '\0'); }

std::string BandImage(int32_t low, int32_t high, const std::string& grade, int32_t use_script, const std::string& ul,
                      const std::string& cl, const std::string& cr) {
  return Int(low) + Int(high) + Field(grade, 100) + Int(use_script) + Field(ul, 10) + Field(cl, 10) + Field(cr, 10) +
         std::string(2, '\0');
}

const std::string kLongGrade(150, 'g');

// Subject 1: five questions, a test of three, two bands.
const std::string kProjectIni =
    "; the course's settings\r\n"
    "[subject_1]\r\n"
    "MaxQuestions = 3\r\n"
    "Timer=900\r\n"
    "OverallFeedbacks=2\r\n"
    "Instructions text=Read%20first\r\n"
    "SWF Upper Left=\"logo.swf\"\r\n"
    "FeedbackIndex SWF Upper Left=fi.swf\r\n"
    "UseScript_0=1\r\nLow_0=0\r\nHigh_0=49\r\nGrade_0=Try again\r\n"
    "UpperLeftExt_0=swf\r\nCenterLeftExt_0=jpg\r\nCenterRightExt_0=longextension\r\n"
    "Low_1=50\r\nHigh_1=100\r\nGrade_1=" +
    kLongGrade +
    "\r\n"
    "[Subject_1]\r\nTimer=1\r\n";  // a second section of the name is never read

std::string FiveQuestions() {
  std::vector<IndexQuestion> questions(5);
  for (int i = 0; i < 5; ++i) {
    questions[i].text = "Q" + std::to_string(i + 1);
    questions[i].answers = {"Right", "Wrong"};
    questions[i].scores = {i + 1, 0};
  }
  // An empty answer never counts toward the maximum, however high its score.
  questions[1].answers = {"Yes", "", "No", "Maybe", ""};
  questions[1].scores = {4, 50, 0, 7, 90};
  std::string index;
  for (const IndexQuestion& question : questions) index += question.Row() + "\r\n\r\n";
  return index;
}

class Generation : public LearnerTest, public ::testing::WithParamInterface<CourseMode> {};

INSTANTIATE_TEST_SUITE_P(Modes, Generation, ::testing::Values(CourseMode::kFolder, CourseMode::kPacked),
                         [](const auto& info) { return ModeName(info.param); });

TEST_P(Generation, AFixedSeedGivesTheOrderWorkedOutByHand) {
  // Names in another letter case: folder and package find them all the same.
  OpenCourse(GetParam(), {{"Project.INI", kProjectIni}, {"presentationsindex_questions_1.CSV", FiveQuestions()}});
  const std::string id = LoginSam();
  // Seed 12345: the draws 65 and 1480504946 cut position 65 % 5 = 0 (Q1)
  // and 1480504946 % 4 = 2 (Q4), leaving Q2 Q3 Q5; the swaps (2010627756 % 3,
  // 1092730705 % 3) = (0, 1), (1491797899 % 3, 937829253 % 3) = (1, 0) and
  // (874375691 % 3, 998244115 % 3) = (2, 1) give Q2 Q5 Q3.
  plat::LcgRandom random(12345);
  ScopedProcessRandom scoped(random);
  EXPECT_EQ(Ask("action=genquestions&sessionid=" + id + "&subject=1"),
            Xml("<movie generated=\"1\" questionscount=\"3\" questionstimer=\"900\"/>"));

  const TSessionQuestions& test = *Session(id)->GetTest(1);
  const content::TQuestionsList& questions = test.GetQuestions();
  ASSERT_EQ(questions.Count(), 3);
  EXPECT_EQ(questions.GetQuestion(0)->GetQuestionText(), "Q2");
  EXPECT_EQ(questions.GetQuestion(1)->GetQuestionText(), "Q5");
  EXPECT_EQ(questions.GetQuestion(2)->GetQuestionText(), "Q3");
  const content::TQuestion& q2 = *questions.GetQuestion(0);
  EXPECT_EQ(q2.GetAnswerText(0), "Yes");
  EXPECT_EQ(q2.GetAnswerText(3), "Maybe");
  EXPECT_EQ(q2.GetMaxScore(), 7);
  EXPECT_EQ(questions.GetQuestion(1)->GetMaxScore(), 5);
  EXPECT_EQ(q2.GetChosenAnswer(), -1);

  EXPECT_EQ(test.GetTimer(), 900);
  EXPECT_EQ(test.GetMaxQuestions(), 3);
  EXPECT_EQ(test.GetInstructionsText(), "Read%20first");
  EXPECT_EQ(test.GetUpperLeftMovie(), "logo.swf");
  EXPECT_EQ(test.GetFeedbackIndexMovie(), "fi.swf");
  EXPECT_EQ(test.GetUsageCount(), 1);
  EXPECT_EQ(test.GetTestId(), 0);
  const std::string band0 = BandImage(0, 49, "Try again", 1, "swf", "jpg", "longexten");
  const std::string band1 = BandImage(50, 100, std::string(99, 'g'), 0, "", "", "");
  ASSERT_EQ(test.GetBandCount(), 2);
  EXPECT_EQ(test.GetBand(0).Bytes(), band0);
  EXPECT_EQ(test.GetBand(1).Bytes(), band1);

  // A new draw from the same seed: the same test, and bands that held other
  // bytes are filled from zero, so nothing stale reaches the session file.
  Session(id)->GetTest(1)->GetBand(0) = TGradeBand::FromBytes(std::string(TGradeBand::kSize, 'x'));
  Session(id)->GetTest(1)->GetBand(1) = TGradeBand::FromBytes(std::string(TGradeBand::kSize, 'x'));
  random.Seed(12345);
  EXPECT_EQ(Ask("action=regenquestions&sessionid=" + id + "&subject=1"),
            Xml("<movie generated=\"1\" questionscount=\"3\" questionstimer=\"900\"/>"));
  const TSessionQuestions& again = *Session(id)->GetTest(1);
  EXPECT_EQ(again.GetQuestions().GetQuestion(1)->GetQuestionText(), "Q5");
  EXPECT_EQ(again.GetBand(0).Bytes(), band0);
  EXPECT_EQ(again.GetBand(1).Bytes(), band1);
  EXPECT_EQ(again.GetTestId(), 1);
  EXPECT_EQ(again.GetUsageCount(), 1);
}

TEST_P(Generation, SettingsTheSectionLacksTakeTheirDefaults) {
  const IndexQuestion one = Question("Only", {"A"}, {3});
  const std::string two = IndexOf({one, one});
  OpenCourse(GetParam(), {{"project.ini",
                           "[Subject_2]\nMaxQuestions=0\n"
                           "[Subject_3]\nMaxQuestions=-4\nOverallFeedbacks=-2\n"
                           "[Subject_4]\nOverallFeedbacks=2000000000\nTimer=12x\nMaxQuestions=1\n"
                           "[Subject_5]\nOverallFeedbacks=0\n"},
                          {"PresentationsIndex_questions_1.csv", two},
                          {"PresentationsIndex_questions_2.csv", two},
                          {"PresentationsIndex_questions_3.csv", two},
                          {"PresentationsIndex_questions_4.csv", two}});
  const std::string id = LoginSam();
  struct Case {
    int subject;
    int questions;
    int32_t timer;
    int32_t max_questions;
    int32_t bands;
  };
  const Case cases[] = {
      {1, 2, 1200, 20, 0},    // no section: the defaults, every question kept
      {2, 0, 1200, 0, 0},     // MaxQuestions 0 empties the test
      {3, 0, 1200, 0, 0},     // negative MaxQuestions and band counts: none
      {4, 1, 1200, 1, 1000},  // an absurd band count is capped; a malformed Timer is the default
      {5, 0, 1200, 20, 0},    // no question index: an empty test
      {0, 0, 1200, 20, 0},   {19, 0, 1200, 20, 0},
  };
  for (const Case& c : cases) {
    const std::string subject = std::to_string(c.subject);
    EXPECT_EQ(Ask("action=genquestions&sessionid=" + id + "&subject=" + subject),
              Xml("<movie generated=\"1\" questionscount=\"" + std::to_string(c.questions) + "\" questionstimer=\"" +
                  std::to_string(c.timer) + "\"/>"))
        << subject;
    const TSessionQuestions* test = Session(id)->GetTest(c.subject);
    ASSERT_NE(test, nullptr) << subject;
    EXPECT_EQ(test->GetMaxQuestions(), c.max_questions) << subject;
    EXPECT_EQ(test->GetBandCount(), c.bands) << subject;
  }
  EXPECT_EQ(Session(id)->GetTest(4)->GetBand(999).Bytes(), BandImage(0, 0, "", 0, "", "", ""));

  EXPECT_TRUE(server_.HasSubjectQuestions(1));
  EXPECT_TRUE(server_.HasSubjectQuestions(4));
  EXPECT_FALSE(server_.HasSubjectQuestions(5));
  EXPECT_FALSE(server_.HasSubjectQuestions(-3));
  EXPECT_FALSE(server_.HasSubjectQuestions(25));
}

TEST_P(Generation, GenQuestionsKeepsTheTestAndRegenQuestionsDrawsAfresh) {
  std::vector<IndexQuestion> questions(6);
  for (int i = 0; i < 6; ++i) questions[i] = Question("Q" + std::to_string(i), {"A", "B"}, {1});
  std::string index;
  for (const IndexQuestion& question : questions) index += question.Row() + "\n";
  OpenCourse(GetParam(),
             {{"project.ini", "[Subject_0]\nMaxQuestions=6\n"}, {"PresentationsIndex_questions_0.csv", index}});
  const std::string id = LoginSam();
  const std::string gen = "action=genquestions&sessionid=" + id + "&subject=0";
  const std::string regen = "action=regenquestions&sessionid=" + id + "&subject=0";

  auto order = [&] {
    std::string texts;
    const content::TQuestionsList& list = Session(id)->GetTest(0)->GetQuestions();
    for (int i = 0; i < list.Count(); ++i) texts += list.GetQuestion(i)->GetQuestionText();
    return texts;
  };
  Ask(gen);
  const std::string first = order();
  for (int q = 1; q <= 3; ++q)
    Ask("action=putanswer&sessionid=" + id + "&subject=0&qindex=" + std::to_string(q) + "&answer=1");
  Ask(gen);
  EXPECT_EQ(order(), first);
  EXPECT_EQ(Session(id)->GetTest(0)->GetUsageCount(), 2);
  EXPECT_EQ(Session(id)->GetTest(0)->AnsweredCount(), 3);

  plat::LcgRandom random(7);
  ScopedProcessRandom scoped(random);
  Ask(regen);
  const TSessionQuestions& test = *Session(id)->GetTest(0);
  EXPECT_EQ(test.AnsweredCount(), 0);
  EXPECT_EQ(test.GetTestId(), 1);
  EXPECT_EQ(test.GetUsageCount(), 2);
  EXPECT_EQ(test.GetQuestions().Count(), 6);  // every question kept, only shuffled
  // regenquestions on an empty slot creates the test first.
  Ask("action=regenquestions&sessionid=" + id + "&subject=7");
  ASSERT_NE(Session(id)->GetTest(7), nullptr);
  EXPECT_EQ(Session(id)->GetTest(7)->GetTestId(), 1);
  EXPECT_EQ(Session(id)->GetTest(7)->GetUsageCount(), 0);
}

TEST_P(Generation, RawGenerationNeedsATestInTheSlotAndStoresTheSession) {
  OpenCourse(GetParam(), {{"project.ini", kProjectIni}, {"PresentationsIndex_questions_1.csv", FiveQuestions()}});
  const std::string id = LoginSam();
  TQuizSessionParams& session = *Session(id);
  server_.RawGenerateQuestions(1, session);
  EXPECT_EQ(session.GetTest(1), nullptr);
  EXPECT_FALSE(plat::PathExists(StoredSessionFile()));
  server_.RawGenerateQuestions(25, session);
  session.CreateTest(1);
  server_.RawGenerateQuestions(1, session);
  EXPECT_EQ(session.GetTest(1)->GetQuestions().Count(), 3);
  EXPECT_EQ(session.GetTest(1)->GetUsageCount(), 0);
  EXPECT_TRUE(plat::PathExists(StoredSessionFile()));
}

TEST(QuestionDraw, OneQuestionStaysAndTheDrawsAreTakenAnyway) {
  content::TQuestionsList questions;
  questions.AddNew()->LoadFromIndexRow("Only;A;;;;;1;0;0;0;0");
  plat::LcgRandom random(1);
  DrawQuestions(questions, 5, random);
  ASSERT_EQ(questions.Count(), 1);
  EXPECT_EQ(questions.GetQuestion(0)->GetQuestionText(), "Only");
  // One exchange: two draws.
  plat::LcgRandom expected(1);
  expected.Next31();
  expected.Next31();
  EXPECT_EQ(random.State(), expected.State());
}

}  // namespace
}  // namespace server
