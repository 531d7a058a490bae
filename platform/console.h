// The terminal the player was started from.
#pragma once

namespace plat {

// Standard input is a terminal a person can answer on.
bool IsStandardInputTerminal();

}  // namespace plat
