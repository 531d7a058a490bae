// Writes the seed corpora of fuzz/corpus/: valid inputs made by the project's
// own writers, from the sample course and from the tests' captures. Run by
// hand after a format changes:  build-fuzz/bin/make-fuzz-corpus SOURCE_FOLDER
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <limits>
#include <fstream>
#include <string>
#include <string_view>

#include "content/questions_list.h"
#include "content/xor_file_stream.h"
#include "dac/core/da_param.h"
#include "dac/core/macros.h"
#include "dac/core/sql_component.h"
#include "dac/framework/data/filer.h"
#include "dac/mysql/provider/my_value_conversion.h"
#include "dac/framework/classes/streams.h"
#include "dac/store/blob/compressed_blob.h"
#include "dac/store/xml/stream_writer.h"
#include "dac/store/xml/xml_text_writer.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/package_layout.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/random.h"
#include "server/quiz/answers_record.h"
#include "server/quiz/project_ini.h"
#include "server/quiz/question_draw.h"
#include "server/sessions/session_file.h"
#include "server/sessions/session_params.h"
#include "tests/dac/mysql/client/query_capture.h"
#include "tests/dac/store/zlib_hooks.h"

namespace fuzz {
namespace {

using dac::TBytes;
using dac::testing::Append;
using dac::testing::LengthCoded;
using std::string_view_literals::operator""sv;

class Corpus {
 public:
  explicit Corpus(std::string source) : source_(std::move(source)) {}

  std::string Sample(const std::string& name) const { return plat::ReadWholeFile(source_ + "/samples/knots/" + name); }

