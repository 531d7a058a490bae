// What the generated statements write and where they look: only the
// columns a session changed, also blobs and texts under cached updates, so
// that two sessions editing one row keep each other's changes; columns by
// the names their table gives them, whatever the statement calls them;
// expression columns never written; read-only datasets refreshed through
// their own statement. The relay of tests/dac/mysql/support records the
// statements; a second session checks what the server holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dac/framework/data/field.h"
#include "dac/mysql/client/transport/zlib_routines.h"
#include "dac/mysql/components/my_dataset.h"
#include "dac/mysql/components/my_dataset_options.h"
#include "dac/store/blob/compression_hooks.h"
#include "tests/dac/mysql/my_dataset_test_support.h"
#include "tests/dac/mysql/support/relay.h"
#include "tests/dac/mysql/support/zlib_hooks.h"

namespace dac {
namespace {

using testing::Relay;
using testing::ZlibHooks;

class MyWrittenColumnsTest : public testing::MyDataSetTest {
 protected:
  void SetUp() override {
    MyDataSetTest::SetUp();
    if (IsSkipped()) return;
    relay_ = std::make_unique<Relay>(settings.host, settings.port);
    relayed = MakeComponent<TMyConnection>(nullptr);
    relayed->SetLoginPrompt(false);
    relayed->SetServer(settings.host);
    relayed->SetPort(relay_->Port());
    relayed->SetUsername(settings.user);
    relayed->SetPassword(settings.password);
    relayed->SetDatabase(settings.database);
  }
  void TearDown() override {
    for (TMyQuery* made : queries_) made->Free();
    if (relayed) relayed->Free();
    relay_.reset();
    MyDataSetTest::TearDown();
  }
  TMyQuery* QueryOn(TMyConnection* on, const std::string& sql) {
    auto* made = MakeComponent<TMyQuery>(nullptr);
    queries_.push_back(made);
    made->SetConnection(on);
    made->SQL().SetText(sql);
    return made;
  }
  Relay& relay() { return *relay_; }
  // The statements of the relayed session that hold text, from the last Clear on.
  std::vector<std::string> Sent(const std::string& text) {
    std::vector<std::string> found;
    for (const std::string& s : relay_->Statements())
      if (s.find(text) != std::string::npos) found.push_back(s);
    return found;
  }
  static void Change(TMyQuery* q, const std::string& field, const std::string& value) {
    q->Edit();
    q->FieldByName(field)->SetAsString(value);
    q->Post();
  }
  static void Apply(TMyQuery* q) {
    q->ApplyUpdates();
    q->CommitUpdates();
  }

  TMyConnection* relayed = nullptr;

 private:
  std::unique_ptr<Relay> relay_;
  std::vector<TMyQuery*> queries_;
};

TEST_F(MyWrittenColumnsTest, TwoSessionsEditingOneRowWriteOnlyTheColumnsEachChanged) {
  const ZlibHooks zlib;
  struct Case {
    const char* type;
    TCompressBlobMode compress;
  };
  const Case cases[] = {{"TEXT", cbNone}, {"BLOB", cbNone}, {"LONGTEXT", cbNone}, {"MEDIUMBLOB", cbNone},
                        {"TEXT", cbClient}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.type) + (c.compress == cbNone ? "" : " compressed here"));
    Exec("DROP TABLE IF EXISTS p");
    Exec(std::string("CREATE TABLE p (id INT PRIMARY KEY, name VARCHAR(20), note ") + c.type + ") ENGINE=InnoDB");
    Exec("INSERT INTO p VALUES (1, 'a', REPEAT('first note ', 20))");
    const auto note = [&] { return Value("SELECT note FROM p"); };
    const auto name = [&] { return Value("SELECT name FROM p"); };
    TMyQuery* mine = QueryOn(relayed, "SELECT id, name, note FROM p");
    TMyQuery* theirs = QueryOn(connection, "SELECT id, name, note FROM p");
    for (TMyQuery* q : {mine, theirs}) {
      q->SetCachedUpdates(true);
      q->Options().SetCompressBlobMode(c.compress);
      q->Open();
    }
    relay().ClearStatements();

    // A reverted edit gives the row back as it came, text included.
    const std::string first_note = mine->FieldByName("note")->GetAsString();
    Change(mine, "name", "reverted");
    mine->RevertRecord();
    EXPECT_EQ(mine->FieldByName("name")->GetAsString(), "a");
    EXPECT_EQ(mine->FieldByName("note")->GetAsString(), first_note);
    EXPECT_FALSE(mine->UpdatesPending());

    // Each changes a column of its own; neither writes the other's.
    Change(mine, "name", "zz");
    Change(theirs, "note", "changed by B");
    Apply(theirs);
    Apply(mine);
    EXPECT_EQ(name(), "zz");
    EXPECT_EQ(note(), "changed by B");
    ASSERT_EQ(Sent("UPDATE").size(), 1u);
    EXPECT_EQ(Sent("UPDATE")[0].find("note"), std::string::npos) << Sent("UPDATE")[0].substr(0, 200);

    // A value set again as it was is no change either; a new one is written.
    Change(mine, "note", mine->FieldByName("note")->GetAsString());
    Change(mine, "name", "yy");
    Exec("UPDATE p SET note = 'B again'");
    Apply(mine);
    EXPECT_EQ(name(), "yy");
    EXPECT_EQ(note(), "B again");
    Change(mine, "note", "mine");
    Apply(mine);
    EXPECT_EQ(note(), "mine");
    EXPECT_EQ(name(), "yy");
    mine->Close();
    theirs->Close();
  }

