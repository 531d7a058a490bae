#include "server/actions/admin_checks.h"

#include <string>

#include "content/percent_codec.h"
#include "content/record_fields.h"
#include "content/safe_name.h"
#include "content/text_lists.h"
#include "platform/ascii.h"

namespace server {

content::TRequestMap DecodeOnceMore(const content::TRequestMap& map) {
  content::TStringList tokens;
  for (size_t i = 0; i < map.names().size(); ++i) {
    const std::string& name = map.names()[i];
    const std::string& value = map.values()[i];
    tokens.push_back(name);
    tokens.push_back(plat::SameText(name, "sessionid") ? value : content::PercentDecode(value));
  }
  return content::TRequestMap(tokens);
}

bool MayUseLoginName(const content::TUsersList& users, int self, std::string_view login) {
  const content::TUser* own = users.GetUser(self);
  const bool renamed = own == nullptr || own->GetLoginName() != login;
  const std::string folder = content::MakeSafeName(login);
  if (renamed && (login.empty() || !content::CanStoreAsIs(login))) return false;
  for (int i = 0; i < users.Count(); ++i) {
    if (i == self) continue;
    const std::string& other = users.GetUser(i)->GetLoginName();
    if (other == login) return false;
    if (renamed && content::MakeSafeName(other) == folder) return false;
  }
  return true;
}

}  // namespace server