  void Put(const std::string& target, const std::string& name, std::string_view bytes) const {
    const std::filesystem::path folder = source_ + "/fuzz/corpus/" + target;
    std::filesystem::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary | std::ios::trunc) << bytes;
  }
  void Put(const std::string& target, const std::string& name, const TBytes& bytes) const {
    Put(target, name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }

 private:
  std::string source_;
};

void RequestSeeds(const Corpus& corpus) {
  // The first byte picks the piece size the request is sent in.
  corpus.Put("http_request", "file", "\x0cGET /index.html HTTP/1.0\r\nHost: 127.0.0.1:1000\r\n\r\n");
  corpus.Put("http_request", "query",
             "\x02GET /?action=login&username=sam&password=bowline HTTP/1.1\r\nHost: localhost:1000\r\n"
             "User-Agent: Mozilla/5.0\r\nAccept: */*\r\n\r\n");
  corpus.Put("http_request", "foreign", "\x00GET \\stats.html HTTP/1.0\r\nHost: example.com\r\n\r\n"sv);
  corpus.Put("action_query", "login", "action=login&username=sam&password=bowline");
  corpus.Put("action_query", "admin",
             "action=adminaddedituser&sessionid=1234567&userid=-1&username=k%2569m&fullname=Kim%20Lee&groups=0%0D%0A1");
}

void ContentSeeds(const Corpus& corpus) {
  const std::string path = ScratchFolder() + "knots.vrn";
  {
    content::TXORFileStream writer(path, content::TXORFileStream::kCreate, content::kPackageKey);
    for (const char* name : {"project.ini", "projectid.txt", "projecttitle.txt", "subjects.sysdata", "grades.sysdata",
                             "all.users.csv", "all.groups.csv", "PresentationsIndex_questions_1.csv", "bowline.html"})
      writer.AddFile(name, corpus.Sample(name));
    writer.Finish();
  }
  corpus.Put("content_package", "knots", UnscramblePackage(plat::ReadWholeFile(path)));

  corpus.Put("user_tables", "knots", corpus.Sample("all.users.csv") + '\0' + corpus.Sample("all.groups.csv"));
  corpus.Put("question_records", "subject-1", "\x05" + corpus.Sample("PresentationsIndex_questions_1.csv"));
  corpus.Put("question_records", "subject-2", "\x14" + corpus.Sample("PresentationsIndex_questions_2.csv"));
  corpus.Put("ini_files", "project", corpus.Sample("project.ini"));
  corpus.Put("ini_files", "admin", "[system]\r\npassword=bowline\r\n");
  corpus.Put("search_data", "knot", "knot" + std::string(1, '\0') + corpus.Sample("Search.xml"));
}

void SessionSeed(const Corpus& corpus) {
  server::TQuizSessionParams session(false);
  session.SetName("Sam Reed");
  session.SetEmail("sam@example.org");
  server::TSessionQuestions& test = *session.CreateTest(1);
  server::ReadSubjectSettings(plat::IniFile::FromBytes(corpus.Sample("project.ini")), 1, test);
  test.GetQuestions().LoadFromIndexText(corpus.Sample("PresentationsIndex_questions_1.csv"));
  plat::LcgRandom random(7);
  server::DrawQuestions(test.GetQuestions(), test.GetMaxQuestions(), random);
  test.GetQuestions().GetQuestion(0)->SetChosenAnswer(2);
  corpus.Put("session_file", "one-test", server::SessionFileBytes(session));
}

void AnswersSeed(const Corpus& corpus) {
  std::string document(server::kEmptyAnswersDocument);
  for (int day : {3, 11, 25}) {
    server::TAnswersRecord record{7,   plat::CalendarDate{2024, 5, day},  1,           30,
                                  day, day > 10 ? "Pass & more" : "Fail", day / 10 + 1};
    document = *server::InsertAnswersRecord(document, server::FormatAnswersRecord(record));
  }
  corpus.Put("answers_xml", "three", "R&D <pass>" + std::string(1, '\0') + document);
}

void LexerSeeds(const Corpus& corpus) {
  // Dialect, switches, and the stream block size with how often to step back.
  corpus.Put("sql_lexer", "select",
             std::string("\x00\x01\x10", 3) + "SELECT a, b FROM t WHERE x = 'it''s' /* note */ AND y >= 2.5 // end\n");
  corpus.Put("sql_lexer", "filter", std::string("\x01\x00\x08", 3) + "Price > -5 AND (Name = 'A*' OR Name IS NULL)");
  corpus.Put("sql_lexer", "attributes", std::string("\x02\x40\x03", 3) + "a='1' rs:n=\"q\" lone");
  corpus.Put("filter_expression", "mixed",
             std::string(1, '\0') + "I32 > -5.5 AND (S = 'A*' OR S IS NULL) AND NOT [I32] = 3");
  corpus.Put("filter_expression", "dates",
             "\x01"
             "D < '1/1/1900' OR DT >= '3/1/2024 12:00' OR S LIKE '%p%'");
}

void XmlReaderSeed(const Corpus& corpus) {
  dac::TMemoryStream stream;
  dac::StreamWriter out(stream);
  dac::XmlTextWriter xml(out);
  xml.SetFormatting(dac::Formatting::Indented);
  xml.WriteStartElement("xml");
  xml.WriteAttributeString("xmlns:rs", "urn:rows");
  xml.WriteStartElement("z:row");
  xml.WriteAttributeString("c1", "a & b <c> 'd'");
  xml.WriteAttributeString("dt", "z", "urn:dt", "2004-03-05T07:08:09");
  xml.WriteEndElement();
  xml.WriteElementString("v", "5 apples");
  xml.WriteFullEndElement();
  xml.Close();
  corpus.Put("xml_text_reader", "written",
             std::string_view(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize())));
}

void BlobSeeds(const Corpus& corpus) {
  dac::CompressProc = dac::testing::ZCompress;
  dac::UncompressProc = dac::testing::ZUncompress;
  std::string pattern;
  for (int i = 0; i < 1000; ++i) pattern += static_cast<char>('a' + i % 7);
  dac::SharedRef<dac::TCompressedBlob> blob = dac::MakeShared<dac::TCompressedBlob>();
  blob->Write(0, static_cast<uint32_t>(pattern.size()), pattern.data());
  blob->SetCompressed(true);
  std::string stored;
  for (dac::PPieceHeader p = blob->FirstPiece(); p; p = p->next)
    stored.append(reinterpret_cast<const char*>(dac::PieceData(p)), p->used);
  corpus.Put("compressed_blob", "compressed", stored);
  corpus.Put("compressed_blob", "plain", pattern.substr(0, 120));
}

// The login, then "SELECT id, name FROM t" prepared (two columns, no
// parameters) and executed: two binary rows, the second name NULL.
TBytes PreparedCapture() {
  using dac::testing::ColumnDefinition;
  using dac::testing::Frame;
  const uint8_t salt[20] = {3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, 8, 9, 7, 9, 3, 2, 3, 8, 4};
  TBytes c = {0x04};
  Append(c, Frame(dac::testing::Greeting(0xF7FF & ~0x800 & ~0x20, salt), 0));
  Append(c, Frame(dac::testing::OkPacket(), 2));
  const TBytes definitions[] = {ColumnDefinition("id", dac::mftLong, 0x1023),
                                ColumnDefinition("name", dac::mftVarString, 0)};
  uint8_t seq = 1;
  Append(c, Frame({0, 1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0}, seq++));
  for (const TBytes& definition : definitions) Append(c, Frame(definition, seq++));
  Append(c, Frame(dac::testing::kEof, seq++));
  seq = 1;
  Append(c, Frame({2}, seq++));
  for (const TBytes& definition : definitions) Append(c, Frame(definition, seq++));
  Append(c, Frame(dac::testing::kEof, seq++));
  Append(c, Frame({0, 0, 7, 0, 0, 0, 4, 'r', 'e', 'e', 'f'}, seq++));
  Append(c, Frame({0, 0x08, 8, 0, 0, 0}, seq++));
  Append(c, Frame(dac::testing::kEof, seq++));
  return c;
}

void MySqlSeeds(const Corpus& corpus) {
  const uint8_t salt[20] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
  auto packet = [&](const char* name, uint8_t expected, const TBytes& payload) {
    TBytes seed = {expected};
    Append(seed, payload);
    corpus.Put("mysql_packets", name, seed);
  };
  packet("greeting", 0, dac::testing::Greeting(0xF7FF, salt));
  packet("ok", 0x31, {0, 1, 5, 2, 0, 1, 0, 'i', 'n', 'f', 'o'});
  packet("end", 2, dac::testing::kEof);
  packet("error", 3, {0xFF, 0x7A, 0x04, '#', '4', '2', '0', '0', '0', 'n', 'o'});
  packet("header", 5, {3, 7});
  packet("local-file", 6, {0xFB, 'd', 'a', 't', 'a', '.', 'c', 's', 'v'});
  packet("column", 0x37, dac::testing::ColumnDefinition("id", dac::mftLong, 0x1023));
  packet("prepare-ok", 9, {0, 1, 0, 0, 0, 2, 0, 1, 0, 0, 0, 0});
  packet("auth-switch", 0x18, {0xFE, 'm', 'y', 's', 'q', 'l', '_', 'n', 'a', 't', 'i', 'v', 'e', 0, 1, 2, 3});

  // The reply to a query, numbered from 0: the target sends no command first.
  const TBytes reply = dac::testing::QueryReply(0);
  TBytes plain = {0x00};
  Append(plain, reply);
  corpus.Put("mysql_framing", "plain", plain);
  TBytes compressed = {0x01};
  Append(compressed, dac::testing::CompressedFrame(reply, 0, false));
  corpus.Put("mysql_framing", "compressed", compressed);

  TBytes text_row = {2, dac::mftLong, dac::mftVarString};
  Append(text_row, LengthCoded("17"));
  text_row.push_back(0xFB);
  corpus.Put("mysql_rows", "text", text_row);
  TBytes binary_row = {2, dac::mftLong, dac::mftVarString, 0, 0, 17, 0, 0, 0, 3, 'a', 'b', 'c'};
  corpus.Put("mysql_rows", "binary", binary_row);

  corpus.Put("mysql_session", "prepared", PreparedCapture());
  const char* const names[] = {"row-by-row", "compressed", "stored", "compressed-stored"};
  for (uint8_t setup : {0, 1, 2, 3}) {
    TBytes session = {setup};
    Append(session, dac::testing::Capture(setup & 1));
    corpus.Put("mysql_session", names[setup], session);
  }
}

// A mode byte, then what the writer wrote.
std::string Filed(char mode, const std::function<void(dac::TWriter&)>& write) {
  dac::TMemoryStream stream;
  dac::TWriter writer(stream);
  write(writer);
  return std::string(1, mode) +
         std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize()));
}

