// TUpdateStatementRunner: how a dataset runs one update statement (insert,
// update, delete, lock, refresh, check, a quick refresh or a batch). It owns
// the update query of each statement type, made by the connection when
// first needed, and knows the one of the statement being run. It chooses
// the statement (the caller's text, the update object's component or text,
// the dataset's own update SQL, or the generator's), binds its parameters
// from the row (old values where named so; into the batch while cached
// updates are collected), runs it, and takes its outcome: returned values
// into the row, rows read back (TRefreshRowMerge), or the rows affected
// checked. It calls the dataset's own steps (CheckUpdateQuery,
// CheckUpdateSQL, UpdateExecute, FieldByParamName, AssignFieldValue, ...),
// so that a provider's forms of them take part.
#pragma once

#include <array>
#include <string>

#include "dac/core/dataset/refresh_row_merge.h"
#include "dac/core/server/server_types.h"

namespace dac {

class TComponent;
class TCustomDADataSet;
class TDAParam;
class TDAParams;
class TDAParamsInfo;
class TField;
class TUpdateBatch;

class TUpdateStatementRunner {
 public:
  TUpdateStatementRunner(TCustomDADataSet& data_set, TUpdateBatch& batch)
      : data_set_(data_set), batch_(batch), merge_(data_set) {}
  TUpdateStatementRunner(const TUpdateStatementRunner&) = delete;
  TUpdateStatementRunner& operator=(const TUpdateStatementRunner&) = delete;

  // The update query of the statement being run; null before the first.
  TComponent* Query() const { return query_; }

  // Runs one statement on the dataset's connection; false when there was
  // none to run.
  bool Perform(const std::string& sql, TStatementTypes statement_types);
  // The update query of the type becomes the one being run: made when
  // there is none, given the dataset's connection and options.
  void PrepareQuery(TStatementType statement_type);
  // The statement of the types (one type): the update object's component
  // when it has one, else the update query with the chosen text; for a
  // generated text params_info tells what each parameter binds.
  void ChooseStatement(const std::string& sql, TStatementTypes statement_types, TDAParamsInfo*& params_info);
  // Runs the update query, reported to the SQL monitor.
  void Execute(TStatementTypes statement_types);

  // The dataset's cursor closed: every update query that is a dataset is unprepared.
  void UnprepareQueries();
  // Frees the update queries (errors go to the application's exception hook).
  void FreeQueries();

 private:
  // The update object's component of the type, when it has one.
  bool TakeUpdateObjectQuery(TStatementType statement_type);
  // The caller's text, the update object's, else the dataset's own update SQL.
  std::string GivenText(const std::string& sql, TStatementType statement_type);
  std::string Generate(TStatementType statement_type, TDAParamsInfo*& params_info);
  // The statement joins the batch; a text of the user's gets its
  // parameters renamed for its place in it.
  std::string Collect(const std::string& text, bool generated);
  void SetQueryText(const std::string& text);

  void Run(TStatementTypes statement_types, TDAParamsInfo* params_info, TCustomDADataSet* query);
  void TakeOutcome(TStatementTypes statement_types, TDAParamsInfo* params_info, TCustomDADataSet* query);
  // Whether the statement, being batched, waits for the batch to run.
  bool CollectingBatch(TStatementTypes statement_types);
  // The parameters of the update query from the row (or into the batch).
  void FillParams(TStatementTypes statement_types, TDAParamsInfo* params_info);
  // The field a parameter binds, from the generator's information or by name.
  TField* ParamField(TDAParam* param, int index, TStatementTypes statement_types, TDAParamsInfo* params_info,
                     bool in_batch, bool& old);
  void BindUnmatchedParam(TDAParam* param, const std::string& name, int field_no, TStatementTypes statement_types);
  // With a BeforeUpdateExecute handler: "Unknown type of parameter <name>" for one it left untyped.
  void CheckParamTypes(const TDAParams& params);
  // The update query's values written back into the row.
  void ReturnParams(TDAParamsInfo* params_info);
  void CheckRowsAffected(TStatementTypes statement_types, TDAParamsInfo* params_info);

  TCustomDADataSet& data_set_;
  TUpdateBatch& batch_;
  TRefreshRowMerge merge_;
  TComponent* query_ = nullptr;
  std::array<TComponent*, stBatchUpdate + 1> queries_{};
};

}  // namespace dac
