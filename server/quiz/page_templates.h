// The server's own fixed page texts and the placeholder filling of the
// content's page templates.
//
// Templates carry placeholders between double braces ({{NAME}}). Filling
// replaces every occurrence without regard to case, one placeholder after
// another, each on the result of the one before: a value that holds a later
// placeholder has it replaced too, and a placeholder a page does not fill
// stays as it stands. The pages have always been filled so.
//
// Values that come from the request are HTML-escaped by the callers before
// they are filled in; text from the content (scripts, question texts,
// templates) is HTML authored for the content and goes in as it is.
#pragma once

#include <string>
#include <string_view>

namespace server {

// The page with every {{placeholder}} (the braces included in placeholder)
// replaced by value. An empty placeholder changes nothing.
std::string FillPlaceholder(std::string_view page, std::string_view placeholder, std::string_view value);

// Where the printable pages find the content's logo.
inline constexpr std::string_view kLogoUrl = "?action=getfile&filename=varnel-logo.jpg";

// The Flash object of the printable pages, its movie filled in (as it stands:
// callers escape a movie name that came from the request).
std::string FlashObjectSnippet(std::string_view movie);

// One hit of the search results page, placeholders {{Title}},
// {{Description}} and {{Hyperlink}} still in it.
std::string_view SearchHitTemplate();
// The keyword highlight; placeholder {{Word}}.
std::string_view KeywordHighlightTemplate();
// The search results page without a hit.
inline constexpr std::string_view kNoMatchesPage = "<B><FONT color=\"#FF0000\">No matches found.</FONT></B>";

// The viewer page of one search hit, placeholders still in it.
std::string_view SearchViewerTemplate();

// The question page when there is no such question to print.
inline constexpr std::string_view kQuestionNotAvailablePage = "<H1>Text is not available for the question.</H1>";
// A question page's response and score when no answer was chosen.
inline constexpr std::string_view kNotSubmittedText = "<FONT color=\"#FF0000\">-Not Submitted-</FONT>";

}  // namespace server