  // Posted at once, a row's untouched text stays out of the statement too.
  TMyQuery* plain = QueryOn(relayed, "SELECT id, name, note FROM p");
  plain->Open();
  Exec("UPDATE p SET note = 'by B'");
  relay().ClearStatements();
  Change(plain, "name", "xx");
  EXPECT_EQ(Value("SELECT note FROM p"), "by B");
  ASSERT_EQ(Sent("UPDATE").size(), 1u);
  EXPECT_EQ(Sent("UPDATE")[0].find("note"), std::string::npos);
}

TEST_F(MyWrittenColumnsTest, AliasedColumnsAreWrittenAndFoundByTheirTablesNamesAndExpressionsAreOnlyRead) {
  struct Case {
    const char* sql;
    const char* id;
    const char* name;
    const char* computed;  // a column of no table, or empty
  };
  const Case cases[] = {
      {"SELECT id, name FROM dept ORDER BY id", "id", "name", ""},
      {"SELECT id AS ident, name FROM dept ORDER BY id", "ident", "name", ""},
      {"SELECT d.id AS ident, d.name AS label FROM dept d ORDER BY d.id", "ident", "label", ""},
      {"SELECT d.id, d.name, d.id * 2 AS dbl FROM dept d ORDER BY d.id", "id", "name", "dbl"},
      {"SELECT `d`.`id` AS `the id`, name, CONCAT(name, '!') AS shout FROM dept `d` ORDER BY 1", "the id", "name",
       "shout"},
  };
  for (const bool cached : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.sql) + (cached ? ", cached" : ""));
      Exec("DROP TABLE IF EXISTS dept");
      Exec("CREATE TABLE dept (id INT PRIMARY KEY, name VARCHAR(20)) ENGINE=InnoDB");
      Exec("INSERT INTO dept VALUES (1, 'a'), (2, 'b')");
      const auto rows = [&] { return Value("SELECT GROUP_CONCAT(id, ':', name ORDER BY id) FROM dept"); };
      TMyQuery* q = QueryOn(relayed, c.sql);
      q->SetCachedUpdates(cached);
      q->Open();
      relay().ClearStatements();
      q->First();
      Change(q, c.name, "x");
      q->Append();
      q->FieldByName(c.id)->SetAsInteger(5);
      q->FieldByName(c.name)->SetAsString("e");
      q->Post();
      q->Next();
      q->Next();
      if (cached) Apply(q);
      EXPECT_EQ(rows(), "1:x,2:b,5:e");
      // Someone else changes row 2; its refresh reads that, and reads the
      // computed column by the statement's own means, not from the table.
      Exec("UPDATE dept SET name = 's' WHERE id = 2");
      q->First();
      q->Next();
      ASSERT_EQ(q->FieldByName(c.id)->GetAsInteger(), 2);
      q->RefreshRecord();
      EXPECT_EQ(q->FieldByName(c.name)->GetAsString(), "s");
      q->First();
      q->Delete();
      if (cached) Apply(q);
      EXPECT_EQ(rows(), "2:s,5:e");
      for (const char* kind : {"INSERT", "UPDATE"}) {
        for (const std::string& sent : Sent(kind)) {
          // Only the table's own names, never the statement's.
          const auto absent = [&](const std::string& name) {
            return name.empty() || name == "id" || name == "name" || sent.find(name) == std::string::npos;
          };
          EXPECT_TRUE(absent(c.computed) && absent(c.id) && absent(c.name)) << sent;
        }
      }
      q->Close();
    }
  }
}

TEST_F(MyWrittenColumnsTest, AReadOnlyDataSetRefreshesARowThroughItsOwnStatement) {
  Exec("CREATE TABLE dept (id INT PRIMARY KEY, name VARCHAR(20)) ENGINE=InnoDB");
  Exec("INSERT INTO dept VALUES (1, 'a'), (2, 'b'), (3, 'c')");
  const char* statements[] = {
      "SELECT id, name FROM dept ORDER BY id",
      "SELECT id AS ident, name AS label FROM dept WHERE id > 0 ORDER BY id",
      "SELECT d.id AS ident, d.name AS label FROM dept d WHERE d.name <> '?' ORDER BY d.id LIMIT 10",
      "SELECT * FROM dept\nWHERE /* a comment with a ? */ id < 100",
  };
  for (const bool full_refresh : {false, true}) {
    for (const char* sql : statements) {
      SCOPED_TRACE(std::string(sql) + (full_refresh ? ", full refresh" : ""));
      Exec("UPDATE dept SET name = CASE id WHEN 1 THEN 'a' WHEN 2 THEN 'b' ELSE 'c' END");
      TMyQuery* q = QueryOn(relayed, sql);
      q->SetReadOnly(true);
      q->Options().SetFullRefresh(full_refresh);
      q->Open();
      Exec("UPDATE dept SET name = 'new' WHERE id = 2");
      q->First();
      q->Next();
      q->RefreshRecord();
      EXPECT_EQ(q->Fields().Fields(0)->GetAsInteger(), 2);
      EXPECT_EQ(q->Fields().Fields(1)->GetAsString(), "new");
      q->Next();
      EXPECT_EQ(q->Fields().Fields(1)->GetAsString(), "c");
      q->Close();
    }
  }
}

}  // namespace
}  // namespace dac
