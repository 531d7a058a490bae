// Where each value of a row lies: rows are split into values without copying
// them, and the binds point into the row's own bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "dac/framework/classes/meta_class.h"

namespace dac {

struct TMySqlBind {
  bool is_null = false;
  int32_t offset = 0;  // from the start of the row buffer
  int32_t length = 0;
  uint8_t type = 0;  // column type code; set for binary rows
};

class TMySqlBinds : public TObject {
 public:
  explicit TMySqlBinds(int count) : binds_(count > 0 ? static_cast<size_t>(count) : 0) {}

  int Count() const { return static_cast<int>(binds_.size()); }
  TMySqlBind& operator[](int index) { return binds_[static_cast<size_t>(index)]; }
  const TMySqlBind& operator[](int index) const { return binds_[static_cast<size_t>(index)]; }

  // The row the offsets point into; valid until the result set reads on.
  const uint8_t* GetBuffer() const { return buffer_; }
  int GetBufferLength() const { return buffer_length_; }
  void SetBuffer(const uint8_t* buffer, int length) {
    buffer_ = buffer;
    buffer_length_ = length;
  }

 private:
  std::vector<TMySqlBind> binds_;
  const uint8_t* buffer_ = nullptr;
  int buffer_length_ = 0;
};

}  // namespace dac
