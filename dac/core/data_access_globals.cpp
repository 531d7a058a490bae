#include "dac/core/data_access_globals.h"

namespace dac {

bool ChangeCursor = true;
char MacroChar = '&';
TSetCursorProc SetCursorProc;
bool BaseSQLOldBehavior = false;
bool SQLGeneratorCompatibility = false;

void SetCursor(int cursor) {
  if (SetCursorProc) SetCursorProc(cursor);
}

}  // namespace dac
