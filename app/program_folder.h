// Where the running program lies: content may be shipped beside it.
#pragma once

#include <string>

namespace app {

// The folder of the running executable, with a trailing '/'; "" when it
// cannot be found.
std::string ProgramFolder();

}  // namespace app
