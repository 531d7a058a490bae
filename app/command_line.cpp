#include "app/command_line.h"

#include "platform/program_usage.h"

namespace app {

namespace {

TCommandLine Refused(std::string problem) {
  TCommandLine line;
  line.problem = std::move(problem);
  return line;
}

// An option word before the arguments; "-1" is an argument.
bool IsOptionWord(const std::string& word) { return plat::LooksLikeOption(word) && word != "-1"; }

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& words) {
  TCommandLine line;
  size_t i = 0;
  for (; i < words.size() && IsOptionWord(words[i]); ++i) {
    if (words[i] == "--") {
      ++i;
      break;
    }
    if (plat::IsHelpOption(words[i])) {
      line.kind = TCommandLine::Kind::kHelp;
      return line;
    }
    if (words[i] == "--serve") {
      line.serve = true;
    } else if (words[i] == "--browser") {
      line.browser = true;
    } else {
      return Refused("unrecognized option '" + words[i] + "'");
    }
  }
  if (line.serve && line.browser) return Refused("--serve and --browser cannot be used together");
  line.arguments.assign(words.begin() + static_cast<std::ptrdiff_t>(i), words.end());
  if (line.arguments.size() > 2) return Refused("extra operand '" + line.arguments[2] + "'");
  line.kind = TCommandLine::Kind::kRun;
  return line;
}

std::string_view UsageText() {
  return "Usage: varnel-player [OPTION]... [CONTENT | -1 [PATH]]\n"
         "Serves CONTENT (a content folder or a .vrn package) on 127.0.0.1 and shows it\n"
         "in the player's window until the window closes.\n"
         "\n"
         "  --browser   open it in the default browser instead and serve until interrupted\n"
         "  --serve     print its URL and serve until interrupted (also without a display)\n"
         "  -h, --help  print this help and exit\n"
         "  --          end the options: the next word is CONTENT even if it begins with -\n"
         "\n"
         "Without a display the player serves as with --serve; when the display cannot be\n"
         "opened, it uses the default browser.\n"
         "Without CONTENT: the Varnel.vrn beside the program, else on a mounted disc; in\n"
         "the window, else an open dialog.\n"
         "-1: the folder of Varnel/Varnel.vrn below the program's folder, or of PATH,\n"
         "PATH/Varnel.vrn or the program folder's PATH/Varnel.vrn.\n"
         "\n"
         "Exit status: 0 when the player ends normally, 1 when it finds no content to\n"
         "serve or fails, 2 for a usage error.\n";
}

}  // namespace app
