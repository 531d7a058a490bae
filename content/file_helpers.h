// Whole-file read and write and recursive folder deletion for learner data.
#pragma once

#include <string>
#include <string_view>

// Every byte of the file, NUL bytes included. Throws plat::FileError.
std::string ReadFileToString(const std::string& path);

// Creates the missing folders of the path, then replaces the file in one
// step: a crash or a full disk leaves the old file or the new one, never half
// of one. Throws plat::FileError.
void WriteStringToFile(const std::string& path, std::string_view text);

// Deletes the folder and everything below it, going on past failures (what
// cannot be deleted stays). Symbolic links are removed, never followed; a
// folder argument that is itself a link is left alone. An empty path, "/", the home
// folder and the folders that hold it are refused.
void DeleteFolderTree(const std::string& folder);
