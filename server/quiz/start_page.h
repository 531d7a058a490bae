// The start page's XML ("startpage.xml") as the start page asks for it: its
// last element closed afresh, with the offer to restore the previous session.
#pragma once

#include <string>
#include <string_view>

namespace server {

// The text up to the last '/' before its last '>', then ` RestoreSession="1"`
// when restore is set, then " />": '<startpage a="1"/>' becomes
// '<startpage a="1" RestoreSession="1" />'. "" when the text has no '>', no
// '/' before it, or only one at its very start.
std::string StartPageXml(std::string_view text, bool restore);

}  // namespace server
