// TMySQLFieldDesc: a column of a MySQL result, with its MySQL type and the
// column flags the provider reads.
#pragma once

#include <cstdint>

#include "dac/core/server/record_set.h"

namespace dac {

class TMySQLFieldDesc : public TDKFieldDesc {
  DAC_DECLARE_CLASS();

 public:
  // The protocol's column type code.
  uint8_t GetMySQLType() const { return mysql_type_; }
  void SetMySQLType(uint8_t value) { mysql_type_ = value; }
  bool GetIsUnsigned() const { return is_unsigned_; }
  void SetIsUnsigned(bool value) { is_unsigned_ = value; }
  bool GetIsPrimaryKey() const { return is_primary_key_; }
  void SetIsPrimaryKey(bool value) { is_primary_key_ = value; }
  bool GetIsAutoIncrement() const { return is_auto_increment_; }
  void SetIsAutoIncrement(bool value) { is_auto_increment_ = value; }
  bool GetIsBinary() const { return is_binary_; }
  void SetIsBinary(bool value) { is_binary_ = value; }

 private:
  uint8_t mysql_type_ = 0;
  bool is_unsigned_ = false;
  bool is_primary_key_ = false;
  bool is_auto_increment_ = false;
  bool is_binary_ = false;
};

}  // namespace dac
