// One generated test of a learner session: the subject's grade bands and
// settings, the drawn questions with the learner's chosen answers, and two
// counters. Question generation fills it; the answer and feedback handlers
// read it; it travels inside session files.
//
// Stored form (see session_stream.h for ints and strings): band count, the
// bands as raw 144-byte records, Timer, MaxQuestions, test id, usage count,
// instructions text, upper-left movie, feedback-index movie, question count,
// then one string per question (TQuestion::SaveToString).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "content/question.h"
#include "content/questions_list.h"
#include "server/sessions/grade_band.h"
#include "server/sessions/session_stream.h"

namespace server {

class TSessionQuestions {
 public:
  // No bands, empty texts, no questions, every number 0.
  TSessionQuestions() = default;
  TSessionQuestions(const TSessionQuestions&) = delete;
  TSessionQuestions& operator=(const TSessionQuestions&) = delete;

  // The bands in use. Setting a count above 0 resizes the band records to it
  // (records kept keep their bytes, new ones are zero); 0 or less puts no band
  // in use and leaves the records as they are.
  int32_t GetBandCount() const { return band_count_; }
  void SetBandCount(int32_t count);
  // Band i of those in use; i must lie in 0 .. band count - 1.
  TGradeBand& GetBand(int i) { return bands_.at(static_cast<size_t>(i)); }
  const TGradeBand& GetBand(int i) const { return bands_.at(static_cast<size_t>(i)); }

  int32_t GetTimer() const { return timer_; }
  void SetTimer(int32_t timer) { timer_ = timer; }
  int32_t GetMaxQuestions() const { return max_questions_; }
  void SetMaxQuestions(int32_t max_questions) { max_questions_ = max_questions; }
  const std::string& GetInstructionsText() const { return instructions_text_; }
  void SetInstructionsText(std::string_view text) { instructions_text_ = text; }
  const std::string& GetUpperLeftMovie() const { return upper_left_movie_; }
  void SetUpperLeftMovie(std::string_view movie) { upper_left_movie_ = movie; }
  const std::string& GetFeedbackIndexMovie() const { return feedback_index_movie_; }
  void SetFeedbackIndexMovie(std::string_view movie) { feedback_index_movie_ = movie; }
  int32_t GetTestId() const { return test_id_; }
  void SetTestId(int32_t id) { test_id_ = id; }
  int32_t GetUsageCount() const { return usage_count_; }
  void SetUsageCount(int32_t count) { usage_count_ = count; }

  content::TQuestionsList& GetQuestions() { return questions_; }
  const content::TQuestionsList& GetQuestions() const { return questions_; }

  // A question is answered once its chosen answer is 1 to 5; any other
  // value (none yet, or a damaged session file) counts as unanswered.
  static bool IsAnswered(const content::TQuestion& question) {
    return question.GetChosenAnswer() >= 1 && question.GetChosenAnswer() <= content::TQuestion::kAnswerCount;
  }
  // Answered, and the chosen answer scores other than the maximum.
  static bool IsWrong(const content::TQuestion& question);

  // Answered questions.
  int AnsweredCount() const;
  // Answered questions whose chosen answer scores other than the maximum.
  int WrongCount() const;
  // The n-th answered (wrongly answered) question counted from 0, in test
  // order; null when there are not that many.
  content::TQuestion* AnsweredAt(int n) const;
  content::TQuestion* WrongAt(int n) const;

  void SaveToStream(std::string& stream) const;
  // Reads a stored test into this one, which must be new. Throws
  // SessionFormatError when the stream does not hold a whole test; a band or
  // question count must fit in the bytes that remain.
  void LoadFromStream(TSessionReader& stream);

 private:
  int32_t band_count_ = 0;
  std::vector<TGradeBand> bands_;
  int32_t timer_ = 0;
  int32_t max_questions_ = 0;
  std::string instructions_text_;
  std::string upper_left_movie_;
  std::string feedback_index_movie_;
  content::TQuestionsList questions_;
  int32_t test_id_ = 0;
  int32_t usage_count_ = 0;
};

}  // namespace server
