// One question of a subject with up to five answers, its feedback per answer,
// and the learner's chosen answer.
//
// Question record (a session's stored test), 43 fields each followed by ';':
//   1 question text (encoded), 2-6 answer texts (encoded), 7-11 answer scores,
//   12-16 feedback upper-left movies, 17-21 upper-right, 22-26 centre-left,
//   27 question movie (movies as is), 28 chosen answer, 29 reserved number,
//   30 max score, 31 reserved text (encoded), 32 script text (encoded),
//   33 use script (flag), then per answer its feedback script (encoded) and
//   feedback use-script flag (34/35 ... 42/43).
// Index row (a line of a subject's question index): the same without fields
// 28-30, so 40 fields.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "content/project_element.h"

namespace content {

class TQuestionsList;
class TRecordFields;

class TQuestion : public TBaseProjectElement {
 public:
  static constexpr int kAnswerCount = 5;

  // reserved_text is carried in the record; the loaders pass "".
  TQuestion(TQuestionsList* owner, std::string reserved_text);

  int32_t GetType() const override { return kQuestionElement; }

  // Empties the question and the answers; keeps the script text, the use-script
  // flag, the feedback movies and the reserved text.
  void Clear();

  // Answers are numbered 0 to 4 here. An index outside that range (a stored
  // chosen answer, a request parameter) reads as "", 0 or false.
  const std::string& GetAnswerText(int i) const;
  int32_t GetAnswerScore(int i) const;
  const std::string& GetFeedbackUpperLeft(int i) const;
  const std::string& GetFeedbackUpperRight(int i) const;
  const std::string& GetFeedbackCenterLeft(int i) const;
  const std::string& GetFeedbackScript(int i) const;
  bool GetFeedbackUseScript(int i) const;

  const std::string& GetQuestionText() const { return question_text_; }
  const std::string& GetQuestionMovie() const { return question_movie_; }
  const std::string& GetScriptText() const { return script_text_; }
  bool GetUseScript() const { return use_script_; }
  const std::string& GetReservedText() const { return reserved_text_; }
  int32_t GetReservedNumber() const { return reserved_number_; }
  bool GetModified() const { return modified_ != 0; }
  TQuestionsList* GetOwner() const { return owner_; }

  // These mark the question modified only when the value changes; an answer
  // index outside 0-4 changes nothing.
  void SetScriptText(std::string_view text);
  void SetUseScript(bool flag);
  void SetFeedbackScript(int i, std::string_view text);
  void SetFeedbackUseScript(int i, bool flag);

  // The learner's answer, 1 to 5, or -1 (0 from a short record) when none.
  int32_t GetChosenAnswer() const { return chosen_answer_; }
  void SetChosenAnswer(int32_t answer) { chosen_answer_ = answer; }
  // The highest answer score, filled in when a test is generated.
  int32_t GetMaxScore() const { return max_score_; }
  void SetMaxScore(int32_t score) { max_score_ = score; }

  std::string SaveToString() const;
  // Fields missing at the end of the record read as empty, 0 or false.
  void LoadFromString(std::string_view record);
  // Leaves chosen answer, reserved number and max score as they are
  // (-1, -1 and 0 for a new question). With a content folder, the question
  // and feedback movies become full paths of the files found below it.
  void LoadFromIndexRow(std::string_view row, const std::string& folder = "");

 private:
  using Texts = std::array<std::string, kAnswerCount>;
  static bool ValidAnswer(int i) { return i >= 0 && i < kAnswerCount; }
  static const std::string& TextAt(const Texts& texts, int i);
  // Fields 1-27, common to both forms.
  void LoadCommonFields(const TRecordFields& fields);
  // Reserved text, script text, use script and the feedback scripts and
  // flags, starting at field n.
  void LoadTrailingFields(const TRecordFields& fields, size_t n);

  std::string script_text_;
  bool use_script_ = false;
  std::string question_text_;
  int32_t modified_ = 0;
  Texts answer_texts_;
  std::array<int32_t, kAnswerCount> answer_scores_{};
  std::string question_movie_;
  TQuestionsList* owner_;
  Texts feedback_upper_left_;
  Texts feedback_upper_right_;
  Texts feedback_center_left_;
  Texts feedback_scripts_;
  std::array<bool, kAnswerCount> feedback_use_script_{};
  std::string reserved_text_;
  int32_t chosen_answer_ = -1;
  int32_t reserved_number_ = -1;
  int32_t max_score_ = 0;
};

}  // namespace content
