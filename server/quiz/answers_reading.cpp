#include "server/quiz/answers_reading.h"

#include <algorithm>
#include <limits>

#include "content/debug_log.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/xml_document.h"
#include "server/quiz/answers_record.h"
#include "server/quiz/c_scan.h"

namespace server {
namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsScanBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsScanBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<std::string> TextOf(const plat::XmlElement& record, std::string_view name) {
  const std::optional<plat::XmlElement> element = record.Child(name);
  if (!element) return std::nullopt;
  return element->SingleTextValue().value_or("");
}

std::optional<int32_t> IntegerOf(const plat::XmlElement& record, std::string_view name) {
  const std::optional<std::string> text = TextOf(record, name);
  if (!text) return std::nullopt;
  return plat::ParseInt(Trimmed(*text));
}

// Why the record cannot be used, or "" when it can.
const char* ParseRecord(const plat::XmlElement& record, TAnswersEntry& out) {
  const std::optional<int32_t> test_id = IntegerOf(record, "Testid");
  const std::optional<int32_t> subject = IntegerOf(record, "Subject");
  const std::optional<int32_t> max_score = IntegerOf(record, "MaxScore");
  const std::optional<int32_t> answered_score = IntegerOf(record, "AnsweredScore");
  if (!test_id || !subject || !max_score || !answered_score) return "a missing or non-integer number";
  const std::array<int, 3> date = ScanAnswersDate(TextOf(record, "Date").value_or(""));
  if (!plat::TryEncodeDate(date[0], date[2], date[1], out.date)) return "a date that names no day";
  out.test_id = *test_id;
  out.subject = *subject;
  out.max_score = *max_score;
  out.answered_score = *answered_score;
  out.grade = TextOf(record, "Grade").value_or("");
  out.usage = IntegerOf(record, "Usage").value_or(0);
  return "";
}

void AddRecord(const TAnswersEntry& record, content::TSubjects& subjects) {
  content::TSubject& subject = subjects.FindOrAdd(record.subject);
  subject.SetUsage(std::max(subject.GetUsage(), record.usage));
  content::TTest& test = subject.FindOrAddTest(record.test_id);
  test.max_score = std::max(test.max_score, record.max_score);
  // Records carry running totals: the first to reach the best keeps its day.
  if (record.answered_score > test.answered_score) {
    test.answered_score = record.answered_score;
    test.date = record.date;
    test.grade = record.grade;
  }
}

}  // namespace

std::array<int, 3> ScanAnswersDate(std::string_view text) {
  std::array<int, 3> numbers{};
  size_t pos = 0;
  for (size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != '-') break;
      ++pos;
    }
    // A number beyond 32 bits names no date part: it reads as not scanned.
    const std::optional<int32_t> number = ScanDecimal(text, pos);
    if (!number) break;
    numbers[i] = *number;
  }
  return numbers;
}

namespace {

// The usable records of the document; nullopt when the bytes are not XML.
std::optional<std::vector<TAnswersEntry>> ParseAnswersDocument(std::string_view bytes) {
  std::optional<plat::XmlDocument> document;
  try {
    document.emplace(plat::XmlDocument::Parse(bytes));
  } catch (const plat::XmlError& e) {
    content::LogMessage("answers that are not XML: %s", e.what());
    return std::nullopt;
  }
  const std::vector<plat::XmlElement> records = document->DocumentElement().Children();
  content::LogMessage("Got root node, childnodes = %d", static_cast<int>(records.size()));
  std::vector<TAnswersEntry> entries;
  entries.reserve(records.size());
  for (size_t j = 0; j < records.size(); ++j) {
    TAnswersEntry record;
    const char* fault = ParseRecord(records[j], record);
    if (*fault != '\0') {
      content::LogMessage("answers record %d skipped: %s", static_cast<int>(j), fault);
      continue;
    }
    entries.push_back(std::move(record));
  }
  return entries;
}

void FillSubjects(const std::vector<TAnswersEntry>& entries, content::TSubjects& subjects) {
  subjects.Clear();
  for (const TAnswersEntry& entry : entries) AddRecord(entry, subjects);
}

}  // namespace

bool ReadAnswersDocument(std::string_view bytes, content::TSubjects& subjects) {
  const std::optional<std::vector<TAnswersEntry>> entries = ParseAnswersDocument(bytes);
  if (!entries) return false;
  FillSubjects(*entries, subjects);
  return true;
}

bool TAnswersCache::Read(const std::string& path, const plat::FileStamp& stamp, content::TSubjects& subjects) {
  const auto found = kept_.find(path);
  if (found != kept_.end() && found->second.stamp == stamp) {
    found->second.read = true;
    FillSubjects(found->second.entries, subjects);
    return true;
  }
  std::optional<std::vector<TAnswersEntry>> entries = ParseAnswersDocument(plat::ReadWholeFile(path));
  if (!entries) return false;
  FillSubjects(*entries, subjects);
  // Kept with the stamp seen before the reading: a change meanwhile shows next time.
  kept_.insert_or_assign(path, Kept{stamp, std::move(*entries), true});
  return true;
}

void TAnswersCache::DropUnread() {
  std::erase_if(kept_, [](const auto& entry) { return !entry.second.read; });
  for (auto& entry : kept_) entry.second.read = false;
}

void CalcUserStats(content::TUsersList& users, const std::string& data_folder, TAnswersCache* cache) {
  const plat::LocalTime now = plat::ProcessClock().Now();
  plat::DateTime today = 0;
  if (plat::TryEncodeDate(now.year, now.month, now.day, today)) users.SetStatsDate(today);
  content::LogMessage("Got datetime, users count = %d", users.Count());
  for (int i = 0; i < users.Count(); ++i) {
    content::LogMessage("Users %d", i);
    content::TUser& user = *users.GetUser(i);
    // The names as written first: one look at the disk where they stand so.
    std::string path = AnswersFilePathAsWritten(data_folder, user.GetLoginName());
    std::optional<plat::FileStamp> stamp = path.empty() ? std::nullopt : plat::FileStampOf(path);
    if (!stamp) {
      path = AnswersFilePath(data_folder, user.GetLoginName());
      stamp = path.empty() ? std::nullopt : plat::FileStampOf(path);
    }
    if (!stamp) {
      content::LogMessage("File doesn't exist: %s", path.c_str());
      continue;
    }
    content::LogMessage("File exists: %s", path.c_str());
    try {
      const bool read = cache ? cache->Read(path, *stamp, user.GetSubjects())
                              : ReadAnswersDocument(plat::ReadWholeFile(path), user.GetSubjects());
      if (!read) content::LogMessage("Users %d: %s kept the records of the last reading", i, path.c_str());
    } catch (const plat::FileError& e) {
      content::LogMessage("Users %d: cannot read %s: %s", i, path.c_str(), e.what());
    }
  }
  if (cache) cache->DropUnread();
}

}  // namespace server
