// One row's values where they lie, read with one call of the client API a
// row and none a value (TMySQLAPI::_mysql_fetch_row_values). An
// implementation that keeps a row as binds points the view at them; any
// other gathers each value's place and length into it. Valid until the
// next fetch, like the row.
#pragma once

#include <cstdint>
#include <vector>

#include "dac/mysql/client/wire/mysql_binds.h"

namespace dac {

class TMySqlRowValues {
 public:
  // A row of binds: its values are read from them.
  void Refer(const TMySqlBinds& binds) { binds_ = &binds; }
  // A row read value by value: the caller fills the lengths returned, one
  // a value, then places each value (nil for NULL).
  std::vector<unsigned long>& Gather() {
    binds_ = nullptr;
    return lengths_;
  }
  void Place(uint32_t column, const char* data) {
    if (column >= places_.size()) places_.resize(column + 1);
    places_[column] = data;
  }

  uint32_t Count() const {
    return static_cast<uint32_t>(binds_ ? static_cast<size_t>(binds_->Count()) : lengths_.size());
  }
  bool IsNull(uint32_t column) const {
    return binds_ ? binds_->IsNull(static_cast<int>(column)) : places_[column] == nullptr;
  }
  // The value's bytes; nil for NULL.
  const char* Data(uint32_t column) const {
    return binds_ ? binds_->ValuePtr(static_cast<int>(column)) : places_[column];
  }
  unsigned long Length(uint32_t column) const { return binds_ ? binds_->Lengths()[column] : lengths_[column]; }

 private:
  const TMySqlBinds* binds_ = nullptr;
  std::vector<const char*> places_;
  std::vector<unsigned long> lengths_;
};

}  // namespace dac
