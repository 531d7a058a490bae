// Whole-file read and write for learner data.
#pragma once

#include <string>
#include <string_view>

#include "platform/files.h"

namespace content {

// Every byte of the file, NUL bytes included. Throws plat::FileError.
std::string ReadFileToString(const std::string& path);

// Creates the missing folders of the path, then replaces the file in one
// step: a crash or a full disk leaves the old file or the new one, never half
// of one. A private file (passwords) is never readable by others. Throws plat::FileError.
void WriteStringToFile(const std::string& path, std::string_view text,
                       plat::FileAccess access = plat::FileAccess::kShared);

}  // namespace content