void FillParams(dac::TDAParams& params) {
  params.CreateParam(dac::ftString, "name", dac::ptInput)->SetAsString("Sam's");
  params.CreateParam(dac::ftInteger, "id", dac::ptInputOutput)->SetAsInteger(-70000);
  params.CreateParam(dac::ftLargeint, "big", dac::ptOutput)->SetAsLargeInt(INT64_MIN);
  params.CreateParam(dac::ftDateTime, "at", dac::ptInput)->SetAsDateTime(45351.5);
  params.CreateParam(dac::ftBlob, "data", dac::ptInput)->SetAsBlob(std::string("\0\1\2", 3));
  params.CreateParam(dac::ftMemo, "note", dac::ptInput)->SetAsMemo("line\r\nline");
  dac::TDAParam* wide = params.CreateParam(dac::ftWideString, "wide", dac::ptInput);
  wide->SetAsWideString(u"w\u00e9");
  wide->SetSize(40);
  params.CreateParam(static_cast<dac::TFieldType>(45), "ext", dac::ptInput)->SetAsVariant(dac::Variant(2.5));
  params.CreateParam(dac::ftFloat, "none", dac::ptResult);
}

void FillMacros(dac::TMacros& macros) {
  macros.Scan("SELECT * FROM &table &where ORDER BY &order");
  macros.Items(0)->SetValue("items");
  macros.Items(1)->SetAsString("it's");
  macros.Items(2)->SetActive(false);
}

