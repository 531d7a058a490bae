// "answers.xml": a learner's history of results, one per user in the data
// folder's "Sessions/<safe login name>/". Every accepted answer adds one
// record with the running totals of its test; the statistics read the file.
//
// The file is code-page text (although its declaration names utf-8) with CRLF
// line ends. A new file is exactly
//   <?xml version="1.0" encoding="utf-8"?>CRLF<Dataset>CRLF</Dataset>
// and each record goes in front of the closing tag:
//     <Record>CRLF
//       <Testid>7</Testid>CRLF
//       <Date>2024-25-12</Date>CRLF        (year, day, month)
//       <Subject>1</Subject>CRLF
//       <MaxScore>10</MaxScore>CRLF
//       <AnsweredScore>7</AnsweredScore>CRLF
//       <Grade>Pass</Grade>CRLF            (empty without a grade band)
//       <Usage>2</Usage>CRLF
//     </Record>CRLF
// with two blanks before <Record> and </Record>, four before the rest.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/date_time.h"

namespace server {

inline constexpr std::string_view kAnswersFileName = "answers.xml";
inline constexpr std::string_view kEmptyAnswersDocument =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Dataset>\r\n</Dataset>";
inline constexpr std::string_view kAnswersClosingTag = "</Dataset>";

struct TAnswersRecord {
  int32_t test_id = 0;
  plat::CalendarDate date;
  int32_t subject = 0;
  int64_t max_score = 0;
  int64_t answered_score = 0;
  std::string grade;  // as stored in the band; escaped when written
  int32_t usage = 0;
};

// "yyyy-dd-mm": four-digit year, two-digit day, two-digit month.
std::string FormatAnswersDate(const plat::CalendarDate& date);

// The record's lines, each ended by CRLF. Only the grade is free text: it is
// written as XML text (plat::XmlTextEscape) so the file stays readable.
std::string FormatAnswersRecord(const TAnswersRecord& record);

// The document with the record inserted in front of its last closing tag.
// A document whose records are whole but whose closing tag is missing, or
// cut short (a write that an older player did not finish, an editor), gets
// the record after its last one and the closing tag after it. Nullopt for
// any other document, so nothing of it is overwritten.
std::optional<std::string> InsertAnswersRecord(std::string_view document, std::string_view record);

// Why the document is no answers file the statistics can read: a NUL byte,
// malformed XML, or another document element than Dataset. Nullopt when it is one.
std::optional<std::string> AnswersDocumentFault(std::string_view document);

// The learner's answers file below the data folder (existing folders found
// without regard to case); "" when there is no data folder.
std::string AnswersFilePath(const std::string& data_folder, std::string_view login_name);
// The same path with every name as written: what AnswersFilePath gives
// whenever a file stands there.
std::string AnswersFilePathAsWritten(const std::string& data_folder, std::string_view login_name);

// Adds the record to the file, creating the file (with its folders) when it
// is missing. The new file replaces the old in one step, and only when it is
// an answers file the statistics can read. Throws plat::FileError, the file
// as it was, when the record cannot be added: the disk refused, or the file
// is damaged (the reason then says so).
void AppendAnswersRecord(const std::string& path, const TAnswersRecord& record);

}  // namespace server
