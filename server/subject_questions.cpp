// Whether a subject has questions at all.
#include <string>

#include "content/questions_list.h"
#include "server/quiz_session.h"

bool TQuizSession::HasSubjectQuestions(int subject) {
  // The subject's question index, read as a test reads it.
  TQuestionsList questions;
  questions.LoadFromIndexText(LoadFileToString("PresentationsIndex_questions_" + std::to_string(subject) + ".csv"));
  return questions.Count() > 0;
}