void ComponentSeeds(const Corpus& corpus) {
  const dac::Variant every_kind(std::vector<dac::Variant>{
      dac::Variant(), dac::Variant::Null(), dac::Variant(true), dac::Variant(int8_t{-8}), dac::Variant(int16_t{-16}),
      dac::Variant(-32), dac::Variant(int64_t{-64}), dac::Variant(uint8_t{8}), dac::Variant(uint16_t{16}),
      dac::Variant(uint32_t{32}), dac::Variant(uint64_t{64}), dac::Variant(1.5f), dac::Variant(2.5),
      dac::Variant(dac::Currency::FromRaw(12345)), dac::Variant::FromDateTime(38051.25), dac::Variant("text"),
      dac::Variant(u"wide"), dac::Variant(dac::TBytes{0, 1, 255}), dac::Variant(dac::StrToBcd("-12.345")),
      dac::Variant(std::vector<dac::Variant>{dac::Variant(1), dac::Variant(std::vector<dac::Variant>{})})});
  corpus.Put("component_stream", "variants", Filed(0, [&](dac::TWriter& w) { w.WriteVariant(every_kind); }));
  corpus.Put("component_stream", "params", Filed(1, [](dac::TWriter& w) {
               dac::TDAParams params;
               FillParams(params);
               w.WriteCollection(params);
             }));
  corpus.Put("component_stream", "macros", Filed(2, [](dac::TWriter& w) {
               dac::TMacros macros;
               FillMacros(macros);
               w.WriteCollection(macros);
             }));
  corpus.Put("component_stream", "component", Filed(3, [](dac::TWriter& w) {
               dac::TCustomDASQL* sql = dac::MakeComponent<dac::TCustomDASQL>(nullptr);
               sql->SetName("Command1");
               sql->SQL().SetText("UPDATE &table SET a = :a WHERE id = :id");
               sql->MacroByName("table")->SetValue("items");
               sql->ParamByName("a")->SetAsString("x");
               sql->ParamByName("id")->SetAsInteger(7);
               w.WriteComponent(*sql);
               sql->Free();
             }));
  // Macro data is never written: its layout (version 100 and a byte more,
  // then per macro a name, a value and whether it is active) as it is read,
  // for the macros of "SELECT &a FROM &b WHERE &c".
  const std::string data = std::string("d\0" "\x01" "a" "\x05\0" "items" "\x01", 12) +
                           std::string("\x01" "b" "\x02\0" "id" "\0", 7) + std::string("\x01" "c" "\0\0" "\x01", 5);
  corpus.Put("component_stream", "macro-data", Filed(4, [&](dac::TWriter& w) {
               w.DefineBinaryProperty(
                   "Data", nullptr,
                   [&](dac::TStream& s) { s.WriteBuffer(data.data(), static_cast<int64_t>(data.size())); }, true);
             }) + std::string(1, '\0'));
  corpus.Put("component_stream", "param", Filed(5, [](dac::TWriter& w) {
               dac::TDAParams params;
               FillParams(params);
               w.WriteProperties(*params.Items(7));
             }));
}

