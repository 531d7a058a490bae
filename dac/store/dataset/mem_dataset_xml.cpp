// TMemDataSet: the rowset XML export (schema, then one row element per
// record), written with apostrophe quotes and two-space indentation.
#include <algorithm>
#include <charconv>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dac/framework/classes/with_cleanup.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/boolean_field.h"
#include "dac/framework/data/date_time_fields.h"
#include "dac/framework/data/numeric_fields.h"
#include "dac/framework/data/string_fields.h"
#include "dac/framework/values/bcd.h"
#include "dac/framework/values/currency.h"
#include "dac/framework/values/text_conversions.h"
#include "dac/store/blob/blob.h"
#include "dac/store/dataset/mem_dataset.h"
#include "dac/store/record/data_type_traits.h"
#include "dac/store/xml/atomic_file_stream.h"
#include "dac/store/xml/chunk_writer.h"
#include "dac/store/xml/stream_writer.h"
#include "dac/store/xml/xml_export_text.h"
#include "dac/store/xml/xml_text_writer.h"
#include "platform/code_page.h"
#include "platform/date_time.h"
#include "platform/format_settings.h"

namespace dac {

namespace {

// XMLEncode of UTF-8 text; a character XML cannot carry stops the export.
std::string Encoded(std::string utf8, TField* field) {
  // One look finds plain text, which goes as it is.
  if (IsPlainXmlText(utf8)) return utf8;  // moved out
  if (!IsXmlText(utf8)) {
    DatabaseErrorFmt(nullptr, "Field '%s' holds a control character that XML does not allow",
                     field->FieldName().c_str());
  }
  return XMLEncode(utf8);
}

std::string EncodedName(const std::string& name, TField* field) { return Encoded(plat::AnsiToUtf8(name), field); }

std::string PointDecimal(const std::string& text) {
  return ChangeDecimalSeparator(text, plat::ProcessFormatSettings().decimal_separator, '.');
}

void PutTwoDigits(char* at, int value) {
  at[0] = static_cast<char>('0' + value / 10 % 10);
  at[1] = static_cast<char>('0' + value % 10);
}

std::string TimeText(DateTime value) {
  const plat::TimeOfDay time = plat::DecodeTime(value);
  char text[8] = {0, 0, ':', 0, 0, ':', 0, 0};
  PutTwoDigits(text, time.hour);
  PutTwoDigits(text + 3, time.minute);
  PutTwoDigits(text + 6, time.second);
  return std::string(text, sizeof text);
}

std::string DateTimeText(DateTime value) {
  // A database's zero date as the rowset has always held it: the first day.
  const plat::CalendarDate date = plat::IsZeroDateTime(value) ? plat::CalendarDate{1, 1, 1} : plat::DecodeDate(value);
  const plat::TimeOfDay time = plat::DecodeTime(value);
  // yyyy-mm-ddThh:mm:ss, the year in four digits (0005 for 5).
  char text[19] = {0, 0, 0, 0, '-', 0, 0, '-', 0, 0, 'T', 0, 0, ':', 0, 0, ':', 0, 0};
  PutTwoDigits(text, date.year / 100);
  PutTwoDigits(text + 2, date.year % 100);
  PutTwoDigits(text + 5, date.month);
  PutTwoDigits(text + 8, date.day);
  PutTwoDigits(text + 11, time.hour);
  PutTwoDigits(text + 14, time.minute);
  PutTwoDigits(text + 17, time.second);
  if (date.year >= 0 && date.year <= 9999) return std::string(text, sizeof text);
  return std::to_string(date.year) + std::string(text + 4, sizeof text - 4);
}

// The string, memo, wide and binary types: they may be long.
bool MayBeLong(uint16_t type) {
  const TValueFamily family = FamilyOf(type);
  return family == TValueFamily::kText || family == TValueFamily::kBytes || family == TValueFamily::kBlob;
}

// The document's start up to the row's element type, and the end of the schema.
void WriteSchemaStart(XmlTextWriter& xml) {
  xml.SetQuoteChar('\'');
  xml.SetFormatting(Formatting::Indented);
  xml.SetIndentation(2);
  xml.SetIndentChar(' ');
  xml.WriteStartElement("xml");
  xml.WriteAttributeString("xmlns:s", "uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882");
  xml.WriteAttributeString("xmlns:dt", "uuid:C2F41010-65B3-11d1-A29F-00AA00C14882");
  xml.WriteAttributeString("xmlns:rs", "urn:schemas-microsoft-com:rowset");
  xml.WriteAttributeString("xmlns:z", "#RowsetSchema");
  xml.WriteStartElement("s:Schema");
  xml.WriteAttributeString("id", "RowsetSchema");
  xml.WriteStartElement("s:ElementType");
  xml.WriteAttributeString("name", "row");
  xml.WriteAttributeString("content", "eltOnly");
  xml.WriteAttributeString("rs:updatable", "true");
}

void WriteSchemaEnd(XmlTextWriter& xml) {
  xml.WriteStartElement("s:extends");
  xml.WriteAttributeString("type", "rs:rowbase");
  xml.WriteEndElement();
  xml.WriteFullEndElement();
  xml.WriteFullEndElement();
}

// The export's dt:maxLength of a field; empty for none.
std::string XmlMaxLength(TXmlLength kind, const TFieldDesc& desc) {
  switch (kind) {
    case TXmlLength::kLength: return std::to_string(desc.GetLength());
    case TXmlLength::kSize: return std::to_string(desc.GetSize());
    case TXmlLength::kUnbounded: return "2147483647";
    case TXmlLength::kGuid: return "16";
    default: return "";
  }
}

// How the rows write a field's value.
enum class ValueWay : uint8_t {
  kField,     // GetFieldXMLValue, escaped
  kInt32,     // from the record's slot: the integer in decimal
  kFloat,     // FloatToXmlText of the slot's double
  kDateTime,  // the slot's date-time (by way of the field outside 0001 to 9999)
  kText,      // the slot's text, of the code page
};

// A field of the export, the attribute its rows write (" name='"), and for
// fields of the scalar classes, whose null test is the record's null
// indicator, the number of that indicator (0 for the field's own test).
struct ExportedField {
  static constexpr size_t kShortAttribute = 32;
  TField* field;
  TFieldDesc* desc;
  std::string attribute;
  char short_attribute[kShortAttribute] = {};  // the attribute when it fits, padded
  uint16_t null_indicator = 0;
  ValueWay way = ValueWay::kField;
  // kText: the most bytes the field reads of the slot, whether trailing
  // blanks are trimmed and up to which length (none: the whole text).
  size_t text_limit = 0;
  bool trim = false;
  size_t trim_length = 0;
};

// The standard scalar field classes: none of them tests for null otherwise.
bool TestsNullByIndicator(const TField& field) {
  static const TMetaClass* const kClasses[] = {
      &TStringField::ClassInfo(),   &TWideStringField::ClassInfo(), &TGuidField::ClassInfo(),
      &TIntegerField::ClassInfo(),  &TSmallintField::ClassInfo(),   &TWordField::ClassInfo(),
      &TAutoIncField::ClassInfo(),  &TLargeintField::ClassInfo(),   &TFloatField::ClassInfo(),
      &TCurrencyField::ClassInfo(), &TBCDField::ClassInfo(),        &TFMTBCDField::ClassInfo(),
      &TDateTimeField::ClassInfo(), &TDateField::ClassInfo(),       &TTimeField::ClassInfo(),
      &TBooleanField::ClassInfo()};
  const TMetaClass* type = &field.ClassType();
  return std::find(std::begin(kClasses), std::end(kClasses), type) != std::end(kClasses);
}

// The way of a field whose value the record holds directly; kField for the
// others, for subclasses (which may read themselves otherwise) and for text
// the record set changes on reading (line ends).
ValueWay StoredWay(TField& field, const TFieldDesc& desc, bool convert_eol) {
  if (field.FieldKind() != fkData || field.FieldNo() != desc.GetFieldNo() || desc.HasParent()) return ValueWay::kField;
  const TMetaClass* type = &field.ClassType();
  const TFieldType field_type = field.DataType();
  const uint16_t stored = desc.GetDataType();
  const size_t size = desc.GetSize();
  if (type == &TIntegerField::ClassInfo() && field_type == ftInteger && stored == dtInteger && size == 4) {
    return ValueWay::kInt32;
  }
  if (type == &TFloatField::ClassInfo() && stored == dtFloat && size == sizeof(double)) return ValueWay::kFloat;
  if (type == &TDateTimeField::ClassInfo() && field_type == ftDateTime && stored == dtDateTime &&
      size == sizeof(DateTime)) {
    return ValueWay::kDateTime;
  }
  if (type == &TStringField::ClassInfo() && field_type == ftString && stored == dtString && field.Size() < 256 &&
      size > 0 && !convert_eol) {
    return ValueWay::kText;
  }
  return ValueWay::kField;
}

// The field's text as it reads it from the slot (GetField into a buffer of
// its DataSize, trimmed as the record set trims, cut to its Size).
std::string_view StoredText(const ExportedField& item, const uint8_t* slot) {
  size_t length = strnlen(reinterpret_cast<const char*>(slot), item.text_limit);
  if (item.trim) {
    length = std::min(length, item.trim_length);
    while (length > 0 && slot[length - 1] == ' ') --length;
  }
  length = std::min(length, static_cast<size_t>(item.field->Size()));
  return std::string_view(reinterpret_cast<const char*>(slot), length);
}

template <typename T>
T Load(const uint8_t* slot) {
  T value;
  std::memcpy(&value, slot, sizeof value);
  return value;
}

// The value of a field of a stored way written at out (room for attribute
// text of the value reserved), its end returned; null when the value must go
// by way of the field.
char* PutStoredValue(const ExportedField& item, const uint8_t* slot, char* out) {
  switch (item.way) {
    case ValueWay::kInt32: return std::to_chars(out, out + 12, Load<int32_t>(slot)).ptr;
    case ValueWay::kFloat: return PutFloatXmlText(out, Load<double>(slot));
    case ValueWay::kDateTime: return PutXmlDateTime(out, Load<DateTime>(slot));
    case ValueWay::kText: return PutXmlText(out, StoredText(item, slot));
    case ValueWay::kField: break;
  }
  return nullptr;
}

// The room a stored value may need.
size_t StoredRoom(const ExportedField& item) {
  switch (item.way) {
    case ValueWay::kFloat: return kFloatXmlTextRoom;
    case ValueWay::kText: return XmlTextRoom(item.text_limit);
    default: return 24;
  }
}

// An exported field with the attribute its rows write and the way its
// values go.
ExportedField PlanField(TField* field, TFieldDesc* desc, const std::string& name, bool stored_values,
                        bool convert_eol, const TData& data) {
  ExportedField item;
  item.field = field;
  item.desc = desc;
  item.attribute = " " + name + "='";
  item.attribute.copy(item.short_attribute, ExportedField::kShortAttribute);
  const bool by_indicator = TestsNullByIndicator(*field) && field->FieldKind() == fkData &&
                            field->FieldNo() == desc->GetFieldNo() && !desc->HasParent();
  item.null_indicator = by_indicator ? desc->GetFieldNo() : uint16_t{0};
  item.way = stored_values && by_indicator ? StoredWay(*field, *desc, convert_eol) : ValueWay::kField;
  if (item.way == ValueWay::kText) {
    item.text_limit = std::min<size_t>(desc->GetSize() - 1u, static_cast<size_t>(field->DataSize()) - 1u);
    item.trim = desc->GetFixed() ? data.GetTrimFixedChar() : data.GetTrimVarChar();
    item.trim_length = desc->GetFixed() ? desc->GetLength() : item.text_limit;
  }
  return item;
}

// The rows of an export, each laid out in place in a chunk that goes to the
// stream when full. A failure leaves in the stream what a writer of one row
// at a time would leave: the rows before the failing one, and without a row
// not even the start tag of "rs:data" (still pending in the XML writer).
class XmlRows {
 public:
  // A value of a field that goes by way of the field, escaped.
  using FieldText = std::function<std::string(const ExportedField&)>;

