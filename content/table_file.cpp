#include "content/table_file.h"

#include "content/file_helpers.h"
#include "content/record_fields.h"
#include "content/text_lines.h"
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

std::string TableText(const TStringList& records) {
  std::string text;
  for (const std::string& record : records) {
    text += record;
    text += "\r\n";
  }
  return text;
}

void WriteTableFile(const std::string& path, std::string_view text, plat::FileAccess access) {
  WriteStringToFile(path, text, access);
}

std::optional<std::string> TableTextFault(std::string_view text, size_t max_fields, TRecordFault record_fault) {
  const TStringList records = NonEmptyLines(text);
  for (size_t i = 0; i < records.size(); ++i) {
    const std::string& record = records[i];
    const char* fault = nullptr;
    if (record.find('\0') != std::string::npos) {
      fault = "holds a NUL byte";
    } else if (TRecordFields(record).Count() > max_fields) {
      fault = "has more fields than a record of this table";
    } else if (record_fault != nullptr) {
      fault = record_fault(record);
    }
    if (fault != nullptr) return "record " + std::to_string(i + 1) + " " + fault;
  }
  if (!text.empty() && text.back() != '\n' && text.back() != '\r')
    return "the last record has no line end (the file was cut short)";
  return std::nullopt;
}

}  // namespace content
