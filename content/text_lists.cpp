#include "content/text_lists.h"

#include "content/replace_text.h"

namespace content {

void SplitString(TStringList& list, std::string_view text, std::string_view delimiters) {
  list.clear();
  std::string token;
  for (char c : text) {
    if (delimiters.find(c) != std::string_view::npos) {
      list.push_back(std::move(token));
      token.clear();
    } else {
      token += c;
    }
  }
  if (!token.empty()) list.push_back(std::move(token));
}

TStringListContainer SplitToList(std::string_view text, std::string_view delimiters) {
  TStringListContainer container;
  SplitString(container.list(), text, delimiters);
  return container;
}

int FindTextFrom(std::string_view text, std::string_view pattern, int start) {
  if (start < 1) start = 1;
  const size_t pos = FindNoCase(text, pattern, static_cast<size_t>(start - 1));
  return pos == std::string_view::npos ? 0 : static_cast<int>(pos) + 1;
}

}  // namespace content
