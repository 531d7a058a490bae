// The search pages: the hits of the content's search data for typed
// keywords, and the viewer page of one hit.
//
// A content without "Search.xml" has nothing to find. Search data that is
// not well-formed, or a hit with a bad number, raises SearchDataError: the
// request then gets the "Invalid request" page.
#include <optional>
#include <string>
#include <vector>

#include "content/percent_codec.h"
#include "content/replace_text.h"
#include "content/search_data.h"
#include "platform/ascii.h"
#include "server/quiz/page_templates.h"
#include "server/quiz/request_numbers.h"
#include "server/quiz_session.h"

namespace server {
namespace {

constexpr std::string_view kSearchDataName = "Search.xml";

// The search data's text; nullopt when the content has none.
std::optional<std::string> LoadSearchData(TQuizSession& server) { return server.LoadFileText(kSearchDataName); }

// One entry of the results page. The keywords come from the request, so the
// highlight shows them escaped; the hit's title and excerpt are the content's.
std::string HitEntry(const content::SearchItem& hit, std::string_view keywords, std::string_view session_id) {
  const std::string highlight = FillPlaceholder(KeywordHighlightTemplate(), "{{Word}}", plat::HtmlEscape(keywords));
  std::string entry(SearchHitTemplate());
  entry = FillPlaceholder(entry, "{{Title}}", content::ReplaceTextNoCase(hit.title, keywords, highlight));
  entry = FillPlaceholder(entry, "{{Description}}", content::ReplaceTextNoCase(hit.excerpt, keywords, highlight));
  entry = FillPlaceholder(
      entry, "{{Hyperlink}}",
      "?action=view_result&sessionid=" + plat::HtmlEscape(session_id) + "&id=" + std::to_string(hit.id));
  return entry;
}

std::string ViewerPage(const content::SearchItem& hit, const TQuizSessionParams& session, std::string_view session_id) {
  const bool faq = hit.type == 0;
  std::string page(SearchViewerTemplate());
  page = FillPlaceholder(page, "{{SINDEX}}", std::to_string(hit.subject_index));
  page = FillPlaceholder(page, "{{SWF_FILENAME}}", faq ? "FAQ.swf" : "Presentation.swf");
  page = FillPlaceholder(page, faq ? "{{FINDEX}}" : "{{PINDEX}}", std::to_string(hit.index));
  page = FillPlaceholder(page, "{{STITLE}}", content::PercentEncode(hit.subject_title));
  page = FillPlaceholder(page, "{{USERNAME}}", content::PercentEncode(session.GetName()));
  page = FillPlaceholder(page, "{{SESSION_ID}}", plat::HtmlEscape(session_id));
  return page;
}

}  // namespace

bool TQuizSession::SearchText(TNetStream* channel, content::TRequestMap& map) {
  const std::string keywords = map.GetValue("keywords");
  const std::string session_id = map.GetValue("sessionid");
  std::vector<content::SearchItem> hits;
  if (const std::optional<std::string> data = LoadSearchData(*this))
    hits = content::TSearchData().Search(*data, keywords);
  std::string page;
  for (const content::SearchItem& hit : hits) page += HitEntry(hit, keywords, session_id);
  if (hits.empty()) page = kNoMatchesPage;
  ReturnHTML(channel, page, false);
  return true;
}

std::string TQuizSession::BuildSearchResultPage(const content::TRequestMap& map) {
  const std::string session_id = map.GetValue("sessionid");
  const int32_t id = RequiredNumber(map, "id");
  const std::optional<std::string> data = LoadSearchData(*this);
  if (!data) return "";
  const std::optional<content::SearchItem> hit = content::TSearchData().GetItemById(*data, id);
  TSessionsLock lock(sessions_);
  const TQuizSessionParams* session = sessions_.FindById(session_id);
  if (session == nullptr || !hit) return "";
  return ViewerPage(*hit, *session, session_id);
}

bool TQuizSession::ViewResult(TNetStream* channel, content::TRequestMap& map) {
  ReturnHTML(channel, BuildSearchResultPage(map), true);
  return true;
}

}  // namespace server
