// The users and groups tables (the users table's text, a NUL, the groups
// table's text), as the player loads them from the data folder or the
// package; then the administrator pages' lists over them, and a store and
// reload that must give the same rows.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "content/groups.h"
#include "content/record_fields.h"
#include "content/users.h"
#include "fuzz/fuzz_support.h"
#include "server/actions/admin_lists.h"

namespace fuzz {
namespace {

void ListForTheAdministrator(const content::TUsersList& users, const content::TGroupsList& groups) {
  server::UsersWithGroupsList(users, groups);
  server::GroupsWithCountsList(groups, users);
  for (bool members : {false, true}) server::GroupMembersList(users, groups.GetGroup(0), members);
  server::UserGroupsList(users.GetUser(0), groups);
  server::AvailableGroupsList(users.GetUser(0), groups);
}

// What a row holds. Empty group-id lines match no group: a reload may drop
// the last of them, as reading a table always has.
std::string Meaning(const content::TUser& user) {
  std::string meaning =
      user.GetLoginName() + ';' + user.GetPassword() + ';' + user.GetReservedText() + ';' + user.GetFullName() + ';';
  for (const std::string& id : user.GetGroupIds())
    if (!id.empty()) meaning += id + ',';
  return meaning;
}

std::string Meaning(const content::TGroup& group) { return group.SaveToString(); }

// Rows are stored one by one, so the first of them show whether storing keeps
// a row; checking every row of a large table would only double its cost.
constexpr int kRowsChecked = 256;

template <typename Table, typename Row>
std::string Rows(const Table& table, Row* (Table::*row)(int) const, bool stored) {
  std::string rows;
  for (int i = 0; i < std::min(table.Count(), kRowsChecked); ++i)
    rows += (stored ? (table.*row)(i)->SaveToString() : Meaning(*(table.*row)(i))) + "\r\n";
  return rows;
}

// What SaveToFile writes, loaded again, must hold the same rows.
template <typename Table, typename Row>
void RequireStableRows(const Table& table, Row* (Table::*row)(int) const) {
  Table again;
  again.LoadFromText(Rows(table, row, true));
  Require(Rows(again, row, false) == Rows(table, row, false), "a stored table changes when reloaded");
}

bool UsersCanSave(const content::TUsersList& users) {
  for (int i = 0; i < std::min(users.Count(), kRowsChecked); ++i)
    if (!users.GetUser(i)->CanSave()) return false;
  return true;
}

bool GroupsCanSave(const content::TGroupsList& groups) {
  for (int i = 0; i < std::min(groups.Count(), kRowsChecked); ++i)
    if (!content::CanStoreAsIs(groups.GetGroup(i)->GetTitle())) return false;
  return true;
}

}  // namespace
}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = fuzz::AsText(data, size);
  const size_t nul = text.find('\0');
  content::TUsersList users;
  users.LoadFromText(text.substr(0, nul));
  content::TGroupsList groups;
  if (nul != std::string_view::npos) groups.LoadFromText(text.substr(nul + 1));
  fuzz::ListForTheAdministrator(users, groups);
  if (fuzz::UsersCanSave(users)) fuzz::RequireStableRows(users, &content::TUsersList::GetUser);
  if (fuzz::GroupsCanSave(groups)) fuzz::RequireStableRows(groups, &content::TGroupsList::GetGroup);
  return 0;
}
