// Names and values that try to become SQL of their own, through the MySQL
// components on the test server (scripts/with-mariadb), over the built-in
// protocol and the client library: hostile names of databases, tables,
// columns and routines opened, edited, inserted, deleted, refreshed and
// locked; hostile values written as parameters and through generated
// statements in every escaping mode and in single-byte, UTF-8 and
// multibyte character sets, read back with the mariadb client; field
// information that runs nothing; exact ENUM lookups; WHERE editing of a
// UNION. A canary table must come out of every test whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "dac/core/da_param.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/string_list.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/field_defs.h"
#include "dac/mysql/components/my_command_component.h"
#include "dac/mysql/components/my_connection_component.h"
#include "dac/mysql/components/my_dataset.h"
#include "dac/mysql/components/my_stored_proc.h"
#include "dac/mysql/components/my_table.h"
#include "dac/mysql/provider/my_connection.h"
#include "dac/mysql/provider/my_identifiers.h"
#include "tests/dac/mysql/mariadb_client.h"
#include "tests/dac/mysql/my_provider_test_support.h"

namespace dac {
namespace {

using testing::HexOf;
using testing::ServerSettings;

// How the test itself writes a name into its own SQL.
std::string Q(const std::string& name) {
  std::string out = "`";
  for (char c : name) out += c == '`' ? std::string("``") : std::string(1, c);
  return out + "`";
}

// The names, and how a user writes each as a table or routine name (a
// point or quotes of its own at both ends would otherwise be read).
struct HostileName {
  std::string name;
  std::string written;
};

std::vector<HostileName> HostileNames() {
  const std::vector<HostileName> names = {
      {"q`t", ""},
      {"dq\"t", ""},
      {"sq'x", ""},
      {"dot.name", "`dot.name`"},
      {"t#x", ""},
      {"a@b", ""},
      {"d-e", ""},
      {"-- c", ""},
      {"with blank", ""},
      {"caf\xe9", ""},
      {"order", ""},
      {"select", ""},
      {"1abc", ""},
      {"123", ""},
      {"$x", ""},
      {std::string(60, 'L') + "-#`'", ""},
      {"`a`; DROP TABLE canary; `b`", ""},
      {"x` ; DROP TABLE canary; --x", ""},
      {"`quoted`", "```quoted```"},
      {"\"dq\"", "`\"dq\"`"},
  };
  return names;
}

// Direct: the built-in protocol, else the client library.
class MyHostileInputTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    const auto s = testing::TestServer();
    if (!s) GTEST_SKIP() << "no test server";
    settings_ = *s;
    settings_.database = OwnDatabase();
    admin_ = testing::OpenConnection(testing::DirectApi(), *s);
    admin_->ExecStatement("DROP DATABASE IF EXISTS " + Q(settings_.database));
    admin_->ExecStatement("CREATE DATABASE " + Q(settings_.database));
    admin_->SetDatabase(settings_.database);
    Admin("CREATE TABLE canary (id INT PRIMARY KEY, v VARCHAR(10))");
    Admin("INSERT INTO canary VALUES (1, 'a'), (2, 'b'), (3, 'c')");
    connection_ = Connection(settings_.database);
  }
  void TearDown() override {
    if (!admin_) return;
    EXPECT_EQ(Lines("SELECT COUNT(*), GROUP_CONCAT(v ORDER BY id) FROM canary"),
              std::vector<std::string>{"3\ta,b,c"})
        << "the canary table was touched";
    for (auto it = owned_.rbegin(); it != owned_.rend(); ++it) (*it)->Free();
    for (const std::string& database : databases_) admin_->ExecStatement("DROP DATABASE IF EXISTS " + Q(database));
    admin_->ExecStatement("DROP DATABASE IF EXISTS " + Q(settings_.database));
  }

