#include "tools/query_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/data/field.h"
#include "dac/framework/values/bcd.h"
#include "dac/framework/values/decimal_text.h"
#include "dac/mysql/client/wire/client_records.h"
#include "dac/mysql/components/my_dataset.h"
#include "dac/mysql/provider/my_field_desc.h"
#include "dac/mysql/provider/my_sql_literals.h"
#include "dac/mysql/provider/my_value_conversion.h"
#include "dac/store/blob/blob.h"
#include "platform/code_page.h"
#include "platform/date_time.h"

namespace tools {

namespace {

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

dac::TColumnTextForm FormOf(const dac::TMYSQL_FIELD& field) {
  dac::TColumnTextForm form;
  form.mysql_type = field.type;
  form.is_unsigned = (field.flags & dac::kUnsignedFlag) != 0;
  form.zero_fill = (field.flags & dac::kZeroFillFlag) != 0;
  form.length = field.length;
  form.decimals = field.decimals;
  return form;
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
  try {
    if (auto text = dac::TextOfBinary(FormOf(field), reinterpret_cast<const uint8_t*>(value.data()), value.size()))
      return *text;
  } catch (const dac::EConvertError& e) {
    throw std::invalid_argument(e.Message());
  }
  return std::string(value);
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
  if (api._mysql_stmt_rows_in_place() || columns_.empty()) return;
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

// ---- the components' values ----

namespace {

constexpr double kMicrosPerDay = 86400.0 * 1e6;

bool IsIntegerColumn(uint8_t type) {
  return type == dac::mftTiny || type == dac::mftShort || type == dac::mftLong || type == dac::mftInt24 ||
         type == dac::mftLongLong || type == dac::mftYear;
}

bool IsTextOrBytesColumn(uint8_t type) {
  return type == dac::mftString || type == dac::mftVarChar || type == dac::mftVarString || type == dac::mftEnum ||
         type == dac::mftSet || type == dac::mftTinyBlob || type == dac::mftMediumBlob || type == dac::mftLongBlob ||
         type == dac::mftBlob || type == dac::mftGeometry || type == dac::mftNull;
}

dac::TColumnTextForm FormOf(const dac::TMySQLFieldDesc& desc) {
  dac::TColumnTextForm form;
  form.mysql_type = desc.GetMySQLType();
  form.is_unsigned = desc.GetIsUnsigned();
  form.zero_fill = desc.GetIsZeroFill();
  form.length = desc.GetDisplayLength();
  form.decimals = desc.GetDecimals();
  return form;
}

// A decimal to exactly its column's scale, zero-filled as the column says.
std::string DecimalText(const std::string& digits, const dac::TColumnTextForm& form) {
  dac::Decimal value;
  if (!dac::ParseDecimal(digits, '.', value)) return digits;
  std::string text = dac::DecimalToFixed(dac::RoundDecimal(value, std::max(form.decimals, 0)), '.', std::max(form.decimals, 0));
  if (form.zero_fill && static_cast<int>(text.size()) < form.length) text.insert(0, static_cast<size_t>(form.length) - text.size(), '0');
  return text;
}

// The bits of a BIT value as the server sends them: most significant byte
// first, as many bytes as its width takes.
std::string BitBytes(uint64_t bits, int32_t width) {
  std::string bytes(static_cast<size_t>((std::max(width, 1) + 7) / 8), '\0');
  for (size_t i = bytes.size(); i-- > 0; bits >>= 8) bytes[i] = static_cast<char>(bits & 0xFF);
  return bytes;
}

std::string DateTimeText(double value, const dac::TColumnTextForm& form) {
  const bool zero = value == dac::ZeroDate;
  const plat::CalendarDate date = zero ? plat::CalendarDate{} : plat::DecodeDate(value);
  if (form.mysql_type == dac::mftDate || form.mysql_type == dac::mftNewDate)
    return dac::ServerDateText(date.year, date.month, date.day);
  const plat::TimeOfDay time = zero ? plat::TimeOfDay{} : plat::DecodeTime(value);
  return dac::ServerDateTimeText(date.year, date.month, date.day, time.hour, time.minute, time.second,
                                 static_cast<uint32_t>(time.millisecond) * 1000, form.decimals);
}

std::string TimeText(double value, const dac::TColumnTextForm& form) {
  const auto micros = static_cast<uint64_t>(std::nearbyint(std::fabs(value) * kMicrosPerDay));
  return dac::ServerTimeText(value < 0, micros / 1000000, micros % 1000000, form.decimals);
}

std::string BlobText(dac::TCustomMyDataSet& dataset, dac::TField& field) {
  dac::TBlob* blob = dataset.GetBlob(&field);
  if (!blob) return std::string();
  return blob->IsUnicode() ? plat::Utf16ToUtf8(blob->GetAsWideString()) : blob->GetAsString();
}

}  // namespace

std::optional<std::string> FieldServerText(dac::TCustomMyDataSet& dataset, dac::TField& field) {
  if (std::string exact; dataset.GetFieldExactText(&field, exact)) return exact;
  if (field.IsNull()) return std::nullopt;
  auto* desc = dynamic_cast<dac::TMySQLFieldDesc*>(dataset.GetFieldDesc(&field));
  if (!desc) return field.GetAsString();
  const dac::TColumnTextForm form = FormOf(*desc);
  const uint8_t type = form.mysql_type;
  if (field.IsBlob()) return BlobText(dataset, field);
  if (IsTextOrBytesColumn(type)) {
    if (field.DataType() == dac::ftBytes || field.DataType() == dac::ftVarBytes) {
      const dac::TBytes bytes = field.GetAsBytes();
      return std::string(bytes.begin(), bytes.end());
    }
    if (field.DataType() == dac::ftWideString) return plat::Utf16ToUtf8(field.GetAsWideString());
    return field.GetAsString();
  }
  if (type == dac::mftBit) {
    const uint64_t bits = field.DataType() == dac::ftFMTBcd ? std::stoull(field.GetAsString())
                                                             : static_cast<uint64_t>(field.GetAsLargeInt());
    return BitBytes(bits, form.length);
  }
  if (IsIntegerColumn(type)) {
    if (field.DataType() == dac::ftFMTBcd) return dac::ServerUnsignedText(std::stoull(field.GetAsString()), form);
    const int64_t number = field.GetAsLargeInt();
    return form.is_unsigned ? dac::ServerUnsignedText(static_cast<uint64_t>(number), form)
                            : dac::ServerSignedText(number, form);
  }
  switch (type) {
    case dac::mftDecimal:
    case dac::mftNewDecimal:
      if (field.DataType() == dac::ftFMTBcd)
        return DecimalText(dac::DecimalToFixed(dac::BcdToDecimal(field.GetAsBCD()), '.'), form);
      return DecimalText(dac::ShortestDoubleText(field.GetAsFloat()), form);
    case dac::mftFloat:
    case dac::mftDouble:
      return dac::ServerFloatText(field.GetAsFloat(), form);
    case dac::mftDate:
    case dac::mftNewDate:
    case dac::mftDateTime:
    case dac::mftTimestamp:
      return DateTimeText(field.GetAsDateTime(), form);
    case dac::mftTime:
      return TimeText(field.GetAsDateTime(), form);
    default:
      return field.GetAsString();
  }
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
