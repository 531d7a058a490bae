#include "content/file_helpers.h"

#include "platform/files.h"

namespace content {

std::string ReadFileToString(const std::string& path) { return plat::ReadWholeFile(path); }

void WriteStringToFile(const std::string& path, std::string_view text, plat::FileAccess access) {
  plat::WriteFileAtomic(path, text, access);
}

}  // namespace content
