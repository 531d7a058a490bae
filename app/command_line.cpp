#include "app/command_line.h"

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  TCommandLine line;
  if (arguments.size() == 2 && arguments[0] == "--serve" && !arguments[1].empty()) {
    line.kind = TCommandLine::Kind::kServe;
    line.content = arguments[1];
  }
  return line;
}

std::string_view UsageText() {
  return "Usage: varnel-player --serve CONTENT\n"
         "  Serves CONTENT (a content folder or a .vrn package) on 127.0.0.1,\n"
         "  prints its URL and runs until interrupted.\n";
}
