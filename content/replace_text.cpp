#include "content/replace_text.h"

#include <algorithm>

#include "platform/ascii.h"

namespace content {

size_t FindNoCase(std::string_view text, std::string_view pattern, size_t from) {
  if (pattern.empty() || from > text.size()) return std::string_view::npos;
  const auto found =
      std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), pattern.begin(), pattern.end(),
                  [](char a, char b) { return plat::AsciiUpper(a) == plat::AsciiUpper(b); });
  return found == text.end() ? std::string_view::npos : static_cast<size_t>(found - text.begin());
}

std::string ReplaceTextNoCase(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t done = 0;
  for (size_t at = FindNoCase(text, from, 0); at != std::string_view::npos; at = FindNoCase(text, from, done)) {
    out.append(text.substr(done, at - done));
    out.append(to);
    done = at + from.size();
  }
  out.append(text.substr(done));
  return out;
}

}  // namespace content
