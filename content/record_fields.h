// The fields of the one-line ';'-records that learner records are stored in.
//
// Free text is percent-encoded; login names, passwords, titles and movie names
// stand as they are and so must hold no ';', line break or NUL. Numbers are
// decimal, flags "1" or "0".
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "content/text_lists.h"

namespace content {

// A record that cannot be read (a bad number where one is required) or a
// value that cannot be written without changing the record's fields.
class RecordFieldError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// True when the value can stand unencoded in a record and read back the same:
// no ';', CR, LF or NUL. Administrator input is checked with this before it
// reaches a table.
bool CanStoreAsIs(std::string_view value);

// Reads the fields of one record by position, counted from 1 as records are
// documented. A field past the end reads as empty (so as 0 or false): the
// split drops an empty last field, and short records from older files stay
// readable.
class TRecordFields {
 public:
  explicit TRecordFields(std::string_view record);

  size_t Count() const { return fields_.size(); }
  const std::string& Text(size_t n) const;
  std::string Decoded(size_t n) const;
  // Any text that is not an int32 in decimal reads as 0.
  int32_t Number(size_t n) const;
  // True exactly for "1".
  bool Flag(size_t n) const;

 private:
  TStringList fields_;
};

// Builds one record field by field.
class TRecordBuilder {
 public:
  void AddAsIs(std::string_view value);
  void AddEncoded(std::string_view value);
  void AddNumber(int32_t value);
  void AddFlag(bool value);

  // Every field followed by ';' (question records).
  std::string Terminated() const;
  // Fields separated by ';', none after the last (user and group records).
  std::string Separated() const;

 private:
  TStringList fields_;
};

}  // namespace content
