// Replacing every occurrence of a text without regard to ASCII case, as the
// page builders do with their {{PLACEHOLDERS}} and the HTML cleaners with tags.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace content {

// 0-based position of the first occurrence of pattern at or after from,
// without regard to ASCII case; npos when there is none or pattern is empty.
size_t FindNoCase(std::string_view text, std::string_view pattern, size_t from = 0);

// Replaces every occurrence of from (scanning left to right, matches never
// overlapping, replacement text never rescanned) by to. An empty from changes nothing.
std::string ReplaceTextNoCase(std::string_view text, std::string_view from, std::string_view to);

}  // namespace content
