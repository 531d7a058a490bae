// The learner road on a drawn test: questions, answers and feedback.
//
// Each handler reads its numbers before taking the session list's lock (a
// malformed subject raises there, touching nothing), finds the session and
// its test under the lock, builds the reply, and sends it after leaving.
#include <cstdint>
#include <string>

#include "content/debug_log.h"
#include "platform/clock.h"
#include "server/http/method_log.h"
#include "server/quiz/answers_record.h"
#include "server/quiz/learner_replies.h"
#include "server/quiz/request_numbers.h"
#include "server/quiz_session.h"
#include "server/sessions/test_score.h"

namespace {

// The question at a position counted from 1; null outside the test.
TQuestion* QuestionAt(const TSessionQuestions& test, int32_t position) {
  const int64_t index = int64_t{position} - 1;
  if (index < 0 || index >= test.GetQuestions().Count()) return nullptr;
  return test.GetQuestions().GetQuestion(static_cast<int>(index));
}

// The question's place in the test, counted from 1.
int PositionOf(const TSessionQuestions& test, const TQuestion* question) {
  for (int i = 0; i < test.GetQuestions().Count(); ++i)
    if (test.GetQuestions().GetQuestion(i) == question) return i + 1;
  return 0;
}

plat::CalendarDate Today() {
  const plat::LocalTime now = plat::ProcessClock().Now();
  return {now.year, now.month, now.day};
}

}  // namespace

bool TQuizSession::GetQuestion(TNetStream* channel, TRequestMap& map) {
  TMethodLog log("GetQuestion");
  const std::string id = map.GetValue("sessionid");
  const int32_t subject = RequiredNumber(map, "subject");
  const int32_t qindex = NumberOr(map, "qindex", 0);
  std::string reply(kNotGeneratedReply);
  {
    TSessionsLock lock(sessions_);
    TQuizSessionParams* session = sessions_.FindById(id);
    if (TSessionQuestions* test = FindTest(session, subject)) {
      if (const TQuestion* question = QuestionAt(*test, qindex)) {
        reply = QuestionReply(*test, *question, subject);
        session->Touch();
      }
      StoreLearnerSession(*session);
    }
  }
  ReturnXML(channel, reply);
  return true;
}

bool TQuizSession::PutAnswer(TNetStream* channel, TRequestMap& map, std::optional<plat::DateTime> date) {
  TMethodLog log("PutAnswer");
  const std::string id = map.GetValue("sessionid");
  const int32_t subject = RequiredNumber(map, "subject");
  const int32_t qindex = NumberOr(map, "qindex", 0);
  const int32_t answer = NumberOr(map, "answer", 0);
  std::string reply(kNotGeneratedReply);
  {
    TSessionsLock lock(sessions_);
    TQuizSessionParams* session = sessions_.FindById(id);
    if (TSessionQuestions* test = FindTest(session, subject)) {
      TQuestion* question = QuestionAt(*test, qindex);
      if (question != nullptr && answer >= 1 && answer <= TQuestion::kAnswerCount) {
        question->SetChosenAnswer(answer);
        reply = kAnswerTakenReply;
        if (!skip_start_page_) WriteAnswersRecord(*session, *test, subject, date);
        session->Touch();
      }
      StoreLearnerSession(*session);
    }
  }
  ReturnXML(channel, reply);
  return true;
}

void TQuizSession::WriteAnswersRecord(const TQuizSessionParams& session, const TSessionQuestions& test, int32_t subject,
                                      const std::optional<plat::DateTime>& date) {
  const std::string path = AnswersFilePath(data_folder_, session.GetLoginName());
  if (path.empty()) {
    LogMessage("no data folder: no answers record written");
    return;
  }
  const TTestScore score = ScoreTest(test);
  TAnswersRecord record;
  record.test_id = test.GetTestId();
  record.date = date ? plat::DecodeDate(*date) : Today();
  record.subject = subject;
  record.max_score = score.max_score;
  record.answered_score = score.answered_score;
  if (score.HasBand()) record.grade = test.GetBand(score.grade_band).GetGrade();
  record.usage = test.GetUsageCount();
  AppendAnswersRecord(path, record);
}

bool TQuizSession::GetFeedbackIndex(TNetStream* channel, TRequestMap& map) {
  TMethodLog log("GetFeedbackIndex");
  const std::string id = map.GetValue("sessionid");
  const int32_t subject = RequiredNumber(map, "subject");
  std::string reply(kNotGeneratedReply);
  {
    TSessionsLock lock(sessions_);
    TQuizSessionParams* session = sessions_.FindById(id);
    if (const TSessionQuestions* test = FindTest(session, subject)) {
      reply = FeedbackIndexReply(*test, subject);
      session->Touch();
    }
  }
  ReturnXML(channel, reply);
  return true;
}

bool TQuizSession::GetOverallPerfomance(TNetStream* channel, TRequestMap& map) {
  TMethodLog log("GetOverallPerfomance");
  const std::string id = map.GetValue("sessionid");
  // The file names carry the subject as it was sent ("05" stays "05"); the
  // strict conversion has made sure it is a number.
  const std::string subject_text = map.GetValue("subject");
  const int32_t subject = RequiredNumber(map, "subject");
  std::string reply(kNotGeneratedReply);
  {
    TSessionsLock lock(sessions_);
    TQuizSessionParams* session = sessions_.FindById(id);
    if (const TSessionQuestions* test = FindTest(session, subject)) {
      const TTestScore score = ScoreTest(*test);
      if (score.HasBand()) {
        const std::string script = LoadFileToString(PerformanceScriptName(subject_text, score.grade_band));
        reply = OverallPerformanceReply(*test, score, subject_text, script);
      } else {
        reply = kEmptyMovieReply;
      }
      session->Touch();
    }
  }
  ReturnXML(channel, reply);
  return true;
}

bool TQuizSession::GetIndividualFeedback(TNetStream* channel, TRequestMap& map) {
  TMethodLog log("GetIndividualFeedback");
  const std::string id = map.GetValue("sessionid");
  const int32_t subject = RequiredNumber(map, "subject");
  const bool wrong_only = NumberOr(map, "wronganswers", 0) != 0;
  const int64_t index = int64_t{NumberOr(map, "feedbackquestionindex", 1)} - 1;
  std::string reply(kNotGeneratedReply);
  {
    TSessionsLock lock(sessions_);
    TQuizSessionParams* session = sessions_.FindById(id);
    if (const TSessionQuestions* test = FindTest(session, subject)) {
      const int selection = wrong_only ? test->WrongCount() : test->AnsweredCount();
      const TQuestion* question = nullptr;
      if (index >= 0 && index < selection)
        question = wrong_only ? test->WrongAt(static_cast<int>(index)) : test->AnsweredAt(static_cast<int>(index));
      reply = question != nullptr ? IndividualFeedbackReply(*question, PositionOf(*test, question), selection)
                                  : std::string(kEmptyMovieReply);
      session->Touch();
    }
  }
  ReturnXML(channel, reply);
  return true;
}
