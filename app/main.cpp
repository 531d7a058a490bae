// varnel-player: the quiz-content player.
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/launcher.h"
#include "app/player_shell.h"
#include "app/program_folder.h"
#include "app/terminal.h"
#include "app/window/window_player.h"
#include "platform/console.h"
#include "platform/open_file_limit.h"
#include "platform/process_setup.h"
#include "platform/program_usage.h"

int main(int argc, char** argv) {
  // Writes to a client that has gone must fail, not end the player.
  plat::IgnoreBrokenPipes();
  plat::RaiseOpenFileLimit();

  const app::TCommandLine line = app::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (const auto status = plat::AnswerHelpOrProblem("varnel-player", app::UsageText(),
                                                    line.kind == app::TCommandLine::Kind::kHelp, line.problem))
    return *status;
  try {
    app::TConsoleTerminal terminal;
    const app::TContentPlaces places{app::ProgramFolder(), app::kProcessMountsFile};
    if (!line.serve && !line.browser && app::HasDisplay()) {
      if (const std::optional<int> status = app::RunWindowPlayer(line.arguments, places, terminal)) return *status;
      terminal.Write("Cannot open the display: showing the content in the default browser.\n");
    }
    return app::RunPlayer(line, places, terminal, app::TUrlOutput{std::cout, plat::IsStandardOutputTerminal()});
  } catch (const std::exception& e) {
    std::cerr << "Error: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "Error: unexpected failure\n";
  }
  return 1;
}