// A settings byte (bit 0: the base lexer instead of MySQL's, bit 1: comments
// skipped, bits 2-3: the macro character, bits 4-7: the operation: WHERE
// added, set, removed, read, ORDER BY set, removed, read, macros,
// placeholders), a condition, NUL, the SQL.
void SqlTextSeeds(const Corpus& corpus) {
  const auto put = [&](const char* name, int setup, std::initializer_list<int> operations, std::string_view condition,
                       std::string_view sql) {
    for (int op : operations)
      corpus.Put("sql_text", std::string(name) + "-" + std::to_string(op),
                 std::string(1, static_cast<char>(setup | op << 4)) + std::string(condition) + '\0' + std::string(sql));
  };
  put("clauses", 0, {0, 1, 2, 3, 4, 5, 6}, "b = 2", "SELECT * FROM t WHERE a = 1 ORDER BY a LIMIT 5");
  put("comments", 2, {0, 1, 3}, "x > 1",
      "SELECT a, (SELECT b FROM u WHERE c) FROM t -- note\r\nWHERE a = 'it\\'s' # more\n GROUP BY a;");
  put("macros", 0, {4, 7, 8}, "id;name", "SELECT * FROM &table &where ORDER BY &order, :p, &1st");
  put("union", 4, {0, 1, 2, 7}, "k = 3", "SELECT * FROM %tbl WHERE x = :x UNION SELECT * FROM u ORDER BY 1;");
  put("placeholders", 1, {7, 8}, "",
      "UPDATE t SET a = :a, b = :and, c = :@c, d = ':x' /* :y */ WHERE e::int = :1 AND f := 2 AND g = &g");
}

