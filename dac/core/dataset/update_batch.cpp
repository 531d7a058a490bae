#include "dac/core/dataset/update_batch.h"

#include "dac/core/da_param.h"
#include "dac/framework/classes/update_pair.h"

namespace dac {

TUpdateBatch::TUpdateBatch() { sql_.reserve(100); }

TUpdateBatch::~TUpdateBatch() = default;

void TUpdateBatch::Add(const std::string& statement) {
  if (statement.empty()) return;
  if (!sql_.empty()) sql_ += "\r\n";
  sql_ += statement + ";";
  ++count_;
}

int TUpdateBatch::AppendParams(const TDAParams& statement_params,
                               const std::function<std::unique_ptr<TDAParams>()>& make) {
  if (!params_) params_ = make();
  const int first = params_->Count();
  WithinUpdate(*params_, [&] {
    for (int i = 0; i < statement_params.Count(); ++i) {
      const TDAParam* from = statement_params.Items(i);
      auto* copy = static_cast<TDAParam*>(params_->Add());
      copy->SetDataType(from->GetDataType());
      copy->SetName(from->Name());
      copy->SetParamType(from->ParamType());
    }
  });
  ResetParamRefs(*params_);
  return first;
}

void TUpdateBatch::Flush(const std::function<void()>& run) {
  if (count_ == 0) return;
  try {
    run();
  } catch (...) {
    Clear();
    throw;
  }
  Clear();
}

void TUpdateBatch::Clear() {
  sql_.clear();
  if (params_) params_->Clear();
  count_ = 0;
}

}  // namespace dac
