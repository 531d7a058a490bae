#include "server/actions/admin_lists.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace server {
namespace {

constexpr char kField = '\r';

void AddField(std::string& list, const std::string& field) {
  list += field;
  list += kField;
}

// The first group of each id, by table index. The lists look memberships up
// here rather than scanning the tables for every user and group, so their
// cost follows the tables' sizes, not their product.
using TFirstIndexById = std::unordered_map<int32_t, int>;

TFirstIndexById FirstIndexById(const content::TGroupsList& groups) {
  TFirstIndexById first;
  for (int g = 0; g < groups.Count(); ++g) first.emplace(groups.GetGroup(g)->GetId(), g);
  return first;
}

// The ids the user's lines read as (IsInGroup's reading), each once.
std::vector<int32_t> DistinctIdsOf(const content::TUser& user) {
  std::vector<int32_t> ids;
  for (int i = 0; i < user.GetGroupCount(); ++i) ids.push_back(user.GetGroupId(i));
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  return ids;
}

// The table indexes of the groups the user's ids name (the first group of
// each id), in the user's order.
std::vector<int> GroupIndexesOf(const content::TUser* user, const TFirstIndexById& first) {
  std::vector<int> indexes;
  if (user == nullptr) return indexes;
  for (int i = 0; i < user->GetGroupCount(); ++i) {
    const auto found = first.find(user->GetGroupId(i));
    if (found != first.end()) indexes.push_back(found->second);
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
  const TFirstIndexById first = FirstIndexById(groups);
  std::string list;
  for (int u = 0; u < users.Count(); ++u) {
    const content::TUser& user = *users.GetUser(u);
    // One group per id: in a damaged table whose groups share ids, naming
    // every group of the id for every user would grow with their product.
    std::vector<int> member_of = GroupIndexesOf(&user, first);
    std::sort(member_of.begin(), member_of.end());
    member_of.erase(std::unique(member_of.begin(), member_of.end()), member_of.end());
    std::string titles;
    for (const int g : member_of) {
      if (!titles.empty()) titles += ", ";
      titles += groups.GetGroup(g)->GetTitle();
    }
    AddField(list, user.GetFullName());
    AddField(list, titles);
    AddField(list, std::to_string(u));
  }
  return list;
}

std::string GroupsWithCountsList(const content::TGroupsList& groups, const content::TUsersList& users) {
  std::unordered_map<int32_t, int> members_by_id;
  for (int u = 0; u < users.Count(); ++u)
    for (const int32_t id : DistinctIdsOf(*users.GetUser(u))) ++members_by_id[id];
  std::string list;
  for (int g = 0; g < groups.Count(); ++g) {
    const content::TGroup& group = *groups.GetGroup(g);
    const auto members = members_by_id.find(group.GetId());
    AddField(list, group.GetTitle());
    AddField(list, std::to_string(members == members_by_id.end() ? 0 : members->second));
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
  for (const int index : GroupIndexesOf(user, FirstIndexById(groups))) AddEntry(list, groups, index);
  return list;
}

std::string AvailableGroupsList(const content::TUser* user, const content::TGroupsList& groups) {
  // By index, not by the entry's text: one title may end another's
  // ("A" at 1 and "BA" at 12 give "A\r1" inside "BA\r12").
  std::vector<bool> taken(static_cast<size_t>(groups.Count()), false);
  for (const int index : GroupIndexesOf(user, FirstIndexById(groups))) taken[static_cast<size_t>(index)] = true;
  std::string list;
  for (int g = 0; g < groups.Count(); ++g)
    if (!taken[static_cast<size_t>(g)]) AddEntry(list, groups, g);
  return list;
}

}  // namespace server
