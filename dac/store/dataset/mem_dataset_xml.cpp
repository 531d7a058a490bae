// TMemDataSet: the rowset XML export (schema, then one row element per
// record), written with apostrophe quotes and two-space indentation.
#include <algorithm>
#include <cstring>
#include <string>
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
  const plat::CalendarDate date = plat::DecodeDate(value);
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

// A field of the export and the attribute name its rows use; for fields of
// the scalar classes, whose null test is the record's null indicator, the
// number of that indicator (0 for the field's own test).
struct ExportedField {
  TField* field;
  TFieldDesc* desc;
  std::string row_name;
  uint16_t null_indicator = 0;
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
// there is no record, the field is not one the record holds directly, or its
// value is null.
const uint8_t* TMemDataSet::NativeSlot(TField* field, TFieldDesc* desc, const TMetaClass& type,
                                       TRecordBuffer& record) {
  if (&field->ClassType() != &type || field->FieldKind() != fkData || field->FieldNo() != desc->GetFieldNo() ||
      desc->HasParent()) {
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

  std::vector<ExportedField> exported;
  int aliases = 0;
  for (int i = 0; i < Fields().Count(); ++i) {
    TField* field = Fields().Fields(i);
    if (field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup) continue;
    TFieldDesc* desc = GetFieldDesc(field);
    if (!desc) continue;
    const std::string alias = IsValidXmlName(desc->GetName()) ? std::string() : "c" + std::to_string(++aliases);
    // The rows name the attribute as the schema declared it.
    const bool by_indicator = TestsNullByIndicator(*field) && field->FieldKind() == fkData &&
                              field->FieldNo() == desc->GetFieldNo() && !desc->HasParent();
    exported.push_back({field, desc, alias.empty() ? EncodedName(desc->GetName(), field) : alias,
                        by_indicator ? desc->GetFieldNo() : uint16_t{0}});
    xml.WriteStartElement("s:AttributeType");
    WriteFieldXMLAttributeType(field, desc, alias, xml);
    xml.WriteStartElement("s:datatype");
    WriteFieldXMLDataType(field, desc, alias, xml);
    xml.WriteEndElement();
    xml.WriteFullEndElement();
  }
  WriteSchemaEnd(xml);

  xml.WriteStartElement("rs:data");
  // The row's record is the values' only while its row is written.
  struct RowRecord {
    TRecordBuffer& record;
    ~RowRecord() { record = nullptr; }
  } row_record{xml_record_};
  for (First(); !GetEOF(); Next()) {
    xml.WriteStartElement("z:row");
    TRecordBuffer record = nullptr;
    GetActiveRecBuf(record);
    xml_record_ = record;
    for (const ExportedField& item : exported) {
      // As the field would find it, without the way through the field.
      const bool null = item.null_indicator && record ? record_set_->GetNull(item.null_indicator, record)
                                                      : item.field->IsNull();
      if (null) continue;
      xml.WriteAttributeString(item.row_name, Encoded(GetFieldXMLValue(item.field, item.desc), item.field));
    }
    xml_record_ = nullptr;
    xml.WriteEndElement();
  }
  xml.WriteFullEndElement();
  xml.WriteFullEndElement();
  xml.Close();
}

}  // namespace dac
