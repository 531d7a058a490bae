// The lists of the administrator pages. Fields are separated by a carriage
// return; callers percent-encode each list as a whole before it goes into
// its attribute. Groups and users are named by their index in their table.
#pragma once

#include <string>

#include "content/groups.h"
#include "content/users.h"

namespace server {

// Per user: full name, CR, the titles of the user's groups (for each of the
// user's ids the first group with it, as in UserGroupsList) in table order
// joined by ", ", CR, index, CR.
std::string UsersWithGroupsList(const content::TUsersList& users, const content::TGroupsList& groups);
// Per group: title, CR, the number of its members, CR, index, CR.
std::string GroupsWithCountsList(const content::TGroupsList& groups, const content::TUsersList& users);
// Per user that belongs to the group (members) or does not (!members): full
// name, CR, index, CR. A null group has no members.
std::string GroupMembersList(const content::TUsersList& users, const content::TGroup* group, bool members);
// The groups the user's ids name, in the user's order: title, CR, index,
// entries joined by CR. A null user has none.
std::string UserGroupsList(const content::TUser* user, const content::TGroupsList& groups);
// Every group the user's ids do not name, in table order, in the same form.
std::string AvailableGroupsList(const content::TUser* user, const content::TGroupsList& groups);

}  // namespace server
