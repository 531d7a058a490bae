// The parameters of one request: names upper-cased, in query order.
#pragma once

#include <string>
#include <string_view>

#include "content/text_lists.h"

namespace content {

class TRequestMap {
 public:
  TRequestMap() = default;
  // From the alternating tokens name, value, name, value ...; a last name
  // without a value gets "".
  explicit TRequestMap(const TStringList& tokens);

  // The value of the first name that matches without regard to case; "" when none does.
  std::string GetValue(std::string_view name) const;
  // Replaces the first match's value, or appends the upper-cased name.
  void SetValue(std::string_view name, std::string_view value);

  const TStringList& names() const { return names_; }
  const TStringList& values() const { return values_; }

 private:
  int IndexOf(std::string_view name) const;

  TStringList names_;
  TStringList values_;
};

}  // namespace content
