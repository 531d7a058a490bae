#include "content/question.h"

#include <utility>

#include "content/content_paths.h"
#include "content/record_fields.h"

namespace content {
namespace {
// Field numbers of the two record forms.
constexpr size_t kFirstAnswerText = 2;
constexpr size_t kFirstAnswerScore = 7;
constexpr size_t kFirstUpperLeft = 12;
constexpr size_t kFirstUpperRight = 17;
constexpr size_t kFirstCenterLeft = 22;
constexpr size_t kQuestionMovie = 27;
constexpr size_t kRecordChosenAnswer = 28;
constexpr size_t kRecordReservedNumber = 29;
constexpr size_t kRecordMaxScore = 30;
constexpr size_t kRecordReservedText = 31;
constexpr size_t kIndexRowReservedText = 28;
}  // namespace

TQuestion::TQuestion(TQuestionsList* owner, std::string reserved_text) : owner_(owner) {
  Clear();
  reserved_text_ = std::move(reserved_text);
}

void TQuestion::Clear() {
  modified_ = 0;
  question_text_.clear();
  question_movie_.clear();
  for (int i = 0; i < kAnswerCount; ++i) {
    answer_texts_[i].clear();
    feedback_scripts_[i].clear();
    answer_scores_[i] = 0;
    feedback_use_script_[i] = false;
  }
  chosen_answer_ = -1;
  max_score_ = 0;
  reserved_number_ = -1;
}

const std::string& TQuestion::TextAt(const Texts& texts, int i) {
  static const std::string kEmpty;
  return ValidAnswer(i) ? texts[i] : kEmpty;
}

const std::string& TQuestion::GetAnswerText(int i) const { return TextAt(answer_texts_, i); }
int32_t TQuestion::GetAnswerScore(int i) const { return ValidAnswer(i) ? answer_scores_[i] : 0; }
const std::string& TQuestion::GetFeedbackUpperLeft(int i) const { return TextAt(feedback_upper_left_, i); }
const std::string& TQuestion::GetFeedbackUpperRight(int i) const { return TextAt(feedback_upper_right_, i); }
const std::string& TQuestion::GetFeedbackCenterLeft(int i) const { return TextAt(feedback_center_left_, i); }
const std::string& TQuestion::GetFeedbackScript(int i) const { return TextAt(feedback_scripts_, i); }
bool TQuestion::GetFeedbackUseScript(int i) const { return ValidAnswer(i) && feedback_use_script_[i]; }

void TQuestion::SetScriptText(std::string_view text) {
  if (script_text_ == text) return;
  script_text_ = text;
  modified_ = 1;
}

void TQuestion::SetUseScript(bool flag) {
  if (use_script_ == flag) return;
  use_script_ = flag;
  modified_ = 1;
}

void TQuestion::SetFeedbackScript(int i, std::string_view text) {
  if (!ValidAnswer(i) || feedback_scripts_[i] == text) return;
  feedback_scripts_[i] = text;
  modified_ = 1;
}

void TQuestion::SetFeedbackUseScript(int i, bool flag) {
  if (!ValidAnswer(i) || feedback_use_script_[i] == flag) return;
  feedback_use_script_[i] = flag;
  modified_ = 1;
}

std::string TQuestion::SaveToString() const {
  TRecordBuilder record;
  record.AddEncoded(question_text_);
  for (const std::string& text : answer_texts_) record.AddEncoded(text);
  for (int32_t score : answer_scores_) record.AddNumber(score);
  for (const std::string& movie : feedback_upper_left_) record.AddAsIs(movie);
  for (const std::string& movie : feedback_upper_right_) record.AddAsIs(movie);
  for (const std::string& movie : feedback_center_left_) record.AddAsIs(movie);
  record.AddAsIs(question_movie_);
  record.AddNumber(chosen_answer_);
  record.AddNumber(reserved_number_);
  record.AddNumber(max_score_);
  record.AddEncoded(reserved_text_);
  record.AddEncoded(script_text_);
  record.AddFlag(use_script_);
  for (int i = 0; i < kAnswerCount; ++i) {
    record.AddEncoded(feedback_scripts_[i]);
    record.AddFlag(feedback_use_script_[i]);
  }
  return record.Terminated();
}

void TQuestion::LoadCommonFields(const TRecordFields& fields) {
  question_text_ = fields.Decoded(1);
  for (int i = 0; i < kAnswerCount; ++i) {
    answer_texts_[i] = fields.Decoded(kFirstAnswerText + i);
    answer_scores_[i] = fields.Number(kFirstAnswerScore + i);
    feedback_upper_left_[i] = fields.Text(kFirstUpperLeft + i);
    feedback_upper_right_[i] = fields.Text(kFirstUpperRight + i);
    feedback_center_left_[i] = fields.Text(kFirstCenterLeft + i);
  }
  question_movie_ = fields.Text(kQuestionMovie);
}

void TQuestion::LoadTrailingFields(const TRecordFields& fields, size_t n) {
  reserved_text_ = fields.Decoded(n++);
  SetScriptText(fields.Decoded(n++));
  SetUseScript(fields.Flag(n++));
  for (int i = 0; i < kAnswerCount; ++i) {
    SetFeedbackScript(i, fields.Decoded(n++));
    SetFeedbackUseScript(i, fields.Flag(n++));
  }
}

void TQuestion::LoadFromString(std::string_view record) {
  const TRecordFields fields(record);
  LoadCommonFields(fields);
  chosen_answer_ = fields.Number(kRecordChosenAnswer);
  reserved_number_ = fields.Number(kRecordReservedNumber);
  max_score_ = fields.Number(kRecordMaxScore);
  LoadTrailingFields(fields, kRecordReservedText);
}

void TQuestion::LoadFromIndexRow(std::string_view row, const std::string& folder) {
  const TRecordFields fields(row);
  LoadCommonFields(fields);
  LoadTrailingFields(fields, kIndexRowReservedText);
  if (folder.empty()) return;
  for (int i = 0; i < kAnswerCount; ++i) {
    feedback_upper_left_[i] = CombineContentPath(folder, feedback_upper_left_[i]);
    feedback_upper_right_[i] = CombineContentPath(folder, feedback_upper_right_[i]);
    feedback_center_left_[i] = CombineContentPath(folder, feedback_center_left_[i]);
  }
  question_movie_ = CombineContentPath(folder, question_movie_);
}

}  // namespace content
