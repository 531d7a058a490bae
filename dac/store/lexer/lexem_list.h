// The lexer's symbol and keyword tables: texts with an associated code,
// sorted by DKCmpStrings so that lexemes are found by binary search.
// Keyword texts are stored in upper case; lookups rely on that.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dac {

class TLexemList {
 public:
  TLexemList() = default;
  // Entries as (text, code); sorted on construction.
  TLexemList(std::initializer_list<std::pair<std::string, int32_t>> entries);

  void Add(std::string text, int32_t code);
  // Orders the entries with DKCmpStrings.
  void Sort();

  int Count() const { return static_cast<int>(entries_.size()); }
  const std::string& Strings(int index) const { return entries_[static_cast<size_t>(index)].first; }
  // The code stored with the entry.
  int32_t Codes(int index) const { return entries_[static_cast<size_t>(index)].second; }
  // Index of the entry equal to the text with its letters a-z upper-cased,
  // -1 when absent. The list must be sorted.
  int IndexOf(std::string_view text) const;

 private:
  std::vector<std::pair<std::string, int32_t>> entries_;
};

// Ordinal comparison: bytes as unsigned values over the shorter length, then
// the shorter text first. Negative, 0 or positive.
int DKCompareStrings(std::string_view a, std::string_view b);
// The same for entries i and j of a list: the custom sort of the tables.
int DKCmpStrings(const TLexemList& list, int i, int j);

}  // namespace dac
