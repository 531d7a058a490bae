// What the person running the player must know: a file that could not be
// read or written, learner data set aside, another folder used instead.
// One line each on standard error, and a copy in the debug log. The debug
// log alone is for developers.
#pragma once

namespace content {

// printf-style; outside data must only ever go in through "%s". The line
// end is added.
void NoticeToUser(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace content
