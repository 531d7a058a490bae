// TMyTableInfo: a table entry of a MySQL record set, with the table's full
// name (database included) and MySQL's identifier rules (my_identifiers.h):
// backquotes, and names of ASCII letters, digits, '_' and '$' that do not
// start with a digit and are no reserved word need none. The rules come in
// one class per kind of client character set, so that the names a session
// gives are read and quoted character by character in its set.
#pragma once

#include <string>
#include <string_view>

#include "dac/core/server/table_info.h"
#include "dac/mysql/provider/my_sql_charsets.h"

namespace dac {

class TMyTableInfo;

class TMyTableInfoClass : public TDKTableInfoClassOf<TMyTableInfo> {
 public:
  using TDKTableInfoClass::NormalizeName;
  TMyTableInfoClass(const char* class_name, const TMetaClass* parent,
                    TMyCharsetKind kind = TMyCharsetKind::ckPlain)
      : TDKTableInfoClassOf(class_name, parent), kind_(kind) {}

  TDKTableInfo* Create(TDKTablesInfo* owner) const override;
  // Part by part with backquotes (the quote arguments are not used: the
  // backquote is the server's identifier quote in every mode).
  std::string NormalizeName(std::string_view value, bool quote_names) const override;
  std::string NormalizeName(std::string_view value, char left_quote, char right_quote,
                            bool quote_names) const override;
  char LeftQuote() const override { return '`'; }
  char RightQuote() const override { return '`'; }
  // One well-formed identifier in backquotes, double quotes or single
  // quotes. A name with a point outside quotes is the caller's error
  // (assertion failure).
  bool IsQuoted(std::string_view value) const override;
  // The unquoted name is not empty, and is a reserved word, starts with a
  // digit or holds a character other than ASCII letters, digits, '_' and
  // '$'. A name with a point outside quotes is an assertion failure.
  bool QuotesNeeded(std::string_view value) const override;
  std::string QuoteIdentifier(std::string_view bare, bool quote_names) const override;

  TMyCharsetKind Kind() const { return kind_; }

 private:
  TMyCharsetKind kind_;
};

class TMyTableInfo : public TDKTableInfo {
  DAC_DECLARE_CLASS();

 public:
  explicit TMyTableInfo(TDKTablesInfo* owner, const TMyTableInfoClass* rules = nullptr)
      : TDKTableInfo(owner), rules_(rules) {}

  // The rules of plain character sets (single-byte sets, UTF-8).
  static const TMyTableInfoClass& InfoClass() { return static_cast<const TMyTableInfoClass&>(ClassInfo()); }
  // The rules of a session in the named character set.
  static const TMyTableInfoClass& InfoClassFor(std::string_view charset);

  // Stored and returned as given.
  std::string GetTableNameFull() const override { return table_name_full_; }
  void SetTableNameFull(const std::string& value) override { table_name_full_ = value; }
  // The latest TIMESTAMP value read from the table (a date-time; 0 before
  // any), where a quick refresh starts.
  double GetMaxTimestamp() const { return max_timestamp_; }
  void SetMaxTimestamp(double value) { max_timestamp_ = value; }

 private:
  const TMyTableInfoClass* rules_;
  std::string table_name_full_;
  double max_timestamp_ = 0;
};

}  // namespace dac
