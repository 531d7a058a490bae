#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "content/groups.h"
#include "content/record_fields.h"
#include "content/text_lines.h"
#include "content/users.h"
#include "content/xor_file_stream.h"
#include "package_test_support.h"
#include "platform/files.h"

namespace content {
namespace {

TEST(TextLines, CrLfAndCrlfEndLines) {
  EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (TStringList{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\n\rb"), (TStringList{"a", "", "b"}));
  EXPECT_EQ(SplitLines("a\r\n"), (TStringList{"a"}));
  EXPECT_EQ(SplitLines("\r\n"), (TStringList{""}));
  EXPECT_EQ(SplitLines("a\r\n\r\n"), (TStringList{"a", ""}));
  EXPECT_TRUE(SplitLines("").empty());
  EXPECT_EQ(NonEmptyLines("\n\na\r\r\nb\n"), (TStringList{"a", "b"}));
}

TEST(RecordFields, PlainFieldsRefuseSeparatorsLineBreaksAndNul) {
  EXPECT_TRUE(CanStoreAsIs("Ann Lee %41 \xe9"));
  EXPECT_TRUE(CanStoreAsIs(""));
  for (const std::string& bad : std::vector<std::string>{"a;b", "a\rb", "a\nb", std::string("a\0b", 3)})
    EXPECT_FALSE(CanStoreAsIs(bad));
}

TEST(User, RecordFields) {
  TUser ann;
  ann.SetLoginName("ann");
  ann.SetPassword("pw");
  ann.SetFullName("Ann Lee");
  EXPECT_EQ(ann.SaveToString(), "ann;pw;;;Ann Lee");
  ann.AddGroup(3);
  ann.AddGroup(12);
  ann.AddGroup(3);
  EXPECT_EQ(ann.SaveToString(), "ann;pw;;%33%0D%0A%31%32%0D%0A;Ann Lee");

  TUser back;
  back.LoadFromString("ann;pw;r;%33%0D%0A%31%32%0D%0A;Ann Lee");
  EXPECT_EQ(back.GetLoginName(), "ann");
  EXPECT_EQ(back.GetPassword(), "pw");
  EXPECT_EQ(back.GetReservedText(), "r");
  EXPECT_EQ(back.GetFullName(), "Ann Lee");
  EXPECT_EQ(back.GetGroupIds(), (TStringList{"3", "12"}));
  EXPECT_FALSE(back.GetModified());

  // An empty last field is dropped by the split and reads as empty.
  back.LoadFromString("ann;pw;;;");
  EXPECT_EQ(back.GetFullName(), "");
  EXPECT_EQ(back.GetGroupCount(), 0);
  back.LoadFromString("solo");
  EXPECT_EQ(back.GetLoginName(), "solo");
  EXPECT_EQ(back.GetPassword(), "");
  EXPECT_EQ(back.GetFullName(), "");
}

TEST(User, GroupIdLines) {
  TUser u;
  u.SetGroupsText("3\r\n\r\n12\n\rx\r5\r\n");
  EXPECT_EQ(u.GetGroupIds(), (TStringList{"3", "", "12", "", "x", "5"}));
  EXPECT_EQ(u.GetGroupId(0), 3);
  EXPECT_EQ(u.GetGroupId(1), -1);
  EXPECT_EQ(u.GetGroupId(4), -1);
  EXPECT_EQ(u.GetGroupId(6), -1);
  EXPECT_TRUE(u.IsInGroup(12));
  EXPECT_FALSE(u.IsInGroup(7));
  u.RemoveGroup(12);
  u.RemoveGroup(7);
  EXPECT_EQ(u.GetGroupIds(), (TStringList{"3", "", "", "x", "5"}));
  u.SetGroupsText("1\r\n\r\n");
  EXPECT_EQ(u.GetGroupIds(), (TStringList{"1"}));

  // Administrator pages send group positions, one per line.
  TGroupsList groups;
  for (int32_t id : {7, 3, 9}) groups.AddGroup()->SetId(id);
  u.SetGroupsFromIndexes("0\r\n7\r\n", groups);
  EXPECT_EQ(u.GetGroupIds(), (TStringList{"7"}));
  u.SetGroupsFromIndexes("2\nx\n-1\n1\n3\n\n", groups);
  EXPECT_EQ(u.GetGroupIds(), (TStringList{"9", "3"}));
  u.SetGroupsFromIndexes("", groups);
  EXPECT_EQ(u.GetGroupCount(), 0);
}

TEST(User, SettersMarkModifiedOnlyOnChange) {
  TUser u;
  u.SetLoginName("");
  u.SetPassword("");
  u.SetFullName("");
  EXPECT_FALSE(u.GetModified());
  u.SetPassword("x");
  EXPECT_TRUE(u.GetModified());

  TGroup g;
  g.SetId(0);
  g.SetTitle("");
  EXPECT_FALSE(g.GetModified());
  g.SetId(4);
  EXPECT_TRUE(g.GetModified());
}

TEST(Group, RecordFields) {
  TGroup g;
  g.LoadFromString("7;");
  EXPECT_EQ(g.GetId(), 7);
  EXPECT_EQ(g.GetTitle(), "");
  g.LoadFromString("-3;Team A;extra");
  EXPECT_EQ(g.GetId(), -3);
  EXPECT_EQ(g.GetTitle(), "Team A");
  EXPECT_EQ(g.SaveToString(), "-3;Team A");
  for (const char* bad : {"x;Bad", ";Bad", " 7;Bad", "99999999999;Big", ""}) {
    EXPECT_THROW(g.LoadFromString(bad), RecordFieldError) << bad;
  }
  EXPECT_EQ(g.GetId(), -3);
}

std::vector<int32_t> Ids(const TGroupsList& groups) {
  std::vector<int32_t> ids;
  for (int i = 0; i < groups.Count(); ++i) ids.push_back(groups.GetGroup(i)->GetId());
  return ids;
}

int32_t NextIdAfter(const std::vector<int32_t>& ids) {
  TGroupsList groups;
  for (int32_t id : ids) groups.AddGroup()->SetId(id);
  return groups.AddGroup()->GetId();
}

TEST(GroupsList, NewGroupIds) {
  EXPECT_EQ(NextIdAfter({}), 1);
  EXPECT_EQ(NextIdAfter({4, 9, 2}), 10);
  EXPECT_EQ(NextIdAfter({2000000}), 1);
  EXPECT_EQ(NextIdAfter({2000000, 5}), 6);
  EXPECT_EQ(NextIdAfter({1999999}), 2000000);
  EXPECT_EQ(NextIdAfter({2147483647}), 1);
  EXPECT_EQ(NextIdAfter({-4, 0}), 1);
  // A wrap must not hand out an id an earlier group holds.
  EXPECT_EQ(NextIdAfter({1, 2, 2000000}), 3);

  TGroupsList groups;
  for (int32_t id : {5, 8, 5}) groups.AddGroup()->SetId(id);
  EXPECT_EQ(groups.IndexOfId(5), 0);
  EXPECT_EQ(groups.FindById(8), groups.GetGroup(1));
  EXPECT_EQ(groups.IndexOfId(6), -1);
  EXPECT_EQ(groups.FindById(6), nullptr);
  groups.Delete(0);
  groups.Delete(7);
  EXPECT_EQ(Ids(groups), (std::vector<int32_t>{8, 5}));
  EXPECT_EQ(groups.GetType(), kGroupsListElement);
}

TEST(UsersList, LoginNamesCompareWithoutCase) {
  TUsersList users;
  users.AddNew()->SetLoginName("ann");
  users.AddNew()->SetLoginName("Bob");
  EXPECT_TRUE(users.HasLoginName("ANN"));
  EXPECT_TRUE(users.HasLoginName("bob"));
  EXPECT_FALSE(users.HasLoginName("an"));
  users.Delete(0);
  users.Delete(5);
  EXPECT_EQ(users.Count(), 1);
  EXPECT_FALSE(users.HasLoginName("ann"));
  EXPECT_EQ(users.GetUser(1), nullptr);
  EXPECT_EQ(users.GetType(), kUsersListElement);
}

class TableFiles : public package_test::TempFolder {
 protected:
  std::string Base() const { return root_ + "/all"; }
};

TEST_F(TableFiles, SavedBytesAreTheRecordsWithCrLf) {
  TUsersList users;
  TUser* ann = users.AddNew();
  ann->SetLoginName("ann");
  ann->SetPassword("pw");
  ann->SetFullName("Ann Lee");
  TUser* bob = users.AddNew();
  bob->SetLoginName("bob");
  bob->SetPassword("x");
  bob->AddGroup(3);
  bob->AddGroup(12);
  users.SetStatsDate(39000);
  users.SaveToFile(Base());
  EXPECT_EQ(ReadBack(Base() + ".users.csv"), "ann;pw;;;Ann Lee\r\nbob;x;;%33%0D%0A%31%32%0D%0A;\r\n");

  TGroupsList groups;
  groups.AddGroup()->SetTitle("Managers");
  groups.AddGroup();
  groups.SaveToFile(Base());
  EXPECT_EQ(ReadBack(Base() + ".groups.csv"), "1;Managers\r\n2;\r\n");

  TUsersList loaded;
  loaded.LoadFromFile(Base());
  ASSERT_EQ(loaded.Count(), 2);
  EXPECT_EQ(loaded.GetUser(1)->GetGroupIds(), (TStringList{"3", "12"}));
  EXPECT_EQ(loaded.GetUser(1)->GetFullName(), "");
  EXPECT_EQ(loaded.GetStatsDate(), 0);
  loaded.SetStatsDate(39000);
  loaded.LoadFromFile(Base());
  EXPECT_EQ(loaded.GetStatsDate(), 39000);
  EXPECT_EQ(users.GetStatsDate(), 39000);

  // Nothing to write is an empty file, not a missing one.
  TUsersList().SaveToFile(root_ + "/none");
  EXPECT_EQ(ReadBack(root_ + "/none.users.csv"), "");
}

TEST_F(TableFiles, LoadingSkipsBlankLinesAndBadGroupLines) {
  Write("all.users.csv", "\r\nann;pw;;%37%0D%0A;Ann\n\nbob;b\r\r\ncid;c;;;Cid\r\n");
  Write("all.groups.csv", "7;Seven\n\r\nx;Bad\r\n;NoId\r\n12;Twelve\r9999999999;Huge\r\n4");
  TUsersList users;
  users.LoadFromFile(Base());
  ASSERT_EQ(users.Count(), 3);
  EXPECT_EQ(users.GetUser(0)->GetFullName(), "Ann");
  EXPECT_TRUE(users.GetUser(0)->IsInGroup(7));
  EXPECT_EQ(users.GetUser(1)->GetLoginName(), "bob");
  EXPECT_EQ(users.GetUser(1)->GetPassword(), "b");
  EXPECT_EQ(users.GetUser(2)->GetFullName(), "Cid");

  TGroupsList groups;
  groups.LoadFromFile(Base());
  EXPECT_EQ(Ids(groups), (std::vector<int32_t>{7, 12, 4}));
  EXPECT_EQ(groups.GetGroup(1)->GetTitle(), "Twelve");
  EXPECT_EQ(groups.GetGroup(2)->GetTitle(), "");
}

TEST_F(TableFiles, MissingFileIsAnEmptyTableButAnUnreadableOneIsAnError) {
  TUsersList users;
  users.AddNew()->SetLoginName("old");
  users.LoadFromFile(root_ + "/nothing");
  EXPECT_EQ(users.Count(), 0);

  TGroupsList groups;
  groups.AddGroup();
  groups.LoadFromFile(root_ + "/nothing");
  EXPECT_EQ(groups.Count(), 0);

  // A folder in the table's place cannot be read: an error, the tables kept.
  ASSERT_EQ(::mkdir((Base() + ".users.csv").c_str(), 0700), 0);
  ASSERT_EQ(::mkdir((Base() + ".groups.csv").c_str(), 0700), 0);
  users.AddNew()->SetLoginName("kept");
  groups.AddGroup();
  EXPECT_THROW(users.LoadFromFile(Base()), plat::FileError);
  EXPECT_THROW(groups.LoadFromFile(Base()), plat::FileError);
  EXPECT_EQ(users.Count(), 1);
  EXPECT_EQ(groups.Count(), 1);
}

TEST_F(TableFiles, PlainFieldsThatWouldShiftTheRecordAreNotSaved) {
  const std::string old_users = "ann;pw;;;Ann\r\n";
  const std::string old_groups = "1;One\r\n";
  Write("all.users.csv", old_users);
  Write("all.groups.csv", old_groups);

  for (const std::string& bad : std::vector<std::string>{"p;w", "p\rw", "p\nw", std::string("p\0w", 3)}) {
    TUsersList users;
    users.LoadFromFile(Base());
    users.AddNew()->SetPassword(bad);
    EXPECT_THROW(users.SaveToFile(Base()), RecordFieldError);
    EXPECT_FALSE(users.GetUser(1)->CanSave());
    users.GetUser(0)->SetFullName(bad);
    users.Delete(1);
    EXPECT_THROW(users.SaveToFile(Base()), RecordFieldError);
  }
  TGroupsList groups;
  groups.AddGroup()->SetTitle("a;b");
  EXPECT_THROW(groups.SaveToFile(Base()), RecordFieldError);

  EXPECT_EQ(ReadBack(Base() + ".users.csv"), old_users);
  EXPECT_EQ(ReadBack(Base() + ".groups.csv"), old_groups);
  EXPECT_EQ(CountFiles(), 2u);  // no temporary left behind
}

TEST_F(TableFiles, PackageTables) {
  const std::string path = root_ + "/course.vrn";
  {
    TXORFileStream writer(path, TXORFileStream::kCreate, kPackageKey);
    writer.AddFile("all.users.csv", "ann;pw;;%31%0D%0A;Ann\r\n" + std::string(1, '\0') + "eve;x;;;Eve\r\n");
    writer.AddFile("all.groups.csv", "1;One\r\nbad;line\r\n2;Two\r\n");
    writer.AddFile("empty.users.csv", "");
    writer.Finish();
  }
  TXORFileStream package(path, TXORFileStream::kRead, kPackageKey);
  TUsersList users;
  users.LoadFromPackage("ALL", package);
  ASSERT_EQ(users.Count(), 1);
  EXPECT_TRUE(users.GetUser(0)->IsInGroup(1));

  TGroupsList groups;
  groups.LoadFromPackage("all", package);
  EXPECT_EQ(Ids(groups), (std::vector<int32_t>{1, 2}));
  groups.LoadFromPackage("none", package);
  EXPECT_EQ(groups.Count(), 0);

  users.LoadFromPackage("empty", package);
  EXPECT_EQ(users.Count(), 0);
}

}  // namespace
}  // namespace content
