// The content's search data (a phrase, a NUL, then Search.xml): the phrase
// searched as the search page searches it, and every hit looked up by its id
// as the result page looks it up, which must find it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

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
    for (const content::SearchItem& hit : search.Search(xml, phrase))
      fuzz::Require(search.GetItemById(xml, hit.id).has_value(), "a hit cannot be found by its id");
    search.GetItemById(xml, 1);
  } catch (const content::SearchDataError&) {
  }
  return 0;
}
