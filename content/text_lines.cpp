#include "content/text_lines.h"

namespace content {

TStringList SplitLines(std::string_view text) {
  TStringList lines;
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c != '\r' && c != '\n') {
      ++i;
      continue;
    }
    lines.emplace_back(text.substr(start, i - start));
    i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
    start = i;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

TStringList NonEmptyLines(std::string_view text) {
  TStringList lines = SplitLines(text);
  std::erase_if(lines, [](const std::string& line) { return line.empty(); });
  return lines;
}

}  // namespace content
