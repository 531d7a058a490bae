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

// Every record followed by "\r\n": the file's text.
std::string TableText(const TStringList& records);

// Writes the text, replacing the file in one step. Throws plat::FileError;
// the old file then stays.
void WriteTableFile(const std::string& path, std::string_view text,
                    plat::FileAccess access = plat::FileAccess::kShared);

// Why a table read from the text would not hold all of it, so that saving
// it would lose the rest: the text holds a NUL byte, its last record has no
// line end (the file was cut short), a record has more than max_fields
// fields, or record_fault (when given) names what is wrong with a record.
// nullopt when none of these. Records count from 1.
using TRecordFault = const char* (*)(std::string_view record);
std::optional<std::string> TableTextFault(std::string_view text, size_t max_fields,
                                          TRecordFault record_fault = nullptr);

}  // namespace content
