// TDKRecordSet: the server-side record set every provider derives from. It is
// an in-memory record set filled from the result of its command a block at a
// time: opening executes the command and fetches the first block (or every
// row), and moving past the last cached row fetches the next block. In
// forward-only mode each block replaces the cache. It owns its command and
// the list of the tables its columns come from.
//
// A provider supplies the command (CreateCommand), the field descriptors
// (InternalInitFields), the command type of the current statement and the
// block fetch (Fetch, which runs DoBeforeFetch first and DoAfterFetch last).
//
// Construction is two-phase: construct, then Create, which runs the virtual
// steps. A record set class registers a TDKRecordSetClassOf metaclass, so
// that one made through its class (the connection's GetIRecordSetClass) is
// ready for use.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "dac/core/server/command.h"
#include "dac/core/server/server_types.h"
#include "dac/core/server/table_info.h"
#include "dac/store/record/field_desc.h"
#include "dac/store/record/mem_data.h"

namespace dac {

class TComponent;
class TDKConnection;
class TDKRecordSet;

// A field descriptor that knows the table its column comes from.
class TDKFieldDesc : public TFieldDesc {
  DAC_DECLARE_CLASS();

 public:
  // The entry of the column's table in the record set's list, or null.
  TDKTableInfo* GetTableInfo() const { return table_info_; }
  void SetTableInfo(TDKTableInfo* value) { table_info_ = value; }

  // The underlying column's name as one identifier, quoted by the rules of
  // its table's class (the record set's table-info class when the table is
  // not known). Computed once for each value of quote_names.
  virtual const std::string& ActualNameQuoted(const TDKRecordSet& record_set, bool quote_names);

 private:
  TDKTableInfo* table_info_ = nullptr;
  std::array<std::string, 2> actual_name_quoted_;
};

// The table name of the descriptor's table; empty when it has none.
std::string GenerateTableName(const TDKFieldDesc& desc);

class TDKRecordSet : public TMemData {
  DAC_DECLARE_CLASS();

 public:
  using TResultEvent = std::function<void(bool result)>;
  using TBeforeFetchProc = std::function<void(bool& cancel)>;
  using TNotifyProc = std::function<void()>;

  TDKRecordSet();
  // Closes, then frees the command and the table list.
  ~TDKRecordSet() override;

  // The second step of construction: the table list of GetTableInfoClass,
  // the command of CreateCommand, LongStrings and FlatBuffers on.
  virtual void Create();

  // ---- the operations this class adds, in slot order ----
  // Makes the provider's command and hands it to SetCommand.
  virtual void CreateCommand() = 0;
  // Takes the command (the previous one is freed).
  virtual void SetCommand(std::unique_ptr<TDKCommand> value);
  // Whether Fetch(true) brings rows in front of the cache. False here.
  virtual bool CanFetchBack() { return false; }
  // Whether every execution describes the fields anew. False here.
  virtual bool NeedInitFields() { return false; }
  // Executes; describes the fields unless a prepared cursor has them; then
  // the first block, or every row with FetchAll.
  virtual void ExecFetch();
  // Cancel starts as BreakFetch left it; OnBeforeFetch may set it. A
  // cancelled fetch-all goes on as a plain fetch.
  virtual void DoBeforeFetch(bool& cancel);
  virtual void DoAfterFetch();
  virtual const TDKTableInfoClass& GetTableInfoClass() const { return TDKTableInfo::InfoClass(); }
  // Drops the server-side preparation and keeps the cached rows
  // (disconnected mode); the caller asks CanDisconnect first.
  virtual void Disconnect();
  // Executes the command once, then clears the fetch break.
  virtual void ExecCommand();
  // Fetches until no rows come.
  virtual void FetchAll();
  // The next DoBeforeFetch cancels.
  virtual void BreakFetch() { fetch_break_ = true; }
  // No cursor is open on the server: the command is inactive or has fetched all.
  virtual bool CanDisconnect() const;
  // The current statement returns rows.
  virtual bool RowsReturn() const { return command_type_ == ctCursor; }
  virtual void SetConnection(TDKConnection* value);
  virtual void SetSQL(const std::string& value);
  // The property codes below; an unknown code is an assertion failure.
  //   set: 20 UniDirectional, 21 FetchRows, 22 FetchAll, 25 LongStrings,
  //        26 EnableEmptyStrings, 27 FlatBuffers, 29 IndexFieldNames,
  //        30 the command's compressed-blob mode;  get: 22 FetchAll.
  virtual bool SetProp(int prop, const Variant& value);
  virtual bool GetProp(int prop, Variant& value);

