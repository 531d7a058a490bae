// TMySQLRecordset: the MySQL record set over a TMySQLCommand. Opening runs
// the statement (or takes the next result of a batch), describes the
// columns and the tables they come from, and reads rows of the text or the
// binary protocol a block at a time into the record store, converting each
// value into its slot. A partly read stream may run on a second connection
// so that the user's connection stays free; closing it early cuts the rest
// off with KILL.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dac/core/server/record_set.h"
#include "dac/mysql/client/api/mysql_api.h"
#include "dac/mysql/provider/my_command.h"
#include "dac/mysql/provider/my_field_desc.h"
#include "dac/mysql/provider/my_sql_charsets.h"
#include "dac/mysql/provider/my_table_info.h"
#include "dac/store/record/record_set_types.h"

namespace dac {

class TMySQLConnection;
class TParser;

// One value of a row as it came: its bytes, and whether numbers and dates
// are in the binary protocol's form.
struct TWireValue {
  const char* data = nullptr;
  size_t length = 0;
  bool is_null = true;
  bool binary = false;
};

// The server's text of one value of a record, kept beside the value its
// field holds: the column's name, the slot as the value was read (and
// whether it was NULL), and the text.
struct TExactText {
  std::string name;
  bool was_null = false;
  std::string image;
  std::string text;
};

class TMySQLRecordset : public TDKRecordSet {
  DAC_DECLARE_CLASS();

 public:
  TMySQLRecordset();
  ~TMySQLRecordset() override;

  void CreateCommand() override;
  void SetCommand(std::unique_ptr<TDKCommand> value) override;
  // A block of at most FetchRows rows; false when none came. A failure
  // frees the result and leaves the cursor at the end of the rows read.
  bool Fetch(bool fetch_back) override;
  void ExecCommand() override;
  bool RowsReturn() const override;
  bool CanDisconnect() const override;
  void Disconnect() override;
  // The rules of the connection's character set.
  const TDKTableInfoClass& GetTableInfoClass() const override;
  const TMetaClass& GetFieldDescType() override { return TMySQLFieldDesc::ClassInfo(); }
  void SetToEnd() override;
  // Blobs of text columns follow UseUnicode; with a compressed-blob mode
  // they are compressed blobs.
  void CreateComplexFields(void* rec_buf, bool with_blob) override;
  //   set: 1005 FieldsAsString, 1006 NullForZeroDate, 1012 the command's
  //   procedure-call flag, 1014 EnableBoolean, 1015 CreateConnection, 1016
  //   the command's timeout, 1017 OpenNext, 1029 UseHandler;
  //   get: 1017, 1025 (another result follows).
  bool SetProp(int prop, const Variant& value) override;
  bool GetProp(int prop, Variant& value) override;

  // The checks of API results through the connection, naming the component.
  virtual void Check(const void* result);
  virtual void Check(int32_t result);
  virtual void Check();

  // Lets the current result go: reads away its rows (drain_rows), or cuts a
  // streamed one off; with next_results moves on to the next result of a
  // batch, which waits to be opened.
  void FreeResult(bool next_results, bool drain_rows);
  // Every further result of the batch, read away.
  void DrainResults();
  // A statement run to its end (a procedure call): each result with rows
  // is read whole and gives way to the next, and the last one stays open
  // with its rows (a call's OUT values come in its last one). Prepared,
  // the first result (whose columns the statement describes) stays open,
  // read whole, and the later ones are read away. Nothing without rows.
  void OpenLastResult();
  // dtBCD for a DECIMAL column typed float, from server version 5 on.
  uint16_t GetCorrectedDataType(const TMySQLFieldDesc& field) const;

  TMySQLCommand& Command() const;
  // The connection's values, kept for when the record set is disconnected.
  bool GetIsClient41() const;
  bool GetUseUnicode() const;
  TDANumericType GetNumericType() const;
  int32_t GetServerPrimaryVer() const;
  int32_t GetServerMinorVer() const;
  bool GetNullForZeroDate() const { return null_for_zero_date_; }
  bool GetFieldsAsString() const { return fields_as_string_; }
  bool GetEnableBoolean() const { return enable_boolean_; }
  bool GetCreateConnection() const { return create_connection_; }
  // The connection the statement runs on while the user's one is swapped out.
  bool HasSwapConnection() const { return swap_connection_ != nullptr; }

  // The server's own text of a value that its field cannot hold exactly
  // (a DATETIME's microseconds, a DECIMAL beyond its field's digits, a
  // zero or impossible date, a TINYINT(1) other than 0 and 1 read as a
  // boolean, text with a NUL byte or longer than its field), while the
  // record still holds the value as it was read; false for any other value.
  // The texts ride in a hidden last descriptor of each record.
  bool GetExactText(uint16_t field_no, const void* rec_buf, std::string& text);
  // All of a record's texts, and the record's texts replaced (a refresh
  // brings those of its row).
  std::vector<TExactText> ExactTexts(const void* rec_buf);
  void SetExactTexts(void* rec_buf, const std::vector<TExactText>& texts);
  // The descriptors of the result's columns, the first ones: the hidden
  // one and calculated ones follow them.
  int ColumnCount() const { return column_count_; }
  void ClearFields() override;

 protected:
  void InternalPrepare() override;
  void InternalUnPrepare() override;
  void InternalOpen() override;
  void InternalClose() override;
  void InternalInitFields() override;