  // "hst_", the API and the test's name in lower case, at most 64 characters.
  std::string OwnDatabase() const {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("hst_") + info->name();
    for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(c)) : '_';
    return name.substr(0, 64);
  }

  TMyConnection* Connection(const std::string& database, const std::string& charset = "") {
    auto* c = Own(MakeComponent<TMyConnection>(nullptr));
    c->SetLoginPrompt(false);
    c->GetOptions().SetDirect(GetParam());
    if (!charset.empty()) c->GetOptions().SetCharset(charset);
    c->SetServer(settings_.host);
    c->SetPort(settings_.port);
    c->SetUsername(settings_.user);
    c->SetPassword(settings_.password);
    c->SetDatabase(database);
    c->Connect();
    return c;
  }
  TMyQuery* Query(const std::string& sql, TMyConnection* on = nullptr) {
    auto* q = Own(MakeComponent<TMyQuery>(nullptr));
    q->SetConnection(on ? on : connection_);
    q->SQL().SetText(sql);
    return q;
  }
  TMyTable* Table(const std::string& name, TMyConnection* on = nullptr) {
    auto* t = Own(MakeComponent<TMyTable>(nullptr));
    t->SetConnection(on ? on : connection_);
    t->SetTableName(name);
    t->SetOrderFields("id");
    return t;
  }
  template <typename T>
  T* Own(T* component) {
    owned_.push_back(component);
    return component;
  }
  // SQL of the test's own, through a session the components do not use.
  void Admin(const std::string& sql) { admin_->ExecStatement(sql); }
  // What the mariadb client reads in the test's database.
  std::vector<std::string> Lines(const std::string& sql) { return testing::MariadbLines(settings_, sql); }
  // The two runs go side by side: the client library's run takes the name
  // in upper case (the server's database names are case-sensitive), or
  // with a digit after it when it has no letter.
  std::string DatabaseNamed(const std::string& name) const {
    if (GetParam()) return name;
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper != name ? upper : name.substr(0, 63) + "0";
  }
  std::vector<std::string> FieldNames(TMyQuery& query) {
    std::vector<std::string> names;
    for (int i = 0; i < query.FieldDefs().Count(); ++i) names.push_back(query.FieldDefs().Items(i)->Name());
    return names;
  }

  ServerSettings settings_;
  std::unique_ptr<TMySQLConnection> admin_;
  TMyConnection* connection_ = nullptr;
  std::vector<std::string> databases_;

 private:
  std::vector<TComponent*> owned_;
};

TEST_P(MyHostileInputTest, TablesAndColumnsOfAnyNameAreOpenedEditedAndLocked) {
  for (const HostileName& n : HostileNames()) {
    SCOPED_TRACE(n.name);
    const std::string written = n.written.empty() ? n.name : n.written;
    Admin("CREATE TABLE " + Q(n.name) + " (id INT PRIMARY KEY, " + Q(n.name) + " VARCHAR(20))");
    Admin("INSERT INTO " + Q(n.name) + " VALUES (1, 'one'), (2, 'two')");
    TMyTable* table = Table(written);
    table->FieldDefs().Update();
    EXPECT_EQ(table->FieldDefs().Count(), 2);
    table->Open();
    ASSERT_EQ(table->RecordCount(), 2);
    TField* field = table->FieldByName(n.name);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->GetAsString(), "one");
    table->Edit();
    field->SetAsString("edited");
    table->Post();
    table->Append();
    table->FieldByName("id")->SetAsInteger(3);
    field->SetAsString("added");
    table->Post();
    ASSERT_TRUE(table->Locate("id", Variant(2), {}));
    table->Delete();
    Admin("UPDATE " + Q(n.name) + " SET " + Q(n.name) + " = 'server' WHERE id = 1");
    ASSERT_TRUE(table->Locate("id", Variant(1), {}));
    table->RefreshRecord();
    EXPECT_EQ(field->GetAsString(), "server");
    table->LockTable(ltWrite);
    table->UnLockTable();
    connection_->StartTransaction();
    table->Lock();
    connection_->Commit();
    EXPECT_EQ(Lines("SELECT id, " + Q(n.name) + " FROM " + Q(n.name) + " ORDER BY id"),
              (std::vector<std::string>{"1\tserver", "3\tadded"}));

    // A query of the user's text: the tables come from the statement.
    TMyQuery* query = Query("SELECT t.id, t." + Q(n.name) + " FROM " + Q(n.name) + " AS t WHERE t.id = :id");
    query->ParamByName("id")->SetAsInteger(3);
    query->Open();
    query->Edit();
    query->FieldByName(n.name)->SetAsString("by query");
    query->Post();
    query->RefreshRecord();
    EXPECT_EQ(query->FieldByName(n.name)->GetAsString(), "by query");
    query->Close();
    EXPECT_EQ(Lines("SELECT " + Q(n.name) + " FROM " + Q(n.name) + " WHERE id = 3"),
              std::vector<std::string>{"by query"});

    table->EmptyTable();
    EXPECT_EQ(Lines("SELECT COUNT(*) FROM " + Q(n.name)), std::vector<std::string>{"0"});
    table->Close();
    TStringList indexes;
    connection_->GetIndexNames(indexes, written);
    EXPECT_EQ(indexes.IndexOf("PRIMARY"), 0);
  }
}

