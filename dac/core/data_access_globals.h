// The library-wide switches and hooks of the data-access components. Set
// them before other threads use the library.
#pragma once

#include <functional>

namespace dac {

// The connection and the datasets show the wait cursor while they work.
extern bool ChangeCursor;
// The character that starts a macro reference in SQL text ("&").
extern char MacroChar;
// Shows a cursor; unset unless the application sets it.
using TSetCursorProc = std::function<void(int cursor)>;
extern TSetCursorProc SetCursorProc;
// Calls SetCursorProc when it is set.
void SetCursor(int cursor);
// When set, editing a dataset's SQL text forgets the text it was based on.
extern bool BaseSQLOldBehavior;
// Makes the SQL generator write statements the way older versions did.
extern bool SQLGeneratorCompatibility;

}  // namespace dac