  XmlRows(const std::vector<ExportedField>& fields, TData& data, bool stored_values, XmlTextWriter& xml,
          StreamWriter& out, FieldText field_text)
      : fields_(fields),
        data_(data),
        data_size_(static_cast<size_t>(data.GetDataSize())),
        stored_values_(stored_values),
        xml_(xml),
        chunk_(out),
        field_text_(std::move(field_text)) {}

  // Every row of the dataset from its first; record is the row's record while it is written.
  void WriteAll(TMemDataSet& ds, TRecordBuffer& record) {
    try {
      for (ds.First(); !ds.GetEOF(); ds.Next()) {
        row_start_ = chunk_.Size();
        ds.GetActiveRecBuf(record);
        PutRow(record);
        record = nullptr;
        row_start_ = chunk_.Size();
        if (row_start_ >= ChunkWriter::kChunk) HandOn();
      }
    } catch (...) {
      chunk_.Truncate(row_start_);
      if (!stream_failed_ && chunk_.Size() > 0) HandOn();
      throw;
    }
    HandOn();
  }

 private:
  // A row as the writer would lay it out at its depth (two, indented by two).
  static constexpr std::string_view kRowStart = "\r\n    <z:row";
  static constexpr std::string_view kEmptyRowEnd = ">\r\n    </z:row>";

