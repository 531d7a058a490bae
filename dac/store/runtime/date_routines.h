// Date and time encoding for the record store and the layers above, over the
// platform's day-count date-time.
#pragma once

#include "platform/date_time.h"

namespace dac {

using plat::DateTime;
using plat::TimeStamp;
using plat::TryEncodeDate;
using plat::TryEncodeDateTime;  // adds the time from day 0 on, counts it away from zero before
using plat::TryEncodeTime;

// EConvertError "Invalid argument to date encode" for an impossible date or time.
DateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond);
// EConvertError "'%d.%d' is not a valid timestamp" (date, then time) for a
// negative time or a date not above 0.
DateTime TimeStampToDateTime(const TimeStamp& stamp);

}  // namespace dac
