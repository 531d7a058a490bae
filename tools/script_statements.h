// The statements of a script as the mariadb client cuts them before it
// sends them one by one: at each delimiter (";" until a DELIMITER line
// changes it) outside quotes ('...', "..." with backslash escapes, `...`)
// and comments ("#" and "-- " to the end of the line, "/* */"; "/*!" and
// "/*M!" hold code). A DELIMITER line is a command only where a statement
// begins: "DELIMITER //" (the word in any case, the delimiter its first word
// or a quoted string) makes "//" the delimiter, and the compound statement
// of a procedure body keeps its inner semicolons.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace tools {

// A DELIMITER line without a usable delimiter; what() is the mariadb
// client's own line ("ERROR at line 3: DELIMITER must be followed by ...").
struct ScriptError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Each statement without its delimiter and surrounding blanks; blank ones
// (only blanks and comments) are left out, and so is a comment the script
// ends in without closing it. Raises ScriptError, for the whole script
// before any statement of it could run.
std::vector<std::string> SplitScript(const std::string& script);

}  // namespace tools
