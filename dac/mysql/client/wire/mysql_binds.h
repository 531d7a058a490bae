// Where each value of a row lies: rows are split into values without copying
// them, and the binds point into the row's own bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "dac/framework/classes/meta_class.h"

namespace dac {

struct TMySqlBind {
  int32_t offset = 0;  // from the start of the row buffer
  int32_t length = 0;
  bool is_null = false;
  uint8_t type = 0;  // column type code; set for binary rows
};

class TMySqlBinds : public TObject {
 public:
  explicit TMySqlBinds(int count)
      : binds_(count > 0 ? static_cast<size_t>(count) : 0), count_(static_cast<int>(binds_.size())) {}

  int Count() const { return count_; }
  TMySqlBind& operator[](int index) { return binds_[static_cast<size_t>(index)]; }
  const TMySqlBind& operator[](int index) const { return binds_[static_cast<size_t>(index)]; }
  TMySqlBind* Data() { return binds_.data(); }
  const TMySqlBind* Data() const { return binds_.data(); }
  // The value at index in the row; null for NULL.
  const char* ValuePtr(int index) const {
    const TMySqlBind& bind = binds_[static_cast<size_t>(index)];
    return bind.is_null ? nullptr : reinterpret_cast<const char*>(buffer_) + bind.offset;
  }

  // The row the offsets point into; valid until the result set reads on.
  const uint8_t* GetBuffer() const { return buffer_; }
  int GetBufferLength() const { return buffer_length_; }
  void SetBuffer(const uint8_t* buffer, int length) {
    buffer_ = buffer;
    buffer_length_ = length;
  }

 private:
  std::vector<TMySqlBind> binds_;
  int count_;
  const uint8_t* buffer_ = nullptr;
  int buffer_length_ = 0;
};

}  // namespace dac
