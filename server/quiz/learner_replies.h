// The XML replies of the learner road, built from literal pieces: each
// attribute is one blank, its name, '="', the value and '"', and "/>" follows
// the last one straight away.
//
// Values that come from content files unencoded (movie names, decoded movie
// names and band extensions) are XML-escaped (& < > "), so a stray character
// cannot break the element; ordinary names come out unchanged. Texts travel
// percent-encoded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "content/question.h"
#include "server/sessions/grade_band.h"
#include "server/sessions/session_questions.h"
#include "server/sessions/test_score.h"

namespace server {

// No session has the id, or the subject has no test, or the item asked for
// does not exist (question generation and the question road).
inline constexpr std::string_view kNotGeneratedReply = "<movie generated=\"0\"/>";
// An answer was taken.
inline constexpr std::string_view kAnswerTakenReply = "<movie generated=\"1\"/>";
// An answer was taken but not stored: <movie generated="1" errortext="..."/>,
// the words escaped.
std::string AnswerNotStoredReply(std::string_view words);
// No grade band or no feedback entry to show.
inline constexpr std::string_view kEmptyMovieReply = "<movie />";

// "part/whole": a score out of its maximum.
std::string ScoreRatio(int64_t part, int64_t whole);

// <movie generated="1" questionscount="N" questionstimer="T"/>
std::string GenerationReply(const TSessionQuestions& test);

// One question of the test; subject is the parsed subject number.
std::string QuestionReply(const TSessionQuestions& test, const content::TQuestion& question, int32_t subject);

// Which feedback lists are worth showing.
std::string FeedbackIndexReply(const TSessionQuestions& test, int32_t subject);

// The names of a grade band's performance files; subject is the "subject"
// parameter as received, band the band's number:
// "OverallPerfomance" + kind + "_" + subject + "_" + band + "." + ext.
std::string PerformanceName(std::string_view kind, std::string_view subject, int band, std::string_view ext);
std::string PerformanceScriptName(std::string_view subject, int band);

// The score and grade band of the test (the score must have a band);
// script_text is the text of the band's performance script file.
std::string OverallPerformanceReply(const TSessionQuestions& test, const TTestScore& score, std::string_view subject,
                                    std::string_view script_text);

// The feedback on the question at position (counted from 1) of the test,
// for its chosen answer; selection_size is the number of questions that the
// learner walks through.
std::string IndividualFeedbackReply(const content::TQuestion& question, int position, int selection_size);

}  // namespace server
