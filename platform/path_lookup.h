// What a path names on disk, and paths made whole.
#pragma once

#include <optional>
#include <string>

namespace plat {

// The path made absolute, every link resolved; nullopt when some part of it
// does not exist or cannot be read.
std::optional<std::string> RealPath(const std::string& path);

// The path made absolute against the working folder, with "." and ".."
// resolved by name (no link is looked at) and repeated '/' made one; a path
// that ends in '/', "." or ".." keeps a trailing '/'. "" stays "", and a
// relative path stays relative when the working folder cannot be read.
std::string AbsolutePath(const std::string& path);

// A symbolic link stands at the path (it is not followed).
bool IsLink(const std::string& path);

// The running program's own file, absolute; "" when it cannot be told.
std::string ProgramFile();

}  // namespace plat
