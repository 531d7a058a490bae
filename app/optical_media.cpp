#include "app/optical_media.h"

#include "platform/files.h"

namespace app {
namespace {

bool IsOctalDigit(char c) { return c >= '0' && c <= '7'; }

// The table escapes blank, tab, newline and backslash as '\' and three octal digits.
std::string DecodeMountField(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && IsOctalDigit(field[i + 1]) && IsOctalDigit(field[i + 2]) &&
        IsOctalDigit(field[i + 3])) {
      const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
      if (value > 0 && value < 256) {
        out += static_cast<char>(value);
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

// The line's fields, split at blanks and tabs.
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

bool IsOpticalType(std::string_view type) { return type == "iso9660" || type == "udf"; }

}  // namespace

std::vector<std::string> ParseOpticalMountPoints(std::string_view mounts_table) {
  std::vector<std::string> points;
  while (!mounts_table.empty()) {
    const size_t end = mounts_table.find('\n');
    const std::string_view line = mounts_table.substr(0, end);
    mounts_table = end == std::string_view::npos ? std::string_view() : mounts_table.substr(end + 1);
    const std::vector<std::string_view> fields = Fields(line);
    if (fields.size() >= 3 && IsOpticalType(fields[2])) points.push_back(DecodeMountField(fields[1]));
  }
  return points;
}

std::vector<std::string> OpticalMountPoints(const std::string& mounts_file) {
  try {
    return ParseOpticalMountPoints(plat::ReadWholeFile(mounts_file));
  } catch (const plat::FileError&) {
    return {};
  }
}

}  // namespace app
