// The data folder's "TimeStamp.txt": which package the learner data belongs to.
#pragma once

#include <cstdint>
#include <string>

namespace server {

// The UTC calendar fields of the time (never local time) as minute, hour,
// day, month, year in decimal without padding, joined by '-':
// 15 March 2006, 09:05 UTC gives "5-9-15-3-2006". "" for a time the
// calendar cannot hold.
std::string FormatTimeStamp(int64_t utc_seconds);

}  // namespace server