TEST_P(MyHostileInputTest, DatabasesAndRoutinesOfAnyName) {
  for (const HostileName& n : HostileNames()) {
    SCOPED_TRACE(n.name);
    const std::string written = n.written.empty() ? n.name : n.written;
    // A database of the name, with a routine of it.
    const std::string database = DatabaseNamed(n.name);
    databases_.push_back(database);
    Admin("CREATE DATABASE " + Q(database));
    Admin("CREATE TABLE " + Q(database) + ".t (id INT PRIMARY KEY, v INT)");
    Admin("CREATE PROCEDURE " + Q(database) + "." + Q(n.name) + "(IN a INT) INSERT INTO " + Q(database) +
          ".t VALUES (a, a * 10)");

    TMyConnection* there = Connection(database);
    auto* proc = Own(MakeComponent<TMyStoredProc>(nullptr));
    proc->SetConnection(there);
    proc->SetStoredProcName(written);
    proc->PrepareSQL();
    proc->ParamByName("a")->SetAsInteger(1);
    proc->ExecProc();
    TStringList routines;
    there->GetStoredProcNames(routines);
    EXPECT_GE(routines.IndexOf(n.name), 0);

    // The same routine by its qualified name, from another database.
    auto* qualified = Own(MakeComponent<TMyStoredProc>(nullptr));
    qualified->SetConnection(connection_);
    qualified->SetStoredProcName(Q(database) + "." + Q(n.name));
    qualified->PrepareSQL();
    qualified->ParamByName("a")->SetAsInteger(2);
    qualified->ExecProc();

    TMyTable* table = Table("t", there);
    table->Open();
    ASSERT_EQ(table->RecordCount(), 2);
    table->Edit();
    table->FieldByName("v")->SetAsInteger(11);
    table->Post();
    table->LockTable(ltRead);
    table->UnLockTable();
    TMyTable* other = Table(Q(database) + ".t");
    other->Open();
    ASSERT_TRUE(other->Locate("id", Variant(2), {}));
    other->Edit();
    other->FieldByName("v")->SetAsInteger(22);
    other->Post();
    other->RefreshRecord();
    other->Append();
    other->FieldByName("id")->SetAsInteger(3);
    other->Post();
    EXPECT_EQ(Lines("SELECT GROUP_CONCAT(id, ':', IFNULL(v, '-') ORDER BY id) FROM " + Q(database) + ".t"),
              std::vector<std::string>{"1:11,2:22,3:-"});
    table->Close();
    other->Close();
    there->Disconnect();
  }
}

// Values that hold everything a literal must keep: quotes, backslashes,
// NUL, Ctrl-Z, line ends, wildcards, and in each multibyte set characters
// whose last byte is a backslash, followed by a quote.
struct CharsetValues {
  std::string charset;
  std::vector<std::string> texts;  // valid text in the set
};

std::vector<std::string> CommonValues() {
  return {"'",
          "\\",
          "\\'",
          "\"",
          "' OR 1=1 -- ",
          "x\\'; DROP TABLE canary; -- ",
          "x'; DROP TABLE canary; -- ",
          std::string("nul\0byte", 8),
          "\x1a",
          "\r\n",
          "`",
          "''\\\\''",
          "%_",
          "\\0\\n\\Z",
          ""};
}

std::vector<CharsetValues> CharsetCases() {
  return {
      {"latin1", {"\xe9\xa0\xff'", "caf\xe9\\"}},
      {"utf8mb4", {"caf\xc3\xa9", "\xf0\x9f\x98\x80'\\"}},
      {"gbk", {"\x95\x5c", "\x95\x5c' OR 1=1 -- ", "\xbf\x5c\x27; DROP TABLE canary; -- "}},
      {"big5", {"\xa5\x5c", "\xa5\x5c' OR 1=1 -- ", "\xa5\x5c\\"}},
      {"sjis", {"\x83\x5c", "\x83\x5c' OR 1=1 -- ", "\xbf' OR 1=1 -- "}},
      {"cp932", {"\x95\x5c", "\x81\x5c' OR 1=1 -- ", "\x95\x5c\\'"}},
  };
}

