#include "dac/mysql/client/wire/client_records.h"

#include "dac/framework/values/text_conversions.h"

namespace dac {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void DecodeVersion(std::string_view version, int& major, int& minor, int& release) {
  const size_t dot = version.find('.');
  const std::string_view major_text = version.substr(0, dot);
  size_t pos = dot == std::string_view::npos ? version.size() : dot + 1;
  const size_t minor_start = pos;
  while (pos < version.size() && IsDigit(version[pos])) ++pos;
  const std::string_view minor_text = version.substr(minor_start, pos - minor_start);
  // One separator character is skipped before the release digits.
  size_t release_start = pos < version.size() ? pos + 1 : pos;
  size_t release_end = release_start;
  while (release_end < version.size() && IsDigit(version[release_end])) ++release_end;
  const std::string_view release_text = version.substr(release_start, release_end - release_start);
  major = StrToInt(major_text);
  minor = StrToInt(minor_text);
  release = StrToInt(release_text);
}

bool IsNumField(uint8_t type, int32_t length) {
  if (type == mftTimestamp) return length == 14 || length == 8;
  return type <= mftInt24 || type == mftYear;
}

TMySqlFieldInfo MySqlFieldInfo(std::string name, std::string org_name, std::string table, std::string org_table,
                               std::string db, std::string def, int32_t length, int32_t decimals,
                               int32_t max_length, uint32_t flags, int32_t charsetnr, uint8_t type) {
  TMySqlFieldInfo info;
  info.name = std::move(name);
  info.org_name = std::move(org_name);
  info.table = std::move(table);
  info.org_table = std::move(org_table);
  info.db = std::move(db);
  info.def = std::move(def);
  info.length = length;
  info.decimals = decimals;
  info.max_length = max_length;
  info.flags = flags;
  info.charsetnr = charsetnr;
  info.type = type;
  if (IsNumField(type, length)) info.flags |= kNumFlag;
  return info;
}

MYSQL_TIME DateTimeToMYSQL_TIME(plat::DateTime value) {
  // Split once, as decoding splits: the whole day decodes to the same date.
  const plat::DayAndTime split = plat::SplitDateTime(value);
  const plat::CalendarDate date = plat::DecodeDate(static_cast<plat::DateTime>(split.days_since_epoch));
  const uint32_t ms = static_cast<uint32_t>(split.milliseconds);
  MYSQL_TIME out;
  out.year = static_cast<uint32_t>(date.year);
  out.month = static_cast<uint32_t>(date.month);
  out.day = static_cast<uint32_t>(date.day);
  out.hour = ms / 3600000;
  out.minute = ms / 60000 % 60;
  out.second = ms / 1000 % 60;
  out.second_part = ms % 1000 * 1000;
  out.neg = false;
  out.time_type = 1;
  return out;
}

}  // namespace dac
