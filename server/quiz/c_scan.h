// The items of a C scanner ("%d", "%s"), for the small text files the
// content and the learner records were written in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace server {

// What the scanner skips before an item: blank, tab, CR, LF, VT, FF.
bool IsScanBlank(char c);

// "%d" at pos: blanks skipped, an optional sign, decimal digits. Moves pos
// past the number; nullopt, with pos unchanged, when no digit stands there
// or the number is beyond int32.
std::optional<int32_t> ScanDecimal(std::string_view text, size_t& pos);

// "%s" at pos: blanks skipped, then the run of non-blank bytes ("" at the
// end). Moves pos past it.
std::string ScanWord(std::string_view text, size_t& pos);

}  // namespace server
