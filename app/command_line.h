// The player's command line: varnel-player [--serve | --browser] [ARG [ARG2]].
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace app {

struct TCommandLine {
  enum class Kind { kUsage, kRun };
  Kind kind = Kind::kUsage;
  // Headless: print the URL instead of opening a browser.
  bool serve = false;
  // The default browser instead of the player's own window.
  bool browser = false;
  // What names the content, as the start-up rules read it: "-1" and its
  // second argument, a folder, a file, or nothing.
  std::vector<std::string> arguments;
};

// Options come first; the first word that is not an option, or anything
// after "--", starts the arguments, so "-1" stays an argument. An unknown
// option, both --serve and --browser, or more than two arguments asks for
// the usage text.
TCommandLine ParseCommandLine(const std::vector<std::string>& words);

std::string_view UsageText();

}  // namespace app
