// "print_script": printable pages filled from the content's templates.
//
// The first of "question", "feedback" and "perfomance" that is set picks the
// page; with none of them it is a script page. A question, feedback or
// performance page needs the learner's test in the slot of "subject": a
// session without one gets the page of a missing session. "subject" must be a
// number (else the request fails before any session is looked at).
#include <cstdint>
#include <string>

#include "content/percent_codec.h"
#include "platform/ascii.h"
#include "server/quiz/learner_replies.h"
#include "server/quiz/page_templates.h"
#include "server/quiz/request_numbers.h"
#include "server/quiz_session.h"
#include "server/sessions/test_score.h"

namespace server {
namespace {

std::string QuestionPage(TQuizSession& server, const content::TRequestMap& map) {
  const std::string id = map.GetValue("sessionid");
  const int32_t subject = RequiredNumber(map, "subject");
  const int32_t qindex = NumberOr(map, "qindex", 0);
  const int32_t qanswer = NumberOr(map, "qanswer", 0);
  TSessionsLock lock(server.GetSessions());
  TQuizSessionParams* session = server.GetSessions().FindById(id);
  const TSessionQuestions* test = FindTest(session, subject);
  const int64_t index = int64_t{qindex} - 1;
  if (test == nullptr || index < 0 || index >= test->GetQuestions().Count())
    return std::string(kQuestionNotAvailablePage);
  const content::TQuestion& question = *test->GetQuestions().GetQuestion(static_cast<int>(index));
  // An answer number outside 1-5 names no answer: not submitted.
  const bool submitted = qanswer >= 1 && qanswer <= content::TQuestion::kAnswerCount;

  std::string page = server.LoadFileToString("PrintQuestion.html");
  page = FillPlaceholder(page, "{{QUESTION_CONTENT}}", content::PercentDecode(question.GetScriptText()));
  page = FillPlaceholder(page, "{{QUESTION_PAGE_TITLE}}", question.GetQuestionText());
  page = FillPlaceholder(page, "{{RESPONSE_TEXT}}",
                         submitted ? question.GetAnswerText(qanswer - 1) : std::string(kNotSubmittedText));
  page = FillPlaceholder(
      page, "{{YOUR_SCORE}}",
      submitted ? std::to_string(question.GetAnswerScore(qanswer - 1)) : std::string(kNotSubmittedText));
  page = FillPlaceholder(page, "{{QUESTION_NUMBER}}", std::to_string(qindex));
  page = FillPlaceholder(page, "{{QUESTION_SWF}}", FlashObjectSnippet(question.GetQuestionMovie()));
  session->Touch();
  return page;
}

std::string FeedbackPage(TQuizSession& server, const content::TRequestMap& map) {
  const std::string id = map.GetValue("sessionid");
  const int32_t subject = RequiredNumber(map, "subject");
  const int32_t number = NumberOr(map, "feedbackquestionindex", 1);
  TSessionsLock lock(server.GetSessions());
  TQuizSessionParams* session = server.GetSessions().FindById(id);
  const TSessionQuestions* test = FindTest(session, subject);
  if (test == nullptr) return "";
  session->Touch();
  const int64_t index = int64_t{number} - 1;
  if (index < 0 || index >= test->AnsweredCount()) return "";
  const content::TQuestion& question = *test->AnsweredAt(static_cast<int>(index));
  const int a = question.GetChosenAnswer() - 1;

  std::string page = server.LoadFileToString("PrintFeedback.html");
  page = FillPlaceholder(page, "{{FEEDBACK_CONTENT}}", content::PercentDecode(question.GetFeedbackScript(a)));
  page = FillPlaceholder(page, "{{FEEDBACK_PAGE_TITLE}}", question.GetQuestionText() + " Feedback");
  page = FillPlaceholder(page, "{{YOUR_ANSWER}}", ScoreRatio(question.GetAnswerScore(a), question.GetMaxScore()));
  page = FillPlaceholder(page, "{{QUESTION_NUMBER}}", std::to_string(number));
  page = FillPlaceholder(page, "{{QUESTION_TITLE}}", question.GetQuestionText());
  page = FillPlaceholder(page, "{{RESPONSE_TEXT}}", question.GetAnswerText(a));
  page = FillPlaceholder(page, "{{FEEDBACK_SWF}}", FlashObjectSnippet(question.GetQuestionMovie()));
  return page;
}

std::string PerformancePage(TQuizSession& server, const content::TRequestMap& map) {
  const std::string id = map.GetValue("sessionid");
  // File names carry the subject as it was sent; the strict conversion has
  // made sure it is a number.
  const std::string subject_text = map.GetValue("subject");
  const int32_t subject = RequiredNumber(map, "subject");
  TSessionsLock lock(server.GetSessions());
  TQuizSessionParams* session = server.GetSessions().FindById(id);
  const TSessionQuestions* test = FindTest(session, subject);
  if (test == nullptr) return "";
  session->Touch();
  const TTestScore score = ScoreTest(*test);
  if (!score.HasBand()) return "";
  const int g = score.grade_band;
  const TGradeBand& band = test->GetBand(g);

  std::string page = server.LoadFileToString("PrintPerfomance.html");
  page = FillPlaceholder(page, "{{PERFOMANCE_TEXT}}", server.LoadFileToString(PerformanceScriptName(subject_text, g)));
  page = FillPlaceholder(
      page, "{{PERFOMANCE_SWF}}",
      FlashObjectSnippet(PerformanceName("Right", subject_text, g, content::PercentDecode(band.GetCenterRightExt()))));
  page = FillPlaceholder(page, "{{PERFOMANCE_SCORE}}", ScoreRatio(score.answered_score, score.max_score));
  page = FillPlaceholder(page, "{{PERFOMANCE_GRADE}}", band.GetGrade());
  return page;
}

// An FAQ or presentation script, or any other content file as it stands.
// "title", "page" and "swf" come from the request and are shown escaped.
std::string ScriptPage(TQuizSession& server, const content::TRequestMap& map) {
  const std::string filename = map.GetValue("filename");
  const std::string text = server.LoadRequestedFile(filename);
  const std::string title = plat::HtmlEscape(map.GetValue("title"));
  if (filename.find("FAQScript_") != std::string::npos) {
    std::string page = server.LoadFileToString("PrintFAQ.html");
    page = FillPlaceholder(page, "{{FAQ_TEXT}}", content::PercentDecode(text));
    page = FillPlaceholder(page, "{{FAQ_PAGE_TITLE}}", plat::HtmlEscape(map.GetValue("page")));
    page = FillPlaceholder(page, "{{FAQ_TITLE}}", title);
    page = FillPlaceholder(page, "{{FAQ_SWF}}", FlashObjectSnippet(plat::HtmlEscape(map.GetValue("swf"))));
    return page;
  }
  if (filename.find("PresentationScript_") != std::string::npos) {
    std::string page = server.LoadFileToString("PrintPresentation.html");
    page = FillPlaceholder(page, "{{PRESENTATION_TEXT}}", content::PercentDecode(text));
    page = FillPlaceholder(page, "{{PRESENTATION_TITLE}}", title);
    return page;
  }
  return text;
}

}  // namespace

bool TQuizSession::PrintScript(TNetStream* channel, content::TRequestMap& map) {
  std::string page;
  if (!map.GetValue("question").empty())
    page = QuestionPage(*this, map);
  else if (!map.GetValue("feedback").empty())
    page = FeedbackPage(*this, map);
  else if (!map.GetValue("perfomance").empty())
    page = PerformancePage(*this, map);
  else
    page = ScriptPage(*this, map);
  ReturnHTML(channel, FillPlaceholder(page, "{{LOGO_URL}}", kLogoUrl), true);
  return true;
}

}  // namespace server
