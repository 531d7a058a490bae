#include "dac/mysql/provider/my_sql_literals.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "dac/core/server/messages.h"
#include "dac/framework/classes/exceptions.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/values/bcd.h"
#include "dac/framework/values/currency.h"
#include "dac/framework/values/decimal_text.h"
#include "dac/mysql/provider/my_sql_charsets.h"
#include "dac/store/blob/blob.h"
#include "dac/store/blob/compressed_blob.h"
#include "dac/store/record/data_type_traits.h"
#include "dac/store/runtime/string_builder.h"
#include "platform/code_page.h"
#include "platform/date_time.h"
#include "platform/format_settings.h"

namespace dac {

namespace {

// The escape letter of a character, or 0 when it is copied as it is.
template <typename Char>
Char EscapeOf(Char c) {
  switch (c) {
    case 0:
      return '0';
    case 10:
      return 'n';
    case 13:
      return 'r';
    case 26:
      return 'Z';
    case '"':
    case '\'':
    case '\\':
      return c;
    default:
      return 0;
  }
}

template <typename Char>
int EscapeBuffer(Char* dest, const Char* source, int count) {
  Char* out = dest;
  for (int i = 0; i < count; ++i) {
    const Char c = source[i];
    const Char escape = EscapeOf(c);
    if (escape != 0) {
      *out++ = '\\';
      *out++ = escape;
    } else {
      *out++ = c;
    }
  }
  *out = 0;
  return static_cast<int>(out - dest);
}

template <typename Char>
std::basic_string<Char> Quote(const Char* source, int length) {
  if (length < 0) length = 0;
  std::basic_string<Char> out(static_cast<size_t>(length) * 2 + 3, Char(0));
  out[0] = '\'';
  const int written = EscapeBuffer(out.data() + 1, source, length);
  out[static_cast<size_t>(written) + 1] = '\'';
  out.resize(static_cast<size_t>(written) + 2);
  return out;
}

// ---- text and bytes for the session ----

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
  }
  return out;
}

// Where quoting cannot give the bytes back: a multibyte character could
// swallow an escaping backslash or a quote, or a backslash would read
// differently in the other escaping mode.
bool NeedsHexForm(std::string_view bytes, const TMySQLEscaping& escaping) {
  const bool high = std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) > 0x7F; });
  if (high && CharsetKindOf(escaping.charset) != TMyCharsetKind::ckPlain) return true;
  return escaping.no_backslash_escapes && bytes.find('\\') != std::string_view::npos;
}

// Quotes doubled, so that no mode reads one as the literal's end; with
// backslash escapes the characters that need it escaped.
std::string QuotedForm(std::string_view bytes, bool backslash_escapes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8 + 2);
  out += '\'';
  for (const char c : bytes) {
    const char escape = backslash_escapes && c != '\'' ? EscapeOf(c) : '\0';
    if (c == '\'') {
      out += "''";
    } else if (escape != 0) {
      out += '\\';
      out += escape;
    } else {
      out += c;
    }
  }
  out += '\'';
  return out;
}

// ---- blobs ----

// The blob's content as stored: for a compressed blob its compressed form.
std::string StoredBytes(TBlob& blob) {
  std::string bytes;
  for (PPieceHeader piece = blob.FirstPiece(); piece; piece = NextPiece(piece))
    bytes.append(reinterpret_cast<const char*>(PieceData(piece)), piece->used);
  return bytes;
}

// The blob's content as it reads: a compressed blob expanded.
std::string ContentBytes(TBlob& blob) {
  std::string bytes(blob.GetSize(), '\0');
  bytes.resize(blob.Read(0, static_cast<uint32_t>(bytes.size()), bytes.data()));
  return bytes;
}

// Text or bytes as the literal of the value's kind.
std::string PlainLiteral(std::string_view bytes, bool binary, const TMySQLEscaping& escaping) {
  return binary ? BinaryLiteral(bytes, escaping) : TextLiteral(bytes, escaping);
}

