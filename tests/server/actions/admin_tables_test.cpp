// The administrator's group and user requests and the tables they write.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/removal.h"
#include "server/actions/admin_lists.h"
#include "tests/server/admin_test_support.h"

namespace server {
namespace {

const std::string kTitleTaken = Refusal("A group with this title already exists.");
const std::string kBadTitle = Refusal("A group title cannot hold ';' or a line break.");
const std::string kLoginTaken = Refusal("A user with this login name already exists.");
const std::string kNoSuchUser = Refusal("This user does not exist any more.");

const std::string kGroups = "1;Sales\r\n4;Support\r\n2;Night shift\r\n";
const std::string kUsers =
    "ann;pw1;;%31%0D%0A%34%0D%0A;Ann Lee\r\n"
    "bob;pw2;;%34%0D%0A;Bob Ray\r\n"
    "cat;pw3;;;Cat Moss\r\n";

std::string GroupsReply(const std::string& groups, const std::string& users, const std::string& current) {
  return "<movie Groups=\"" + content::PercentEncode(groups) + "\" Users=\"" + content::PercentEncode(users) +
         "\" CurrentGroup=\"" + content::PercentEncode(current) + "\" />";
}

std::string EditGroupReply(const std::string& members, const std::string& available, const std::string& name,
                           const std::string& title) {
  return "<movie  Users=\"" + content::PercentEncode(members) + "\" UsersAvail=\"" + content::PercentEncode(available) +
         "\" GroupName=\"" + content::PercentEncode(name) + "\" GroupTitle=\"" + content::PercentEncode(title) + "\"/>";
}

std::string UserReply(const std::string& available, const std::string& own, const std::string& full_name,
                      const std::string& login) {
  return "<movie Groups=\"" + content::PercentEncode(available) + "\" UserGroups=\"" + content::PercentEncode(own) +
         "\" UserFullName=\"" + content::PercentEncode(full_name) + "\" LoginName=\"" + content::PercentEncode(login) +
         "\" />";
}

class AdminTables : public AdminTest {
 protected:
  void SetUp() override {
    OpenFolder({{"all.groups.csv", kGroups}, {"all.users.csv", kUsers}});
    LogIn();
  }

  // The lists of the unchanged tables above.
  static std::string UnchangedGroups(const std::string& current) {
    return GroupsReply("Sales\r1\r0\rSupport\r2\r1\rNight shift\r0\r2\r",
                       "Ann Lee\rSales, Support\r0\rBob Ray\rSupport\r1\rCat Moss\r\r2\r", current);
  }

