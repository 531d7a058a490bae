#include "server/quiz/project_ini.h"

#include <algorithm>

#include "content/debug_log.h"

namespace server {
namespace {

constexpr int32_t kDefaultTimer = 1200;
constexpr int32_t kDefaultMaxQuestions = 20;

void ReadBand(const plat::IniFile& ini, const std::string& section, int32_t i, TGradeBand& band) {
  const std::string n = std::to_string(i);
  band = TGradeBand();
  band.SetUseScript(ini.ReadInteger(section, "UseScript_" + n, 0));
  band.SetLow(ini.ReadInteger(section, "Low_" + n, 0));
  band.SetHigh(ini.ReadInteger(section, "High_" + n, 0));
  band.SetGrade(ini.ReadString(section, "Grade_" + n, ""));
  band.SetUpperLeftExt(ini.ReadString(section, "UpperLeftExt_" + n, ""));
  band.SetCenterLeftExt(ini.ReadString(section, "CenterLeftExt_" + n, ""));
  band.SetCenterRightExt(ini.ReadString(section, "CenterRightExt_" + n, ""));
}

}  // namespace

std::string SubjectSection(int32_t subject) { return "Subject_" + std::to_string(subject); }

std::string QuestionIndexName(int32_t subject) {
  return "PresentationsIndex_questions_" + std::to_string(subject) + ".csv";
}

void ReadSubjectSettings(const plat::IniFile& ini, int32_t subject, TSessionQuestions& test) {
  const std::string section = SubjectSection(subject);
  int32_t band_count = ini.ReadInteger(section, "OverallFeedbacks", 0);
  if (band_count > kMaxBandCount) {
    content::LogMessage("%s: %d grade bands cut to %d", section.c_str(), band_count, kMaxBandCount);
    band_count = kMaxBandCount;
  }
  test.SetTimer(ini.ReadInteger(section, "Timer", kDefaultTimer));
  test.SetMaxQuestions(std::max(0, ini.ReadInteger(section, "MaxQuestions", kDefaultMaxQuestions)));
  test.SetInstructionsText(ini.ReadString(section, "Instructions text", ""));
  test.SetUpperLeftMovie(ini.ReadString(section, "SWF Upper Left", ""));
  test.SetFeedbackIndexMovie(ini.ReadString(section, "FeedbackIndex SWF Upper Left", ""));
  test.SetBandCount(band_count);
  for (int32_t i = 0; i < test.GetBandCount(); ++i) ReadBand(ini, section, i, test.GetBand(i));
}

}  // namespace server
