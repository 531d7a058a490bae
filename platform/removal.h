// Removing files and folders.
#pragma once

#include <string>

namespace plat {

// Removes the file or link (never what a link points at); false when it
// cannot, a missing file included.
bool RemoveFile(const std::string& path);
// Removes the folder when it is empty; false otherwise.
bool RemoveEmptyFolder(const std::string& folder);

// Removes the folder and everything below it, going on past failures (what
// cannot be removed stays). Links are removed, never followed, and a folder
// argument that is itself a link is left alone. "", "/", the home folder and
// the folders that hold it are refused.
void RemoveFolderTree(const std::string& folder);

}  // namespace plat
