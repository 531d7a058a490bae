// The content search: a phrase search over the content's search data file
// ("Search.xml") and the lookup of one item by id.
//
// The file's document element holds one element per subject (attributes
// Title, Index), each holding one element per item (attributes ID, Title,
// Type, Index) whose text is the item's plain text, percent-encoded. Only the
// nesting and the attribute names matter; element names are not checked.
// Texts come back as the file's bytes: nothing is converted on the way.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace content {

// Where the phrase was found; the lower, the better the hit.
enum SearchLevel : int32_t {
  kSearchLevelNone = 0,  // items fetched by id carry no level
  kSearchLevelText = 1,
  kSearchLevelItemTitle = 2,
  kSearchLevelSubjectTitle = 3,
};

// The text of an item element that holds anything but one text or CDATA node.
inline constexpr std::string_view kNoContentText = "[NO CONTENT]";
// Characters of the item text kept on each side of a match.
inline constexpr int kExcerptRadius = 125;

// One hit of the search, or the item found by id.
struct SearchItem {
  int32_t id = 0;
  int32_t subject_index = 0;
  int32_t index = 0;
  int32_t type = 0;  // 1 for a script item, 0 otherwise
  int32_t level = kSearchLevelNone;
  std::string subject_title;
  // Search: subject title + " - " + item title. GetItemById: the item title.
  std::string title;
  // Search: the item text around the match; GetItemById: "".
  std::string excerpt;
};

// Search data that cannot be used: not well-formed XML, or a hit whose ID,
// Index or Type (or its subject's Index) is missing or not a number.
class SearchDataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the search data from the file's bytes, which the caller loads (from
// the content folder or the package); nothing is kept between calls.
class TSearchData {
 public:
  // Every item whose text, title or subject title holds phrase (without
  // regard to ASCII case; the phrase is one substring, not words), ranked by
  // level, hits of one level in document order. An empty phrase finds
  // nothing. Throws SearchDataError.
  std::vector<SearchItem> Search(std::string_view xml, std::string_view phrase) const;

  // The last item in document order whose ID is id; nullopt when none is.
  // Items whose ID is no number never match. Throws SearchDataError.
  std::optional<SearchItem> GetItemById(std::string_view xml, int32_t id) const;
};

}  // namespace content
