// The player's command line: varnel-player [OPTION]... [CONTENT | -1 [PATH]].
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace app {

struct TCommandLine {
  enum class Kind { kUsageError, kHelp, kRun };
  Kind kind = Kind::kUsageError;
  // What is wrong with the line, for a usage error.
  std::string problem;
  // Headless: print the URL instead of opening a browser.
  bool serve = false;
  // The default browser instead of the player's own window.
  bool browser = false;
  // What names the content, as the start-up rules read it: "-1" and its
  // second argument, a folder, a file, or nothing.
  std::vector<std::string> arguments;
};

// Options come first; the first word that is not an option, or anything
// after "--", starts the arguments, so "-1" stays an argument. -h or --help
// asks for the usage text; an unknown option, both --serve and --browser, or
// more than two arguments is a usage error.
TCommandLine ParseCommandLine(const std::vector<std::string>& words);

std::string_view UsageText();

}  // namespace app
