// TDASQLGenerator: builds the statements with which a dataset writes its
// edited rows back to its updating table and reads them again. A dataset
// owns one, made by its CreateSQLGenerator; a provider derives its own.
#pragma once

#include <cstdint>

#include "dac/framework/meta_class.h"

namespace dac {

class TCustomDADataSet;

class TDASQLGenerator : public TObject {
  DAC_DECLARE_CLASS();

 public:
  // The dataset must be given (assertion).
  explicit TDASQLGenerator(TCustomDADataSet* data_set);
  TDASQLGenerator(const TDASQLGenerator&) = delete;
  TDASQLGenerator& operator=(const TDASQLGenerator&) = delete;

  TCustomDADataSet* DataSet() const { return data_set_; }

  // dtBlob, dtMemo and dtWideMemo.
  virtual bool IsBlobDataType(uint16_t data_type) const;
  // dtObject and dtArray.
  virtual bool IsObjectDataType(uint16_t data_type) const;

 private:
  TCustomDADataSet* data_set_;
};

}  // namespace dac