  void ExpectTablesUnchanged() {
    EXPECT_EQ(DataFile("all.groups.csv"), kGroups);
    EXPECT_EQ(DataFile("all.users.csv"), kUsers);
  }
};

TEST_F(AdminTables, GroupsAreAddedRenamedAndDeleted) {
  EXPECT_EQ(AskAsAdmin("admingetgroups", "&groupname=x%22y"), UnchangedGroups("x\"y"));
  EXPECT_EQ(AskAsAdmin("adminaddgroup", "&groupname=*"), UnchangedGroups("-1"));
  // A title another group has is refused in words; a group keeps its own.
  EXPECT_EQ(AskAsAdmin("adminaddgroup", "&groupname=Support"), kTitleTaken);
  EXPECT_EQ(AskAsAdmin("adminchangegroup", "&groupname=0&newgroupname=Support"), kTitleTaken);
  EXPECT_EQ(AskAsAdmin("adminchangegroup", "&groupname=1&newgroupname=Support"), UnchangedGroups("1"));
  ExpectTablesUnchanged();

  EXPECT_EQ(AskAsAdmin("adminaddgroup", "&groupname=Day%20shift"),
            GroupsReply("Sales\r1\r0\rSupport\r2\r1\rNight shift\r0\r2\rDay shift\r0\r3\r",
                        "Ann Lee\rSales, Support\r0\rBob Ray\rSupport\r1\rCat Moss\r\r2\r", "3"));
  EXPECT_EQ(DataFile("all.groups.csv"), kGroups + "5;Day shift\r\n");

  EXPECT_EQ(AskAsAdmin("adminchangegroup", "&groupname=1&newgroupname=Help%20desk"),
            GroupsReply("Sales\r1\r0\rHelp desk\r2\r1\rNight shift\r0\r2\rDay shift\r0\r3\r",
                        "Ann Lee\rSales, Help desk\r0\rBob Ray\rHelp desk\r1\rCat Moss\r\r2\r", "1"));
  EXPECT_EQ(DataFile("all.groups.csv"), "1;Sales\r\n4;Help desk\r\n2;Night shift\r\n5;Day shift\r\n");

  // Deleting a group takes it from every member, in memory and on disk.
  EXPECT_EQ(AskAsAdmin("admindeletegroup", "&groupname=1"),
            GroupsReply("Sales\r1\r0\rNight shift\r0\r1\rDay shift\r0\r2\r",
                        "Ann Lee\rSales\r0\rBob Ray\r\r1\rCat Moss\r\r2\r", "1"));
  EXPECT_EQ(DataFile("all.groups.csv"), "1;Sales\r\n2;Night shift\r\n5;Day shift\r\n");
  EXPECT_EQ(DataFile("all.users.csv"), "ann;pw1;;%31%0D%0A;Ann Lee\r\nbob;pw2;;;Bob Ray\r\ncat;pw3;;;Cat Moss\r\n");
}

TEST_F(AdminTables, ADeletedGroupsMembersNeverJoinTheNextGroup) {
  OpenFolder({{"all.groups.csv", "1;Sales\r\n3;Night shift\r\n4;Support\r\n"}});
  LogIn();
  // Support has the largest id: the next group gets it again.
  AskAsAdmin("admindeletegroup", "&groupname=2");
  AskAsAdmin("adminaddgroup", "&groupname=Fresh");
  EXPECT_EQ(DataFile("all.groups.csv"), "1;Sales\r\n3;Night shift\r\n4;Fresh\r\n");
  ASSERT_TRUE(server_.SetPath(content_));
  LogIn();
  EXPECT_EQ(AskAsAdmin("admineditgroup", "&groupname=2"),
            EditGroupReply("", "Ann Lee\r0\rBob Ray\r1\rCat Moss\r2\r", "2", "Fresh"));

  // Memberships that an older table holds for an unused id go as well.
  OpenFolder({{"all.groups.csv", "1;Sales\r\n"}, {"all.users.csv", "ann;pw1;;%31%0D%0A%32%0D%0A;Ann Lee\r\n"}});
  LogIn();
  AskAsAdmin("adminaddgroup", "&groupname=Two");
  EXPECT_EQ(DataFile("all.groups.csv"), "1;Sales\r\n2;Two\r\n");
  EXPECT_EQ(DataFile("all.users.csv"), "ann;pw1;;%31%0D%0A;Ann Lee\r\n");
}

TEST_F(AdminTables, EditingAGroupSetsItsTitleAndMembers) {
  EXPECT_EQ(AskAsAdmin("admineditgroup", "&groupname=1"),
            EditGroupReply("Ann Lee\r0\rBob Ray\r1\r", "Cat Moss\r2\r", "1", "Support"));
  for (const char* name : {"-1", "3", "x", "-2"}) {
    EXPECT_EQ(AskAsAdmin("admineditgroup", std::string("&groupname=") + name),
              EditGroupReply("", "Ann Lee\r0\rBob Ray\r1\rCat Moss\r2\r", "-1", "Unnamed"))
        << name;
  }

  // The page encodes its values twice; lines that name no user are skipped.
  EXPECT_EQ(AskAsAdmin("adminaddeditgroup", "&groupname=1&grouptitle=Help%2520desk&users=2%250D%250A7%250Ax%250D0"),
            "<movie />");
  EXPECT_EQ(DataFile("all.groups.csv"), "1;Sales\r\n4;Help desk\r\n2;Night shift\r\n");
  EXPECT_EQ(DataFile("all.users.csv"),
            "ann;pw1;;%31%0D%0A%34%0D%0A;Ann Lee\r\nbob;pw2;;;Bob Ray\r\ncat;pw3;;%34%0D%0A;Cat Moss\r\n");

  EXPECT_EQ(AskAsAdmin("adminaddeditgroup", "&groupname=-1&grouptitle=50%2525&users=1"), "<movie />");
  EXPECT_EQ(DataFile("all.groups.csv"), "1;Sales\r\n4;Help desk\r\n2;Night shift\r\n5;50%\r\n");
  EXPECT_EQ(DataFile("all.users.csv"),
            "ann;pw1;;%31%0D%0A%34%0D%0A;Ann Lee\r\nbob;pw2;;%35%0D%0A;Bob Ray\r\ncat;pw3;;%34%0D%0A;Cat Moss\r\n");
  // "groupname" of adminaddgroup is a title, decoded once only.
  AskAsAdmin("adminaddgroup", "&groupname=50%2525");
  EXPECT_EQ(server_.GetGroups().GetGroup(4)->GetTitle(), "50%25");
}

TEST_F(AdminTables, UsersAreAddedEditedAndDeleted) {
  EXPECT_EQ(AskAsAdmin("admingetuser", "&username=-1"), UserReply("Sales\r0\rSupport\r1\rNight shift\r2", "", "", ""));
  EXPECT_EQ(AskAsAdmin("admingetuser", "&username=0"),
            UserReply("Night shift\r2", "Sales\r0\rSupport\r1", "Ann Lee", "ann"));

  // A new user; the same login name again changes nothing.
  EXPECT_EQ(
      AskAsAdmin(
          "adminaddedituser",
          "&username=-1&loginname=dan&password=p%2526w&fullname=Dan%2520O%2527Neil&usergroups=2%250D%250A9%250D%250A0"),
      "<movie />");
  const std::string with_dan = kUsers + "dan;p&w;;%32%0D%0A%31%0D%0A;Dan O'Neil\r\n";
  EXPECT_EQ(DataFile("all.users.csv"), with_dan);
  EXPECT_EQ(AskAsAdmin("adminaddedituser", "&username=-1&loginname=dan&password=x&fullname=Other&usergroups="),
            kLoginTaken);
  EXPECT_EQ(DataFile("all.users.csv"), with_dan);
  EXPECT_EQ(AskAsAdmin("admingetuser", "&username=3"),
            UserReply("Support\r1", "Night shift\r2\rSales\r0", "Dan O'Neil", "dan"));

  // An empty password keeps the old one; another user's login name changes nothing.
  AskAsAdmin("adminaddedituser", "&username=3&loginname=dave&password=&fullname=Dave&usergroups=1");
  EXPECT_EQ(DataFile("all.users.csv"), kUsers + "dave;p&w;;%34%0D%0A;Dave\r\n");
  EXPECT_EQ(AskAsAdmin("adminaddedituser", "&username=3&loginname=ann&password=x&fullname=X&usergroups="),
            kLoginTaken);
  EXPECT_EQ(DataFile("all.users.csv"), kUsers + "dave;p&w;;%34%0D%0A;Dave\r\n");

  EXPECT_EQ(AskAsAdmin("admindeleteuser", "&username=1"),
            GroupsReply("Sales\r1\r0\rSupport\r2\r1\rNight shift\r0\r2\r",
                        "Ann Lee\rSales, Support\r0\rCat Moss\r\r1\rDave\rSupport\r2\r", ""));
  EXPECT_EQ(DataFile("all.users.csv"),
            "ann;pw1;;%31%0D%0A%34%0D%0A;Ann Lee\r\ncat;pw3;;;Cat Moss\r\ndave;p&w;;%34%0D%0A;Dave\r\n");
  // The learner login reads what was written.
  ASSERT_TRUE(server_.SetPath(content_));
  EXPECT_NE(Ask("action=login&username=dave&password=p%26w").find("UserName=\"Dave\""), std::string::npos);
}

TEST_F(AdminTables, AvailableGroupsAreComparedByIndexNotByText) {
  std::string groups;
  for (int i = 0; i < 13; ++i)
    groups += std::to_string(i + 1) + ";" + (i == 1 ? "A" : i == 12 ? "BA" : "G" + std::to_string(i)) + "\r\n";
  OpenFolder({{"all.groups.csv", groups}, {"all.users.csv", "ann;pw;;%31%33%0D%0A;Ann\r\n"}});
  LogIn();
  const std::string reply = AskAsAdmin("admingetuser", "&username=0");
  std::string available;
  for (int i = 0; i < 12; ++i)
    available += (i ? "\r" : "") + server_.GetGroups().GetGroup(i)->GetTitle() + "\r" + std::to_string(i);
  EXPECT_EQ(reply, UserReply(available, "BA\r12", "Ann", "ann"));
}

// Damaged tables: two groups sharing id 5, a group with id -1 (which an id
// line that is no number names), a user listing id 5 twice. The lists look
// memberships up by id (fuzzed tables of 84 users and 23,443 groups took a
// second when every group was scanned for every user), and the users list
// names one group per id: 15,000 users of id 5 with 40,000 groups of id 5
// made it a list of 600 million titles.
TEST(AdminLists, SharedIdsAndStrayLinesCountAsMemberships) {
  content::TGroupsList groups;
  groups.LoadFromText("5;Knots\r\n7;Hitches\r\n5;Also five\r\n-1;Minus one\r\n");
  content::TUsersList users;
  users.LoadFromText("ann;p;;%35%0D%0A%35%0D%0Ax%0D%0A%39%0D%0A;Ann\r\nben;p;;%37%0D%0A;Ben\r\ncara;p;;;Cara\r\n");
  EXPECT_EQ(UsersWithGroupsList(users, groups), "Ann\rKnots, Minus one\r0\rBen\rHitches\r1\rCara\r\r2\r");
  EXPECT_EQ(GroupsWithCountsList(groups, users), "Knots\r1\r0\rHitches\r1\r1\rAlso five\r1\r2\rMinus one\r1\r3\r");
  EXPECT_EQ(UserGroupsList(users.GetUser(0), groups), "Knots\r0\rKnots\r0\rMinus one\r3");
  EXPECT_EQ(AvailableGroupsList(users.GetUser(0), groups), "Hitches\r1\rAlso five\r2");
  EXPECT_EQ(GroupMembersList(users, groups.GetGroup(2), true), "Ann\r0\r");
}

TEST_F(AdminTables, IndexesOutsideTheTablesChangeNothing) {
  for (const char* index : {"3", "-2", "2147483647", "x", ""}) {
    const std::string parameter = std::string("&groupname=") + index;
    EXPECT_EQ(AskAsAdmin("adminchangegroup", parameter + "&newgroupname=Z"), UnchangedGroups(index)) << index;
    EXPECT_EQ(AskAsAdmin("admindeletegroup", parameter), UnchangedGroups(index)) << index;
  }
  for (const char* index : {"3", "-2", "2147483647"}) {
    const std::string parameter = std::string("&username=") + index;
    EXPECT_EQ(AskAsAdmin("admingetuser", parameter), UserReply("Sales\r0\rSupport\r1\rNight shift\r2", "", "", ""));
    EXPECT_EQ(AskAsAdmin("adminaddedituser", parameter + "&loginname=zed&password=p&fullname=Z&usergroups=0"),
              kNoSuchUser);
    EXPECT_EQ(AskAsAdmin("admindeleteuser", parameter), UnchangedGroups("")) << index;
  }
  // A user index that is not a number fails the request.
  for (const char* action : {"admingetuser", "adminaddedituser", "admindeleteuser"}) {
    for (const char* index : {"x", "", "1x", "%2B"})
      EXPECT_EQ(AskAsAdmin(action, std::string("&loginname=zed&username=") + index), kErrorPage) << action << index;
  }
  ExpectTablesUnchanged();
  EXPECT_EQ(server_.GetUsers().Count(), 3);
  EXPECT_EQ(server_.GetGroups().Count(), 3);
}

TEST_F(AdminTables, ValuesThatWouldAddRecordsOrFieldsAreRefused) {
  // Each value arrives decoded as the page sends it: once for adminaddgroup
  // and adminchangegroup, twice for the rest.
  for (const std::string bad : {"x%3By", "x%0Dy", "x%0Ay", "x%00y", "x%0D%0Aevil;pw;;;Evil"}) {
    const std::string twice = content::PercentEncode(content::PercentDecode(bad));
    EXPECT_EQ(AskAsAdmin("adminaddgroup", "&groupname=" + bad), kBadTitle) << bad;
    EXPECT_EQ(AskAsAdmin("adminchangegroup", "&groupname=0&newgroupname=" + bad), kBadTitle) << bad;
    EXPECT_EQ(AskAsAdmin("adminaddeditgroup", "&groupname=-1&users=0&grouptitle=" + twice), kBadTitle) << bad;
    EXPECT_EQ(AskAsAdmin("adminaddeditgroup", "&groupname=0&users=2&grouptitle=" + twice), kBadTitle) << bad;
    const std::string bad_login = Refusal("A login name cannot hold ';' or a line break.");
    const std::string bad_value = Refusal("A password or full name cannot hold ';' or a line break.");
    for (const auto& [fields, reply] : {std::pair{"&loginname=" + twice + "&password=p&fullname=F", bad_login},
                                        {"&loginname=new&password=" + twice + "&fullname=F", bad_value},
                                        {"&loginname=new&password=p&fullname=" + twice, bad_value}}) {
      for (const char* user : {"-1", "2"})
        EXPECT_EQ(AskAsAdmin("adminaddedituser", std::string("&username=") + user + fields + "&usergroups=0"), reply)
            << fields;
    }
    ExpectTablesUnchanged();
  }
  EXPECT_EQ(server_.GetUsers().Count(), 3);
  EXPECT_EQ(server_.GetGroups().Count(), 3);
}

TEST_F(AdminTables, LoginNamesThatWouldShareALearnerFolderAreRefused) {
  const std::string too_like =
      Refusal("Another user's login name differs from this one only in letter case or punctuation. Choose another.");
  const std::string empty = Refusal("Enter a login name.");
  for (const auto& [login, reply] : {std::pair{"Ann", too_like}, {"ANN", too_like}, {"", empty}}) {
    for (const char* user : {"-1", "2"}) {
      EXPECT_EQ(AskAsAdmin("adminaddedituser",
                           std::string("&password=p&fullname=F&usergroups=&username=") + user + "&loginname=" + login),
                reply)
          << login;
    }
  }
  AskAsAdmin("adminaddedituser", "&username=-1&password=p&fullname=F&usergroups=&loginname=b%2521b");
  const std::string with_bang = kUsers + "b!b;p;;;F\r\n";
  EXPECT_EQ(DataFile("all.users.csv"), with_bang);
  AskAsAdmin("adminaddedituser", "&username=-1&password=p&fullname=F&usergroups=&loginname=b%253Fb");
  AskAsAdmin("adminaddedituser", "&username=-1&password=p&fullname=F&usergroups=&loginname=B_b");
  EXPECT_EQ(DataFile("all.users.csv"), with_bang);
  // A user may keep its own name, and change its letter case.
  AskAsAdmin("adminaddedituser", "&username=0&loginname=ann&password=&fullname=Ann%2520Smith&usergroups=");
  AskAsAdmin("adminaddedituser", "&username=3&loginname=B!B&password=&fullname=F&usergroups=");
  EXPECT_EQ(DataFile("all.users.csv"),
            "ann;pw1;;;Ann Smith\r\nbob;pw2;;%34%0D%0A;Bob Ray\r\ncat;pw3;;;Cat Moss\r\nB!B;p;;;F\r\n");
}

// A groups file that is a folder when the content opens cannot be read, so
// nothing is changed; one that turns into a folder after cannot be written,
// and the users file is put back: neither change is made.
TEST_F(AdminTables, AChangeToBothTablesIsStoredWholeOrNotAtAll) {
  ASSERT_EQ(::unlink((content_ + "all.groups.csv").c_str()), 0);
  plat::CreateFolders(content_ + "all.groups.csv/inside");
  ::testing::internal::CaptureStderr();
  OpenFolder();
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("all.groups.csv cannot be read whole (is a folder)"),
            std::string::npos);
  LogIn();
  const std::string add = "&groupname=-1&grouptitle=Fresh&users=0%250D%250A2";
  EXPECT_EQ(AskAsAdmin("adminaddeditgroup", add),
            Refusal("No change can be stored while the groups table cannot be read whole (is a folder). Mend " +
                    content_ + "all.groups.csv, then start the player again."));
  EXPECT_TRUE(plat::FolderExists(content_ + "all.groups.csv/inside"));

