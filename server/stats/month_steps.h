// Calendar month steps of the statistics' four-month histories.
#pragma once

#include "platform/date_time.h"

namespace server {

// One calendar month earlier: January becomes December of the year before.
// The day stays, cut to the last day of the target month (31 March gives
// 28 or 29 February): callers use only the year and the month.
plat::DateTime DiffMonth(plat::DateTime date);
// One calendar month later: December becomes January of the next year.
plat::DateTime MyIncMonth(plat::DateTime date);

}  // namespace server
