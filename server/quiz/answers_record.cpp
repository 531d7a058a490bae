#include "server/quiz/answers_record.h"

#include <cstdio>

#include "content/debug_log.h"
#include "content/safe_name.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "server/road/data_folder.h"

namespace server {
namespace {

std::string Line(std::string_view tag, std::string_view value) {
  return "    <" + std::string(tag) + ">" + std::string(value) + "</" + std::string(tag) + ">\r\n";
}

std::string AnswersBelowDataFolder(std::string_view login_name) {
  return "Sessions/" + content::MakeSafeName(login_name) + "/" + std::string(kAnswersFileName);
}

}  // namespace

std::string FormatAnswersDate(const plat::CalendarDate& date) {
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.day, date.month);
  return text;
}

std::string FormatAnswersRecord(const TAnswersRecord& record) {
  return "  <Record>\r\n" + Line("Testid", std::to_string(record.test_id)) +
         Line("Date", FormatAnswersDate(record.date)) + Line("Subject", std::to_string(record.subject)) +
         Line("MaxScore", std::to_string(record.max_score)) +
         Line("AnsweredScore", std::to_string(record.answered_score)) +
         Line("Grade", plat::XmlTextEscape(record.grade)) + Line("Usage", std::to_string(record.usage)) +
         "  </Record>\r\n";
}

std::optional<std::string> InsertAnswersRecord(std::string_view document, std::string_view record) {
  const size_t closing = document.rfind(kAnswersClosingTag);
  if (closing == std::string_view::npos) return std::nullopt;
  std::string out;
  out.reserve(document.size() + record.size());
  out.append(document.substr(0, closing)).append(record).append(document.substr(closing));
  return out;
}

std::string AnswersFilePath(const std::string& data_folder, std::string_view login_name) {
  if (data_folder.empty()) return "";
  return DataFilePath(data_folder, AnswersBelowDataFolder(login_name));
}

std::string AnswersFilePathAsWritten(const std::string& data_folder, std::string_view login_name) {
  if (data_folder.empty()) return "";
  return plat::WithTrailingSlash(data_folder) + AnswersBelowDataFolder(login_name);
}

bool AppendAnswersRecord(const std::string& path, const TAnswersRecord& record) {
  try {
    const std::string document =
        plat::PathExists(path) ? plat::ReadWholeFile(path) : std::string(kEmptyAnswersDocument);
    const std::optional<std::string> grown = InsertAnswersRecord(document, FormatAnswersRecord(record));
    if (!grown) {
      content::LogMessage("%s holds no closing tag: no record written", path.c_str());
      return false;
    }
    plat::WriteFileAtomic(path, *grown);
    return true;
  } catch (const plat::FileError& e) {
    content::LogMessage("cannot write an answers record: %s", e.what());
    return false;
  }
}

}  // namespace server
