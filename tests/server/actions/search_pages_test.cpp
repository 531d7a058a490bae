// "search_text" and "view_result": the results page and the viewer page
// compared whole, the search data file missing or broken, and what a request
// can put into the pages.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "content/percent_codec.h"
#include "tests/server/learner_test_support.h"

namespace server {
namespace {

const std::string kSearchXml =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<SearchData>\r\n"
    "<Subject Title=\"Knots &amp; Hitches\" Index=\"1\">\r\n"
    "<Content ID=\"7\" Title=\"The Reef Knot\" Type=\"0\" Index=\"2\">Tie%20right%20over%20left</Content>\r\n"
    "<Content ID=\"8\" Title=\"Bowline\" Type=\"1\" Index=\"3\">A%20fixed%20loop%2C%20unlike%20a%20REEF%20knot"
    "</Content>\r\n"
    "<Content ID=\"9\" Title=\"Signs\" Type=\"1\" Index=\"4\">x%3Cy%20means%20less</Content>\r\n"
    "</Subject>\r\n</SearchData>\r\n";

const std::string kHitIndent(25, ' ');

// One entry of the results page as the page shows it.
std::string Hit(const std::string& title, const std::string& description, const std::string& link) {
  return "<P><B><FONT color=\"#413B5D\" face=\"Arial\" size=\"14pt\">" + title +
         "</FONT></B></P><FONT size=\"2pt\"><BR></FONT>\r\n" + kHitIndent + "<P><FONT size=\"10pt\">" + description +
         "</FONT></P>\r\n" + kHitIndent + "<FONT size=\"2pt\"><BR></FONT>\r\n" + kHitIndent + "<P><A href=\"" + link +
         "\"><b><font color=\"#0C65FD\" face=\"Arial\" size=\"12pt\">Click here to view</font></b></A></P>\r\n" +
         kHitIndent + "<FONT size=\"14pt\"><BR></FONT>\r\n";
}

std::string Marked(const std::string& word) { return "<FONT color=\"#FF0000\"><B>" + word + "</B></FONT>"; }

const std::string kNoMatches = "<B><FONT color=\"#FF0000\">No matches found.</FONT></B>";

std::string Viewer(const std::string& movie, const std::string& vars, const std::string& session_id) {
  const std::string cab = "https://flash-player.invalid/swflash.cab#version=6,0,29,0";
  const std::string address = "CorvikIIS.dll?action=getfile&filename=" + movie;
  return "<HEAD>\r\n </HEAD>\r\n <BODY>\r\n <CENTER>\r\n <TABLE HEIGHT = \"100%\" WIDTH = \"100%\">\r\n <TR>\r\n"
         " <TD ALIGN = \"CENTER\" VALIGN = \"MIDDLE\">\r\n"
         " <object classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" codebase=\"" +
         cab + "\" width=\"700\" height=\"500\" align=\"absmiddle\">\r\n <param name=\"movie\" value=\"" + address +
         "\">\r\n <param name=\"quality\" value=\"high\">\r\n <param name=\"FlashVars\" value=\"" + vars +
         "&sessionid=" + session_id + "\">\r\n <embed src=\"" + address +
         "\" width=\"700\" height=\"500\" align=\"absmiddle\" quality=\"high\" "
         "pluginspage=\"https://flash-player.invalid/download.html\" type=\"application/x-shockwave-flash\" "
         "flashvars=\"" +
         vars + "&_global.script={{SCRIPT_URL}}&FAQS={{FAQS_COUNT}}&sessionid=" + session_id +
         "\"></embed>\r\n </object>\r\n </TD>\r\n </TR>\r\n  </TABLE>\r\n </CENTER>\r\n </BODY>\r\n </HTML>";
}

class SearchPages : public LearnerTest, public ::testing::WithParamInterface<CourseMode> {
 protected:
  void Open(const std::map<std::string, std::string>& files) {
    OpenCourse(GetParam(), files);
    id_ = LoginSam();
  }

  // The results page travels percent-encoded.
  static std::string Encoded(const std::string& page) { return FileReply("text/html", content::PercentEncode(page)); }
  static std::string Html(const std::string& page) { return FileReply("text/html", page); }

