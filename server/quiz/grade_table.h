// The content's grade table ("grades.sysdata"): percentage ranges with the
// grade each stands for, which the statistics use to name a score's grade.
//
// One row per line: "low high name" as a C scanner reads "%d %d %s" (blanks
// skipped before each item, an optional sign and decimal digits, then the
// next run of non-blank bytes as the name), the name percent-decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace server {

struct TGradeRange {
  int32_t low = 0;
  int32_t high = 0;
  // At most kMaxNameLength bytes, no NUL.
  std::string name;
};

class TGradeTable {
 public:
  static constexpr int kMaxRows = 100;
  static constexpr size_t kMaxNameLength = 135;

  // Rows from the text's lines that yield two integers, at most kMaxRows of
  // them; a missing name reads as "", a longer one keeps its first
  // kMaxNameLength bytes.
  void LoadFromText(std::string_view text);
  void Clear() { rows_.clear(); }

  int Count() const { return static_cast<int>(rows_.size()); }
  const std::vector<TGradeRange>& Rows() const { return rows_; }

 private:
  std::vector<TGradeRange> rows_;
};

// One line as a row; nullopt when it does not begin with two integers.
std::optional<TGradeRange> ParseGradeLine(std::string_view line);

}  // namespace server
