#include "server/grade_table.h"

#include "content/percent_codec.h"
#include "content/text_lines.h"
#include "platform/ascii.h"

namespace {

// What the C scanner skips before an item.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

void SkipBlanks(std::string_view& text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
}

std::optional<int32_t> ScanInt(std::string_view& text) {
  SkipBlanks(text);
  size_t end = 0;
  if (end < text.size() && (text[end] == '+' || text[end] == '-')) ++end;
  const size_t digits = end;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  if (end == digits) return std::nullopt;
  // A number beyond int32 counts as no number.
  const std::optional<int32_t> value = plat::ParseInt(text.substr(0, end));
  text.remove_prefix(end);
  return value;
}

std::string ScanWord(std::string_view& text) {
  SkipBlanks(text);
  size_t end = 0;
  while (end < text.size() && !IsBlank(text[end])) ++end;
  return std::string(text.substr(0, end));
}

}  // namespace

std::optional<TGradeRange> ParseGradeLine(std::string_view line) {
  TGradeRange row;
  const std::optional<int32_t> low = ScanInt(line);
  if (!low) return std::nullopt;
  const std::optional<int32_t> high = ScanInt(line);
  if (!high) return std::nullopt;
  row.low = *low;
  row.high = *high;
  row.name = PercentDecode(ScanWord(line));
  row.name = row.name.substr(0, row.name.find('\0'));
  if (row.name.size() > TGradeTable::kMaxNameLength) row.name.resize(TGradeTable::kMaxNameLength);
  return row;
}

void TGradeTable::LoadFromText(std::string_view text) {
  rows_.clear();
  for (const std::string& line : NonEmptyLines(text)) {
    if (Count() == kMaxRows) break;
    if (std::optional<TGradeRange> row = ParseGradeLine(line)) rows_.push_back(std::move(*row));
  }
}