// Content bytes as a literal; under use_unicode as UTF-8 text (a Unicode blob holds UTF-16).
std::string ContentLiteral(const std::string& bytes, bool unicode_blob, bool use_unicode, bool binary,
                           const TMySQLEscaping& escaping) {
  if (!use_unicode) return PlainLiteral(bytes, binary, escaping);
  if (!unicode_blob) return TextLiteral(plat::AnsiToUtf8(bytes), escaping);
  std::u16string text(bytes.size() / 2, u'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * 2);
  return TextLiteral(plat::Utf16ToUtf8(text), escaping);
}

bool IsCompressedForm(TBlob& blob) {
  auto* compressed = dynamic_cast<TCompressedBlob*>(&blob);
  return compressed && compressed->GetCompressed();
}

// The compressed form travels as the bytes it is; any other as its text.
std::string BlobToSQL(TBlob& blob, bool use_unicode, bool binary, const TMySQLEscaping& escaping) {
  blob.Defrag();
  if (IsCompressedForm(blob)) return BinaryLiteral(StoredBytes(blob), escaping);
  return ContentLiteral(ContentBytes(blob), blob.IsUnicode(), use_unicode, binary, escaping);
}

// Values this short are never worth compressing.
constexpr uint32_t kLargestPlainBlob = 50;

std::string BlobLiteral(TBlob& blob, bool use_unicode, bool compress_blob, bool binary,
                        const TMySQLEscaping& escaping) {
  blob.Defrag();
  auto* compressed = dynamic_cast<TCompressedBlob*>(&blob);
  if (compress_blob) {
    if (compressed) {
      compressed->SetCompressed(true);
      return BlobToSQL(blob, use_unicode, binary, escaping);
    }
    if (blob.GetSize() <= kLargestPlainBlob) return BlobToSQL(blob, use_unicode, binary, escaping);
    SharedRef<TCompressedBlob> copy = MakeShared<TCompressedBlob>(blob.IsUnicode());
    const std::string content = ContentBytes(blob);
    copy->Write(0, static_cast<uint32_t>(content.size()), content.data());
    copy->SetCompressed(true);
    return BlobToSQL(*copy, use_unicode, binary, escaping);
  }
  // Not asked to compress: a compressed blob goes expanded, like any other.
  return ContentLiteral(ContentBytes(blob), blob.IsUnicode(), use_unicode, binary, escaping);
}

// Text, bytes or a blob as a literal; binary for the types of bytes.
std::string ValueLiteral(const Variant& value, bool use_unicode, bool compress_blob, bool binary,
                         const TMySQLEscaping& escaping) {
  if (value.Type() == varByRef) {
    auto* blob = dynamic_cast<TBlob*>(value.AsObject());
    DAC_ASSERT(blob != nullptr, "Value is not a blob");
    return BlobLiteral(*blob, use_unicode, compress_blob, binary, escaping);
  }
  if (value.IsBytes()) {
    const TBytes& bytes = value.AsBytes();
    return PlainLiteral(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), binary,
                        escaping);
  }
  if (use_unicode) {
    if (value.IsEmpty()) return "''";
    if (value.Type() == varOleStr) return TextLiteral(plat::Utf16ToUtf8(value.AsWideString()), escaping);
    // The whole text, NUL bytes included: nothing of the value is dropped.
    return TextLiteral(plat::AnsiToUtf8(value.AsString()), escaping);
  }
  return PlainLiteral(value.AsString(), binary, escaping);
}

// ---- numbers, dates and times ----

bool IsIntegerType(uint16_t type) { return FamilyOf(type) == TValueFamily::kInteger; }

// Text given for a number must be a decimal number (a point, or the
// locale's separator, an exponent): it goes as its digits, exact however
// many, so that only a number reaches the SQL text.
std::string NumberText(const std::string& text) {
  Decimal number;
  const char separator = plat::ProcessFormatSettings().decimal_separator;
  if (!ParseDecimal(text, '.', number) && !(separator != '.' && ParseDecimal(text, separator, number)))
    throw EConvertError("'" + text + "' is not a valid number");
  std::string digits = DecimalToFixed(number, '.');
  if (number.negative && digits != "0" && digits[0] != '-') digits.insert(0, 1, '-');
  return digits;
}

// Text given for an integer is read as one of the type first.
Variant AsInteger(uint16_t type, const Variant& value) {
  if (!value.IsString()) return value;
  if (type == dtWord || type == dtUInt32) return Variant(value.AsUInt64());
  return Variant(value.AsInt64());
}

