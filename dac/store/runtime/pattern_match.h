// The wildcard match of filter comparisons, over the whole text: "*" and "%"
// match any run of characters (also none), "_" exactly one, every other
// character itself, case as given. 8-bit text matches by bytes, wide text
// by UTF-16 units.
#pragma once

#include <string_view>

namespace dac {

bool MatchPattern(std::string_view text, std::string_view pattern);
bool MatchPattern(std::u16string_view text, std::u16string_view pattern);

}  // namespace dac