// Bytes of no set, among them lead bytes that would take the escaping
// backslash or the quote after them into one character.
std::vector<std::string> BinaryValues() {
  return {"\xbf' OR 1=1 -- ", "\xbf\\' OR 1=1 -- ", std::string("\0\xff\x5c\x27", 4), "\x95\x5c", "\\"};
}

TEST_P(MyHostileInputTest, ValuesKeepTheirBytesInEveryModeAndCharacterSet) {
  // Long text, written once per set and mode.
  std::string long_text;
  for (int i = 0; i < 4000; ++i) long_text += std::string("a'b\\c\"d", 7) + std::string(1, '\0') + "\r\n";
  int row = 0;
  for (const CharsetValues& set : CharsetCases()) {
    const std::string vals = "vals_" + set.charset;
    const std::string gen = "gen_" + set.charset;
    Admin("CREATE TABLE " + vals + " (id INT PRIMARY KEY, t MEDIUMTEXT CHARACTER SET " + set.charset +
          ", b MEDIUMBLOB)");
    // No key: generated statements find their row by every value.
    Admin("CREATE TABLE " + gen + " (n INT, t VARCHAR(100) CHARACTER SET " + set.charset + ", bv VARBINARY(100))");
    TMyConnection* c = Connection(settings_.database, set.charset);
    std::vector<std::string> texts = CommonValues();
    texts.insert(texts.end(), set.texts.begin(), set.texts.end());
    std::vector<std::string> expected_vals, expected_gen;
    for (const bool no_backslash_escapes : {false, true}) {
      SCOPED_TRACE(set.charset + (no_backslash_escapes ? " NO_BACKSLASH_ESCAPES" : " backslash escapes"));
      // The mode changes in the middle of the session.
      c->ExecSQL(no_backslash_escapes ? "SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')"
                                      : "SET SESSION sql_mode = REPLACE(@@sql_mode, 'NO_BACKSLASH_ESCAPES', '')",
                 {});
      std::vector<std::string> all = texts;
      all.push_back(long_text);
      auto* insert = Own(MakeComponent<TMyCommand>(nullptr));
      insert->SetConnection(c);
      insert->SQL().SetText("INSERT INTO " + vals + " (id, t, b) VALUES (:id, :t, :b)");
      for (size_t i = 0; i < all.size(); ++i) {
        const std::string& text = all[i];
        // An empty blob parameter is NULL: blobs are never empty here.
        const std::string binary = i < BinaryValues().size() ? BinaryValues()[i] : text.empty() ? "-" : text;
        SCOPED_TRACE(HexOf(text.substr(0, 40)));
        const int id = ++row;
        insert->ParamByName("id")->SetAsInteger(id);
        insert->ParamByName("t")->SetAsString(text);
        insert->ParamByName("b")->SetAsBlob(binary);
        insert->Execute();
        expected_vals.push_back(std::to_string(id) + "\t" + HexOf(text) + "\t" + HexOf(binary));
        // The values as conditions find their own row only.
        TMyQuery* lookup = Query("SELECT id FROM " + vals + " WHERE t = :t AND b = :b AND id = :id", c);
        lookup->ParamByName("t")->SetAsString(text);
        lookup->ParamByName("b")->SetAsBlob(binary);
        lookup->ParamByName("id")->SetAsInteger(id);
        lookup->Open();
        EXPECT_EQ(lookup->RecordCount(), 1);
        lookup->Close();
        // A string field's slot ends at a NUL byte, whatever SQL does.
        if (text.size() > 100 || text.find('\0') != std::string::npos || binary.find('\0') != std::string::npos)
          continue;
        // Through generated statements: inserted, then found by its old
        // values to be updated and (every other one) deleted.
        TMyQuery* edit = Query("SELECT n, t, bv FROM " + gen, c);
        edit->Open();
        edit->Append();
        edit->FieldByName("n")->SetAsInteger(id);
        edit->FieldByName("t")->SetAsString(text);
        edit->FieldByName("bv")->SetAsString(binary);
        edit->Post();
        edit->Edit();
        edit->FieldByName("n")->SetAsInteger(id + 100000);
        edit->Post();
        if (id % 2 == 0) {
          edit->Delete();
        } else {
          expected_gen.push_back(std::to_string(id + 100000) + "\t" + HexOf(text) + "\t" + HexOf(binary));
        }
        edit->Close();
      }
    }
    EXPECT_EQ(Lines("SELECT id, HEX(t), HEX(b) FROM " + vals + " ORDER BY id"), expected_vals);
    std::sort(expected_gen.begin(), expected_gen.end());
    std::vector<std::string> gen_rows = Lines("SELECT n, HEX(t), HEX(bv) FROM " + gen);
    std::sort(gen_rows.begin(), gen_rows.end());
    EXPECT_EQ(gen_rows, expected_gen);
    c->Disconnect();
  }
}

