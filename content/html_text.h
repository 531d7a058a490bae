// Plain text from the HTML fragments of scripts and feedback texts.
#pragma once

#include <string>
#include <string_view>

namespace content {

// Removes the tags it knows (and the whole element of script-like tags such
// as SCRIPT, STYLE or OBJECT), keeps unknown tags and a lone '<' as text,
// decodes only &nbsp; &amp; &quot; and turns line ends into blanks. Bytes are
// kept as they are; letters are compared in ASCII case only.
std::string HtmlToText(std::string_view html);

// A script as the script pages show it: paragraph ends, division ends and
// line breaks survive as "<BR>", every other tag goes (HtmlToText), and the
// whole text comes back percent-encoded.
std::string PrepareHtmlText(std::string_view html);

}  // namespace content
