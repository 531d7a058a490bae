#include "server/sessions/session_questions.h"

namespace server {

void TSessionQuestions::SetBandCount(int32_t count) {
  if (count <= 0) {
    band_count_ = 0;
    return;
  }
  bands_.resize(static_cast<size_t>(count));
  band_count_ = count;
}

bool TSessionQuestions::IsWrong(const content::TQuestion& question) {
  return IsAnswered(question) &&
         question.GetAnswerScore(question.GetChosenAnswer() - 1) != question.GetMaxScore();
}

int TSessionQuestions::AnsweredCount() const {
  int count = 0;
  for (int i = 0; i < questions_.Count(); ++i)
    if (IsAnswered(*questions_.GetQuestion(i))) ++count;
  return count;
}

int TSessionQuestions::WrongCount() const {
  int count = 0;
  for (int i = 0; i < questions_.Count(); ++i)
    if (IsWrong(*questions_.GetQuestion(i))) ++count;
  return count;
}

content::TQuestion* TSessionQuestions::AnsweredAt(int n) const {
  for (int i = 0; i < questions_.Count(); ++i) {
    content::TQuestion* question = questions_.GetQuestion(i);
    if (IsAnswered(*question) && n-- == 0) return question;
  }
  return nullptr;
}

content::TQuestion* TSessionQuestions::WrongAt(int n) const {
  for (int i = 0; i < questions_.Count(); ++i) {
    content::TQuestion* question = questions_.GetQuestion(i);
    if (IsWrong(*question) && n-- == 0) return question;
  }
  return nullptr;
}

void TSessionQuestions::SaveToStream(std::string& stream) const {
  WriteStreamInt(stream, band_count_);
  for (int32_t i = 0; i < band_count_; ++i) stream.append(bands_[static_cast<size_t>(i)].Bytes());
  WriteStreamInt(stream, timer_);
  WriteStreamInt(stream, max_questions_);
  WriteStreamInt(stream, test_id_);
  WriteStreamInt(stream, usage_count_);
  WriteStreamString(stream, instructions_text_);
  WriteStreamString(stream, upper_left_movie_);
  WriteStreamString(stream, feedback_index_movie_);
  WriteStreamInt(stream, questions_.Count());
  for (int i = 0; i < questions_.Count(); ++i) WriteStreamString(stream, questions_.GetQuestion(i)->SaveToString());
}

void TSessionQuestions::LoadFromStream(TSessionReader& stream) {
  const int32_t band_count = ReadStreamInt(stream);
  if (band_count < 0 || static_cast<size_t>(band_count) > stream.Remaining() / TGradeBand::kSize)
    throw SessionFormatError("a stored band count is out of range");
  bands_.clear();
  bands_.reserve(static_cast<size_t>(band_count));
  for (int32_t i = 0; i < band_count; ++i) bands_.push_back(TGradeBand::FromBytes(stream.Take(TGradeBand::kSize)));
  band_count_ = band_count;
  timer_ = ReadStreamInt(stream);
  max_questions_ = ReadStreamInt(stream);
  test_id_ = ReadStreamInt(stream);
  usage_count_ = ReadStreamInt(stream);
  instructions_text_ = ReadStreamString(stream);
  upper_left_movie_ = ReadStreamString(stream);
  feedback_index_movie_ = ReadStreamString(stream);
  // Every question takes at least its 4-byte length.
  const int32_t question_count = ReadStreamInt(stream);
  if (question_count < 0 || static_cast<size_t>(question_count) > stream.Remaining() / 4)
    throw SessionFormatError("a stored question count is out of range");
  questions_.Clear();
  for (int32_t i = 0; i < question_count; ++i) questions_.AddNew()->LoadFromString(ReadStreamString(stream));
}

}  // namespace server
