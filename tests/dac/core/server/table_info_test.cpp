#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dac/core/server/table_info.h"
#include "tests/dac/core/support/assertion_text.h"
#include "tests/dac/framework/error_text.h"

namespace dac::test {
namespace {

// A dialect quoting with backquotes.
class BackquoteTableInfo : public TDKTableInfo {
  DAC_DECLARE_CLASS();

 public:
  using TDKTableInfo::TDKTableInfo;
};

class BackquoteTableInfoClass : public TDKTableInfoClassOf<BackquoteTableInfo> {
 public:
  using TDKTableInfoClassOf::TDKTableInfoClassOf;
  char LeftQuote() const override { return '`'; }
  char RightQuote() const override { return '`'; }
};
DAC_DEFINE_CLASS(BackquoteTableInfo, TDKTableInfo, BackquoteTableInfoClass)

const TDKTableInfoClass& Backquotes() { return static_cast<const TDKTableInfoClass&>(BackquoteTableInfo::ClassInfo()); }

TEST(TableInfo, NormalizesNamesByTheDialectsQuotes) {
  struct Case {
    const TDKTableInfoClass& dialect;
    const char* value;
    bool quote_names;
    const char* expected;
  };
  const TDKTableInfoClass& base = TDKTableInfo::InfoClass();
  const Case cases[] = {
      {base, "db.sch.tbl", true, R"("db"."sch"."tbl")"},
      {base, "db.sch.tbl", false, "db.sch.tbl"},
      {base, R"("db"."Tbl")", false, "db.Tbl"},
      {base, R"("Tbl")", true, R"("Tbl")"},
      {base, "my table", false, R"("my table")"},
      {base, "db.my table", false, R"(db."my table")"},
      {base, R"("a.b")", false, R"("a.b")"},
      {base, R"(db."a.b".c)", true, R"("db"."a.b"."c")"},
      {base, R"(")", false, R"("""")"},
      {base, R"(a"b)", false, R"("a""b")"},
      {base, R"("a"b")", false, R"("""a""b""")"},
      {base, "", true, ""},
      {base, "a.", false, "a."},
      {base, "Tbl_1", false, "Tbl_1"},
      {Backquotes(), "db.tbl", true, "`db`.`tbl`"},
      {Backquotes(), "`db`.`my t`", false, "db.`my t`"},
      {Backquotes(), "`a.b`.c", false, "`a.b`.c"},
      {Backquotes(), R"("x")", false, R"(`"x"`)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.dialect.ClassName()) + " " + c.value);
    EXPECT_EQ(c.dialect.NormalizeName(c.value, c.quote_names), c.expected);
  }
  EXPECT_FALSE(base.IsQuoted("\"")) << "a lone quote character is not a quoted name";
  EXPECT_EQ(base.NormalizeName("a.b", '[', ']', true), R"("a"."b")") << "parts take the class's quotes";
  EXPECT_EQ(base.NormalizeName("ab", '[', ']', true), "[ab]");
  EXPECT_FALSE(base.QuotesNeeded(R"("")"));
  EXPECT_TRUE(base.QuotesNeeded(R"("a-b")"));
}

// Entries "Orders" alias "o", "items" alias "i", "orders" alias "o2".
struct Tables {
  TDKTablesInfo list{Backquotes()};
  Tables() {
    for (auto [name, alias] : {std::pair{"Orders", "o"}, {"items", "i"}, {"orders", "o2"}}) {
      TDKTableInfo* entry = list.Add();
      entry->SetTableName(name);
      entry->SetTableAlias(alias);
    }
  }
};

TEST(TablesInfo, LooksUpByNameAndAliasWithOrWithoutAnOpenUpdate) {
  Tables t;
  EXPECT_EQ(t.list.Items(1)->ClassName(), "BackquoteTableInfo");
  EXPECT_EQ(t.list.Items(2)->GetIndex(), 2);
  for (bool updating : {false, true}) {
    SCOPED_TRACE(updating ? "updating" : "sorted");
    if (updating) t.list.BeginUpdate();
    EXPECT_EQ(t.list.IndexByName("ORDERS"), 0) << "of equal names the first";
    EXPECT_EQ(t.list.IndexByName("Items"), 1);
    EXPECT_EQ(t.list.IndexByAlias("O2"), 2);
    EXPECT_EQ(t.list.IndexByName("nothing"), -1);
    EXPECT_EQ(t.list.FindByName("nothing"), nullptr);
  }
  // Renamed while the update is open: found one by one, then through the rebuilt list.
  t.list.Items(1)->SetTableName("lines");
  EXPECT_EQ(t.list.IndexByName("LINES"), 1);
  t.list.EndUpdate();
  EXPECT_EQ(t.list.IndexByName("LINES"), 1);
  EXPECT_EQ(t.list.IndexByName("items"), -1);
  EXPECT_EQ(t.list.IndexOf(t.list.Items(2)), 2);
  EXPECT_EQ(ErrorOf([&] { t.list.Items(3); }), "List index out of bounds (3)");
}

TEST(TablesInfo, NormalizeAlsoNormalizesWhatIsSearched) {
  Tables t;
  t.list.Items(1)->SetTableName("`shop`.`line items`");
  t.list.Items(1)->SetTableAlias("`li`");
  t.list.Normalize();
  EXPECT_TRUE(t.list.GetNormalized());
  EXPECT_EQ(t.list.Items(1)->GetTableName(), "shop.`line items`");
  EXPECT_EQ(t.list.Items(1)->GetTableAlias(), "li");
  EXPECT_EQ(t.list.IndexByName("`SHOP`.`line items`"), 1);
  EXPECT_EQ(t.list.IndexByAlias("`LI`"), 1);
  t.list.Clear();
  EXPECT_EQ(t.list.Count(), 0);
  EXPECT_FALSE(t.list.GetNormalized());
  t.list.Normalize();
  t.list.Clear();
  EXPECT_FALSE(t.list.GetNormalized()) << "cleared also when empty";
}

TEST(TablesInfo, ReplacingAnEntryFreesTheOldOneAndIndexesTheNew) {
  Tables t;
  std::unique_ptr<TDKTableInfo> fresh(Backquotes().Create(nullptr));
  fresh->SetTableName("customers");
  ASSERT_TRUE(t.list.SetItems(0, fresh.get()));
  TDKTableInfo* entry = fresh.release();
  EXPECT_EQ(entry->GetIndex(), 0);
  EXPECT_EQ(entry->GetOwner(), &t.list);
  EXPECT_EQ(t.list.FindByName("CUSTOMERS"), entry);
  EXPECT_EQ(t.list.IndexByName("ORDERS"), 2) << "the replaced entry left the lookup lists";
  entry->SetTableName("clients");
  EXPECT_EQ(t.list.IndexByName("clients"), 0) << "the new entry tells its list of renames";

  EXPECT_FALSE(t.list.SetItems(0, entry));
  std::unique_ptr<TDKTableInfo> stray(Backquotes().Create(nullptr));
  EXPECT_FALSE(t.list.SetItems(3, stray.get()));
  EXPECT_EQ(AssertionTextOf([&] { t.list.SetItems(1, entry); }), "The entry already has a slot in this list");
  Tables other;
  EXPECT_EQ(AssertionTextOf([&] { t.list.SetItems(1, other.list.Items(0)); }), "The entry belongs to another list");
}

}  // namespace
}  // namespace dac::test
