#include "content/search_data.h"

#include <algorithm>

#include "content/percent_codec.h"
#include "content/text_lists.h"
#include "platform/ascii.h"
#include "platform/xml_document.h"

namespace content {
namespace {

plat::XmlDocument ParseSearchData(std::string_view xml) {
  try {
    return plat::XmlDocument::Parse(xml);
  } catch (const plat::XmlError& e) {
    throw SearchDataError(std::string("Search data cannot be read: ") + e.what());
  }
}

std::string AttributeText(const plat::XmlElement& element, std::string_view name) {
  return element.Attribute(name).value_or("");
}

int32_t AttributeNumber(const plat::XmlElement& element, std::string_view name, std::string_view owner) {
  const std::optional<std::string> value = element.Attribute(name);
  if (!value) throw SearchDataError("Search data: " + std::string(owner) + " has no " + std::string(name));
  const std::optional<int32_t> number = plat::ParseInt(*value);
  if (!number)
    throw SearchDataError("Search data: " + std::string(owner) + " " + std::string(name) + " \"" + *value +
                          "\" is not a number");
  return *number;
}

std::string ItemText(const plat::XmlElement& item) {
  const std::optional<std::string> encoded = item.SingleTextValue();
  return encoded ? PercentDecode(*encoded) : std::string(kNoContentText);
}

// Characters kExcerptRadius before to kExcerptRadius after the 1-based match
// position, cut to the text; for a title match (position 0) the text's start.
std::string Excerpt(const std::string& text, int match_position) {
  const int64_t length = static_cast<int64_t>(text.size());
  const int64_t first = std::max<int64_t>(1, int64_t{match_position} - kExcerptRadius);
  const int64_t last = std::min<int64_t>(length, int64_t{match_position} + kExcerptRadius);
  if (last < first) return "";
  return text.substr(static_cast<size_t>(first - 1), static_cast<size_t>(last - first + 1));
}

// The numbers of a hit; only hits need them, so only hits can fail on them.
SearchItem NumberedItem(const plat::XmlElement& subject, const plat::XmlElement& item) {
  SearchItem hit;
  hit.id = AttributeNumber(item, "ID", "an item");
  const std::string owner = "item " + std::to_string(hit.id);
  hit.index = AttributeNumber(item, "Index", owner);
  hit.type = AttributeNumber(item, "Type", owner);
  hit.subject_index = AttributeNumber(subject, "Index", "the subject of " + owner);
  hit.subject_title = AttributeText(subject, "Title");
  return hit;
}

bool Holds(std::string_view text, std::string_view phrase) { return FindTextFrom(text, phrase, 1) > 0; }

}  // namespace

std::vector<SearchItem> TSearchData::Search(std::string_view xml, std::string_view phrase) const {
  const plat::XmlDocument document = ParseSearchData(xml);
  std::vector<SearchItem> hits;
  for (const plat::XmlElement& subject : document.DocumentElement().Children()) {
    const std::string subject_title = AttributeText(subject, "Title");
    for (const plat::XmlElement& item : subject.Children()) {
      const std::string text = ItemText(item);
      const std::string item_title = AttributeText(item, "Title");
      const int text_position = FindTextFrom(text, phrase, 1);
      int32_t level = kSearchLevelNone;
      if (text_position > 0)
        level = kSearchLevelText;
      else if (Holds(item_title, phrase))
        level = kSearchLevelItemTitle;
      else if (Holds(subject_title, phrase))
        level = kSearchLevelSubjectTitle;
      if (level == kSearchLevelNone) continue;

      SearchItem hit = NumberedItem(subject, item);
      hit.level = level;
      hit.title = subject_title + " - " + item_title;
      hit.excerpt = Excerpt(text, text_position);
      hits.push_back(std::move(hit));
    }
  }
  std::stable_sort(hits.begin(), hits.end(),
                   [](const SearchItem& a, const SearchItem& b) { return a.level < b.level; });
  return hits;
}

std::optional<SearchItem> TSearchData::GetItemById(std::string_view xml, int32_t id) const {
  const plat::XmlDocument document = ParseSearchData(xml);
  std::optional<plat::XmlElement> found_subject;
  std::optional<plat::XmlElement> found_item;
  for (const plat::XmlElement& subject : document.DocumentElement().Children()) {
    for (const plat::XmlElement& item : subject.Children()) {
      const std::optional<std::string> item_id = item.Attribute("ID");
      if (item_id && plat::ParseInt(*item_id) == id) {
        found_subject = subject;
        found_item = item;
      }
    }
  }
  if (!found_item) return std::nullopt;
  SearchItem result = NumberedItem(*found_subject, *found_item);
  result.title = AttributeText(*found_item, "Title");
  return result;
}

}  // namespace content