  void HandOn() {
    stream_failed_ = true;  // until both went out
    xml_.Flush();
    chunk_.Flush();
    stream_failed_ = false;
  }

  // As the field would find it, without the way through the field.
  bool IsNull(const ExportedField& item, TRecordBuffer record) const {
    if (!item.null_indicator || !record) return item.field->IsNull();
    if (stored_values_) return record[data_size_ + item.null_indicator - 1] == 1;  // the indicators follow the data
    return data_.GetNull(item.null_indicator, record);
  }

  void PutRow(TRecordBuffer record) {
    char* at = std::copy(kRowStart.begin(), kRowStart.end(), chunk_.Room(kRowStart.size()));
    bool any = false;
    for (const ExportedField& item : fields_) {
      if (IsNull(item, record)) continue;
      any = true;
      chunk_.End(at);
      at = PutAttribute(item, record);
    }
    chunk_.End(at);
    const std::string_view end = any ? std::string_view(" />") : kEmptyRowEnd;
    chunk_.End(std::copy(end.begin(), end.end(), chunk_.Room(end.size())));
  }

  // The attribute at the chunk's end; returns where it ends.
  char* PutAttribute(const ExportedField& item, TRecordBuffer record) {
    const std::string& attribute = item.attribute;
    char* value = nullptr;
    if (item.way != ValueWay::kField && record) {
      char* at = chunk_.Room(ExportedField::kShortAttribute + attribute.size() + StoredRoom(item) + 1);
      // A short name goes in one fixed-size copy.
      if (attribute.size() <= ExportedField::kShortAttribute) {
        std::memcpy(at, item.short_attribute, ExportedField::kShortAttribute);
      } else {
        std::memcpy(at, attribute.data(), attribute.size());
      }
      value = PutStoredValue(item, record + item.desc->GetOffset(), at + attribute.size());
    }
    if (!value) {
      const std::string text = field_text_(item);
      char* at = chunk_.Room(attribute.size() + text.size() + 1);
      value = std::copy(text.begin(), text.end(), std::copy(attribute.begin(), attribute.end(), at));
    }
    *value++ = '\'';
    return value;
  }

