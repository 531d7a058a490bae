#include "server/quiz/page_templates.h"

#include "content/replace_text.h"

namespace server {
namespace {

// Where a browser without the Flash player would fetch it. Nothing here
// fetches them; the reserved ".invalid" domain makes sure nothing does.
#define VARNEL_FLASH_CABINET "https://flash-player.invalid/swflash.cab#version=6,0,29,0"
#define VARNEL_FLASH_DOWNLOAD_PAGE "https://flash-player.invalid/download.html"

#define VARNEL_FLASH_CLASSID "clsid:D27CDB6E-AE6D-11cf-96B8-444553540000"
#define VARNEL_MOVIE_ADDRESS "CorvikIIS.dll?action=getfile&filename={{SWF_FILENAME}}"

// Lines 2 to 5 begin with one blank; no line end after the last.
constexpr std::string_view kSnippet = "<object classid=\"" VARNEL_FLASH_CLASSID "\" codebase=\"" VARNEL_FLASH_CABINET
                                      "\" width=\"300\" height=\"200\" align=\"absmiddle\">\r\n"
                                      " <param name=\"movie\" value=\"" VARNEL_MOVIE_ADDRESS
                                      "\">\r\n"
                                      " <param name=\"quality\" value=\"high\">\r\n"
                                      " <embed src=\"" VARNEL_MOVIE_ADDRESS
                                      "\" width=\"300\" height=\"200\" align=\"absmiddle\" quality=\"high\" "
                                      "pluginspage=\"" VARNEL_FLASH_DOWNLOAD_PAGE
                                      "\" type=\"application/x-shockwave-flash\" ></embed>\r\n"
                                      " </object>";

#define VARNEL_HIT_INDENT "                         "  // 25 blanks

// Every line ends with CRLF; lines 2 to 5 begin with 25 blanks.
constexpr std::string_view kSearchHit =
    "<P><B><FONT color=\"#413B5D\" face=\"Arial\" size=\"14pt\">{{Title}}</FONT></B></P><FONT "
    "size=\"2pt\"><BR></FONT>\r\n" VARNEL_HIT_INDENT
    "<P><FONT size=\"10pt\">{{Description}}</FONT></P>\r\n" VARNEL_HIT_INDENT
    "<FONT size=\"2pt\"><BR></FONT>\r\n" VARNEL_HIT_INDENT
    "<P><A href=\"{{Hyperlink}}\"><b><font color=\"#0C65FD\" face=\"Arial\" size=\"12pt\">Click here to "
    "view</font></b></A></P>\r\n" VARNEL_HIT_INDENT "<FONT size=\"14pt\"><BR></FONT>\r\n";

constexpr std::string_view kHighlight = "<FONT color=\"#FF0000\"><B>{{Word}}</B></FONT>";

#define VARNEL_VIEWER_VARS \
  "sindex={{SINDEX}}&findex={{FINDEX}}&pindex={{PINDEX}}&stitle={{STITLE}}&userfullname={{USERNAME}}"

// 19 lines joined by CRLF; all but the first begin with one blank, the
// sixteenth with two; no line end after the last.
constexpr std::string_view kViewer =
    "<HEAD>\r\n"
    " </HEAD>\r\n"
    " <BODY>\r\n"
    " <CENTER>\r\n"
    " <TABLE HEIGHT = \"100%\" WIDTH = \"100%\">\r\n"
    " <TR>\r\n"
    " <TD ALIGN = \"CENTER\" VALIGN = \"MIDDLE\">\r\n"
    " <object classid=\"" VARNEL_FLASH_CLASSID "\" codebase=\"" VARNEL_FLASH_CABINET
    "\" width=\"700\" height=\"500\" align=\"absmiddle\">\r\n"
    " <param name=\"movie\" value=\"" VARNEL_MOVIE_ADDRESS
    "\">\r\n"
    " <param name=\"quality\" value=\"high\">\r\n"
    " <param name=\"FlashVars\" value=\"" VARNEL_VIEWER_VARS
    "&sessionid={{SESSION_ID}}\">\r\n"
    " <embed src=\"" VARNEL_MOVIE_ADDRESS
    "\" width=\"700\" height=\"500\" align=\"absmiddle\" quality=\"high\" "
    "pluginspage=\"" VARNEL_FLASH_DOWNLOAD_PAGE
    "\" type=\"application/x-shockwave-flash\" flashvars=\"" VARNEL_VIEWER_VARS
    "&_global.script={{SCRIPT_URL}}&FAQS={{FAQS_COUNT}}&sessionid={{SESSION_ID}}\"></embed>\r\n"
    " </object>\r\n"
    " </TD>\r\n"
    " </TR>\r\n"
    "  </TABLE>\r\n"
    " </CENTER>\r\n"
    " </BODY>\r\n"
    " </HTML>";

#undef VARNEL_VIEWER_VARS
#undef VARNEL_HIT_INDENT
#undef VARNEL_MOVIE_ADDRESS
#undef VARNEL_FLASH_CLASSID
#undef VARNEL_FLASH_DOWNLOAD_PAGE
#undef VARNEL_FLASH_CABINET

}  // namespace

std::string FillPlaceholder(std::string_view page, std::string_view placeholder, std::string_view value) {
  return content::ReplaceTextNoCase(page, placeholder, value);
}

std::string FlashObjectSnippet(std::string_view movie) { return FillPlaceholder(kSnippet, "{{SWF_FILENAME}}", movie); }

std::string_view SearchHitTemplate() { return kSearchHit; }

std::string_view KeywordHighlightTemplate() { return kHighlight; }

std::string_view SearchViewerTemplate() { return kViewer; }

}  // namespace server
