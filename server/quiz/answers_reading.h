// Reading the learners' "answers.xml" back into their score records, for the
// statistics pages (see answers_record.h for the format).
//
// Reading is lenient: one hand-edited record or file must not blank the
// statistics of everyone else. A record with a missing or non-integer
// Testid, Subject, MaxScore or AnsweredScore, or a Date that names no day,
// is skipped with a log line; a file that is not XML leaves its user's
// records as they were.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "content/score_records.h"
#include "content/users.h"
#include "platform/date_time.h"
#include "platform/files.h"

namespace server {

// The three numbers of a "Date" value as "%d-%d-%d" reads them: blanks
// before each number skipped, an optional sign, decimal digits; scanning
// stops at the first mismatch and the numbers not reached stay 0. The file
// writes year, day, month.
std::array<int, 3> ScanAnswersDate(std::string_view text);

// Fills subjects from the document: each record's test keeps its best
// answered score with that record's date and grade (the first record to
// reach it), the largest maximum score seen, and its subject the largest
// usage seen. Clears subjects first. False, with subjects untouched, when
// the bytes are not an XML document.
bool ReadAnswersDocument(std::string_view bytes, content::TSubjects& subjects);

// One usable record of an answers file.
struct TAnswersEntry {
  int32_t test_id = 0;
  int32_t subject = 0;
  int32_t max_score = 0;
  int32_t answered_score = 0;
  plat::DateTime date = 0;
  std::string grade;
  int32_t usage = 0;
};

// The usable records of each answers file as last read, with the file's
// stamp, so that the statistics parse only the files that changed since.
class TAnswersCache {
 public:
  // Fills subjects from the file at path as ReadAnswersDocument does,
  // reading and parsing it only when it is not the file read last time.
  // False, with subjects untouched, when it is not XML. Throws plat::FileError.
  bool Read(const std::string& path, const plat::FileStamp& stamp, content::TSubjects& subjects);
  // Forgets the files not read since the last call.
  void DropUnread();

 private:
  struct Kept {
    plat::FileStamp stamp;
    std::vector<TAnswersEntry> entries;
    bool read = true;
  };
  std::unordered_map<std::string, Kept> kept_;
};

// Sets the users table's statistics date to today and refills every user's
// records from the data folder's "Sessions/<safe login name>/answers.xml",
// through the cache when one is given. A user without a readable file keeps
// the records of an earlier reading. Creates nothing.
void CalcUserStats(content::TUsersList& users, const std::string& data_folder, TAnswersCache* cache = nullptr);

}  // namespace server
