// The headless mode: serve one content until a termination signal.
#pragma once

#include <ostream>
#include <string>

// Opens the content, listens on 127.0.0.1 at the first free port from 1000,
// writes the URL as the first line of out (flushed) and serves until SIGINT,
// SIGTERM or SIGHUP; then closes the listener and returns 0. Content that
// cannot be opened, or no free port: a message on err and a non-zero result.
int RunServeMode(const std::string& content_path, std::ostream& out, std::ostream& err);
