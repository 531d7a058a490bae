// The administrator's group requests.
#include <optional>
#include <string>

#include "content/percent_codec.h"
#include "content/record_fields.h"
#include "content/text_lines.h"
#include "platform/ascii.h"
#include "server/actions/admin_checks.h"
#include "server/actions/admin_lists.h"
#include "server/http/method_log.h"
#include "server/quiz_session.h"

namespace server {
namespace {

constexpr std::string_view kUnstorableTitle = "A group title cannot hold ';' or a line break.";
constexpr std::string_view kTakenTitle = "A group with this title already exists.";

// Why group `self` (-1: a new group) may not take the title: one that would
// add records or fields to the groups table, or one another group has.
std::optional<std::string_view> TitleRefusal(const content::TGroupsList& groups, int self, const std::string& title) {
  if (!content::CanStoreAsIs(title)) return kUnstorableTitle;
  for (int g = 0; g < groups.Count(); ++g)
    if (g != self && groups.GetGroup(g)->GetTitle() == title) return kTakenTitle;
  return std::nullopt;
}

}  // namespace

void TQuizSession::ReturnAdminGroups(TNetStream* channel, const content::TRequestMap& map) {
  ReturnXML(channel, "<movie Groups=\"" + content::PercentEncode(GroupsWithCountsList(groups_, users_)) +
                         "\" Users=\"" + content::PercentEncode(UsersWithGroupsList(users_, groups_)) +
                         "\" CurrentGroup=\"" + content::PercentEncode(map.GetValue("groupname")) + "\" />");
}

bool TQuizSession::AdminGetGroups(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminGetGroups");
  if (!CheckAdminSession(channel, map)) return true;
  ReturnAdminGroups(channel, map);
  return true;
}

bool TQuizSession::AdminAddGroup(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminAddGroup");
  if (!CheckAdminSession(channel, map)) return true;
  const std::string title = map.GetValue("groupname");
  if (title == "*") {
    map.SetValue("groupname", "-1");
  } else {
    if (Refused(channel, TitleRefusal(groups_, -1, title))) return true;
    const std::optional<std::string> failure =
        ChangeTables([&](content::TUsersList& users, content::TGroupsList& groups) {
          content::TGroup& group = *groups.AddGroup();
          group.SetTitle(title);
          // A new id may be one that users still name from an earlier group.
          RemoveGroupFromUsers(users, group.GetId());
        });
    if (Refused(channel, failure)) return true;
    map.SetValue("groupname", std::to_string(groups_.Count() - 1));
  }
  ReturnAdminGroups(channel, map);
  return true;
}

bool TQuizSession::AdminChangeGroup(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminChangeGroup");
  if (!CheckAdminSession(channel, map)) return true;
  const int index = plat::ParseIntOr(map.GetValue("groupname"), -1);
  const std::string title = map.GetValue("newgroupname");
  content::TGroup* group = groups_.GetGroup(index);
  // No group chosen: nothing to rename, and nothing refused.
  if (group != nullptr) {
    if (Refused(channel, TitleRefusal(groups_, index, title))) return true;
    const std::optional<std::string> failure = ChangeTables(
        [&](content::TUsersList&, content::TGroupsList& groups) { groups.GetGroup(index)->SetTitle(title); });
    if (Refused(channel, failure)) return true;
    map.SetValue("groupname", std::to_string(index));
  }
  ReturnAdminGroups(channel, map);
  return true;
}

bool TQuizSession::AdminDeleteGroup2(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminDeleteGroup2");
  if (!CheckAdminSession(channel, map)) return true;
  const content::TRequestMap decoded = DecodeOnceMore(map);
  const int index = plat::ParseIntOr(decoded.GetValue("groupname"), -1);
  if (groups_.GetGroup(index) != nullptr) {
    // The users file loses the id too: the next new group may get it again.
    const std::optional<std::string> failure =
        ChangeTables([&](content::TUsersList& users, content::TGroupsList& groups) {
          RemoveGroupFromUsers(users, groups.GetGroup(index)->GetId());
          groups.Delete(index);
        });
    if (Refused(channel, failure)) return true;
  }
  ReturnAdminGroups(channel, decoded);
  return true;
}

bool TQuizSession::AdminAddEditGroup(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminAddEditGroup");
  if (!CheckAdminSession(channel, map)) return true;
  const content::TRequestMap decoded = DecodeOnceMore(map);
  const std::string title = decoded.GetValue("grouptitle");
  // Titles are not compared here: this request sets whatever title it is given.
  if (Refused(channel, content::CanStoreAsIs(title) ? std::nullopt : std::optional(kUnstorableTitle))) return true;
  const int index = plat::ParseIntOr(decoded.GetValue("groupname"), -1);
  const content::TStringList members = content::SplitLines(decoded.GetValue("users"));
  const std::optional<std::string> failure =
      ChangeTables([&](content::TUsersList& users, content::TGroupsList& groups) {
        content::TGroup* group = groups.GetGroup(index);
        if (group == nullptr) group = groups.AddGroup();
        group->SetTitle(title);
        const int32_t id = group->GetId();
        RemoveGroupFromUsers(users, id);
        for (const std::string& line : members)
          if (content::TUser* user = users.GetUser(plat::ParseIntOr(line, -1))) user->AddGroup(id);
      });
  if (!Refused(channel, failure)) ReturnXML(channel, "<movie />");
  return true;
}

bool TQuizSession::AdminEditGroup(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminEditGroup");
  if (!CheckAdminSession(channel, map)) return true;
  const content::TRequestMap decoded = DecodeOnceMore(map);
  std::string name = decoded.GetValue("groupname");
  const content::TGroup* group = name == "-1" ? nullptr : groups_.GetGroup(plat::ParseIntOr(name, -1));
  std::string title = "Unnamed";
  if (group != nullptr) {
    title = group->GetTitle();
  } else {
    name = "-1";
  }
  ReturnXML(channel, "<movie  Users=\"" + content::PercentEncode(GroupMembersList(users_, group, true)) +
                         "\" UsersAvail=\"" + content::PercentEncode(GroupMembersList(users_, group, false)) +
                         "\" GroupName=\"" + content::PercentEncode(name) + "\" GroupTitle=\"" +
                         content::PercentEncode(title) + "\"/>");
  return true;
}

}  // namespace server
