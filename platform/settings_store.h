// The per-user settings store, in place of the registry: string values found
// by a key path ("Software\Maker\Product") and a value name.
//
// A key's values live in the file UserConfigFolder() + the key path with '\'
// as '/' + ".ini", as "name=value" lines in the section "[Values]" (INI rules
// of ini_file.h: value names compare without regard to case). The key path is
// always taken below the config folder: empty components are skipped, and a
// key path holding NUL, a "." or ".." component, or nothing at all is refused.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace plat {

// A key path, value name or value that the store refuses.
class SettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The settings file of the key; nullopt when the key path is refused or no
// config folder is known.
std::optional<std::string> SettingsFileOf(std::string_view key_path);

// The value, or nullopt when the key, its file or the value is missing, or the
// key path is refused. Creates nothing. Throws FileError when the file exists
// but cannot be read.
std::optional<std::string> ReadSettingString(std::string_view key_path, std::string_view name);

// Stores the value, creating the file and its folders as needed; every other
// line of the file stays. Throws SettingsError for a refused key path, a name
// or value holding CR, LF or NUL, or a name the INI form cannot hold; FileError
// when the file cannot be written. A failed write leaves the old file.
void WriteSettingString(std::string_view key_path, std::string_view name, std::string_view value);

// The key exists when it holds values (its file) or keys below it (its
// folder), as a registry key made by writing below it exists. False for a
// refused key path.
bool SettingsKeyExists(std::string_view key_path);

}  // namespace plat
