// TRefreshRowMerge: the rows a refresh statement read back, taken into the
// dataset's store: one row refreshed (or checked against what the server
// holds now), the rows a quick refresh brings (changed ones in place, new
// ones appended without telling the server), and the rows the server no
// longer has dropped. The query is the update query that ran the refresh.
#pragma once

#include <string>
#include <vector>

#include "dac/core/server/server_types.h"

namespace dac {

class TCustomDADataSet;
class TData;
class TField;
class TFieldDesc;
class Variant;

class TRefreshRowMerge {
 public:
  explicit TRefreshRowMerge(TCustomDADataSet& data_set) : data_set_(data_set) {}
  TRefreshRowMerge(const TRefreshRowMerge&) = delete;
  TRefreshRowMerge& operator=(const TRefreshRowMerge&) = delete;

  // The query's first row into the current record; with stCheck only
  // compared with it ("Record was changed by another user"). RowsAffected:
  // the rows read, and StrictUpdate wants exactly one.
  void TakeRow(TCustomDADataSet& query, TStatementTypes statement_types);
  // Each row of the query into the row of the same keys, or a new row.
  void MergeChanged(TCustomDADataSet& query, TStatementTypes statement_types);
  // The rows whose keys the query lacks leave the store.
  void DropDeleted(TCustomDADataSet& query);
  // Writes the value through the field, read-only or not.
  void ForceFieldValue(TField* field, const Variant& value);

 private:
  // The query's fields that hold the dataset's key fields, and their names.
  std::vector<TField*> KeyFieldsOf(TCustomDADataSet& query, std::string& names);
  TFieldDesc* Target(const std::string& name);
  void CopyRecord(TData& source, void* source_buf, TStatementTypes statement_types);
  void CopyObjectValue(TData& source, void* source_buf, TFieldDesc* from, TFieldDesc* to, void* target);
  void CopyVariantValue(TData& source, void* source_buf, TFieldDesc* from, TFieldDesc* to, void* target,
                        TStatementTypes statement_types);
  // stCheck: the field's value (its old one while edited) must equal the server's.
  void CheckValue(TField* field, const Variant& value);

  TCustomDADataSet& data_set_;
};

}  // namespace dac
