// The table files of users and groups: one ';'-record per line, "\r\n" line
// ends, read from the data folder or from the content package.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "content/text_lists.h"
#include "platform/files.h"

namespace content {

class TXORFileStream;

// The file's bytes; nullopt when there is no such file. Throws
// plat::FileError when the file exists but cannot be read.
std::optional<std::string> ReadTableFile(const std::string& path);
// The package entry's text up to its first NUL; "" when absent.
std::string ReadTablePackageEntry(const std::string& name, const TXORFileStream& package);

// Writes every record followed by "\r\n", replacing the file in one step.
// Throws plat::FileError; the old file then stays.
void WriteTableFile(const std::string& path, const TStringList& records,
                    plat::FileAccess access = plat::FileAccess::kShared);

}  // namespace content
