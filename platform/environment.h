// The process's environment.
#pragma once

#include <optional>
#include <string>

namespace plat {

// The variable's value; nullopt when it is not set.
std::optional<std::string> EnvironmentValue(const char* name);
// The variable is set and not empty.
bool IsEnvironmentSet(const char* name);

}  // namespace plat
