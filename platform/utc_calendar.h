// Calendar fields of a moment in UTC, never in local time.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/clock.h"

namespace plat {

// The UTC calendar fields of a time in UTC seconds (hundredths 0); nullopt
// for a time the calendar cannot hold.
std::optional<LocalTime> UtcCalendarTime(int64_t utc_seconds);

}  // namespace plat