  // ---- overrides ----
  // Then, for a cursor, the fields: a failure unprepares again.
  void Prepare() override;
  // Then the table list is emptied.
  void UnPrepare() override;
  // Fetches on demand past the cached rows, skipping hidden ones; in
  // forward-only mode each block replaces the cache.
  void GetNextRecord(void* rec_buf) override;
  // Forward-only: BOF. Otherwise the cached rows, or (CanFetchBack)
  // fetching backward as GetNextRecord does forward.
  void GetPriorRecord(void* rec_buf) override;
  // With index fields every row is fetched first.
  void SortItems() override;
  // EOF stays only when no more rows can come.
  void FilterUpdated() override;
  const TMetaClass& GetFieldDescType() override { return TDKFieldDesc::ClassInfo(); }
  // The end-of-line conversion of the command's connection.
  bool NeedConvertEOL() override;

  // ---- access ----
  TDKCommand* GetCommand() const { return command_.get(); }
  // Frees the command through SetCommand.
  void FreeCommand() { SetCommand(nullptr); }
  // The component the statement works for, kept by the command.
  TComponent* GetComponent() const { return command_ ? command_->GetComponent() : nullptr; }
  void SetComponent(TComponent* value);
  TDKTablesInfo& GetTablesInfo() const { return *tables_info_; }
  TCommandType GetCommandType() const { return command_type_; }
  // A new SQL text: whether it returns rows is not known until it runs.
  void SetCommandType(TCommandType value) { command_type_ = value; }
  bool GetUniDirectional() const { return uni_directional_; }
  int32_t GetFetchRows() const { return fetch_rows_; }
  bool GetFetchAll() const { return fetch_all_; }
  bool GetLongStrings() const { return long_strings_; }
  bool GetFlatBuffers() const { return flat_buffers_; }
  // The command's cursor state; csInactive without a command.
  TCursorState CursorState() const { return command_ ? command_->GetCursorState() : csInactive; }

  // Set by the dataset; the record-set classes never raise the first two
  // themselves (a provider may).
  void SetOnAfterExecFetch(TResultEvent handler) { on_after_exec_fetch_ = std::move(handler); }
  void SetOnAfterFetchAll(TResultEvent handler) { on_after_fetch_all_ = std::move(handler); }
  void SetOnBeforeFetch(TBeforeFetchProc handler) { on_before_fetch_ = std::move(handler); }
  void SetOnAfterFetch(TNotifyProc handler) { on_after_fetch_ = std::move(handler); }
  void SetOnDataChanged(TNotifyProc handler) { on_data_changed_ = std::move(handler); }

 protected:
  // The command's Prepare and Unprepare.
  void InternalPrepare() override;
  void InternalUnPrepare() override;
  // Executes and fetches; a failure unprepares an unprepared command and
  // takes an executed one back to inactive.
  void InternalOpen() override;

  TCommandType command_type_ = ctUnknown;
  bool uni_directional_ = false;
  int32_t fetch_rows_ = 0;
  bool fetch_all_ = false;
  bool long_strings_ = true;
  bool flat_buffers_ = true;
  bool fetch_break_ = false;
  TResultEvent on_after_exec_fetch_;
  TResultEvent on_after_fetch_all_;
  TBeforeFetchProc on_before_fetch_;
  TNotifyProc on_after_fetch_;
  TNotifyProc on_data_changed_;

 private:
  // GetNextRecord (forward) and, with CanFetchBack, GetPriorRecord.
  void FetchingStep(void* rec_buf, bool forward);

  std::unique_ptr<TDKCommand> command_;
  std::unique_ptr<TDKTablesInfo> tables_info_;
};

// The metaclass of a record set class: Create makes the record set and runs
// its second construction step.
template <typename T>
class TDKRecordSetClassOf : public TMetaClass {
 public:
  using TMetaClass::TMetaClass;
  TObject* Create() const override {
    std::unique_ptr<T> record_set(new T());
    record_set->Create();
    return record_set.release();
  }
};

}  // namespace dac
