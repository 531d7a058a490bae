// Removing files and folders.
#pragma once

#include <string>
#include <string_view>

#include "platform/file.h"

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

// Removes what a save cut short left in the folder: the regular files whose
// names CreateTempFileBeside gives (beside the file named target, when one is
// given), and nothing else (no link, no folder, no other name). With
// FollowLinks::kNo a folder argument that is a link is left alone. Gives how
// many files went.
int RemoveLeftoverTempFiles(const std::string& folder, FollowLinks links, std::string_view target = {});

}  // namespace plat
