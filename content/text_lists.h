// Lists of strings, the splitting rule of records and queries, and the
// case-insensitive substring search.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace content {

using TStringList = std::vector<std::string>;

// Owner of one list of strings; copies copy every line.
class TStringListContainer {
 public:
  TStringListContainer() = default;
  explicit TStringListContainer(TStringList lines) : list_(std::move(lines)) {}

  TStringList& list() { return list_; }
  const TStringList& list() const { return list_; }

 private:
  TStringList list_;
};

// Clears the list and fills it with the tokens of text. Every character of
// delimiters separates; an empty token between two separators is kept, a
// trailing empty token is not ("a;b;" gives "a", "b"; ";" gives one "").
void SplitString(TStringList& list, std::string_view text, std::string_view delimiters);
TStringListContainer SplitToList(std::string_view text, std::string_view delimiters);

// 1-based position of the first occurrence of pattern at or after start,
// without regard to ASCII case; 0 when there is none. A start below 1 counts from 1.
int FindTextFrom(std::string_view text, std::string_view pattern, int start);

}  // namespace content
