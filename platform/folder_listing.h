// The entries of one folder, as they stand when it is read.
#pragma once

#include <string>
#include <vector>

namespace plat {

enum class EntryKind { kFile, kFolder, kLink, kOther };

struct FolderEntry {
  std::string name;
  // What the entry itself is: a link is kLink, never what it points at.
  EntryKind kind = EntryKind::kOther;
};

// Every entry of the folder but "." and "..", in no particular order. An
// entry that vanishes while the folder is read is left out; one that appears
// meanwhile may be. Throws FileError when the folder cannot be opened.
std::vector<FolderEntry> ListFolder(const std::string& folder);

}  // namespace plat
