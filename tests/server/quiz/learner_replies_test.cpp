// Learner replies built from a stored session whose texts hold characters no
// XML document may carry: each reply stays well-formed for the browser.
#include "server/quiz/learner_replies.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/xml_document.h"
#include "server/sessions/session_file.h"
#include "server/sessions/session_params.h"
#include "server/sessions/test_score.h"
#include "tests/support/test_folder.h"

namespace server {
namespace {

// Parses, and holds no control character but TAB, LF and CR.
void ExpectWellFormed(const std::string& reply) {
  for (char c : reply)
    EXPECT_TRUE(static_cast<unsigned char>(c) >= ' ' || c == '\t' || c == '\n' || c == '\r') << reply;
  EXPECT_NO_THROW(plat::XmlDocument::Parse(reply)) << reply;
}

TEST(LearnerReplies, StoredControlCharactersStayOutOfTheXml) {
  TQuizSessionParams stored(false);
  TSessionQuestions& test = *stored.CreateTest(1);
  test.SetBandCount(1);
  test.GetBand(0).SetHigh(100);
  test.GetBand(0).SetCenterLeftExt("0%00%C4");  // the fuzzer's: a NUL once decoded
  test.GetBand(0).SetUpperLeftExt("%01swf");
  test.SetUpperLeftMovie("ul%0B.swf");
  content::TQuestion& question = *test.GetQuestions().AddNew();
  question.LoadFromIndexRow("Q;A;B;;;;1;0;0;0;0;up\x01.swf;;;;;;;;;;;;;;;movie\x1F.swf");
  question.SetChosenAnswer(1);
  question.SetMaxScore(1);

  plat::testing::TestFolder folder;
  const std::string path = folder.path() + "/lastsession.session";
  WriteSessionFile(path, stored);
  TQuizSessionParams session(false);
  ASSERT_TRUE(LoadSessionFile(path, session));
  const TSessionQuestions& loaded = *session.GetTest(1);
  const content::TQuestion& first = *loaded.GetQuestions().GetQuestion(0);
  const TTestScore score = ScoreTest(loaded);
  ASSERT_TRUE(score.HasBand());
  const std::string performance = OverallPerformanceReply(loaded, score, "1", "");
  ExpectWellFormed(performance);
  EXPECT_NE(performance.find("CenterLeft=\"OverallPerfomanceCenterRight_1_0.0?\xC4\""), std::string::npos)
      << performance;
  ExpectWellFormed(QuestionReply(loaded, first, 1));
  ExpectWellFormed(IndividualFeedbackReply(first, 1, 1));
}

}  // namespace
}  // namespace server
