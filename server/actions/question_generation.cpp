// Question generation: a learner's test for one subject, drawn from the
// content's "project.ini" and the subject's question index.
#include <cstdint>
#include <string>

#include "content/debug_log.h"
#include "content/text_lines.h"
#include "platform/ini_file.h"
#include "platform/random.h"
#include "server/http/method_log.h"
#include "server/quiz/learner_replies.h"
#include "server/quiz/project_ini.h"
#include "server/quiz/question_draw.h"
#include "server/quiz/request_numbers.h"
#include "server/quiz_session.h"

namespace server {
namespace {

// Counters grow by one per request; a stored counter at its limit wraps
// rather than overflowing.
int32_t PlusOne(int32_t counter) { return static_cast<int32_t>(static_cast<uint32_t>(counter) + 1u); }

}  // namespace

std::string TQuizSession::QuestionIndexText(int32_t subject) const {
  // A subject without an index has no questions: that is no failure.
  try {
    return ReadContentText(QuestionIndexName(subject)).value_or("");
  } catch (const std::exception& e) {
    content::LogMessage("cannot read the question index of subject %d: %s", subject, e.what());
    return "";
  }
}

bool TQuizSession::HasSubjectQuestions(int32_t subject) const {
  // One question per non-empty row: no need to build them.
  return !content::NonEmptyLines(QuestionIndexText(subject)).empty();
}

void TQuizSession::FillTest(int32_t subject, TSessionQuestions& test) {
  TMethodLog log("RawGenerateQuestions");
  plat::IniFile ini;
  try {
    // Parsed from memory in both modes: no temporary copy of a package entry.
    ini = plat::IniFile::FromBytes(ReadContentText(kProjectIniName).value_or(""));
  } catch (const std::exception& e) {
    content::LogMessage("cannot read %s: %s", std::string(kProjectIniName).c_str(), e.what());
  }
  ReadSubjectSettings(ini, subject, test);
  content::TQuestionsList& questions = test.GetQuestions();
  questions.Clear();
  DrawQuestionsFromIndex(QuestionIndexText(subject), questions, test.GetMaxQuestions(), plat::ProcessRandom());
  for (int i = 0; i < questions.Count(); ++i) {
    content::TQuestion& question = *questions.GetQuestion(i);
    question.SetMaxScore(QuestionMaxScore(question));
  }
}

void TQuizSession::RawGenerateQuestions(int32_t subject, TQuizSessionParams& session) {
  TSessionQuestions* test = session.GetTest(subject);
  if (test == nullptr) return;
  FillTest(subject, *test);
  StoreLearnerSession(session);
}

bool TQuizSession::GenerateQuestions(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("GenerateQuestions");
  return AnswerForSession(channel, map, [this](TQuizSessionParams& session, int32_t subject) {
    TSessionQuestions* test = session.GetTest(subject);
    // A test drawn before stays, with the answers given so far.
    if (test == nullptr) {
      test = session.CreateTest(subject);
      FillTest(subject, *test);
    }
    session.Touch();
    test->SetUsageCount(PlusOne(test->GetUsageCount()));
    std::string reply = GenerationReply(*test);
    StoreLearnerSession(session);
    return reply;
  });
}

bool TQuizSession::ReGenerateQuestions(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("ReGenerateQuestions");
  return AnswerForSession(channel, map, [this](TQuizSessionParams& session, int32_t subject) {
    TSessionQuestions* test = session.GetTest(subject);
    if (test == nullptr) test = session.CreateTest(subject);
    FillTest(subject, *test);
    test->SetTestId(PlusOne(test->GetTestId()));
    session.Touch();
    std::string reply = GenerationReply(*test);
    StoreLearnerSession(session);
    return reply;
  });
}

}  // namespace server