  plat::RemoveFolderTree(content_ + "all.groups.csv");
  PutFile(content_ + "all.groups.csv", kGroups);
  OpenFolder();
  LogIn();
  ASSERT_EQ(::unlink((content_ + "all.groups.csv").c_str()), 0);
  plat::CreateFolders(content_ + "all.groups.csv/inside");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(AskAsAdmin("adminaddeditgroup", add), Refusal("The change could not be stored: Is a directory."));
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(err.starts_with("The groups table could not be stored, so the change was not made: ")) << err;
  EXPECT_EQ(DataFile("all.users.csv"), kUsers);
  EXPECT_EQ(server_.GetGroups().Count(), 3);
  EXPECT_EQ(server_.GetUsers().GetUser(2)->GetGroupCount(), 0);
  EXPECT_TRUE(plat::FolderExists(content_ + "all.groups.csv/inside"));
}

// A table the opening could not read whole is said on standard error; it
// serves as far as it was read, and no change is stored over its file, each
// refused in words.
TEST_F(AdminTables, ATableReadOnlyInPartIsNeverWrittenOver) {
  const std::string nul_user = "ann;pw1;;;Ann Lee\r\nbob;p" + std::string(1, '\0') + "w2;;;Bob Ray\r\n";
  struct Damage {
    const char* file;
    std::string bytes;
    const char* table;
    const char* reason;
  };
  for (const Damage& damage : {
           Damage{"all.users.csv", nul_user, "users", "record 2 holds a NUL byte"},
           Damage{"all.users.csv", kUsers.substr(0, kUsers.size() - 5), "users",
                  "the last record has no line end (the file was cut short)"},
           Damage{"all.users.csv", kUsers + "eve;pw;;;Eve;Extra\r\n", "users",
                  "record 4 has more fields than a record of this table"},
           Damage{"all.groups.csv", "1;Sales\r\nfour;Support\r\n", "groups", "record 2 does not begin with a group id"},
           Damage{"all.groups.csv", kGroups.substr(0, 12), "groups",
                  "the last record has no line end (the file was cut short)"},
       }) {
    PutFile(content_ + "all.groups.csv", kGroups);
    PutFile(content_ + "all.users.csv", kUsers);
    ::testing::internal::CaptureStderr();
    OpenFolder({{damage.file, damage.bytes}});
    const std::string path = server_.GetDataFolder() + damage.file;
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              std::string("The ") + damage.table + " table " + path + " cannot be read whole (" + damage.reason +
                  "): it is used as far as it could be read, and no change to the learners or groups is stored "
                  "until it is mended.\n");
    LogIn();
    const std::string refusal =
        Refusal(std::string("No change can be stored while the ") + damage.table + " table cannot be read whole (" +
                damage.reason + "). Mend " + path + ", then start the player again.");
    for (const auto& [action, parameters] : std::vector<std::pair<std::string, std::string>>{
             {"adminaddedituser", "&username=-1&loginname=dan&password=p&fullname=Dan&usergroups=0"},
             {"adminaddedituser", "&username=0&loginname=ann&password=new&fullname=Ann&usergroups="},
             {"admindeleteuser", "&username=0"},
             {"adminaddgroup", "&groupname=Fresh"},
             {"adminchangegroup", "&groupname=0&newgroupname=Fresh"},
             {"admindeletegroup", "&groupname=0"},
             {"adminaddeditgroup", "&groupname=-1&grouptitle=Fresh&users=0"}}) {
      EXPECT_EQ(AskAsAdmin(action, parameters), refusal) << action << " " << damage.reason;
    }
    EXPECT_EQ(DataFile(damage.file), damage.bytes) << damage.reason;
    // What was read still serves: the first learner logs in.
    EXPECT_NE(Ask("action=login&username=ann&password=pw1").find("error=\"0\""), std::string::npos);
  }
}

}  // namespace
}  // namespace server
