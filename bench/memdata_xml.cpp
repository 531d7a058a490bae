// xml_*: SaveToXML against a plain writer of the same bytes; the document
// read back; an attribute made of entities (its decoding linear or not).
#include <charconv>
#include <cstdio>

#include "bench/memdata_fixture.h"
#include "bench/memdata_tasks.h"
#include "dac/framework/classes/streams.h"
#include "dac/store/xml/xml_text_reader.h"

namespace bench {
namespace {

void PutDigits(std::string& out, int value, int width) {
  char text[8];
  for (int i = width - 1; i >= 0; --i, value /= 10) text[i] = static_cast<char>('0' + value % 10);
  out.append(text, static_cast<size_t>(width));
}

// The document's start up to its rows, as the export writes it for the four columns.
void PutSchema(std::string& out) {
  out +=
      "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' "
      "xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>\r\n"
      "  <s:Schema id='RowsetSchema'>\r\n"
      "    <s:ElementType name='row' content='eltOnly' rs:updatable='true'>\r\n";
  const char* const columns[][2] = {
      {"KEY' rs:number='1", "dt:type='int' dt:maxLength='4' rs:precision='10'"},
      {"NAME' rs:number='2", "dt:type='string' dt:maxLength='40' rs:dbtype='str'"},
      {"AMOUNT' rs:number='3", "dt:type='float' dt:maxLength='8' rs:precision='15'"},
      {"STAMP' rs:number='4",
       "dt:type='datetime' rs:dbtype='variantdate' dt:maxLength='8' rs:scale='0' rs:precision='0'"}};
  for (const auto& column : columns) {
    out += "      <s:AttributeType name='";
    out += column[0];
    out += "' rs:nullable='true' rs:writeunknown='true'>\r\n        <s:datatype ";
    out += column[1];
    out += " />\r\n      </s:AttributeType>\r\n";
  }
  out += "      <s:extends type='rs:rowbase' />\r\n    </s:ElementType>\r\n  </s:Schema>\r\n  <rs:data>";
}

void PutRow(std::string& out, const Row& row) {
  char number[32];
  out += "\r\n    <z:row KEY='";
  out.append(number, static_cast<size_t>(std::to_chars(number, number + sizeof number, row.key).ptr - number));
  out += "' NAME='";
  out += row.name;
  out += "' AMOUNT='";
  out.append(number, static_cast<size_t>(std::to_chars(number, number + sizeof number, row.amount).ptr - number));
  out += "' STAMP='";
  const plat::CalendarDate date = plat::DecodeDate(row.stamp);
  const plat::TimeOfDay time = plat::DecodeTime(row.stamp);
  PutDigits(out, date.year, 4);
  out += '-';
  PutDigits(out, date.month, 2);
  out += '-';
  PutDigits(out, date.day, 2);
  out += 'T';
  PutDigits(out, time.hour, 2);
  out += ':';
  PutDigits(out, time.minute, 2);
  out += ':';
  PutDigits(out, time.second, 2);
  out += "' />";
}

// The export of the four columns as the rowset format has it, written plainly
// (the amounts, whole cents below 1,000, read the same in their shortest form).
std::string PlainXml(const std::vector<Row>& rows) {
  std::string out;
  out.reserve(rows.size() * 110 + 2000);
  PutSchema(out);
  for (const Row& row : rows) PutRow(out, row);
  out += "\r\n  </rs:data>\r\n</xml>";
  return out;
}

uint64_t BytesSum(const void* data, size_t size) {
  Checksum sum;
  sum.Add(std::string_view(static_cast<const char*>(data), size));
  return sum.Get();
}

void RegisterExport(int n, int rounds) {
  Task(n, rounds, "xml_export", "dataset SaveToXML", Unit::kMBps, [n](int) {
    DataSet& ds = DataSetRO(F(n));
    dac::TMemoryStream stream;
    const Measure m = Timed([&] {
      ds.SaveToXML(stream);
      return uint64_t{0};
    });
    const size_t size = static_cast<size_t>(stream.GetSize());
    F(n).xml.assign(static_cast<const char*>(stream.Memory()), size);
    return Measure{static_cast<double>(size) / 1e6 / m.value, true, BytesSum(stream.Memory(), size)};
  });
  Task(n, rounds, "xml_export", "plain writer", Unit::kMBps, [n](int) {
    std::string out;
    const Measure m = Timed([&] {
      out = PlainXml(F(n).rows);
      return uint64_t{0};
    });
    return Measure{static_cast<double>(out.size()) / 1e6 / m.value, true, BytesSum(out.data(), out.size())};
  });
}

void RegisterRead(int n, int rounds) {
  Task(n, rounds, "xml_read", "XmlTextReader", Unit::kMBps, [n](int) {
    const std::string& xml = F(n).xml.empty() ? (F(n).xml = PlainXml(F(n).rows)) : F(n).xml;
    dac::TMemoryStream stream;
    stream.WriteBuffer(xml.data(), static_cast<int64_t>(xml.size()));
    uint64_t rows = 0;
    const Measure m = Timed([&] {
      dac::XmlTextReader reader(stream);
      while (reader.Read()) {
        if (reader.GetName() == "z:row") rows += static_cast<uint64_t>(reader.GetAttributeCount() == 4);
      }
      return rows;
    });
    if (rows != static_cast<uint64_t>(n)) {
      Mismatch(std::to_string(n) + "/xml_read: " + std::to_string(rows) + " rows read back");
    }
    return Measure{static_cast<double>(xml.size()) / 1e6 / m.value, false, 0};
  });
}

void RegisterEntities(int n, int rounds) {
  Task(n, rounds, "xml_entities", "XmlTextReader", Unit::kMBps, [n](int) {
    std::string xml = "<a v='";
    for (int i = 0; i < n; ++i) xml += i % 2 ? "&#x26;" : "&#x3c;";
    xml += "' />";
    size_t decoded = 0;
    const Measure m = Timed([&] {
      dac::XmlTextReader reader(xml);
      while (reader.Read()) {
        if (reader.GetAttributeCount() == 1) decoded = reader.Items(0).size();
      }
      return uint64_t{0};
    });
    if (decoded != static_cast<size_t>(n)) {
      Mismatch(std::to_string(n) + "/xml_entities: " + std::to_string(decoded) + " characters decoded");
    }
    return Measure{static_cast<double>(xml.size()) / 1e6 / m.value, false, 0};
  });
}

}  // namespace

void RegisterXml(int n, int rounds) {
  RegisterExport(n, rounds);
  RegisterRead(n, rounds);
  RegisterEntities(n, rounds);
}

}  // namespace bench
