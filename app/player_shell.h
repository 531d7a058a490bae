// The player as it runs: finds the content, offers to restore the last
// session, serves the content and shows it, until a termination signal.
#pragma once

#include <ostream>
#include <string>

#include "app/command_line.h"
#include "app/content_locator.h"
#include "app/terminal.h"

namespace server {
class TQuizSession;
}

namespace app {

// Where the served URL goes when it is printed.
struct TUrlOutput {
  std::ostream& out;
  // Set: a person reads out, so the URL comes in a sentence that says what
  // to do with it. Never with line.serve, whose first line is the bare URL.
  bool out_is_terminal = false;
};

// Runs the player for the command line (kind kRun). The URL line goes to
// output.out: always with line.serve or without a display, else only when
// the browser cannot be opened. Messages and questions go to the terminal.
// Returns 0 after a clean close, 1 when no content was found. Content that
// cannot be opened, or no free port, throws std::runtime_error.
int RunPlayer(const TCommandLine& line, const TContentPlaces& places, TTerminal& terminal, TUrlOutput output);

// What the title line names after "Varnel Player - ": the content's title,
// or the content's own folder or file name when it has none.
std::string CaptionTitle(const server::TQuizSession& server, const std::string& path);

// "No free port between 1000 and 9999".
std::string NoFreePortText();

}  // namespace app
