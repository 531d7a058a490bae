#include "platform/process_setup.h"

#include <csignal>

namespace plat {

void IgnoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace plat
