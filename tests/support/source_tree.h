// The project's own source files, for tests that check what the code may use.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/folder_listing.h"

namespace plat::testing {

// The source tree named by VARNEL_SOURCE_DIR (CTest sets it); "" without it.
inline std::string SourceRoot() {
  const char* root = std::getenv("VARNEL_SOURCE_DIR");
  return root == nullptr ? "" : WithTrailingSlash(root);
}

// Every .h and .cpp file below the source tree's folder, as paths relative to
// the tree, leaving out the folders below it named in skip.
inline void CollectSources(const std::string& root, const std::string& folder, const std::vector<std::string>& skip,
                           std::vector<std::string>& files) {
  for (const FolderEntry& entry : ListFolder(root + folder)) {
    const std::string relative = folder + "/" + entry.name;
    if (entry.kind == EntryKind::kFolder) {
      bool skipped = false;
      for (const std::string& s : skip) skipped = skipped || s == relative;
      if (!skipped) CollectSources(root, relative, skip, files);
    } else if (entry.kind == EntryKind::kFile && (entry.name.ends_with(".h") || entry.name.ends_with(".cpp"))) {
      files.push_back(relative);
    }
  }
}

// Each line of the file with its "//" comment cut off.
inline std::vector<std::string> CodeLines(const std::string& path) {
  std::vector<std::string> lines;
  const std::string text = ReadWholeFile(path);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (const size_t comment = line.find("//"); comment != std::string::npos) line.resize(comment);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

}  // namespace plat::testing
