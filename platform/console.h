// The terminal the player was started from.
#pragma once

namespace plat {

// Standard input is a terminal a person can answer on.
bool IsStandardInputTerminal();
// Standard output goes to a terminal, where a person reads it.
bool IsStandardOutputTerminal();

}  // namespace plat
