// The content's "project.ini": one section "Subject_<n>" per subject with the
// settings and grade bands of its tests.
//
// Keys of a subject and their defaults: "OverallFeedbacks" (band count, 0),
// "Timer" (1200), "MaxQuestions" (20), "Instructions text", "SWF Upper Left",
// "FeedbackIndex SWF Upper Left" (texts, ""); per band i from 0, in this
// order: "UseScript_i", "Low_i", "High_i" (0), "Grade_i", "UpperLeftExt_i",
// "CenterLeftExt_i", "CenterRightExt_i" (""). An integer key that is not
// strictly an integer reads as its default. Movie names and extensions stay
// percent-encoded as stored.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ini_file.h"
#include "server/sessions/session_questions.h"

namespace server {

inline constexpr std::string_view kProjectIniName = "project.ini";
// More bands than any content has; a larger count is cut to it, so a damaged
// file cannot make a test allocate without bound.
inline constexpr int32_t kMaxBandCount = 1000;

// "Subject_" + n.
std::string SubjectSection(int32_t subject);
// "PresentationsIndex_questions_" + n + ".csv".
std::string QuestionIndexName(int32_t subject);

// Sets the test's band count, bands, Timer, MaxQuestions, instructions text
// and the two movies from the subject's section. Each band read is zeroed
// first, so no earlier bytes survive in it; with no bands the records stay
// as they were. A negative band count gives no bands, a negative MaxQuestions
// gives 0 (an empty test).
void ReadSubjectSettings(const plat::IniFile& ini, int32_t subject, TSessionQuestions& test);

}  // namespace server
