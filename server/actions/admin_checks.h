// What administrator requests may put into the tables, the refusal of the
// rest in words, and the second decoding some administrator pages need.
#pragma once

#include <optional>
#include <string_view>

#include "content/request_map.h"
#include "content/users.h"

namespace server {

class TNetStream;

// The map with every value but "sessionid" percent-decoded once more: the
// group and user editing pages encode their values twice.
content::TRequestMap DecodeOnceMore(const content::TRequestMap& map);

// When there is a refusal, answers it, the reason in words the administrator
// can act on, as <movie errortext="..." />, and logs it; true when it did.
bool Refused(TNetStream* channel, const std::optional<std::string_view>& refusal);

// Why user `self` (-1 or outside the table: a new user) may not carry the
// login name; nullopt when it may. Never when another user has exactly that
// name. A name that changes must also be one that can stand in the table
// (see CanStoreAsIs), not be empty, and give a learner folder (MakeSafeName)
// of its own: "Ann" and "ann", or "a!b" and "a?b", would share one folder
// and one history.
std::optional<std::string_view> LoginNameRefusal(const content::TUsersList& users, int self, std::string_view login);

}  // namespace server
