#include "app/command_line.h"

namespace app {

TCommandLine ParseCommandLine(const std::vector<std::string>& words) {
  TCommandLine line;
  size_t i = 0;
  for (; i < words.size() && words[i].starts_with("--"); ++i) {
    if (words[i] == "--") {
      ++i;
      break;
    }
    if (words[i] == "--serve") {
      line.serve = true;
    } else if (words[i] == "--browser") {
      line.browser = true;
    } else {
      return line;
    }
  }
  if (line.serve && line.browser) return line;
  line.arguments.assign(words.begin() + static_cast<std::ptrdiff_t>(i), words.end());
  if (line.arguments.size() > 2) {
    line.arguments.clear();
    return line;
  }
  line.kind = TCommandLine::Kind::kRun;
  return line;
}

std::string_view UsageText() {
  return "Usage: varnel-player [--serve | --browser] [CONTENT | -1 [PATH]]\n"
         "  Serves CONTENT (a content folder or a .vrn package) on 127.0.0.1 and shows\n"
         "  it in the player's window until the window closes.\n"
         "  --browser: opens it in the default browser instead (also when the display\n"
         "  cannot be opened) and runs until interrupted.\n"
         "  --serve, or no display: prints its URL and serves until interrupted.\n"
         "  Without CONTENT: the Varnel.vrn beside the program, else on a mounted disc;\n"
         "  in the window, else an open dialog.\n"
         "  -1: the folder of Varnel/Varnel.vrn below the program's folder, or of PATH,\n"
         "  PATH/Varnel.vrn or the program folder's PATH/Varnel.vrn.\n";
}

}  // namespace app
