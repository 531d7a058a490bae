// INI profile files ("name=value" lines under "[section]" headers), read and
// written the way the Windows profile functions do.
//
// Reading: section and key names compare without regard to ASCII case and
// with surrounding blanks and tabs ignored; the first matching section and,
// in it, the first matching key win. A value is the text after the first '=',
// trimmed of blanks and tabs, with one pair of surrounding quotes ('"' or '\'')
// stripped. Lines starting with ';' are comments; a line without '=' holds no
// key; keys in front of the first section belong to none. Lines end with CR,
// LF or CRLF; a leading UTF-8 byte-order mark is skipped.
//
// Writing one key replaces its first occurrence, else adds it after the last
// line of its section, else adds the section at the end. Every other line stays
// as it was, byte for byte; new lines end with CRLF. A value that would not
// read back unchanged (surrounding blanks, or surrounding quotes) is written
// inside a pair of '"'. A section, key or value holding CR, LF or NUL is
// refused, since it would add lines; so is a key that would read back as
// something else (empty, holding '=', or starting with '[' or ';') and a
// section holding ']'.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/files.h"

namespace plat {

// A section, key or value that cannot be written.
class IniError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class IniFile {
 public:
  IniFile() = default;
  static IniFile FromBytes(std::string_view bytes);
  // A missing file reads as an empty one and creates nothing. Throws FileError
  // when the file exists but cannot be read.
  static IniFile Load(const std::string& path);

  std::optional<std::string> Find(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
  // The value as a strict decimal integer (optional sign, digits only, within
  // 32 bits); fallback when the key is missing or holds anything else.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const;
  // Every key of the first matching section in file order, duplicates included.
  std::vector<std::pair<std::string, std::string>> ReadSection(std::string_view section) const;

  // Throws IniError for text that cannot be written (see above).
  void SetString(std::string_view section, std::string_view key, std::string_view value);
  std::string ToBytes() const;

 private:
  struct Line {
    std::string text;
    std::string end;  // "\r\n", "\n", "\r", or "" for a last line without one
  };
  // The index of the first header of the section, or lines_.size().
  size_t FindSection(std::string_view section) const;
  // One past the last line that belongs to the section whose header is at `header`.
  size_t SectionEnd(size_t header) const;

  // Each section's name, ASCII lower-cased, to the keys of its first
  // occurrence (lower-cased) and their values, the first of each key. Built
  // by the first look-up, so a file of many sections read key by key costs
  // one pass; dropped by every change.
  using KeyIndex = std::unordered_map<std::string, std::string>;
  using SectionIndex = std::unordered_map<std::string, KeyIndex>;
  const SectionIndex& Index() const;

  bool byte_order_mark_ = false;
  std::vector<Line> lines_;
  mutable std::optional<SectionIndex> index_;
};

// Reads the file, sets one key and writes the file back through a temporary
// file and a rename, with the permissions of access; a missing file (and its
// folder) is created. Throws IniError or FileError, leaving the file as it was.
void WriteIniString(const std::string& path, std::string_view section, std::string_view key, std::string_view value,
                    FileAccess access = FileAccess::kShared);

}  // namespace plat