  std::string id_;
};

TEST_P(SearchPages, HitsWithTheKeywordsHighlightedAsTyped) {
  Open({{"Search.xml", kSearchXml}});
  // The text hit ranks before the title hit; each match shows the keywords
  // as typed, in lower case.
  EXPECT_EQ(Ask("action=search_text&keywords=reef%20knot&sessionid=" + id_),
            Encoded(Hit("Knots & Hitches - Bowline", "A fixed loop, unlike a " + Marked("reef knot"),
                        "?action=view_result&sessionid=" + id_ + "&id=8") +
                    Hit("Knots & Hitches - The " + Marked("reef knot"), "Tie right over left",
                        "?action=view_result&sessionid=" + id_ + "&id=7")));
  EXPECT_EQ(Ask("action=search_text&keywords=granny&sessionid=" + id_), Encoded(kNoMatches));
  EXPECT_EQ(Ask("action=search_text&sessionid=" + id_), Encoded(kNoMatches));
}

TEST_P(SearchPages, KeywordsAndSessionIdComeBackEscaped) {
  Open({{"Search.xml", kSearchXml}});
  EXPECT_EQ(Ask("action=search_text&keywords=X%3CY&sessionid=%22%3E%3Cscript%3E"),
            Encoded(Hit("Knots & Hitches - Signs", Marked("X&lt;Y") + " means less",
                        "?action=view_result&sessionid=&quot;&gt;&lt;script&gt;&id=9")));
}

TEST_P(SearchPages, ViewerPageOfOneHit) {
  Open({{"Search.xml", kSearchXml}});
  const std::string stitle = content::PercentEncode("Knots & Hitches");
  const std::string user = content::PercentEncode("Sam Rigger");
  EXPECT_EQ(
      Ask("action=view_result&sessionid=" + id_ + "&id=7"),
      Html(Viewer("FAQ.swf", "sindex=1&findex=2&pindex={{PINDEX}}&stitle=" + stitle + "&userfullname=" + user, id_)));
  EXPECT_EQ(Ask("action=view_result&sessionid=" + id_ + "&id=8"),
            Html(Viewer("Presentation.swf",
                        "sindex=1&findex={{FINDEX}}&pindex=3&stitle=" + stitle + "&userfullname=" + user, id_)));
  EXPECT_EQ(Ask("action=view_result&sessionid=" + id_ + "&id=99"), Html(""));
  EXPECT_EQ(Ask("action=view_result&sessionid=%3Cb%3E&id=7"), Html(""));
  EXPECT_EQ(Ask("action=view_result&sessionid=" + id_ + "&id=7x"), "refused");
  EXPECT_EQ(Ask("action=view_result&sessionid=" + id_), "refused");
}

TEST_P(SearchPages, MissingSearchDataFindsNothingAndBrokenDataIsRefused) {
  Open({});
  EXPECT_EQ(Ask("action=search_text&keywords=reef&sessionid=" + id_), Encoded(kNoMatches));
  EXPECT_EQ(Ask("action=view_result&sessionid=" + id_ + "&id=7"), Html(""));

  Open({{"Search.xml", "<SearchData><Subject Title=\"x\" Index=\"1\">"}});
  EXPECT_EQ(Ask("action=search_text&keywords=reef&sessionid=" + id_), "refused");
  EXPECT_EQ(Ask("action=view_result&sessionid=" + id_ + "&id=7"), "refused");

  // An item with a bad number fails only when it is a hit.
  Open({{"Search.xml",
         "<SearchData><Subject Title=\"Knots\" Index=\"1\">"
         "<Content ID=\"x\" Title=\"Reef\" Type=\"0\" Index=\"1\">a</Content>"
         "<Content ID=\"2\" Title=\"Bowline\" Type=\"0\" Index=\"2\">b</Content></Subject></SearchData>"}});
  EXPECT_EQ(Ask("action=search_text&keywords=reef&sessionid=" + id_), "refused");
  EXPECT_EQ(Ask("action=search_text&keywords=bowline&sessionid=" + id_),
            Encoded(Hit("Knots - " + Marked("bowline"), "b", "?action=view_result&sessionid=" + id_ + "&id=2")));
}

INSTANTIATE_TEST_SUITE_P(Modes, SearchPages, ::testing::Values(CourseMode::kFolder, CourseMode::kPacked),
                         [](const auto& info) { return ModeName(info.param); });

}  // namespace
}  // namespace server
