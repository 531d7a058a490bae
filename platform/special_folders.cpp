#include "platform/special_folders.h"

#include <cstdlib>
#include <string_view>

#include "platform/files.h"

namespace plat {

namespace {

// The XDG variable when it holds an absolute path, else $HOME + fallback.
std::optional<std::string> XdgFolder(const char* variable, std::string_view home_relative) {
  const char* xdg = std::getenv(variable);
  if (xdg && xdg[0] == '/') return WithTrailingSlash(xdg);
  const char* home = std::getenv("HOME");
  if (!home || !*home) return std::nullopt;
  return WithTrailingSlash(home) + std::string(home_relative) + "/";
}

}  // namespace

std::optional<std::string> UserConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }

std::optional<std::string> AppDataFolder(bool create) {
  std::optional<std::string> folder = XdgFolder("XDG_DATA_HOME", ".local/share");
  if (!folder || !create) return folder;
  try {
    CreateFolders(*folder);
  } catch (const FileError&) {
    return std::nullopt;
  }
  return folder;
}

}  // namespace plat
