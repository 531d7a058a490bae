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

  // The two forms a row comes in, each read without asking which it is.
  struct InBinds {
    const TMySqlBinds& binds;
    const unsigned long* lengths;  // the row's, looked up once
    uint32_t Count() const { return static_cast<uint32_t>(binds.Count()); }
    bool IsNull(uint32_t column) const { return binds.IsNull(static_cast<int>(column)); }
    const char* Data(uint32_t column) const { return binds.ValuePtr(static_cast<int>(column)); }
    unsigned long Length(uint32_t column) const { return lengths[column]; }
  };
  struct Gathered {
    const std::vector<const char*>& places;
    const std::vector<unsigned long>& lengths;
    uint32_t Count() const { return static_cast<uint32_t>(lengths.size()); }
    bool IsNull(uint32_t column) const { return places[column] == nullptr; }
    const char* Data(uint32_t column) const { return places[column]; }
    unsigned long Length(uint32_t column) const { return lengths[column]; }
  };
  // read(values) with the row in its own form: a reader of many values asks
  // once a row where they lie, not once a value.
  template <typename Reader>
  decltype(auto) Read(Reader&& read) const {
    if (binds_) return read(InBinds{*binds_, binds_->Lengths()});
    return read(Gathered{places_, lengths_});
  }

  // A value at a time, for readers of a few.
  uint32_t Count() const {
    return Read([](const auto& values) { return values.Count(); });
  }
  bool IsNull(uint32_t column) const {
    return Read([column](const auto& values) { return values.IsNull(column); });
  }
  // The value's bytes; nil for NULL.
  const char* Data(uint32_t column) const {
    return Read([column](const auto& values) { return values.Data(column); });
  }
  unsigned long Length(uint32_t column) const {
    return Read([column](const auto& values) { return values.Length(column); });
  }

 private:
  const TMySqlBinds* binds_ = nullptr;
  std::vector<const char*> places_;
  std::vector<unsigned long> lengths_;
};

}  // namespace dac
