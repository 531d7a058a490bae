// TUpdateBatch: the update statements a dataset collects while it applies
// cached updates, sent to the server as one text. It holds the statements'
// text (each ended by ";", one to a line), the parameters of all of them in
// order and their count. A batch that ran, or failed, is emptied, so that
// a failed batch is never sent again with the next one.
//
//   batch.Add("UPDATE t SET a = :P_0_a");
//   const int first = batch.AppendParams(statement_params, make_params);
//   if (batch.Full(size)) batch.Flush([&] { run(batch.SQL(), *batch.Params()); });
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace dac {

class TDAParams;

class TUpdateBatch {
 public:
  TUpdateBatch();
  ~TUpdateBatch();
  TUpdateBatch(const TUpdateBatch&) = delete;
  TUpdateBatch& operator=(const TUpdateBatch&) = delete;

  int32_t Count() const { return count_; }
  const std::string& SQL() const { return sql_; }
  // Holds size statements or more; never while empty.
  bool Full(int32_t size) const { return count_ > 0 && count_ >= size; }

  // One statement more; an empty text adds nothing.
  void Add(const std::string& statement);
  // Appends a parameter of the same name, data type and direction for each
  // of the statement's, to a list make creates the first time; each keeps
  // a value of its own. Returns the index of the first one appended.
  int AppendParams(const TDAParams& statement_params, const std::function<std::unique_ptr<TDAParams>()>& make);
  // The collected parameters; null before any were appended.
  TDAParams* Params() const { return params_.get(); }

  // Runs a batch that holds statements, then empties it, also when run fails.
  void Flush(const std::function<void()>& run);
  void Clear();

 private:
  std::string sql_;
  std::unique_ptr<TDAParams> params_;
  int32_t count_ = 0;
};

}  // namespace dac