TEST_P(MyHostileInputTest, TheCharacterSetOptionTakesOnlyAName) {
  for (const std::string charset : {"`latin1`; DROP TABLE canary; SET NAMES `latin1`", "latin1 COLLATE latin1_bin",
                                    "latin1; DROP TABLE canary", "'latin1'", "latin1 "}) {
    SCOPED_TRACE(charset);
    auto* c = Own(MakeComponent<TMyConnection>(nullptr));
    c->SetLoginPrompt(false);
    c->GetOptions().SetDirect(GetParam());
    c->GetOptions().SetCharset(charset);
    c->SetServer(settings_.host);
    c->SetPort(settings_.port);
    c->SetUsername(settings_.user);
    c->SetPassword(settings_.password);
    c->SetDatabase(settings_.database);
    std::string refusal;
    try {
      c->Connect();
    } catch (const EDatabaseError& e) {
      refusal = e.Message();
    }
    EXPECT_NE(refusal.find("Invalid character set name"), std::string::npos) << refusal;
    EXPECT_FALSE(c->GetConnected());
  }
}

TEST_P(MyHostileInputTest, FieldInformationRunsNothing) {
  Admin("CREATE PROCEDURE wipe() DELETE FROM canary");
  Admin("CREATE FUNCTION wiped() RETURNS INT MODIFIES SQL DATA BEGIN DELETE FROM canary; RETURN 1; END");
  Admin("CREATE TABLE sv (id INT) WITH SYSTEM VERSIONING");
  Admin("INSERT INTO sv VALUES (1), (2)");
  struct Case {
    std::string sql;
    std::vector<std::string> fields;
  };
  const std::vector<Case> cases = {
      {"DELETE FROM canary", {}},
      {"CALL wipe()", {}},
      {"UPDATE canary SET v = 'x'", {}},
      {"INSERT INTO canary (id, v) VALUES (9, 'z')", {}},
      {"TRUNCATE TABLE canary", {}},
      {"SELECT wiped() AS w", {"w"}},
      {"SELECT id, v FROM canary LIMIT 1, 1000000", {"id", "v"}},
      {"SELECT id FROM sv FOR SYSTEM_TIME ALL ORDER BY id", {"id"}},
      {"SELECT id FROM canary WHERE id > :low FOR UPDATE", {"id"}},
      {"DELETE FROM canary; SELECT 1 AS one", {"one"}},
      {"SET @x = (SELECT wiped()); SELECT @x AS x", {"x"}},
      {"SHOW TABLES LIKE 'canary'", {"Tables_in_" + settings_.database + " (canary)"}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.sql);
    TMyQuery* query = Query(k.sql);
    query->FieldDefs().Update();
    EXPECT_EQ(FieldNames(*query), k.fields);
    EXPECT_FALSE(query->GetActive());
  }
  // LIMIT and FOR SYSTEM_TIME are kept when the statement then runs.
  TMyQuery* window = Query("SELECT id FROM canary ORDER BY id LIMIT 1, 1000000");
  window->FieldDefs().Update();
  window->Open();
  EXPECT_EQ(window->RecordCount(), 2);
  TMyQuery* history = Query("SELECT id FROM sv FOR SYSTEM_TIME ALL");
  history->FieldDefs().Update();
  history->Open();
  EXPECT_EQ(history->RecordCount(), 2);
  auto* proc = Own(MakeComponent<TMyStoredProc>(nullptr));
  proc->SetConnection(connection_);
  proc->SetStoredProcName("wipe");
  proc->FieldDefs().Update();
  EXPECT_EQ(proc->FieldDefs().Count(), 0);
  // A table read through HANDLER is described by reading it.
  TMyTable* handler = Table("canary");
  handler->TableOptions().SetUseHandler(true);
  handler->FieldDefs().Update();
  EXPECT_EQ(handler->FieldDefs().Count(), 2);
}

