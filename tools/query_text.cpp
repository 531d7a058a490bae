#include "tools/query_text.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <stdexcept>

#include "dac/mysql/client/api/mysql_api_direct.h"
#include "dac/mysql/client/wire/client_records.h"

namespace tools {

namespace {

// Beyond this the server writes a FLOAT or DOUBLE in its exponent form.
constexpr int kMinFixedExponent = -15;
constexpr int kMaxFixedExponent = 14;
// Column decimals from this up mean "as many as needed".
constexpr int kNotFixedDecimals = 31;
constexpr int kFloatDigits = 6;

std::string Escaped(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    switch (c) {
      case '\0': out += "\\0"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

class ValueReader {
 public:
  explicit ValueReader(std::string_view value) : value_(value) {}
  uint64_t Unsigned(size_t size) {
    if (position_ + size > value_.size()) throw std::invalid_argument("binary value too short for its type");
    uint64_t v = 0;
    for (size_t i = 0; i < size; ++i)
      v |= static_cast<uint64_t>(static_cast<uint8_t>(value_[position_ + i])) << (8 * i);
    position_ += size;
    return v;
  }
  // The value's two's complement of the given size.
  int64_t Signed(size_t size) {
    const uint64_t v = Unsigned(size);
    const int shift = static_cast<int>(64 - 8 * size);
    return static_cast<int64_t>(v << shift) >> shift;
  }
  size_t Length() const { return value_.size(); }

 private:
  std::string_view value_;
  size_t position_ = 0;
};

std::string Padded(uint64_t value, int width) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
  return digits;
}

std::string IntegerText(const dac::TMYSQL_FIELD& field, ValueReader& reader, size_t size) {
  const bool is_unsigned = (field.flags & dac::kUnsignedFlag) != 0;
  if (!is_unsigned) return std::to_string(reader.Signed(size));
  const int width = (field.flags & dac::kZeroFillFlag) ? field.length : 0;
  return Padded(reader.Unsigned(size), width);
}

// The fraction of a date or time: exactly the column's decimals (at most 6).
std::string Fraction(const dac::TMYSQL_FIELD& field, uint64_t microseconds) {
  const int decimals = std::min(field.decimals, 6);
  if (decimals <= 0) return std::string();
  return "." + Padded(microseconds, 6).substr(0, static_cast<size_t>(decimals));
}

std::string DateText(ValueReader& reader) {
  if (reader.Length() == 0) return "0000-00-00";
  const uint64_t year = reader.Unsigned(2);
  const uint64_t month = reader.Unsigned(1);
  const uint64_t day = reader.Unsigned(1);
  return Padded(year, 4) + "-" + Padded(month, 2) + "-" + Padded(day, 2);
}

std::string DateTimeText(const dac::TMYSQL_FIELD& field, ValueReader& reader) {
  const size_t length = reader.Length();
  std::string text = DateText(reader);
  uint64_t hms[3] = {0, 0, 0};
  if (length >= 7)
    for (uint64_t& part : hms) part = reader.Unsigned(1);
  const uint64_t micro = length >= 11 ? reader.Unsigned(4) : 0;
  return text + " " + Padded(hms[0], 2) + ":" + Padded(hms[1], 2) + ":" + Padded(hms[2], 2) + Fraction(field, micro);
}

std::string TimeText(const dac::TMYSQL_FIELD& field, ValueReader& reader) {
  const size_t length = reader.Length();
  bool negative = false;
  uint64_t hours = 0, minutes = 0, seconds = 0, micro = 0;
  if (length >= 8) {
    negative = reader.Unsigned(1) != 0;
    hours = reader.Unsigned(4) * 24 + reader.Unsigned(1);
    minutes = reader.Unsigned(1);
    seconds = reader.Unsigned(1);
    if (length >= 12) micro = reader.Unsigned(4);
  }
  return std::string(negative ? "-" : "") + Padded(hours, 2) + ":" + Padded(minutes, 2) + ":" + Padded(seconds, 2) +
         Fraction(field, micro);
}

// A FLOAT or DOUBLE as decimal digits: the value is 0 or d.ddd x 10^exponent.
struct DecimalDigits {
  bool negative = false;
  std::string digits;
  int exponent = 0;
};

// significant 0: the fewest digits that tell the value apart from every
// other double; else that many, rounded. Trailing zeros are dropped.
DecimalDigits DigitsOf(double value, int significant) {
  char buffer[64];
  const std::to_chars_result done =
      significant > 0
          ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, significant - 1)
          : std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  const std::string_view text(buffer, static_cast<size_t>(done.ptr - buffer));
  const size_t e = text.find('e');
  DecimalDigits out;
  for (char c : text.substr(0, e)) {
    if (c == '-') out.negative = true;
    else if (c != '.') out.digits += c;
  }
  while (out.digits.size() > 1 && out.digits.back() == '0') out.digits.pop_back();
  const char* exponent = text.data() + e + 1;
  if (*exponent == '+') ++exponent;
  std::from_chars(exponent, text.data() + text.size(), out.exponent);
  return out;
}

// Adds one to the last digit of a digit string.
void Increment(std::string& digits) {
  for (size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(0, 1, '1');
}

// Fixed notation; places below 0: every digit, else exactly that many
// fraction digits, rounded half up. Zero has no sign.
std::string FixedText(const DecimalDigits& d, int places) {
  const int point = d.exponent + 1;
  std::string whole = "0";
  std::string fraction;
  if (point > 0) {
    whole = d.digits.substr(0, std::min(d.digits.size(), static_cast<size_t>(point)));
    whole.append(static_cast<size_t>(point) - whole.size(), '0');
    if (d.digits.size() > static_cast<size_t>(point)) fraction = d.digits.substr(static_cast<size_t>(point));
  } else {
    fraction = std::string(static_cast<size_t>(-point), '0') + d.digits;
  }
  if (places >= 0 && fraction.size() > static_cast<size_t>(places)) {
    const bool up = fraction[static_cast<size_t>(places)] >= '5';
    fraction.resize(static_cast<size_t>(places));
    if (up) {
      std::string all = whole + fraction;
      Increment(all);
      whole = all.substr(0, all.size() - fraction.size());
      fraction = all.substr(whole.size());
    }
  } else if (places >= 0) {
    fraction.append(static_cast<size_t>(places) - fraction.size(), '0');
  }
  const bool zero = (whole + fraction).find_first_not_of('0') == std::string::npos;
  return (d.negative && !zero ? "-" : "") + whole + (fraction.empty() ? "" : "." + fraction);
}

// FLOAT to six significant digits, DOUBLE to as many as tell it apart; in
// fixed notation for decimal exponents from -15 to 14, else as digits, 'e'
// and the exponent ("3.40282e38", "1e15").
std::string ShortestText(double value, bool is_float) {
  const DecimalDigits d = DigitsOf(value, is_float ? kFloatDigits : 0);
  if (d.digits == "0" || (d.exponent >= kMinFixedExponent && d.exponent <= kMaxFixedExponent))
    return FixedText(d, -1);
  return std::string(d.negative ? "-" : "") + d.digits.substr(0, 1) +
         (d.digits.size() > 1 ? "." + d.digits.substr(1) : "") + "e" + std::to_string(d.exponent);
}

// With fixed decimals the server writes the DOUBLE's digits (a FLOAT's
// widened), then pads or rounds them to the decimals.
std::string FloatingText(const dac::TMYSQL_FIELD& field, double value, bool is_float) {
  if (field.decimals >= kNotFixedDecimals) return ShortestText(value, is_float);
  return FixedText(DigitsOf(value, 0), std::max(field.decimals, 0));
}

}  // namespace

std::string BatchLine(const BatchRow& row) {
  std::string line;
  for (size_t i = 0; i < row.size(); ++i) {
    if (i > 0) line += '\t';
    line += row[i] ? Escaped(*row[i]) : std::string("NULL");
  }
  line += '\n';
  return line;
}

std::string BinaryValueText(const dac::TMYSQL_FIELD& field, std::string_view value) {
  ValueReader reader(value);
  switch (field.type) {
    case dac::mftTiny:
      return IntegerText(field, reader, 1);
    case dac::mftShort:
      return IntegerText(field, reader, 2);
    case dac::mftLong:
    case dac::mftInt24:
      return IntegerText(field, reader, 4);
    case dac::mftLongLong:
      return IntegerText(field, reader, 8);
    case dac::mftYear:
      return Padded(reader.Unsigned(2), 4);
    case dac::mftFloat: {
      const uint32_t bits = static_cast<uint32_t>(reader.Unsigned(4));
      float f;
      std::memcpy(&f, &bits, sizeof f);
      return FloatingText(field, f, true);
    }
    case dac::mftDouble: {
      const uint64_t bits = reader.Unsigned(8);
      double d;
      std::memcpy(&d, &bits, sizeof d);
      return FloatingText(field, d, false);
    }
    case dac::mftDate:
    case dac::mftNewDate:
      return DateText(reader);
    case dac::mftDateTime:
    case dac::mftTimestamp:
      return DateTimeText(field, reader);
    case dac::mftTime:
      return TimeText(field, reader);
    default:
      return std::string(value);
  }
}

BatchRow TextRow(dac::TMySQLAPI& api, dac::PMySqlRow row, uint32_t count) {
  BatchRow values;
  for (uint32_t i = 0; i < count; ++i) {
    if (api._mysql_fetch_value_is_null(row, i))
      values.push_back(std::nullopt);
    else
      values.push_back(api._mysql_fetch_value_str(row, i));
  }
  return values;
}

std::vector<dac::TMYSQL_FIELD> StatementColumns(dac::TMySQLAPI& api, dac::PMySqlStmt stmt) {
  std::vector<dac::TMYSQL_FIELD> columns;
  if (dac::PMySqlRes metadata = api.mysql_stmt_result_metadata(stmt)) {
    for (uint32_t i = 0; i < api.mysql_num_fields(metadata); ++i)
      columns.push_back(api._mysql_fetch_field_direct(metadata, i, false));
    api.mysql_free_result(metadata);
  }
  return columns;
}

namespace {

// Bytes the library writes for a bound column of each numeric type; 0 for
// the types that come as bytes.
size_t NumberSize(uint8_t type) {
  switch (type) {
    case dac::mftTiny:
      return 1;
    case dac::mftShort:
    case dac::mftYear:
      return 2;
    case dac::mftLong:
    case dac::mftInt24:
    case dac::mftFloat:
      return 4;
    case dac::mftLongLong:
    case dac::mftDouble:
      return 8;
    default:
      return 0;
  }
}

bool IsTimeColumn(uint8_t type) {
  return type == dac::mftDate || type == dac::mftNewDate || type == dac::mftDateTime || type == dac::mftTimestamp ||
         type == dac::mftTime;
}

// The buffer a column is fetched into: its own type where the libraries
// take that as a buffer type, else bytes (GEOMETRY, say, is no buffer type).
uint8_t BufferTypeOf(uint8_t type) {
  if (type == dac::mftNull) return dac::mftString;
  if (NumberSize(type) > 0 || IsTimeColumn(type)) return type;
  switch (type) {
    case dac::mftDecimal:
    case dac::mftNewDecimal:
    case dac::mftBit:
    case dac::mftString:
    case dac::mftVarString:
    case dac::mftTinyBlob:
    case dac::mftMediumBlob:
    case dac::mftLongBlob:
    case dac::mftBlob:
      return type;
    default:
      return dac::mftBlob;
  }
}

void PutLittleEndian(std::string& out, uint64_t value, size_t size) {
  for (size_t i = 0; i < size; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A MYSQL_TIME record as the protocol carries it, at full length.
std::string WireTime(uint8_t type, const dac::MYSQL_TIME& t) {
  std::string out;
  if (type == dac::mftTime) {
    PutLittleEndian(out, t.neg ? 1 : 0, 1);
    PutLittleEndian(out, t.day + t.hour / 24, 4);
    PutLittleEndian(out, t.hour % 24, 1);
  } else {
    PutLittleEndian(out, t.year, 2);
    PutLittleEndian(out, t.month, 1);
    PutLittleEndian(out, t.day, 1);
    PutLittleEndian(out, t.hour, 1);
  }
  PutLittleEndian(out, t.minute, 1);
  PutLittleEndian(out, t.second, 1);
  PutLittleEndian(out, t.second_part, 4);
  return out;
}

// A first read takes this much of a value that comes as bytes; the rest
// is fetched again by column.
constexpr unsigned long kFirstRead = 256;

}  // namespace

struct StatementRows::Binds {
  dac::TMYSQL_BINDS binds;
  std::vector<std::string> buffers;
  std::vector<unsigned long> lengths;
  std::unique_ptr<bool[]> nulls;
  std::unique_ptr<bool[]> errors;
};

StatementRows::StatementRows(dac::TMySQLAPI& api, dac::PMySqlStmt stmt)
    : api_(api), stmt_(stmt), columns_(StatementColumns(api, stmt)) {
  if (dynamic_cast<dac::TMySQLAPIDirect*>(&api) || columns_.empty()) return;
  const size_t count = columns_.size();
  binds_ = std::make_unique<Binds>();
  Binds& b = *binds_;
  b.binds.resize(count);
  b.buffers.resize(count);
  b.lengths.assign(count, 0);
  b.nulls = std::make_unique<bool[]>(count);
  b.errors = std::make_unique<bool[]>(count);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t type = columns_[i].type;
    const size_t size = IsTimeColumn(type) ? sizeof(dac::MYSQL_TIME) : NumberSize(type) ? 8 : kFirstRead;
    b.buffers[i].assign(size, '\0');
    dac::MYSQL_BIND& bind = b.binds[i];
    bind.buffer_type = BufferTypeOf(type);
    bind.buffer = b.buffers[i].data();
    bind.buffer_length = size;
    bind.length = &b.lengths[i];
    bind.is_null = &b.nulls[i];
    bind.error = &b.errors[i];
    bind.is_unsigned = (columns_[i].flags & dac::kUnsignedFlag) != 0;
  }
  if (api_._mysql_stmt_bind_result(stmt_, b.binds)) columns_.clear();
}

StatementRows::~StatementRows() = default;

int32_t StatementRows::Next(BatchRow& row) {
  row.clear();
  if (columns_.empty()) return dac::kMySqlNoData;
  dac::PMySqlRow fetched_row = nullptr;
  const int32_t fetched = binds_ ? api_.mysql_stmt_fetch(stmt_) : api_._mysql_stmt_fetch(stmt_, fetched_row);
  if (fetched != 0 && fetched != dac::kMySqlDataTruncated) return fetched;
  row = binds_ ? BoundRow() : ValueRow();
  return 0;
}

BatchRow StatementRows::ValueRow() {
  dac::TMySqlLengths lengths;
  api_._mysql_stmt_fetch_lengths(stmt_, lengths);
  BatchRow values;
  for (uint32_t i = 0; i < columns_.size(); ++i) {
    const char* value = api_._mysql_stmt_fetch_value_ptr(stmt_, i);
    if (!value)
      values.push_back(std::nullopt);
    else
      values.push_back(BinaryValueText(columns_[i], std::string_view(value, lengths.at(i))));
  }
  return values;
}

BatchRow StatementRows::BoundRow() {
  Binds& b = *binds_;
  BatchRow values;
  for (uint32_t i = 0; i < columns_.size(); ++i) {
    const uint8_t type = columns_[i].type;
    if (b.nulls[i]) {
      values.push_back(std::nullopt);
      continue;
    }
    std::string bytes;
    if (IsTimeColumn(type)) {
      dac::MYSQL_TIME time;
      std::memcpy(&time, b.buffers[i].data(), sizeof time);
      bytes = WireTime(type, time);
    } else if (const size_t size = NumberSize(type)) {
      bytes = b.buffers[i].substr(0, size);
    } else {
      const unsigned long length = b.lengths[i];
      const unsigned long got = std::min(length, kFirstRead);
      bytes.assign(b.buffers[i].data(), got);
      if (length > got) {
        bytes.resize(length);
        dac::TMYSQL_BINDS rest = b.binds;
        rest[i].buffer = bytes.data() + got;
        rest[i].buffer_length = length - got;
        if (api_._mysql_stmt_fetch_column(stmt_, rest, i, got) != 0)
          throw std::runtime_error("a long value could not be fetched: " + api_.mysql_stmt_error(stmt_));
      }
    }
    values.push_back(BinaryValueText(columns_[i], bytes));
  }
  return values;
}

std::string ErrorLine(uint32_t code, const std::string& message) {
  std::string state = "HY000";
  std::string text = message;
  if (code >= 2000 && code < 3000) {
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, " ");
  } else {
    if (text.starts_with("\r\n")) text.erase(0, 2);
    if (text.size() >= 6 && text[0] == '#') {
      state = text.substr(1, 5);
      text.erase(0, 6);
    }
  }
  return "ERROR " + std::to_string(code) + " (" + state + "): " + text;
}

std::string ErrorLine(uint32_t code, const std::string& sqlstate, const std::string& message) {
  std::string line = ErrorLine(code, message);
  if (sqlstate.size() != 5) return line;
  const size_t open = line.find('(');
  return line.replace(open + 1, 5, sqlstate);
}

}  // namespace tools
