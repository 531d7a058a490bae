#include "server/stats/stats_csv.h"

namespace server {
namespace {

constexpr std::string_view kTitleLine = "Kelmo Statistics,,,,,,,,,,";
constexpr std::string_view kEmptyLine = ",,,,,,,,,,";
constexpr std::string_view kHeaderLine =
    "Group Profile/Employee Profile,Highest Score,Subject/ employee,Lowest Score,Subject/ employee,"
    "Average Score,Progress on Average Score,Test Frequency,Usage Frequency,Average Score Percentile,"
    "Average Score History";

bool StartsLikeFormula(std::string_view text) {
  if (text.empty()) return false;
  switch (text.front()) {
    case '=':
    case '+':
    case '-':
    case '@':
    case '\t':
    case '\r':
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string CsvTextField(std::string_view text) {
  std::string field = StartsLikeFormula(text) ? "'" + std::string(text) : std::string(text);
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (const char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

content::TStringList StatsCsvLines(const TStatsCsvRow& row) {
  const std::string data =
      CsvTextField(row.profile) + "," + row.highest_score + "," + CsvTextField(row.highest_holder) + "," +
      row.lowest_score + "," + CsvTextField(row.lowest_holder) + "," + row.average_score + "," + row.progress + "," +
      row.test_frequency + "," + row.usage_frequency + "," + row.percentile + ",\"" + row.history + "\"";
  return {std::string(kTitleLine), std::string(kEmptyLine), std::string(kEmptyLine), std::string(kHeaderLine), data};
}

std::string CsvText(const content::TStringList& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace server
