// varnel-player: the quiz-content player.
#include <csignal>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/serve_mode.h"
#include "platform/open_file_limit.h"

int main(int argc, char** argv) {
  // Writes to a client that has gone must fail, not end the player.
  std::signal(SIGPIPE, SIG_IGN);
  plat::RaiseOpenFileLimit();

  const TCommandLine line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (line.kind != TCommandLine::Kind::kServe) {
    std::cerr << UsageText();
    return 2;
  }
  try {
    return RunServeMode(line.content, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "varnel-player: " << e.what() << "\n";
    return 1;
  }
}
