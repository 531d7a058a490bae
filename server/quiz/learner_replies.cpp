#include "server/quiz/learner_replies.h"

#include "content/html_text.h"
#include "content/percent_codec.h"
#include "platform/ascii.h"

namespace server {
namespace {

// The opening of the question road's replies, and the one with two blanks
// that the performance and feedback pages have always received.
constexpr std::string_view kGeneratedOpening = "<movie generated=\"1\"";
constexpr std::string_view kBlankOpening = "<movie  generated=\"1\"";

void Add(std::string& reply, std::string_view name, std::string_view value) {
  reply.append(" ").append(name).append("=\"").append(value).append("\"");
}

std::string Flag(bool flag) { return flag ? "1" : "0"; }

// "0" when the script holds fewer than two characters of text.
std::string HasText(std::string_view html) { return Flag(content::HtmlToText(html).size() >= 2); }

std::string DecodedName(std::string_view encoded) { return plat::XmlAttrEscape(content::PercentDecode(encoded)); }

}  // namespace

std::string ScoreRatio(int64_t part, int64_t whole) { return std::to_string(part) + "/" + std::to_string(whole); }

std::string PerformanceName(std::string_view kind, std::string_view subject, int band, std::string_view ext) {
  return "OverallPerfomance" + std::string(kind) + "_" + std::string(subject) + "_" + std::to_string(band) + "." +
         std::string(ext);
}

std::string AnswerNotStoredReply(std::string_view words) {
  std::string reply(kGeneratedOpening);
  Add(reply, "errortext", plat::XmlAttrEscape(words));
  return reply + "/>";
}

std::string GenerationReply(const TSessionQuestions& test) {
  return "<movie generated=\"1\" questionscount=\"" + std::to_string(test.GetQuestions().Count()) +
         "\" questionstimer=\"" + std::to_string(test.GetTimer()) + "\"/>";
}

std::string QuestionReply(const TSessionQuestions& test, const content::TQuestion& question, int32_t subject) {
  std::string reply(kGeneratedOpening);
  Add(reply, "UpperLeft", DecodedName(test.GetUpperLeftMovie()));
  Add(reply, "FeedbackIndexLogo", DecodedName(test.GetFeedbackIndexMovie()));
  Add(reply, "UpperRight", "QuestionTemplateUpperRight_" + std::to_string(subject) + ".swf");
  Add(reply, "CenterRight", plat::XmlAttrEscape(question.GetQuestionMovie()));
  Add(reply, "QuestionText", content::PercentEncode(question.GetQuestionText()));
  Add(reply, "ScriptText", content::PrepareHtmlText(question.GetScriptText()));
  Add(reply, "UseScript", Flag(question.GetUseScript()));
  Add(reply, "HasText", HasText(question.GetScriptText()));
  for (int i = 0; i < content::TQuestion::kAnswerCount; ++i)
    Add(reply, "Answer" + std::to_string(i + 1), content::PercentEncode(question.GetAnswerText(i)));
  Add(reply, "Answered", std::to_string(TSessionQuestions::IsAnswered(question) ? question.GetChosenAnswer() : 0));
  return reply + "/>";
}

std::string FeedbackIndexReply(const TSessionQuestions& test, int32_t subject) {
  std::string reply(kGeneratedOpening);
  Add(reply, "UpperLeft", DecodedName(test.GetFeedbackIndexMovie()));
  Add(reply, "UpperRight", "FeedbackIndexTemplateUpperRight_" + std::to_string(subject) + ".swf");
  if (test.WrongCount() == 0) Add(reply, "DontShowWrongAnswersFeedback", "1");
  if (test.AnsweredCount() == 0) Add(reply, "DontShowAllAnswersFeedback", "1");
  return reply + "/>";
}

std::string PerformanceScriptName(std::string_view subject, int band) {
  return PerformanceName("Script", subject, band, "html");
}

std::string OverallPerformanceReply(const TSessionQuestions& test, const TTestScore& score, std::string_view subject,
                                    std::string_view script_text) {
  const int g = score.grade_band;
  const TGradeBand& band = test.GetBand(g);
  std::string reply(kBlankOpening);
  Add(reply, "Score", ScoreRatio(score.answered_score, score.max_score));
  Add(reply, "Grade", content::PercentEncode(band.GetGrade()));
  Add(reply, "UpperLeft", PerformanceName("UpperLeft", subject, g, DecodedName(band.GetUpperLeftExt())));
  Add(reply, "UpperRight", PerformanceName("UpperRight", subject, g, "swf"));
  // The pages ask for the centre-left movie under this name.
  Add(reply, "CenterLeft", PerformanceName("CenterRight", subject, g, DecodedName(band.GetCenterLeftExt())));
  Add(reply, "CenterRight", PerformanceName("Right", subject, g, DecodedName(band.GetCenterRightExt())));
  Add(reply, "UseScript", std::to_string(band.GetUseScript()));
  Add(reply, "Script", PerformanceScriptName(subject, g));
  Add(reply, "HasText", HasText(script_text));
  return reply + "/>";
}

std::string IndividualFeedbackReply(const content::TQuestion& question, int position, int selection_size) {
  const int a = question.GetChosenAnswer() - 1;
  std::string reply(kBlankOpening);
  Add(reply, "wronganswersnumber", std::to_string(selection_size));
  Add(reply, "QuestionText", content::PercentEncode(question.GetQuestionText()));
  Add(reply, "AnswerText", content::PercentEncode(question.GetAnswerText(a)));
  Add(reply, "Answer", ScoreRatio(question.GetAnswerScore(a), question.GetMaxScore()));
  Add(reply, "WrongAnswerIndex", std::to_string(position));
  Add(reply, "UpperLeft", plat::XmlAttrEscape(question.GetFeedbackUpperLeft(a)));
  Add(reply, "UpperRight", plat::XmlAttrEscape(question.GetFeedbackUpperRight(a)));
  Add(reply, "CenterLeft", plat::XmlAttrEscape(question.GetFeedbackCenterLeft(a)));
  Add(reply, "QuestionMovie", plat::XmlAttrEscape(question.GetQuestionMovie()));
  Add(reply, "ScriptText", content::PrepareHtmlText(question.GetFeedbackScript(a)));
  Add(reply, "UseScript", Flag(question.GetFeedbackUseScript(a)));
  Add(reply, "HasText", HasText(question.GetFeedbackScript(a)));
  return reply + "/>";
}

}  // namespace server
