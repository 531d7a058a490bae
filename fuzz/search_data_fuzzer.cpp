// The content's search data (a phrase, a NUL, then Search.xml): the phrase
// searched as the search page searches it, and the first hits looked up by
// their ids as the result page looks one up (each look-up reads the whole
// data), which must find them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "content/search_data.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = fuzz::AsText(data, size);
  const size_t nul = text.find('\0');
  if (nul == std::string_view::npos) return 0;
  const std::string_view phrase = text.substr(0, nul);
  const std::string_view xml = text.substr(nul + 1);
  const content::TSearchData search;
  try {
    const std::vector<content::SearchItem> hits = search.Search(xml, phrase);
    for (size_t i = 0; i < std::min<size_t>(hits.size(), 4); ++i)
      fuzz::Require(search.GetItemById(xml, hits[i].id).has_value(), "a hit cannot be found by its id");
    search.GetItemById(xml, 1);
  } catch (const content::SearchDataError&) {
  }
  return 0;
}
