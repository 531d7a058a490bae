// What follows a result-set header: the column definitions, and the rows,
// either all buffered at once (store mode, ReadRows) or one at a time from
// the connection (use mode, ReadRow). Rows are split into values without
// copying: binds record where each value lies in the row.
//
// Lifetime: a result set may outlive its session. Once the session is
// destroyed, buffered rows stay readable, reading from the connection raises
// 2006, and Clear and the destructor do no I/O. While the session lives, a
// result set reads and drains only the result that was pending when it was
// made (the session's open result); reading after another command has
// taken the connection raises 2014.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "dac/framework/classes/meta_class.h"
#include "dac/framework/values/bytes.h"
#include "dac/mysql/client/wire/client_records.h"
#include "dac/mysql/client/wire/mysql_binds.h"

namespace dac {

class TMySqlNet;
class TMySqlSession;
struct SessionLink;

// Buffered rows, each the packet payload as received.
class TRows : public TObject {
  DAC_DECLARE_CLASS();

 public:
  void Add(TBytes row) { rows_.push_back(std::move(row)); }
  const TBytes& Get(int index) const { return rows_[static_cast<size_t>(index)]; }
  int GetCount() const { return static_cast<int>(rows_.size()); }
  void Clear() { rows_.clear(); }

 private:
  std::vector<TBytes> rows_;
};

class TMySqlResultSet : public TObject {
  DAC_DECLARE_CLASS();

 public:
  // The session's pending result: its field count and descriptions. Reading
  // its last row returns the session to msReady.
  explicit TMySqlResultSet(TMySqlSession* session);
  // Rows of the given shape, of the result pending now (if any); reading
  // its last row returns the session to msReady too. result_binds (owned,
  // may be null) makes rows binary and decodes them into it.
  TMySqlResultSet(TMySqlSession* session, TMySqlFieldInfos fields, int field_count,
                  std::unique_ptr<TMySqlBinds> result_binds);
  // Clears, draining unread use-mode rows of a live session; never throws.
  ~TMySqlResultSet() override;
  TMySqlResultSet(const TMySqlResultSet&) = delete;
  TMySqlResultSet& operator=(const TMySqlResultSet&) = delete;

  // Store mode: buffers every row up to the end packet.
  void ReadRows();
  // Use mode: the next row from the connection; false at the end packet.
  bool ReadRow();
  // The next row decoded: text rows into binds (which must exist, else
  // 2028), binary rows into the result binds, which binds then names. The
  // binds' buffer is the row, valid until the next read.
  bool Read(TMySqlBinds*& binds);
  // Store mode only: ArgumentException beyond the rows, NotSupportedException in use mode.
  void Seek(int index);
  // Store mode: the rows buffered; use mode: the rows read so far.
  int64_t GetRowCount() const;
  // The column definitions buffered by ReadRows, one per row (7 values for
  // the 4.1 layout, 5 for the older one), into infos.
  void ReadFieldsInfo(int count, TMySqlFieldInfos& infos);
  void SetresultBind(std::unique_ptr<TMySqlBinds> binds);
  // Nothing is read through this result set: it only describes its columns.
  void EndWithoutRows() {
    ended_ = true;
    eof_ = true;
  }
  // Ends either mode; in use mode the unread rows of the session's open
  // result, when it is this one's, are drained through the session.
  void Clear();
  // The current row, pinned; ClearGCHandleData releases it.
  void* GetGCHandleData();
  void ClearGCHandleData();

  // Null once the session is destroyed or this result set cleared.
  TMySqlSession* GetSession() const;
  int GetFieldCount() const { return field_count_; }
  const TMySqlFieldInfos& GetFieldsInfo() const { return fields_info_; }
  TMySqlBinds* GetBinds() const { return own_binds_.get(); }
  TMySqlBinds* GetResultBinds() const { return result_binds_.get(); }
  bool GetEof() const { return eof_; }
  const uint8_t* GetCurrentRow() const { return current_row_; }
  int GetCurrentRowLength() const { return current_row_length_; }
  int64_t GetRowsRead() const { return rows_read_; }

 private:
  void Decode(TMySqlBinds*& binds);
  // The session, which must still be reading this result's rows.
  TMySqlSession& ReadingSession();
  void EndOfRows(const uint8_t* end_packet, int length);
  // The next row packet (into the bytes given, else the net's buffer); its
  // length. A failure in its place ends the result before it is raised.
  int ReceiveRow(TMySqlNet& net, TBytes* into);

  std::unique_ptr<TRows> rows_;
  int row_index_ = 0;
  int64_t rows_read_ = 0;
  int field_count_ = 0;
  const uint8_t* current_row_ = nullptr;
  int current_row_length_ = 0;
  std::unique_ptr<TMySqlBinds> result_binds_;
  TMySqlFieldInfos fields_info_;
  // The fields' types, for decoding binary rows.
  std::vector<uint8_t> types_;
  std::shared_ptr<SessionLink> link_;
  bool eof_ = false;
  std::unique_ptr<TMySqlBinds> own_binds_;
  void* pinned_ = nullptr;
  // The session's open result when this was made; 0 for none.
  uint64_t result_id_ = 0;
  // The end packet was read.
  bool ended_ = false;
};

}  // namespace dac
