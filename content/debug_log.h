// The debug log: one line per message, prefixed with the local time.
// Off unless the environment variable VARNEL_DEBUG_LOG names the log file.
#pragma once

#include <string>

namespace content {

// printf-style; request data must only ever go in through "%s".
void LogMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Points the log at a file ("" switches it off); overrides the environment.
void SetDebugLogFile(const std::string& path);

}  // namespace content
