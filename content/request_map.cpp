#include "content/request_map.h"

#include "platform/ascii.h"

namespace content {

TRequestMap::TRequestMap(const TStringList& tokens) {
  for (size_t i = 0; i < tokens.size(); i += 2) {
    names_.push_back(plat::AsciiUpperCase(tokens[i]));
    values_.push_back(i + 1 < tokens.size() ? tokens[i + 1] : std::string());
  }
}

int TRequestMap::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < names_.size(); ++i)
    if (plat::SameText(names_[i], name)) return static_cast<int>(i);
  return -1;
}

std::string TRequestMap::GetValue(std::string_view name) const {
  const int i = IndexOf(name);
  return i < 0 ? std::string() : values_[static_cast<size_t>(i)];
}

void TRequestMap::SetValue(std::string_view name, std::string_view value) {
  const int i = IndexOf(name);
  if (i >= 0) {
    values_[static_cast<size_t>(i)] = std::string(value);
    return;
  }
  names_.push_back(plat::AsciiUpperCase(name));
  values_.emplace_back(value);
}

}  // namespace content
