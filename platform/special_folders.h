// The per-user folders of the XDG base directory rules, in place of the
// shell's special folders. Both end with '/'. A relative value of an XDG
// variable is ignored, as those rules ask.
#pragma once

#include <optional>
#include <string>

namespace plat {

// $XDG_CONFIG_HOME, else $HOME/.config; nullopt when neither is set.
std::optional<std::string> UserConfigFolder();

// The per-user application-data folder: $XDG_DATA_HOME, else $HOME/.local/share.
// With create, the folder and its parents are made when missing. nullopt when
// neither variable is set or the folder cannot be created.
std::optional<std::string> AppDataFolder(bool create);

}  // namespace plat
