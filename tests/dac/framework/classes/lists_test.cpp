#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dac/framework/classes/collection.h"
#include "dac/framework/classes/string_list.h"
#include "tests/dac/framework/error_text.h"

namespace dac {
namespace {

std::vector<std::string> Lines(const TStringList& list) {
  std::vector<std::string> lines;
  for (int i = 0; i < list.Count(); ++i) lines.push_back(list.Strings(i));
  return lines;
}

TEST(StringList, TextRoundTrips) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
    std::string written;
  };
  const std::vector<Case> cases = {
      {"", {}, ""},
      {"a", {"a"}, "a\r\n"},
      {"a\r\nb\r\n", {"a", "b"}, "a\r\nb\r\n"},
      {"a\nb\rc", {"a", "b", "c"}, "a\r\nb\r\nc\r\n"},
      {"\r\n", {""}, "\r\n"},
      {"a\r\r\nb\n\n", {"a", "", "b", ""}, "a\r\n\r\nb\r\n\r\n"},
      {std::string("x\0y", 3), {std::string("x\0y", 3)}, std::string("x\0y\r\n", 5)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    TStringList list;
    list.SetText(c.text);
    EXPECT_EQ(Lines(list), c.lines);
    EXPECT_EQ(list.Text(), c.written);
  }
}

TEST(StringList, SortedListsKeepTheirDuplicatesRule) {
  struct Case {
    TDuplicates duplicates;
    bool case_sensitive;
    std::vector<std::string> lines;
    std::string error;
  };
  const std::vector<Case> cases = {
      {dupIgnore, false, {"a", "b", "c"}, "no error"},
      {dupAccept, false, {"a", "B", "b", "c"}, "no error"},
      {dupError, false, {"a", "b", "c"}, "List does not allow duplicates"},
      {dupError, true, {"B", "a", "b", "c"}, "no error"},
  };
  for (const Case& c : cases) {
    TStringList list;
    list.SetDuplicates(c.duplicates);
    list.SetCaseSensitive(c.case_sensitive);
    list.SetSorted(true);
    list.Add("c");
    list.Add("b");
    list.Add("a");
    int added = -1;
    EXPECT_EQ(ErrorOf([&] { added = list.Add("B"); }), c.error);
    if (c.duplicates == dupIgnore) {
      EXPECT_EQ(added, 1);  // the line already there
    }
    EXPECT_EQ(Lines(list), c.lines);
  }
}

TEST(StringList, LooksUpSortsAndRefusesOutOfBounds) {
  TStringList list;
  int kept = 7;
  list.AddObject("beta", &kept);
  list.Add("ALPHA");
  list.Add("gamma");
  EXPECT_EQ(list.IndexOf("alpha"), 1);
  EXPECT_EQ(list.IndexOfObject(&kept), 0);
  list.CustomSort([](const TStringList& l, int a, int b) {
    return static_cast<int>(l.Strings(b).size()) - static_cast<int>(l.Strings(a).size());
  });
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"ALPHA", "gamma", "beta"}));
  EXPECT_EQ(list.Objects(2), &kept);
  list.SetSorted(true);
  int at = -1;
  EXPECT_FALSE(list.Find("b", at));
  EXPECT_EQ(at, 1);
  EXPECT_EQ(ErrorOf([&] { list.Insert(0, "x"); }), "Operation not allowed on sorted list");
  EXPECT_EQ(ErrorOf([&] { list.Strings(3); }), "List index out of bounds (3)");
  EXPECT_EQ(ErrorOf([&] { list.Delete(-1); }), "List index out of bounds (-1)");
}

TEST(StringList, UpdatePairsNotifyOnce) {
  TStringList list;
  std::string log;
  list.SetOnChanging([&](TObject*) { log += "<"; });
  list.SetOnChange([&](TObject*) { log += ">"; });
  list.Add("a");
  EXPECT_EQ(log, "<>");
  log.clear();
  list.BeginUpdate();
  list.BeginUpdate();
  list.Add("b");
  list.EndUpdate();
  list.Delete(0);
  list.EndUpdate();
  EXPECT_EQ(log, "<>");
  log.clear();
  TStringList other;
  other.SetText("x\ny\nz");
  list.Assign(&other);
  list.AddStrings(list);
  EXPECT_EQ(log, "<><>");
  EXPECT_EQ(list.Text(), "x\r\ny\r\nz\r\nx\r\ny\r\nz\r\n");
}

// A collection that logs its updates and notifications.
class Item : public TCollectionItem {
  DAC_DECLARE_CLASS();

 public:
  void Touch() { Changed(false); }
};
DAC_DEFINE_CLASS(Item, TCollectionItem, ::dac::TMetaClassOf<Item>)

class LoggedCollection : public TCollection {
 public:
  LoggedCollection() : TCollection(Item::ClassInfo()) {}
  std::string log;

 protected:
  void Update(TCollectionItem* item) override { log += item ? "U" + std::to_string(item->Index()) : "U*"; }
  void Notify(TCollectionItem*, TCollectionNotification action) override { log += "+xd"[action]; }
};

TEST(Collection, ChangesNotifyAndUpdatePairsCount) {
  LoggedCollection items;
  items.Add();
  EXPECT_EQ(items.log, "+U*");
  items.log.clear();
  items.BeginUpdate();
  items.Add();
  items.Insert(0);
  static_cast<Item*>(items.Items(1))->Touch();
  items.BeginUpdate();
  items.EndUpdate();
  EXPECT_EQ(items.log, "++");
  items.EndUpdate();
  EXPECT_EQ(items.log, "++U*");
  items.log.clear();
  static_cast<Item*>(items.Items(2))->Touch();
  items.Items(2)->SetIndex(0);
  EXPECT_EQ(items.log, "U2U*");
  EXPECT_EQ(items.Items(0)->ID(), 1);

  LoggedCollection other;
  items.Items(0)->SetCollection(&other);
  delete items.Items(0);
  items.Delete(0);
  EXPECT_EQ(items.log, "U2U*xU*dU*dU*");
  EXPECT_EQ(items.Count(), 0);
  EXPECT_EQ(other.Count(), 1);
  EXPECT_EQ(ErrorOf([&] { items.Items(0); }), "List index out of bounds (0)");
}

}  // namespace
}  // namespace dac
