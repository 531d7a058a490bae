#include "dac/store/lexer/lexem_list.h"

#include <algorithm>
#include <cstring>

#include "platform/ascii.h"

namespace dac {

TLexemList::TLexemList(std::initializer_list<std::pair<std::string, int32_t>> entries) : entries_(entries) { Sort(); }

void TLexemList::Add(std::string text, int32_t code) { entries_.emplace_back(std::move(text), code); }

void TLexemList::Sort() {
  std::stable_sort(entries_.begin(), entries_.end(),
                   [](const auto& a, const auto& b) { return DKCompareStrings(a.first, b.first) < 0; });
}

int TLexemList::IndexOf(std::string_view text) const {
  const std::string probe = plat::AsciiUpperCase(text);
  auto it = std::lower_bound(entries_.begin(), entries_.end(), probe,
                             [](const auto& entry, const std::string& key) { return DKCompareStrings(entry.first, key) < 0; });
  if (it == entries_.end() || it->first != probe) return -1;
  return static_cast<int>(it - entries_.begin());
}

int DKCompareStrings(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  if (n > 0) {
    const int r = std::memcmp(a.data(), b.data(), n);  // memcmp compares as unsigned bytes
    if (r != 0) return r;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int DKCmpStrings(const TLexemList& list, int i, int j) { return DKCompareStrings(list.Strings(i), list.Strings(j)); }

}  // namespace dac
