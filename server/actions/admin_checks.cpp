#include "server/actions/admin_checks.h"

#include <string>

#include "content/debug_log.h"
#include "content/percent_codec.h"
#include "content/record_fields.h"
#include "content/safe_name.h"
#include "content/text_lists.h"
#include "platform/ascii.h"
#include "server/http/replies.h"

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

bool Refused(TNetStream* channel, const std::optional<std::string_view>& refusal) {
  if (!refusal) return false;
  content::LogMessage("refused: %.*s", static_cast<int>(refusal->size()), refusal->data());
  ReturnXML(channel, "<movie errortext=\"" + plat::XmlAttrEscape(*refusal) + "\" />");
  return true;
}

std::optional<std::string_view> LoginNameRefusal(const content::TUsersList& users, int self, std::string_view login) {
  const content::TUser* own = users.GetUser(self);
  const bool renamed = own == nullptr || own->GetLoginName() != login;
  const std::string folder = content::MakeSafeName(login);
  if (renamed && login.empty()) return "Enter a login name.";
  if (renamed && !content::CanStoreAsIs(login)) return "A login name cannot hold ';' or a line break.";
  for (int i = 0; i < users.Count(); ++i) {
    if (i == self) continue;
    const std::string& other = users.GetUser(i)->GetLoginName();
    if (other == login) return "A user with this login name already exists.";
    if (renamed && content::MakeSafeName(other) == folder)
      return "Another user's login name differs from this one only in letter case or punctuation. Choose another.";
  }
  return std::nullopt;
}

}  // namespace server
