// How dac-query writes what a server returns, as the mariadb client writes
// it in batch mode without column names: rows read through the client API
// as TAB-separated lines, values of the binary protocol as the server would
// have written them as text, and the error line.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dac/mysql/client/api/mysql_api.h"

namespace dac {
class TCustomMyDataSet;
class TField;
}  // namespace dac

namespace tools {

using BatchRow = std::vector<std::optional<std::string>>;

// Values separated by TAB, NULL as "NULL", ending in LF; inside values NUL,
// TAB, LF and backslash become \0, \t, \n and \\.
std::string BatchLine(const BatchRow& row);

// A binary-protocol value as text, by its column: integers in decimal
// (unsigned, zero-filled to the column length as the flags say), dates and
// times with the column's fraction digits, FLOAT and DOUBLE fixed to the
// column's decimals or in the server's shortest form (zero-filled as
// integers are), anything else as its bytes. A value shorter than its type
// raises std::invalid_argument.
std::string BinaryValueText(const dac::TMYSQL_FIELD& field, std::string_view value);

// The current row of a text result, its values as they came.
BatchRow TextRow(dac::TMySQLAPI& api, dac::PMySqlRow row, uint32_t count);

// The columns of a prepared statement's result; none without one.
std::vector<dac::TMYSQL_FIELD> StatementColumns(dac::TMySQLAPI& api, dac::PMySqlStmt stmt);

// The rows of an executed statement, each value as BinaryValueText gives
// it, read as the API hands them out: the direct API gives every value's
// bytes as the protocol carries them; the library-backed APIs write binds,
// dates and times as MYSQL_TIME records, long values fetched again column by
// column.
class StatementRows {
 public:
  StatementRows(dac::TMySQLAPI& api, dac::PMySqlStmt stmt);
  ~StatementRows();
  StatementRows(const StatementRows&) = delete;
  StatementRows& operator=(const StatementRows&) = delete;

  const std::vector<dac::TMYSQL_FIELD>& Columns() const { return columns_; }
  // 0 with the row, kMySqlNoData after the last one, else what the fetch
  // answered (the statement's error tells more).
  int32_t Next(BatchRow& row);

 private:
  struct Binds;
  BatchRow ValueRow();
  BatchRow BoundRow();

  dac::TMySQLAPI& api_;
  dac::PMySqlStmt stmt_;
  std::vector<dac::TMYSQL_FIELD> columns_;
  std::unique_ptr<Binds> binds_;  // for the APIs that write binds
};

// The server's text of a field's value in the dataset's current record,
// nullopt for NULL: the dataset's exact text when the field cannot hold
// the value, else the value written as the server writes its column's
// type (numbers zero-filled when the column says so, decimals to the
// column's scale, FLOAT and DOUBLE in the server's form, dates and times
// with the column's fraction digits, BIT as its bytes, text in UTF-8 when
// the field is wide, blobs as their content).
std::optional<std::string> FieldServerText(dac::TCustomMyDataSet& dataset, dac::TField& field);

// "ERROR code (state): message": a server's state and text come from the
// message as the protocol forms it (CR LF, '#', five state characters); a
// client error has state HY000, and its CR LF pairs become blanks.
std::string ErrorLine(uint32_t code, const std::string& message);
// The same with the state the API reported (mysql_sqlstate), which wins
// over the message's; a "#" and state at the message's start are dropped.
std::string ErrorLine(uint32_t code, const std::string& sqlstate, const std::string& message);

}  // namespace tools
