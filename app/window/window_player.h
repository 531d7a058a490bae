// The player as a desktop program: the splash, the main window showing the
// content in the embedded browser, the open dialog and the restore question,
// with the session server on a thread of its own.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/content_locator.h"
#include "app/terminal.h"

namespace app {

// Runs the player in its window until the window closes or a termination
// signal comes; either stores the running session first. Returns the exit
// status: 0, or 1 when the server found no port. nullopt, with nothing
// started, when GTK cannot open the display. Messages also go to the
// terminal, with the served URL.
std::optional<int> RunWindowPlayer(const std::vector<std::string>& arguments, const TContentPlaces& places,
                                   TTerminal& terminal);

}  // namespace app
