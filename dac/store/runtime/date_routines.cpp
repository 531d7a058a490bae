#include "dac/store/runtime/date_routines.h"

#include "dac/framework/classes/exceptions.h"

namespace dac {

DateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond) {
  DateTime value = 0;
  if (!TryEncodeDateTime(year, month, day, hour, minute, second, millisecond, value))
    throw EConvertError("Invalid argument to date encode");
  return value;
}

DateTime TimeStampToDateTime(const TimeStamp& stamp) {
  DateTime value = 0;
  if (!plat::TryTimeStampToDateTime(stamp, value))
    throw EConvertError(Format("'%d.%d' is not a valid timestamp", stamp.date, stamp.time));
  return value;
}

}  // namespace dac