// The fewest digits that read back as the same double; NaN and infinity
// have no SQL form and are refused.
std::string DoubleText(double value) {
  RefuseNonFinite(value);
  char text[32];
  const auto done = std::to_chars(text, text + sizeof text, value);
  return std::string(text, done.ptr);
}

std::string FloatLiteral(const Variant& value) {
  if (value.IsString()) return NumberText(value.AsString());
  return DoubleText(value.AsDouble());
}

std::string DecimalLiteral(uint16_t type, const Variant& value) {
  if (value.IsString()) return NumberText(value.AsString());
  if (value.Type() == varDouble || value.Type() == varSingle) return DoubleText(value.AsDouble());
  if (type == dtFmtBCD) return DecimalToFixed(BcdToDecimal(value.AsBcd()), '.');
  return ChangeDecimalSeparator(Variant(CurrToStr(value.AsCurrency())));
}

// 0001-01-01 up to the end of 9999-12-31, as day counts, both bounds
// excluded: before 1899-12-30 the time of day counts away from zero, so
// the times of 0001-01-01 run down towards -693594.
constexpr double kBeforeFirstDay = -693594.0;
constexpr double kPastLastDay = 2958466.0;

// With the milliseconds the value holds, when it holds any.
std::string DateText(double value, bool with_time) {
  if (!(value > kBeforeFirstDay && value < kPastLastDay)) throw EConvertError(LoadResString(SDateEncodeError));
  const plat::CalendarDate date = plat::DecodeDate(value);
  char text[64];
  if (!with_time) {
    std::snprintf(text, sizeof text, "'%04d-%02d-%02d'", date.year, date.month, date.day);
  } else {
    const plat::TimeOfDay time = plat::DecodeTime(value);
    const int length = std::snprintf(text, sizeof text, "'%04d-%02d-%02d %02d:%02d:%02d", date.year, date.month,
                                     date.day, time.hour, time.minute, time.second);
    if (time.millisecond != 0) std::snprintf(text + length, sizeof text - static_cast<size_t>(length), ".%03d", time.millisecond);
    std::strcat(text, "'");
  }
  return text;
}

// Hours unbounded, and the fraction of a second the value holds, to the
// microsecond: 3661 seconds give '1:1:1', -1.5 seconds '-0:0:1.5'.
std::string TimeText(double value) {
  const double micros_value = std::nearbyint(value * plat::kSecsPerDay * 1e6);
  // Beyond this the hours would not fit the server's TIME type nor int64.
  if (!(std::fabs(micros_value) < 1e18)) throw EConvertError("Time value out of range");
  int64_t micros = static_cast<int64_t>(micros_value);
  std::string text = micros < 0 ? "'-" : "'";
  if (micros < 0) micros = -micros;
  const int64_t seconds = micros / 1000000;
  text += std::to_string(seconds / 3600) + ":" + std::to_string(seconds / 60 % 60) + ":" + std::to_string(seconds % 60);
  if (const int64_t fraction = micros % 1000000) {
    std::string digits = std::to_string(fraction);
    digits.insert(0, 6 - digits.size(), '0');
    while (digits.back() == '0') digits.pop_back();
    text += "." + digits;
  }
  return text + "'";
}

std::string Literal(uint16_t type, const Variant& value, bool use_unicode, bool compress_blob, int server_major,
                    const TMySQLEscaping& escaping) {
  switch (type) {
    case dtUnknown:
      return ValueLiteral(value, false, compress_blob, false, escaping);
    case dtBlob:
    case dtBytes:
    case dtVarBytes:
    case dtExtVarBytes:
      return ValueLiteral(value, false, compress_blob, true, escaping);
    case dtString:
    case dtMemo:
    case dtExtString:
    case dtWideString:
    case dtExtWideString:
    case dtWideMemo:
      return ValueLiteral(value, use_unicode, compress_blob, false, escaping);
    case dtFloat:
      return FloatLiteral(value);
    case dtCurrency:
    case dtBCD:
    case dtFmtBCD:
      return DecimalLiteral(type, value);
    case dtDate:
      return DateText(value.AsDateTime(), false);
    case dtDateTime:
      return DateText(value.AsDateTime(), true);
    case dtTime:
      return TimeText(value.AsDateTime());
    case dtBoolean:
      if (server_major >= 5) return value.AsBoolean() ? "b'1'" : "b'0'";
      return value.AsBoolean() ? "1" : "0";
    default:
      if (IsIntegerType(type)) return VarToStr(AsInteger(type, value));
      // Anything else (a GUID, a variant) is text: quoted, never bare.
      return ValueLiteral(value, use_unicode, false, false, escaping);
  }
}

}  // namespace

