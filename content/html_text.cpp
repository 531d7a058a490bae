#include "content/html_text.h"

#include <algorithm>

#include "content/percent_codec.h"
#include "content/replace_text.h"

namespace content {
namespace {

constexpr size_t npos = std::string_view::npos;

// The tags that are removed. The list has always spelt LEGEND as "LAGEND",
// and content was made with that, so <legend> stays as text.
constexpr std::string_view kKnownTags =
    ";?XML:NAMESPACE;!--;!DOCTYPE;A;ACRONYM;ADDRESS;APPLET;AREA;B;BASE;BASEFONT;BGSOUND;BIG;BLOCKQUOTE;BODY;BR;"
    "BUTTON;CAPTION;CENTER;CITE;CODE;COL;COLGROUP;COMMENT;DD;DEL;DFN;DIR;DIV;DL;DT;EM;EMBED;FIELDSET;FONT;FORM;"
    "FRAME;FRAMESET;HEAD;H1;H2;H3;H4;H5;H6;HR;HTML;I;IFRAME;IMG;INPUT;INS;ISINDEX;KBD;LABEL;LAYER;LAGEND;LI;LINK;"
    "LISTING;MAP;MARQUEE;MENU;META;NOBR;NOFRAMES;NOSCRIPT;OBJECT;OL;OPTION;P;PARAM;PLAINTEXT;PRE;Q;S;SAMP;SCRIPT;"
    "SELECT;SMALL;SPAN;STRIKE;STRONG;STYLE;SUB;SUP;TABLE;TBODY;TD;TEXTAREA;TFOOT;TH;THEAD;TITLE;TR;TT;U;UL;VAR;"
    "WBR;XMP;";
// Known tags whose whole element, content included, is removed.
constexpr std::string_view kDroppedElements = ";APPLET;EMBED;FRAMESET;HEAD;NOFRAMES;NOSCRIPT;OBJECT;SCRIPT;STYLE;";

bool InTagList(std::string_view list, std::string_view tag) {
  return FindNoCase(list, ";" + std::string(tag) + ";") != npos;
}

struct TagName {
  std::string name;
  bool closing = false;
};

// The name of the tag written between '<' and '>': up to the first blank,
// line ends counting as blanks, without a leading '/'. A name longer than the
// tag list cannot be in it, so no more than that is looked at: a long run
// without blanks costs the same as a short one.
TagName ReadTagName(std::string_view inside) {
  const std::string_view head = inside.substr(0, kKnownTags.size() + 1);
  std::string_view name = head.substr(0, head.find_first_of(" \r\n"));
  const bool closing = !name.empty() && name[0] == '/';
  if (closing) name.remove_prefix(1);
  return {std::string(name), closing};
}

// Position of the '>' that ends the element opened at open: the one after the
// first "</tag"; without that, the last character of rest, so everything goes.
size_t EndOfDroppedElement(std::string_view rest, size_t open, const std::string& tag) {
  const size_t close = FindNoCase(rest, "</" + tag, open + 1);
  if (close != npos) {
    const size_t gt = rest.find('>', close);
    if (gt != npos) return gt;
  }
  return rest.size() - 1;
}

}  // namespace

std::string HtmlToText(std::string_view html) {
  std::string result;
  std::string_view rest = html;
  // The '>' found for an unknown tag also ends every '<' before it, so it is
  // searched for once, not once per '<' ("a<b<c<d>"). Positions in html.
  size_t known_gt = 0;
  for (size_t lt = rest.find('<'); lt != npos; lt = rest.find('<')) {
    const auto done = static_cast<size_t>(rest.data() - html.data());
    size_t gt = done + lt < known_gt ? known_gt - done : rest.find('>', lt + 1);
    if (gt == npos) {
      result += ' ';
      result += rest;
      rest = {};
      break;
    }
    const TagName tag = ReadTagName(rest.substr(lt + 1, gt - lt - 1));
    if (InTagList(kKnownTags, tag.name)) {
      if (!tag.closing && InTagList(kDroppedElements, tag.name)) gt = EndOfDroppedElement(rest, lt, tag.name);
      result += rest.substr(0, lt);
      rest.remove_prefix(gt + 1);
    } else {
      // Not a tag after all ("a < b", or a tag nobody knows): the '<' is text.
      known_gt = done + gt;
      result += rest.substr(0, lt + 1);
      rest.remove_prefix(lt + 1);
    }
  }
  result += rest;

  result = ReplaceTextNoCase(result, "&nbsp;", " ");
  result = ReplaceTextNoCase(result, "&amp;", "&");
  result = ReplaceTextNoCase(result, "&quot;", "\"");
  std::replace(result.begin(), result.end(), '\r', ' ');
  std::replace(result.begin(), result.end(), '\n', ' ');
  return result;
}

std::string PrepareHtmlText(std::string_view html) {
  static constexpr std::string_view kBreak = "{{BREAK}}";
  std::string marked = ReplaceTextNoCase(html, "</P>", "</P>" + std::string(kBreak));
  marked = ReplaceTextNoCase(marked, "</DIV>", "</DIV>" + std::string(kBreak));
  marked = ReplaceTextNoCase(marked, "<BR>", "<BR>" + std::string(kBreak));
  // The marker holds neither '<' nor '&', so it passes HtmlToText untouched.
  const std::string text = HtmlToText(marked);
  std::string shown;
  size_t done = 0;
  for (size_t at = text.find(kBreak); at != npos; at = text.find(kBreak, done)) {
    shown.append(text, done, at - done);
    shown += "<BR>";
    done = at + kBreak.size();
  }
  shown.append(text, done);
  return PercentEncode(shown);
}

}  // namespace content