 private:
  enum TResultState : uint8_t { rsNone = 0, rsMore, rsNoMore, rsFailed };

  TMySQLAPI& API() const;
  void RefreshConnectionValues() const;
  // A second connection for a streamed result, and the user's back.
  void QuerySwapConnection();
  void ReleaseSwapConnection(bool killed);
  // Reads a streamed result's rows away or kills it; true when killed.
  bool CutResult(PMySqlRes result);
  void MoveToNextResult(bool& released, bool killed);
  void ReadPastLaterResults();
  void TakeNextResult();

  // Columns and tables.
  void DescribeWithoutRunning(const std::string& sql, bool is_show, bool is_explain);
  void DescribeByRunning(const std::string& sql, bool is_show, bool is_explain);
  void DescribeColumns(const std::string& sql);
  void BuildFields(bool is_show, bool is_explain, const std::string& sql);
  void ParseFromClause(const std::string& sql);
  // A table of the FROM clause by its name as written and its alias.
  void AddFromTable(const std::string& name, const std::string& alias, TMyCharsetKind kind);
  int AddSQLObjectIfNeed(const std::string& name, bool aliased);

  // Rows.
  PItemHeader TakeItem();
  bool ReadTextRow();
  // Binary rows that come in place (those that come into binds of ours are
  // ReadClientRow's).
  bool ReadBinaryRow();
  // The answer of a statement fetch: true for a row; at the end the
  // statement is marked exhausted; an error is raised.
  bool StatementRowCame(int32_t answer);
  // Prepared rows that come into buffers of ours, as the client library gives them.
  void BindClientRow();
  bool ReadClientRow();
  // Every column of the row into the record, its value given by value_of.
  template <typename ValueOf>
  void ConvertRow(void* rec_buf, const ValueOf& value_of);
  void ConvertValue(TMySQLFieldDesc& field, const TWireValue& value, uint8_t* slot);
  // False when the slot could not keep the whole value.
  bool PutString(TMySQLFieldDesc& field, const char* value, size_t length, uint8_t* slot);
  void PutFmtBcd(TMySQLFieldDesc& field, const TWireValue& value, uint8_t* slot);
  // An integer or boolean column's value, from its text, binary form or bits.
  void PutInteger(TMySQLFieldDesc& field, const TWireValue& value, uint8_t* slot);
  void AddExactEntry(const TFieldDesc& field, const uint8_t* rec, bool is_null, const std::string& text);
  void StoreExactEntries(uint8_t* rec);
  std::string SlotImage(const TFieldDesc& field, const uint8_t* rec) const;
  void AddExactDesc();
  void PutBlob(TMySQLFieldDesc& field, const char* value, size_t length, uint8_t* slot);
  void PutDate(TMySQLFieldDesc& field, const TWireValue& value, uint8_t* slot);
  void ReadOutParams();
  void FreeFetchBlock();

  TMySQLCommand* command_ = nullptr;
  mutable bool is_client41_ = true;
  mutable bool use_unicode_ = false;
  mutable TDANumericType numeric_type_ = ntFloat;
  mutable int32_t server_primary_ver_ = 0;
  mutable int32_t server_minor_ver_ = 0;
  mutable std::string session_charset_ = "latin1";
  // The user's connection while the statement runs on swap_owned_ (or a pooled one).
  TMySQLConnection* swap_connection_ = nullptr;
  std::unique_ptr<TMySQLConnection> swap_owned_;
  bool null_for_zero_date_ = true;
  bool fields_as_string_ = false;
  bool enable_boolean_ = true;
  // The prepared statement was read to its end.
  bool stmt_exhausted_ = false;
  bool stmt_bound_ = false;
  // The client library writes each column of a prepared row here.
  struct TClientRowBinds {
    TMYSQL_BINDS binds;
    std::vector<std::vector<char>> buffers;
    std::vector<unsigned long> lengths;
    std::unique_ptr<bool[]> nulls;
    std::unique_ptr<bool[]> errors;
  };
  TClientRowBinds client_binds_;
  std::vector<uint8_t> null_row_;
  // The values of the row being read.
  TMySqlRowValues row_values_;
  bool create_connection_ = true;
  TResultState result_state_ = rsNone;
  PMySqlRes sql_result_next_ = nullptr;
  int32_t rows_affected_next_ = -2;
  bool may_kill_ = false;
  bool use_handler_ = false;
  // The fetch's block of items and how many of them hold rows.
  PBlockHeader fetch_block_ = nullptr;
  int fetch_used_ = 0;
  bool change_separator_ = false;
  // The hidden descriptor of the exact texts, the entries of the row being
  // converted, and the text of the value being converted when it needs one.
  TFieldDesc* exact_desc_ = nullptr;
  int column_count_ = 0;
  std::string exact_row_;
  std::optional<std::string> exact_text_;
};

// The process-wide switch (on at start) that types a VAR_STRING column of
// length 65535 without a table as a memo (a blob when binary).
bool& Strings65535ToMemo();

// The SELECT made to give no rows, to learn its columns: its LIMIT count
// (the first number after LIMIT) 0, or "LIMIT 0" in front of PROCEDURE, FOR
// or LOCK, or of the ";" after it, or at the end. A SET before the SELECT
// leaves the text alone.
std::string EmptyResultSQL(const std::string& sql);

}  // namespace dac
