// The learner road on a drawn test: questions, answers and feedback.
//
// Each handler reads its numbers before taking the session list's lock (a
// malformed subject raises there, touching nothing), finds the session and
// its test under the lock, builds the reply, and sends it after leaving
// (AnswerForTest).
#include <cstdint>
#include <optional>
#include <string>

#include "content/debug_log.h"
#include "content/user_notice.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "server/http/method_log.h"
#include "server/quiz/answers_record.h"
#include "server/quiz/learner_replies.h"
#include "server/quiz/request_numbers.h"
#include "server/quiz_session.h"
#include "server/sessions/test_score.h"

namespace server {
namespace {

// The question at a position counted from 1; null outside the test.
content::TQuestion* QuestionAt(const TSessionQuestions& test, int32_t position) {
  const int64_t index = int64_t{position} - 1;
  if (index < 0 || index >= test.GetQuestions().Count()) return nullptr;
  return test.GetQuestions().GetQuestion(static_cast<int>(index));
}

// The question's place in the test, counted from 1.
int PositionOf(const TSessionQuestions& test, const content::TQuestion* question) {
  for (int i = 0; i < test.GetQuestions().Count(); ++i)
    if (test.GetQuestions().GetQuestion(i) == question) return i + 1;
  return 0;
}

plat::CalendarDate Today() {
  const plat::LocalTime now = plat::ProcessClock().Now();
  return {now.year, now.month, now.day};
}

}  // namespace

bool TQuizSession::AnswerForSession(TNetStream* channel, const content::TRequestMap& map, const TSessionUse& use) {
  const std::string id = map.GetValue("sessionid");
  const int32_t subject = RequiredNumber(map, "subject");
  std::string reply(kNotGeneratedReply);
  {
    TSessionsLock lock(sessions_);
    TQuizSessionParams* session = sessions_.FindById(id);
    if (session != nullptr && TQuizSessionParams::IsValidSlot(subject)) reply = use(*session, subject);
  }
  ReturnXML(channel, reply);
  return true;
}

bool TQuizSession::AnswerForTest(TNetStream* channel, const content::TRequestMap& map, const TTestUse& use) {
  return AnswerForSession(channel, map, [&use](TQuizSessionParams& session, int32_t subject) {
    TSessionQuestions* test = session.GetTest(subject);
    return test != nullptr ? use(session, *test, subject) : std::string(kNotGeneratedReply);
  });
}

bool TQuizSession::GetQuestion(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("GetQuestion");
  const int32_t qindex = NumberOr(map, "qindex", 0);
  return AnswerForTest(channel, map, [&](TQuizSessionParams& session, TSessionQuestions& test, int32_t subject) {
    std::string reply(kNotGeneratedReply);
    if (const content::TQuestion* question = QuestionAt(test, qindex)) {
      reply = QuestionReply(test, *question, subject);
      session.Touch();
    }
    StoreLearnerSession(session);
    return reply;
  });
}

bool TQuizSession::PutAnswer(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("PutAnswer");
  const int32_t qindex = NumberOr(map, "qindex", 0);
  const int32_t answer = NumberOr(map, "answer", 0);
  return AnswerForTest(channel, map, [&](TQuizSessionParams& session, TSessionQuestions& test, int32_t subject) {
    std::string reply(kNotGeneratedReply);
    content::TQuestion* question = QuestionAt(test, qindex);
    if (question == nullptr || answer < 1 || answer > content::TQuestion::kAnswerCount) {
      StoreLearnerSession(session);
      return reply;
    }
    // The answer stays in the session whatever cannot be stored.
    question->SetChosenAnswer(answer);
    const std::optional<std::string> unrecorded =
        skip_start_page_ ? std::nullopt : WriteAnswersRecord(session, test, subject);
    session.Touch();
    const std::optional<std::string> unstored = StoreLearnerSession(session);
    if (unrecorded)
      return AnswerNotStoredReply("Your answer was taken, but your result could not be recorded: " + *unrecorded +
                                  ". Tell the person who looks after this course.");
    if (unstored)
      return AnswerNotStoredReply("Your answer was taken, but it could not be stored for your next login: " +
                                  *unstored + ". Tell the person who looks after this course.");
    return std::string(kAnswerTakenReply);
  });
}

std::optional<std::string> TQuizSession::WriteAnswersRecord(const TQuizSessionParams& session,
                                                            const TSessionQuestions& test, int32_t subject) {
  const std::string path = AnswersFilePath(data_folder_, session.GetLoginName());
  if (path.empty()) {
    content::LogMessage("no data folder: no answers record written");
    return std::nullopt;
  }
  const TTestScore score = ScoreTest(test);
  TAnswersRecord record;
  record.test_id = test.GetTestId();
  record.date = Today();
  record.subject = subject;
  record.max_score = score.max_score;
  record.answered_score = score.answered_score;
  if (score.HasBand()) record.grade = test.GetBand(score.grade_band).GetGrade();
  record.usage = test.GetUsageCount();
  try {
    AppendAnswersRecord(path, record);
  } catch (const plat::FileError& e) {
    SayNotStored("A test result could not be recorded", e);
    return e.reason();
  }
  return std::nullopt;
}

bool TQuizSession::GetFeedbackIndex(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("GetFeedbackIndex");
  return AnswerForTest(channel, map, [](TQuizSessionParams& session, TSessionQuestions& test, int32_t subject) {
    session.Touch();
    return FeedbackIndexReply(test, subject);
  });
}

bool TQuizSession::GetOverallPerfomance(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("GetOverallPerfomance");
  // The file names carry the subject as it was sent ("05" stays "05"); the
  // strict conversion has made sure it is a number.
  const std::string subject_text = map.GetValue("subject");
  return AnswerForTest(channel, map, [&](TQuizSessionParams& session, TSessionQuestions& test, int32_t) {
    session.Touch();
    const TTestScore score = ScoreTest(test);
    if (!score.HasBand()) return std::string(kEmptyMovieReply);
    const std::string script = LoadFileToString(PerformanceScriptName(subject_text, score.grade_band));
    return OverallPerformanceReply(test, score, subject_text, script);
  });
}

bool TQuizSession::GetIndividualFeedback(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("GetIndividualFeedback");
  const bool wrong_only = NumberOr(map, "wronganswers", 0) != 0;
  const int64_t index = int64_t{NumberOr(map, "feedbackquestionindex", 1)} - 1;
  return AnswerForTest(channel, map, [&](TQuizSessionParams& session, TSessionQuestions& test, int32_t) {
    session.Touch();
    const int selection = wrong_only ? test.WrongCount() : test.AnsweredCount();
    const content::TQuestion* question = nullptr;
    if (index >= 0 && index < selection)
      question = wrong_only ? test.WrongAt(static_cast<int>(index)) : test.AnsweredAt(static_cast<int>(index));
    return question != nullptr ? IndividualFeedbackReply(*question, PositionOf(test, question), selection)
                               : std::string(kEmptyMovieReply);
  });
}

}  // namespace server
