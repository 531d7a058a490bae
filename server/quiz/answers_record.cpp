#include "server/quiz/answers_record.h"

#include <cstdio>

#include "content/safe_name.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/xml_document.h"
#include "server/road/data_folder.h"

namespace server {
namespace {

std::string Line(std::string_view tag, std::string_view value) {
  return "    <" + std::string(tag) + ">" + std::string(value) + "</" + std::string(tag) + ">\r\n";
}

std::string AnswersBelowDataFolder(std::string_view login_name) {
  return "Sessions/" + content::MakeSafeName(login_name) + "/" + std::string(kAnswersFileName);
}

// The document after its last whole record (or its opening), when all that
// follows is blanks and the start of the closing tag: that, a line end, the
// record and the closing tag, if that makes a readable answers file.
std::optional<std::string> CompletedAnswersDocument(std::string_view document, std::string_view record) {
  std::string_view head = document;
  for (size_t n = kAnswersClosingTag.size() - 1; n > 0; --n) {
    if (head.ends_with(kAnswersClosingTag.substr(0, n))) {
      head.remove_suffix(n);
      break;
    }
  }
  while (!head.empty() && std::string_view(" \t\r\n").find(head.back()) != std::string_view::npos)
    head.remove_suffix(1);
  if (!head.ends_with("</Record>") && !head.ends_with("<Dataset>")) return std::nullopt;
  std::string out(head);
  out.append("\r\n").append(record).append(kAnswersClosingTag);
  if (AnswersDocumentFault(out)) return std::nullopt;
  return out;
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
  if (closing == std::string_view::npos) return CompletedAnswersDocument(document, record);
  std::string out;
  out.reserve(document.size() + record.size());
  out.append(document.substr(0, closing)).append(record).append(document.substr(closing));
  return out;
}

std::optional<std::string> AnswersDocumentFault(std::string_view document) {
  if (document.find('\0') != std::string_view::npos) return "it holds NUL bytes";
  try {
    if (plat::XmlDocument::Parse(document).DocumentElement().Name() != "Dataset") return "it holds no Dataset";
  } catch (const plat::XmlError& e) {
    return std::string("it is no XML document (") + e.what() + ")";
  }
  return std::nullopt;
}

std::string AnswersFilePath(const std::string& data_folder, std::string_view login_name) {
  if (data_folder.empty()) return "";
  return DataFilePath(data_folder, AnswersBelowDataFolder(login_name));
}

std::string AnswersFilePathAsWritten(const std::string& data_folder, std::string_view login_name) {
  if (data_folder.empty()) return "";
  return plat::WithTrailingSlash(data_folder) + AnswersBelowDataFolder(login_name);
}

void AppendAnswersRecord(const std::string& path, const TAnswersRecord& record) {
  const std::string document = plat::PathExists(path) ? plat::ReadWholeFile(path) : std::string(kEmptyAnswersDocument);
  const std::optional<std::string> grown = InsertAnswersRecord(document, FormatAnswersRecord(record));
  std::optional<std::string> fault = grown ? AnswersDocumentFault(*grown) : "it does not end with a whole record";
  if (fault) throw plat::FileError(path, std::string(kAnswersFileName) + " is damaged (" + *fault + ")");
  plat::WriteFileAtomic(path, *grown);
}

}  // namespace server
