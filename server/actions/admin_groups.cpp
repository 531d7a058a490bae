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
    content::TGroup& group = *groups_.AddGroup();
    group.SetTitle(title);
    // A new id may be one that users still name from an earlier group.
    if (RemoveGroupFromUsers(group.GetId())) SaveUsersTable();
    SaveGroupsTable();
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
    group->SetTitle(title);
    SaveGroupsTable();
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
  if (const content::TGroup* group = groups_.GetGroup(index)) {
    RemoveGroupFromUsers(group->GetId());
    groups_.Delete(index);
    // The users first: the next new group may get the deleted id, and a
    // users file that still names it would make its members join that group.
    SaveUsersTable();
    SaveGroupsTable();
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
  content::TGroup* group = groups_.GetGroup(plat::ParseIntOr(decoded.GetValue("groupname"), -1));
  if (group == nullptr) group = groups_.AddGroup();
  group->SetTitle(title);
  const int32_t id = group->GetId();
  RemoveGroupFromUsers(id);
  for (const std::string& line : content::SplitLines(decoded.GetValue("users")))
    if (content::TUser* user = users_.GetUser(plat::ParseIntOr(line, -1))) user->AddGroup(id);
  SaveGroupsTable();
  SaveUsersTable();
  ReturnXML(channel, "<movie />");
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
