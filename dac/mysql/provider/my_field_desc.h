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
  // What the server's own text of a value needs besides the value: the
  // column's decimals, its zero fill and display length, its character set
  // (63: bytes).
  int32_t GetDecimals() const { return decimals_; }
  void SetDecimals(int32_t value) { decimals_ = value; }
  bool GetIsZeroFill() const { return is_zero_fill_; }
  void SetIsZeroFill(bool value) { is_zero_fill_ = value; }
  int32_t GetDisplayLength() const { return display_length_; }
  void SetDisplayLength(int32_t value) { display_length_ = value; }
  int32_t GetCharsetNr() const { return charset_nr_; }
  void SetCharsetNr(int32_t value) { charset_nr_ = value; }

 private:
  uint8_t mysql_type_ = 0;
  bool is_unsigned_ = false;
  bool is_primary_key_ = false;
  bool is_auto_increment_ = false;
  bool is_binary_ = false;
  int32_t decimals_ = 0;
  bool is_zero_fill_ = false;
  int32_t display_length_ = 0;
  int32_t charset_nr_ = 0;
};

}  // namespace dac
