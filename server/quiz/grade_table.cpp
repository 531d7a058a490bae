#include "server/quiz/grade_table.h"

#include "content/percent_codec.h"
#include "content/text_lines.h"
#include "server/quiz/c_scan.h"

namespace server {

std::optional<TGradeRange> ParseGradeLine(std::string_view line) {
  TGradeRange row;
  size_t pos = 0;
  const std::optional<int32_t> low = ScanDecimal(line, pos);
  if (!low) return std::nullopt;
  const std::optional<int32_t> high = ScanDecimal(line, pos);
  if (!high) return std::nullopt;
  row.low = *low;
  row.high = *high;
  row.name = content::PercentDecode(ScanWord(line, pos));
  row.name = row.name.substr(0, row.name.find('\0'));
  if (row.name.size() > TGradeTable::kMaxNameLength) row.name.resize(TGradeTable::kMaxNameLength);
  return row;
}

void TGradeTable::LoadFromText(std::string_view text) {
  rows_.clear();
  for (const std::string& line : content::NonEmptyLines(text)) {
    if (Count() == kMaxRows) break;
    if (std::optional<TGradeRange> row = ParseGradeLine(line)) rows_.push_back(std::move(*row));
  }
}

}  // namespace server
