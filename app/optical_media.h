// Mounted CDs and DVDs, where content may come on a disc.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace app {

// The kernel's list of the process's mounts.
inline constexpr char kProcessMountsFile[] = "/proc/self/mounts";

// The mount points of type iso9660 or udf in a mounts table (one mount a line:
// device, mount point, type, options...), in the table's order, with the
// table's octal escapes ("\040" for a blank) decoded.
std::vector<std::string> ParseOpticalMountPoints(std::string_view mounts_table);

// The same, read from a mounts file; none when it cannot be read.
std::vector<std::string> OpticalMountPoints(const std::string& mounts_file = kProcessMountsFile);

}  // namespace app