TEST_P(MyHostileInputTest, EnumMembersOfTheNamedColumnOnly) {
  Admin("CREATE TABLE e (a_b ENUM('x', 'y'), axb ENUM('p'), `a%b` SET('m', 'n'), aab ENUM('w'), `q``t` "
        "ENUM('it''s', 'z'), `a\\_b` ENUM('bs'))");
  TMyQuery* query = Query("SELECT * FROM e");
  query->Open();
  struct Case {
    std::string field;
    std::string members;
  };
  const Case cases[] = {{"a_b", "x\r\ny\r\n"}, {"a%b", "m\r\nn\r\n"}, {"q`t", "it's\r\nz\r\n"},
                        {"a\\_b", "bs\r\n"},   {"axb", "p\r\n"}};
  for (const Case& k : cases) {
    TStringList list;
    query->GetFieldEnum(list, k.field);
    EXPECT_EQ(list.Text(), k.members) << k.field;
    query->GetFieldEnum(list, k.field, "e");
    EXPECT_EQ(list.Text(), k.members) << k.field;
  }
  TStringList list;
  try {
    query->GetFieldEnum(list, "a_", "e");
    FAIL() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Field a_ not found");
  }
}

TEST_P(MyHostileInputTest, ConditionsApplyToTheWholeUnionAndControlBytesAreBlanks) {
  struct Case {
    std::string sql;
    std::string filter;
    std::string ids;
  };
  const Case cases[] = {
      {"SELECT id FROM canary WHERE id = 1 UNION SELECT id + 10 FROM canary ORDER BY id", "id <> 12", "1,11,13"},
      {"SELECT id FROM canary UNION ALL SELECT id FROM canary WHERE id = 3", "id <> 1", "2,3,3"},
      {"(SELECT id FROM canary) UNION (SELECT id + 10 FROM canary) ORDER BY id DESC LIMIT 4", "id < 13", "12,11,3"},
      {"SELECT id FROM canary EXCEPT SELECT 2", "id > 0", "1,3"},
      {"SELECT *\vFROM canary\fWHERE id < 3", "id > 1", "2"},
      {"SELECT id FROM canary WHERE id IN (SELECT 1 UNION SELECT 3)", "id > 1", "3"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.sql);
    TMyQuery* query = Query(k.sql);
    query->SetFilterSQL(k.filter);
    query->Open();
    std::string ids;
    for (query->First(); !query->GetEOF(); query->Next())
      ids += (ids.empty() ? "" : ",") + query->FieldByName("id")->GetAsString();
    // Only an ORDER BY of the statement fixes the order.
    if (k.sql.find("ORDER BY") == std::string::npos) {
      std::vector<std::string> sorted;
      for (size_t at = 0; at <= ids.size();) {
        const size_t comma = std::min(ids.find(',', at), ids.size());
        sorted.push_back(ids.substr(at, comma - at));
        at = comma + 1;
      }
      std::sort(sorted.begin(), sorted.end());
      ids.clear();
      for (const std::string& id : sorted) ids += (ids.empty() ? "" : ",") + id;
    }
    EXPECT_EQ(ids, k.ids);
  }
  TMyQuery* ordered = Query("SELECT\fid FROM\vcanary");
  ordered->SetOrderBy("id\fDESC");
  ordered->Open();
  EXPECT_EQ(ordered->FieldByName("id")->GetAsInteger(), 3);
}

TEST_P(MyHostileInputTest, EveryWordTheServerReservesIsQuoted) {
  const std::vector<std::string> words = Lines("SELECT WORD FROM information_schema.KEYWORDS");
  ASSERT_GT(words.size(), 200u);
  int refused = 0;
  for (const std::string& word : words) {
    if (!IdentifierNeedsQuotes(word) && word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789") == std::string::npos) {
      // Unquoted, the server takes it as a name.
      EXPECT_NO_THROW(Admin("CREATE OR REPLACE TEMPORARY TABLE kw (" + word + " INT)")) << word;
    } else {
      ++refused;
    }
    EXPECT_NO_THROW(Admin("CREATE OR REPLACE TEMPORARY TABLE kw (" + QuoteIdentifier(word) + " INT)")) << word;
  }
  EXPECT_GT(refused, 200);
}

INSTANTIATE_TEST_SUITE_P(Api, MyHostileInputTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "direct" : "client"; });

}  // namespace
}  // namespace dac
