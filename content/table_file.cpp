#include "content/table_file.h"

#include "content/file_helpers.h"
#include "content/xor_file_stream.h"
#include "platform/files.h"

namespace content {

std::optional<std::string> ReadTableFile(const std::string& path) {
  try {
    return ReadFileToString(path);
  } catch (const plat::FileError&) {
    // A table that was never saved is an empty table; any other failure
    // (permissions, a folder in its place) must not pass for one.
    if (!plat::PathExists(path)) return std::nullopt;
    throw;
  }
}

std::string ReadTablePackageEntry(const std::string& name, const TXORFileStream& package) {
  return package.ReadToString(name);
}

void WriteTableFile(const std::string& path, const TStringList& records, plat::FileAccess access) {
  std::string text;
  for (const std::string& record : records) {
    text += record;
    text += "\r\n";
  }
  WriteStringToFile(path, text, access);
}

}  // namespace content