  const std::vector<ExportedField>& fields_;
  TData& data_;
  const size_t data_size_;
  const bool stored_values_;
  XmlTextWriter& xml_;
  ChunkWriter chunk_;
  FieldText field_text_;
  size_t row_start_ = 0;        // where the row being written begins in the chunk
  bool stream_failed_ = false;  // handing on failed: nothing more goes to the stream
};

}  // namespace

// ---- per field ----

void TMemDataSet::WriteFieldXMLAttributeType(TField* field, TFieldDesc* desc, const std::string& alias,
                                             XmlTextWriter& writer) {
  const std::string name = EncodedName(desc->GetName(), field);
  if (alias.empty()) {
    writer.WriteAttributeString("name", name);
  } else {
    writer.WriteAttributeString("name", alias);
    writer.WriteAttributeString("rs:name", name);
  }
  writer.WriteAttributeString("rs:number", std::to_string(desc->GetFieldNo()));
  if (!field->Required() && !field->ReadOnly()) writer.WriteAttributeString("rs:nullable", "true");
  if (!field->ReadOnly()) writer.WriteAttributeString("rs:writeunknown", "true");
  if (!desc->GetFullName().empty()) writer.WriteAttributeString("rs:basecolumn", EncodedName(desc->GetFullName(), field));
  if (desc->GetIsKey()) writer.WriteAttributeString("rs:keycolumn", "true");
  if (field->AutoGenerateValue() == arAutoInc) writer.WriteAttributeString("rs:autoincrement", "true");
}

void TMemDataSet::WriteFieldXMLDataType(TField* field, TFieldDesc* desc, const std::string&, XmlTextWriter& writer) {
  const uint16_t type = desc->GetDataType();
  const TDataTypeTraits& traits = DataTypeTraits(type);
  if (type > dtWideMemo || !traits.xml_type) DatabaseError("Data type is not supported");
  const auto write = [&writer](const char* name, const std::string& value) { writer.WriteAttributeString(name, value); };
  // A FLOAT column (less than 8 digits) exports as four bytes.
  const bool single = type == dtFloat && desc->GetLength() < 8;
  write("dt:type", single ? "r4" : traits.xml_type);
  // Text names its database type after the length, numbers before it.
  const bool text = traits.chars != TCharKind::kNone;
  if (traits.xml_dbtype && !text) write("rs:dbtype", traits.xml_dbtype);
  if (const std::string length = single ? "4" : XmlMaxLength(traits.xml_max_length, *desc); !length.empty()) {
    write("dt:maxLength", length);
  }
  if (traits.xml_dbtype && text) write("rs:dbtype", traits.xml_dbtype);
  if (traits.xml_scale) write("rs:scale", std::to_string(desc->GetScale()));
  if (traits.xml_precision == TXmlPrecision::kLength) write("rs:precision", std::to_string(desc->GetLength()));
  if (traits.xml_precision == TXmlPrecision::kDigits) write("rs:precision", traits.xml_digits);
  if (MayBeLong(type) && field->IsBlob() && !desc->GetFixed()) write("rs:long", "true");
  if (desc->GetFixed() && type != dtUnknown && type != dtVariant) write("rs:fixedlength", "true");
  if (field->Required() && !field->ReadOnly()) write("rs:maybenull", "false");
}

// Where a scalar field of the standard class keeps its value in the current
// record (WriteXml's row while it writes it), the record with it; null when
// there is no record, the field is not one the record holds directly, the
// record set reads its values its own way, or the value is null.
const uint8_t* TMemDataSet::NativeSlot(TField* field, TFieldDesc* desc, const TMetaClass& type,
                                       TRecordBuffer& record) {
  if (&field->ClassType() != &type || field->FieldKind() != fkData || field->FieldNo() != desc->GetFieldNo() ||
      desc->HasParent() || record_set_->ReadsOwnValues()) {
    return nullptr;
  }
  record = xml_record_;
  if (!record && !GetActiveRecBuf(record)) return nullptr;
  if (record_set_->GetNull(desc->GetFieldNo(), record)) return nullptr;
  return record + desc->GetOffset();
}

// A scalar field's value in its native form as the field itself reads it
// (GetData); false when NativeSlot finds none.
bool TMemDataSet::ReadNativeValue(TField* field, TFieldDesc* desc, const TMetaClass& type, void* dest) {
  TRecordBuffer record = nullptr;
  if (!NativeSlot(field, desc, type, record)) return false;
  bool blank = true;
  record_set_->GetField(desc->GetFieldNo(), record, dest, static_cast<size_t>(field->DataSize()), blank);
  return !blank;
}

namespace {

// A float's text, from its slot when it has one (else as the field reads it).
std::string FloatXmlText(TField* field, const uint8_t* slot) {
  if (!slot) return FloatToXmlText(field->AsFloat());
  double value = 0;
  std::memcpy(&value, slot, sizeof value);
  return FloatToXmlText(value);
}

// A date-time's text, from its slot when it has one.
std::string DateTimeXmlText(TField* field, const uint8_t* slot) {
  if (slot) {
    // The record keeps the date-time, which the field reads by way of its
    // milliseconds; within the range the milliseconds read back from, the
    // way there and back is the time stamp's.
    DateTime stored = 0;
    std::memcpy(&stored, slot, sizeof stored);
    const plat::TimeStamp stamp = plat::DateTimeToTimeStamp(stored);
    DateTime value = 0;
    if (stamp.date > 0 && stamp.date < 3652060 && stamp.time >= 0 && stamp.time < plat::kMSecsPerDay &&
        plat::TryTimeStampToDateTime(stamp, value)) {
      return DateTimeText(value);
    }
  }
  return DateTimeText(field->AsDateTime());
}

}  // namespace

std::string TMemDataSet::GetFieldXMLValue(TField* field, TFieldDesc* desc) {
  switch (desc->GetDataType()) {
    case dtBoolean: return BoolToStr(field->AsBoolean());
    case dtFloat: {
      TRecordBuffer record = nullptr;
      const bool native = desc->GetSize() == sizeof(double);
      return FloatXmlText(field, native ? NativeSlot(field, desc, TFloatField::ClassInfo(), record) : nullptr);
    }
    case dtCurrency:
    case dtBCD: return PointDecimal(CurrToStr(field->AsCurrency()));
    case dtFmtBCD: return BcdToStr(field->AsBCD());
    case dtDate:
    case dtDateTime: {
      TRecordBuffer record = nullptr;
      const bool native = field->DataType() == ftDateTime && desc->GetDataType() == dtDateTime &&
                          desc->GetSize() == sizeof(DateTime);
      return DateTimeXmlText(field, native ? NativeSlot(field, desc, TDateTimeField::ClassInfo(), record) : nullptr);
    }
    case dtTime: return TimeText(field->AsDateTime());
    case dtBlob: return HexText(field->AsString());
    case dtBytes:
    case dtVarBytes:
    case dtExtVarBytes: {
      const TBytes bytes = field->AsBytes();
      return HexText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    case dtWideMemo: {
      TBlob* blob = GetBlob(field);
      return blob ? plat::Utf16ToUtf8(blob->GetAsWideString()) : std::string();
    }
    default: break;
  }
  if (field->DataType() == ftWideString && dynamic_cast<TWideStringField*>(field)) {
    return plat::Utf16ToUtf8(field->AsWideString());
  }
  if (field->DataType() == ftInteger && desc->GetDataType() == dtInteger && desc->GetSize() == sizeof(int32_t)) {
    TRecordBuffer record = nullptr;
    if (const uint8_t* slot = NativeSlot(field, desc, TIntegerField::ClassInfo(), record)) {
      int32_t number = 0;
      std::memcpy(&number, slot, sizeof number);
      return std::to_string(number);
    }
  }
  std::string text;
  if (field->DataType() == ftString && field->Size() < 256) {
    char chars[257] = {};
    if (ReadNativeValue(field, desc, TStringField::ClassInfo(), chars)) {
      text.assign(chars, strnlen(chars, static_cast<size_t>(field->Size())));
    } else {
      text = field->AsString();
    }
  } else {
    text = field->AsString();
  }
  // ASCII reads the same in UTF-8.
  if (IsAsciiText(text)) return text;
  return plat::AnsiToUtf8(text);
}

// ---- the document ----

void TMemDataSet::SaveToXML(const std::string& file_name) {
  TAtomicFileStream file(file_name);
  SaveToXML(file);
  file.Commit();
}

void TMemDataSet::SaveToXML(TStream& stream) {
  const bool was_active = GetActive();
  DisableControls();
  TBookmark bookmark;
  const auto restore = [&] {
    SetActive(was_active);
    if (was_active && !bookmark.empty()) GotoBookmark(bookmark);
    EnableControls();
  };
  WithCleanup(
      [&] {
        SetActive(true);
        bookmark = GetBookmark();
        WriteXml(stream);
      },
      restore);
}

void TMemDataSet::WriteXml(TStream& stream) {
  StreamWriter out(stream, &Encoding::Default());
  XmlTextWriter xml(out);
  WriteSchemaStart(xml);
  // Values may be read as the record holds them when neither the dataset's
  // value text nor the record set's reading is a descendant's own.
  const bool stored_values = !WritesOwnXMLValues() && !record_set_->ReadsOwnValues();
  const bool convert_eol = record_set_->NeedConvertEOL();
  std::vector<ExportedField> exported;
  int aliases = 0;
  for (int i = 0; i < Fields().Count(); ++i) {
    TField* field = Fields().Fields(i);
    if (field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup) continue;
    TFieldDesc* desc = GetFieldDesc(field);
    if (!desc) continue;
    const std::string alias = IsValidXmlName(desc->GetName()) ? std::string() : "c" + std::to_string(++aliases);
    // The rows name the attribute as the schema declared it.
    const std::string name = alias.empty() ? EncodedName(desc->GetName(), field) : alias;
    exported.push_back(PlanField(field, desc, name, stored_values, convert_eol, *record_set_));
    xml.WriteStartElement("s:AttributeType");
    WriteFieldXMLAttributeType(field, desc, alias, xml);
    xml.WriteStartElement("s:datatype");
    WriteFieldXMLDataType(field, desc, alias, xml);
    xml.WriteEndElement();
    xml.WriteFullEndElement();
  }
  WriteSchemaEnd(xml);

  xml.WriteStartElement("rs:data");
  xml.WriteString("");  // the start tag closed: the rows follow it
  XmlRows rows(exported, *record_set_, stored_values, xml, out, [this](const ExportedField& item) {
    return Encoded(GetFieldXMLValue(item.field, item.desc), item.field);
  });
  // The row's record is the values' only while its row is written.
  struct RowRecord {
    TRecordBuffer& record;
    ~RowRecord() { record = nullptr; }
  } row_record{xml_record_};
  rows.WriteAll(*this, xml_record_);
  xml.WriteFullEndElement();
  xml.WriteFullEndElement();
  xml.Close();
}

}  // namespace dac
