// Where each value of a row lies: rows are split into values without copying
// them, and the binds point into the row's own bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "dac/framework/classes/meta_class.h"

namespace dac {

struct TMySqlBind {
  int32_t offset = 0;  // from the start of the row buffer; 0 for NULL
  int32_t length = 0;
  bool is_null = false;
  uint8_t type = 0;  // column type code; set for binary rows
};

// The values are kept column by column (offsets, lengths, types), the form
// the client API hands them out in: a row's lengths are one array, and a
// value's place one look-up.
class TMySqlBinds : public TObject {
 public:
  explicit TMySqlBinds(int count)
      : count_(count > 0 ? count : 0),
        offsets_(static_cast<size_t>(count_), 0),
        lengths_(static_cast<size_t>(count_), 0),
        types_(static_cast<size_t>(count_), 0) {}

  int Count() const { return count_; }
  TMySqlBind operator[](int index) const {
    const int32_t offset = offsets_[static_cast<size_t>(index)];
    TMySqlBind bind;
    bind.is_null = offset < 0;
    bind.offset = offset < 0 ? 0 : offset;
    bind.length = static_cast<int32_t>(lengths_[static_cast<size_t>(index)]);
    bind.type = types_[static_cast<size_t>(index)];
    return bind;
  }
  void SetValue(int index, int32_t offset, int32_t length) {
    offsets_[static_cast<size_t>(index)] = offset;
    lengths_[static_cast<size_t>(index)] = static_cast<unsigned long>(length);
  }
  void SetNull(int index) {
    offsets_[static_cast<size_t>(index)] = kNull;
    lengths_[static_cast<size_t>(index)] = 0;
  }
  void SetType(int index, uint8_t type) { types_[static_cast<size_t>(index)] = type; }

  // The value at index in the row; null for NULL.
  const char* ValuePtr(int index) const {
    const int32_t offset = offsets_[static_cast<size_t>(index)];
    return offset < 0 ? nullptr : reinterpret_cast<const char*>(buffer_) + offset;
  }
  bool IsNull(int index) const { return offsets_[static_cast<size_t>(index)] < 0; }
  // One length per value, 0 for NULL.
  const unsigned long* Lengths() const { return lengths_.data(); }
  // For the row decoders: the arrays they fill.
  int32_t* Offsets() { return offsets_.data(); }
  unsigned long* MutableLengths() { return lengths_.data(); }
  uint8_t* Types() { return types_.data(); }
  static constexpr int32_t kNull = -1;

  // The row the offsets point into; valid until the result set reads on.
  const uint8_t* GetBuffer() const { return buffer_; }
  int GetBufferLength() const { return buffer_length_; }
  void SetBuffer(const uint8_t* buffer, int length) {
    buffer_ = buffer;
    buffer_length_ = length;
  }

 private:
  int count_;
  std::vector<int32_t> offsets_;  // kNull for NULL
  std::vector<unsigned long> lengths_;
  std::vector<uint8_t> types_;
  const uint8_t* buffer_ = nullptr;
  int buffer_length_ = 0;
};

}  // namespace dac
