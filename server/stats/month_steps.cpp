#include "server/stats/month_steps.h"

#include <algorithm>

namespace server {
namespace {

plat::DateTime MonthWithDay(int year, int month, int day, plat::DateTime fallback) {
  plat::DateTime out = fallback;
  // Outside years 1..9999 there is no date to step to; the date stays.
  if (!plat::TryEncodeDate(year, month, std::min(day, plat::DaysInMonth(year, month)), out)) return fallback;
  return out;
}

}  // namespace

plat::DateTime DiffMonth(plat::DateTime date) {
  const plat::CalendarDate d = plat::DecodeDate(date);
  return d.month == 1 ? MonthWithDay(d.year - 1, 12, d.day, date) : MonthWithDay(d.year, d.month - 1, d.day, date);
}

plat::DateTime MyIncMonth(plat::DateTime date) {
  const plat::CalendarDate d = plat::DecodeDate(date);
  return d.month == 12 ? MonthWithDay(d.year + 1, 1, d.day, date) : MonthWithDay(d.year, d.month + 1, d.day, date);
}

}  // namespace server