template <typename T>
std::string LittleEndian(T value) {
  std::string bytes(sizeof value, '\0');
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

// A byte that picks the conversion, a byte of its settings, the value (for
// the text form of a binary number, a byte of decimals first); the texts
// as the server's text writers give them.
void ValueSeeds(const Corpus& corpus) {
  const auto put = [&](const char* name, char kind, char settings, const std::string& value) {
    corpus.Put("value_conversion", name, std::string{kind, settings} + value);
  };
  dac::TColumnTextForm form;
  put("bigint", 0, 1, dac::ServerSignedText(INT64_MIN, form));
  put("int-unsigned", 0, 0, dac::ServerUnsignedText(UINT32_MAX, form));
  put("double", 1, 0, dac::ServerFloatText(-1.25e-7, false, 31));
  put("double-max", 1, 0, dac::ShortestDoubleText(1.7976931348623157e308));
  put("decimal", 1, 0, dac::ServerFloatText(12345.678, false, 2));
  put("binary-bigint", 2, 1, LittleEndian(int64_t{-2}));
  put("binary-float", 2, 0, LittleEndian(2.5f));
  put("date", 3, 0, dac::ServerDateText(2024, 2, 29));
  put("time", 3, 2, dac::ServerTimeText(true, 45296, 500000, 6));
  put("datetime", 3, 3 + 5, dac::ServerDateTimeText(2004, 2, 29, 12, 34, 56, 789000, 3));
  put("timestamp-14", 3, 4, "20040229123456");
  const std::string date = LittleEndian(uint16_t{2024}) + "\x02\x1d";
  put("packed-date", 4, 0, date);
  put("packed-datetime", 4, 2, date + "\x0c\x22\x38" + LittleEndian(uint32_t{789000}));
  put("packed-time", 4, 4, std::string(1, '\1') + LittleEndian(uint32_t{2}) + "\x0c\x22\x38" + LittleEndian(uint32_t{5}));
  put("double-text", 5, 7, "\x1f" + LittleEndian(0.1));
  put("float-text", 5, 6, "\x02" + LittleEndian(3.14159f));
  // A zero-filled DOUBLE(28,...) column that brings a NaN.
  put("double-nan-zerofill", 5, static_cast<char>(7 | 8 | 16 | 7 << 5),
      "\x02" + LittleEndian(std::numeric_limits<double>::quiet_NaN()));
  put("year-text", 5, 5 | 16, std::string(1, '\0') + LittleEndian(uint16_t{1999}));
}

// A settings byte (bits 0-1: the routine's name, bit 2: a function, bit 3:
// names quoted, bit 4: UseUnicode, bits 5-6: the numeric type), then the
// CREATE text in the server's form.
void RoutineSeeds(const Corpus& corpus) {
  const auto put = [&](const char* name, char setup, std::string_view create) {
    corpus.Put("routine_definition", name, std::string(1, setup) + std::string(create));
  };
  put("procedure", 0,
      "CREATE DEFINER=`root`@`localhost` PROCEDURE `p`(IN a INT, INOUT b VARCHAR(10), OUT c DATE)\n"
      "BEGIN SELECT a; END");
  put("function", 4 | 8 | 0x20,
      "CREATE DEFINER=`root`@`%` FUNCTION `f`(x INT UNSIGNED) RETURNS decimal(10,2)\n    DETERMINISTIC\n"
      "RETURN x * 1.5");
  put("odd-types", 16,
      "CREATE PROCEDURE q(OUT t TIME(3), INOUT `my var` TINYINT(1), IN e ENUM('a,b','c') CHARACTER SET utf8mb4,\n"
      "  d DOUBLE PRECISION, OUT u BIGINT UNSIGNED -- last\n) SELECT 1");
  put("blank-list", 1, "CREATE PROCEDURE e( /* none */ ) SELECT 1");
  put("returns-text", 4 | 16, "CREATE FUNCTION g() RETURNS char(20) CHARSET utf8mb4 RETURN 'x'");
}

}  // namespace
}  // namespace fuzz

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-fuzz-corpus SOURCE_FOLDER\n");
    return 2;
  }
  const fuzz::Corpus corpus(argv[1]);
  fuzz::RequestSeeds(corpus);
  fuzz::ContentSeeds(corpus);
  fuzz::SessionSeed(corpus);
  fuzz::AnswersSeed(corpus);
  fuzz::LexerSeeds(corpus);
  fuzz::XmlReaderSeed(corpus);
  fuzz::BlobSeeds(corpus);
  fuzz::MySqlSeeds(corpus);
  fuzz::ComponentSeeds(corpus);
  fuzz::SqlTextSeeds(corpus);
  fuzz::ValueSeeds(corpus);
  fuzz::RoutineSeeds(corpus);
  return 0;
}
