// The dataset component's insides, for dac/core/dataset/*.cpp only: its own
// fields (TDADataSetFields, behind TCustomDADataSet's one pointer), the
// steps its files share (TCustomDADataSetInternals) and the link to its
// master (TDADetailDataLink). Callers include dataset_component.h.
//
// The state its parts share lives in collaborators, each in a file of its
// own: the update batch (TUpdateBatch), the update statement runner with
// its update queries (TUpdateStatementRunner) and the row merge of refresh
// (TRefreshRowMerge), the references on the connection (TConnectionHold)
// and the local master/detail filter (TLocalDetailFilter). Every other
// field is written by one .cpp file; the others go through the accessors,
// which are calls now (dataset_properties.cpp): the fetch, execute and post
// steps read the record set, its command, the command component, the
// options and the update object through d_ itself.
// The collaborators take the dataset's protected steps as its friends; they
// call its members, never its fields.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dac/core/dataset/connection_hold.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/dataset/local_detail_filter.h"
#include "dac/core/dataset/update_batch.h"
#include "dac/core/dataset/update_statement_runner.h"
#include "dac/framework/classes/string_list.h"
#include "dac/framework/data/data_link.h"

namespace dac {

// The link through which a detail dataset follows its master.
class TDADetailDataLink : public TDetailDataLink {
 public:
  explicit TDADetailDataLink(TCustomDADataSet* data_set) : data_set_(data_set) {}
  TDataSet* GetDetailDataSet() override;

 protected:
  // The detail takes the master's values again when the master opens or
  // moves, or when one of the fields it is linked by changes.
  void ActiveChanged() override;
  void RecordChanged(TField* field) override;
  // A detail edited under a new master row keeps its edit.
  void CheckBrowseMode() override;

 private:
  bool LinksBy(const TField* field) const;

  TCustomDADataSet* data_set_;
};

// The dataset's fields, with their defaults.
struct TDADataSetFields {
  explicit TDADataSetFields(TCustomDADataSet& data_set);
  ~TDADataSetFields();
  TDADataSetFields(const TDADataSetFields&) = delete;
  TDADataSetFields& operator=(const TDADataSetFields&) = delete;

  TCustomDAConnection* connection = nullptr;
  // Where this dataset registered.
  TClientRegistration registration;
  int32_t fetch_rows = 25;
  std::unique_ptr<TDADetailDataLink> data_link;
  bool debug = false;
  bool read_only = false;
  bool uni_directional = false;
  bool auto_commit = true;
  TCustomDAUpdateSQL* update_object = nullptr;
  TRefreshOptions refresh_options;
  std::unique_ptr<TDADataSetOptions> options;
  bool deferred_post_running = false;
  std::string base_sql;
  TWin32Timer* detail_refresh_timer = nullptr;
  TDAAfterExecuteEvent after_execute;
  TBeforeFetchEvent before_fetch;
  TAfterFetchEvent after_fetch;
  TUpdateExecuteEvent before_update_execute;
  TUpdateExecuteEvent after_update_execute;
  TLocateExOptions find_key_options;
  std::string ps_key_fields;
  std::string ps_table_name;
  int32_t rows_affected = -1;
  TDKRecordSet* irecord_set = nullptr;
  TDKCommand* icommand = nullptr;
  TCustomDASQL* command = nullptr;
  std::string filter_sql;
  std::unique_ptr<TDASQLGenerator> sql_generator;
  TField* identity_field = nullptr;
  int32_t updating_table_idx = -1;
  std::string updating_table;
  std::string master_fields;
  std::string detail_fields;
  bool lock_debug = false;
  std::array<std::unique_ptr<TStringList>, stBatchUpdate + 1> update_sql;
  int32_t rec_count = 0;
  bool fetch_all = true;
  bool fetch_canceled = false;
  char left_quote = '"';
  char right_quote = '"';
  bool loading = false;
  bool design_create = false;

  // The collaborators (see above); the runner takes the batch.
  TUpdateBatch batch;
  TUpdateStatementRunner update_runner;
  TConnectionHold connection_hold;
  TLocalDetailFilter local_detail_filter;
};

// The steps the dataset's files share, on the dataset's private state.
struct TCustomDADataSetInternals {
  // ---- master and detail (dataset_master_detail.cpp) ----
  static bool SetLocalMasterLinks(TCustomDADataSet& data_set);
  static bool SetServerMasterParams(TCustomDADataSet& data_set, TDAParams& params);
  // The posted row's detail fields still equal the current master's fields.
  static bool MatchesMaster(TCustomDADataSet& data_set);
  static bool MasterActive(const TCustomDADataSet& data_set);
  static void ReopenDetail(TCustomDADataSet& data_set);
  static void FreeDetailRefreshTimer(TCustomDADataSet& data_set);

  // ---- record set and command (dataset_component.cpp) ----
  static void BindCommand(TCustomDADataSet& data_set);
  // The record set's statement runs on a second session of its own, not
  // on the connection's.
  static bool CursorOnSecondSession(const TCustomDADataSet& data_set);
  static void SendOptionsToRecordSet(TCustomDADataSet& data_set);
  // Read from a form: loading, or running Loaded.
  static bool Loading(const TCustomDADataSet& data_set);

  // ---- running (dataset_statements.cpp) ----
  // RecCount counted on the server for QueryRecCount, else 0.
  static void CountRecords(TCustomDADataSet& data_set);
  static bool FindKeyWith(TCustomDADataSet& data_set, const std::vector<Variant>& key_values,
                          TLocateExOptions options);
  // A failed preparation gives back the reference it took.
  static void EndConnectionQuietly(TCustomDADataSet& data_set);

  // ---- updating table (dataset_updates.cpp) ----
  // The updating table of the open dataset, by name or alias; else none.
  static void InitUpdatingTable(TCustomDADataSet& data_set);
  static void SetFieldsReadOnly(TCustomDADataSet& data_set);
  // The record set's table list is emptied and no table is the updating one.
  static void ForgetUpdatingTable(TCustomDADataSet& data_set);

  // ---- the provider's caches (dataset_provider.cpp) ----
  // Filled from PSGetKeyFields (PSGetTableName), or emptied.
  static void CachePSKeyFields(TCustomDADataSet& data_set, bool fill);
  static void CachePSTableName(TCustomDADataSet& data_set, bool fill);
};

}  // namespace dac
