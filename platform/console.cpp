#include "platform/console.h"

#include <unistd.h>

namespace plat {

bool IsStandardInputTerminal() { return ::isatty(STDIN_FILENO) == 1; }

bool IsStandardOutputTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

}  // namespace plat
