#include "dac/store/runtime/pattern_match.h"

#include <cstddef>

namespace dac {

namespace {

template <typename Char>
bool IsRun(Char c) {
  return c == Char('*') || c == Char('%');
}

// Greedy with one backtrack point: on a mismatch only the latest run
// wildcard takes one more character. Earlier runs never need to, so the
// verdict is that of a full search, in O(text * pattern) without recursion.
template <typename Char>
bool Match(std::basic_string_view<Char> text, std::basic_string_view<Char> pattern) {
  size_t t = 0;
  size_t p = 0;
  size_t run = std::basic_string_view<Char>::npos;  // pattern index of the latest run wildcard
  size_t run_text = 0;                               // text index where that run stops for now
  while (t < text.size()) {
    if (p < pattern.size() && IsRun(pattern[p])) {
      run = p++;
      run_text = t;
    } else if (p < pattern.size() && (pattern[p] == Char('_') || pattern[p] == text[t])) {
      ++t;
      ++p;
    } else if (run != std::basic_string_view<Char>::npos) {
      p = run + 1;
      t = ++run_text;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && IsRun(pattern[p])) ++p;
  return p == pattern.size();
}

}  // namespace

bool MatchPattern(std::string_view text, std::string_view pattern) { return Match(text, pattern); }

bool MatchPattern(std::u16string_view text, std::u16string_view pattern) { return Match(text, pattern); }

}  // namespace dac
