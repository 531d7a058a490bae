// TMyTableInfo: a table entry of a MySQL record set, with the table's full
// name (database included) and MySQL's identifier rules: backquotes, and
// names of letters, digits, '_', '$', '#' and '@' that do not start with a
// digit need none.
#pragma once

#include <string>
#include <string_view>

#include "dac/core/server/table_info.h"

namespace dac {

class TMyTableInfo;

class TMyTableInfoClass : public TDKTableInfoClassOf<TMyTableInfo> {
 public:
  using TDKTableInfoClass::NormalizeName;
  using TDKTableInfoClassOf::TDKTableInfoClassOf;

  // With backquotes on both sides.
  std::string NormalizeName(std::string_view value, bool quote_names) const override;
  char LeftQuote() const override { return '`'; }
  char RightQuote() const override { return '`'; }
  // At least two characters, opened and closed by the same backquote,
  // double quote or single quote. A name holding '.' is the caller's error
  // (assertion failure).
  bool IsQuoted(std::string_view value) const override;
  // Unquoted: not empty, and starting with a digit or holding a character
  // other than letters, digits, '_', '$', '#' and '@'. Reserved words are
  // not considered. A name holding '.' is an assertion failure.
  bool QuotesNeeded(std::string_view value) const override;
};

class TMyTableInfo : public TDKTableInfo {
  DAC_DECLARE_CLASS();

 public:
  using TDKTableInfo::TDKTableInfo;

  static const TMyTableInfoClass& InfoClass() { return static_cast<const TMyTableInfoClass&>(ClassInfo()); }

  // Stored and returned as given.
  std::string GetTableNameFull() const override { return table_name_full_; }
  void SetTableNameFull(const std::string& value) override { table_name_full_ = value; }
  // The latest TIMESTAMP value read from the table (a date-time; 0 before
  // any), where a quick refresh starts.
  double GetMaxTimestamp() const { return max_timestamp_; }
  void SetMaxTimestamp(double value) { max_timestamp_ = value; }

 private:
  std::string table_name_full_;
  double max_timestamp_ = 0;
};

}  // namespace dac