std::string TextLiteral(std::string_view bytes, const TMySQLEscaping& escaping) {
  if (bytes.empty()) return "''";
  if (!NeedsHexForm(bytes, escaping)) return QuotedForm(bytes, !escaping.no_backslash_escapes);
  // The introducer names the set; only a set's name may stand there.
  if (!IsCharsetName(escaping.charset)) DatabaseError("Invalid character set name \"" + escaping.charset + "\"");
  // Bytes that are no text of the set (say for a binary column) go as
  // they are: the server refuses them under the set's introducer.
  if (!IsWellFormedIn(escaping.charset, bytes)) return "X'" + Hex(bytes) + "'";
  return "_" + escaping.charset + " X'" + Hex(bytes) + "'";
}

std::string BinaryLiteral(std::string_view bytes, const TMySQLEscaping& escaping) {
  if (bytes.empty()) return "''";
  if (!NeedsHexForm(bytes, escaping)) return QuotedForm(bytes, !escaping.no_backslash_escapes);
  return "X'" + Hex(bytes) + "'";
}

void RefuseNonFinite(double value) {
  if (!std::isfinite(value))
    throw EConvertError(std::string("Cannot write ") + (std::isnan(value) ? "NaN" : "an infinity") +
                        " as an SQL value: only a finite number can be written");
}

int MySQLEscapeBuffer(char* dest, const char* source, int count) { return EscapeBuffer(dest, source, count); }

int MySQLEscapeBufferW(char16_t* dest, const char16_t* source, int count) { return EscapeBuffer(dest, source, count); }

std::string QuoteEscapedString(const char* source, int length) { return Quote(source, length); }

std::string QuoteEscapedString(const std::string& source, int length) {
  if (length < 0) length = 0;
  if (static_cast<size_t>(length) > source.size()) length = static_cast<int>(source.size());
  return Quote(source.data(), length);
}

std::u16string QuoteEscapedString(const char16_t* source, int length) { return Quote(source, length); }

std::u16string QuoteEscapedString(const WideString& source) {
  const std::string text = plat::Utf16ToAnsi(source);
  return plat::AnsiToUtf16(Quote(text.data(), static_cast<int>(text.size())));
}

std::string ChangeDecimalSeparator(const Variant& value) {
  std::string text = VarToStr(value);
  const char separator = plat::ProcessFormatSettings().decimal_separator;
  if (separator == '.' || text.size() < 3) return text;
  const size_t at = text.find(separator, 1);
  if (at != std::string::npos && at < text.size() - 1) text[at] = '.';
  return text;
}

void AppendValueToSQL(StringBuilder& sql, uint16_t data_type, const Variant& value, bool is_null, bool use_unicode,
                      bool compress_blob, int server_major_version, const TMySQLEscaping& escaping) {
  if (is_null) {
    sql.Append("NULL");
    return;
  }
  if ((data_type == dtDate || data_type == dtTime || data_type == dtDateTime) && value.AsDateTime() == ZeroDate) {
    sql.Append("'0000-00-00 00:00:00'");
    return;
  }
  sql.Append(Literal(data_type, value, use_unicode, compress_blob, server_major_version, escaping));
}

std::string ValueToSQL(uint16_t data_type, const Variant& value, bool is_null, bool use_unicode, bool compress_blob,
                       int server_major_version, const TMySQLEscaping& escaping) {
  StringBuilder sql;
  AppendValueToSQL(sql, data_type, value, is_null, use_unicode, compress_blob, server_major_version, escaping);
  return sql.ToString();
}

}  // namespace dac
