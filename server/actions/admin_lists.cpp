#include "server/actions/admin_lists.h"

#include <algorithm>
#include <vector>

namespace server {
namespace {

constexpr char kField = '\r';

void AddField(std::string& list, const std::string& field) {
  list += field;
  list += kField;
}

// The table indexes of the groups the user's ids name, in the user's order.
std::vector<int> GroupIndexesOf(const content::TUser* user, const content::TGroupsList& groups) {
  std::vector<int> indexes;
  if (user == nullptr) return indexes;
  for (int i = 0; i < user->GetGroupCount(); ++i) {
    const int index = groups.IndexOfId(user->GetGroupId(i));
    if (index >= 0) indexes.push_back(index);
  }
  return indexes;
}

void AddEntry(std::string& list, const content::TGroupsList& groups, int index) {
  if (!list.empty()) list += kField;
  list += groups.GetGroup(index)->GetTitle();
  list += kField;
  list += std::to_string(index);
}

}  // namespace

std::string UsersWithGroupsList(const content::TUsersList& users, const content::TGroupsList& groups) {
  std::string list;
  for (int u = 0; u < users.Count(); ++u) {
    const content::TUser& user = *users.GetUser(u);
    std::string titles;
    for (int g = 0; g < groups.Count(); ++g) {
      const content::TGroup& group = *groups.GetGroup(g);
      if (!user.IsInGroup(group.GetId())) continue;
      if (!titles.empty()) titles += ", ";
      titles += group.GetTitle();
    }
    AddField(list, user.GetFullName());
    AddField(list, titles);
    AddField(list, std::to_string(u));
  }
  return list;
}

std::string GroupsWithCountsList(const content::TGroupsList& groups, const content::TUsersList& users) {
  std::string list;
  for (int g = 0; g < groups.Count(); ++g) {
    const content::TGroup& group = *groups.GetGroup(g);
    int members = 0;
    for (int u = 0; u < users.Count(); ++u)
      if (users.GetUser(u)->IsInGroup(group.GetId())) ++members;
    AddField(list, group.GetTitle());
    AddField(list, std::to_string(members));
    AddField(list, std::to_string(g));
  }
  return list;
}

std::string GroupMembersList(const content::TUsersList& users, const content::TGroup* group, bool members) {
  std::string list;
  for (int u = 0; u < users.Count(); ++u) {
    const content::TUser& user = *users.GetUser(u);
    const bool member = group != nullptr && user.IsInGroup(group->GetId());
    if (member != members) continue;
    AddField(list, user.GetFullName());
    AddField(list, std::to_string(u));
  }
  return list;
}

std::string UserGroupsList(const content::TUser* user, const content::TGroupsList& groups) {
  std::string list;
  for (const int index : GroupIndexesOf(user, groups)) AddEntry(list, groups, index);
  return list;
}

std::string AvailableGroupsList(const content::TUser* user, const content::TGroupsList& groups) {
  // By index, not by the entry's text: one title may end another's
  // ("A" at 1 and "BA" at 12 give "A\r1" inside "BA\r12").
  const std::vector<int> taken = GroupIndexesOf(user, groups);
  std::string list;
  for (int g = 0; g < groups.Count(); ++g)
    if (std::find(taken.begin(), taken.end(), g) == taken.end()) AddEntry(list, groups, g);
  return list;
}

}  // namespace server
