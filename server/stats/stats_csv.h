// The statistics pages' CSV texts: a title line, two empty lines, the header
// and one data row of eleven fields.
//
// Names and titles are free text and are made safe for spreadsheets: a field
// that starts like a formula (= + - @, TAB, CR) gets a "'" in front, and one
// holding a comma, a quote or a line break is quoted with its quotes doubled,
// so no field adds rows or columns or runs as a formula. The figures are the
// server's own texts and stand as they are.
#pragma once

#include <string>
#include <string_view>

#include "content/text_lists.h"

namespace server {

inline constexpr std::string_view kGroupCsvName = "GroupStats.csv";
inline constexpr std::string_view kEmployeeCsvName = "EmployeeStats.csv";
inline constexpr std::string_view kModulesCsvName = "AllModulesStats.csv";

struct TStatsCsvRow {
  std::string profile;  // text: "*", a group title or an employee's name
  std::string highest_score;
  std::string highest_holder;  // text
  std::string lowest_score;
  std::string lowest_holder;  // text
  std::string average_score;
  std::string progress;
  std::string test_frequency;
  std::string usage_frequency;
  std::string percentile;
  std::string history;  // written in double quotes
};

// A free-text field made safe (see above).
std::string CsvTextField(std::string_view text);
// The five lines of a statistics CSV text.
content::TStringList StatsCsvLines(const TStatsCsvRow& row);
// The download's body: every line followed by CR LF.
std::string CsvText(const content::TStringList& lines);

}  // namespace server
