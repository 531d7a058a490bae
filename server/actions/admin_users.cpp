// The administrator's user requests.
#include <optional>
#include <string>

#include "content/debug_log.h"
#include "content/percent_codec.h"
#include "content/record_fields.h"
#include "platform/ascii.h"
#include "server/actions/admin_checks.h"
#include "server/actions/admin_lists.h"
#include "server/http/method_log.h"
#include "server/quiz_session.h"

namespace server {
namespace {

constexpr std::string_view kNewOne = "-1";
constexpr std::string_view kEmptyReply = "<movie />";

// "username" other than "-1" must be a number; anything else fails the
// request before anything changes (the dispatcher answers "Invalid request").
std::optional<int32_t> UserIndexOf(const std::string& text) {
  if (text == kNewOne) return -1;
  const std::optional<int32_t> index = plat::ParseInt(text);
  if (!index) content::LogMessage("not a user index: %s", text.c_str());
  return index;
}

}  // namespace

bool TQuizSession::AdminGetUser(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminGetUser");
  if (!CheckAdminSession(channel, map)) return true;
  const content::TRequestMap decoded = DecodeOnceMore(map);
  const std::optional<int32_t> index = UserIndexOf(decoded.GetValue("username"));
  if (!index) return false;
  // An index outside the table answers as for a new user.
  const content::TUser* user = users_.GetUser(*index);
  const std::string full_name = user ? user->GetFullName() : "";
  const std::string login_name = user ? user->GetLoginName() : "";
  ReturnXML(channel, "<movie Groups=\"" + content::PercentEncode(AvailableGroupsList(user, groups_)) +
                         "\" UserGroups=\"" + content::PercentEncode(UserGroupsList(user, groups_)) +
                         "\" UserFullName=\"" + content::PercentEncode(full_name) + "\" LoginName=\"" +
                         content::PercentEncode(login_name) + "\" />");
  return true;
}

bool TQuizSession::AdminAddEditUser(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminAddEditUser");
  if (!CheckAdminSession(channel, map)) return true;
  const content::TRequestMap decoded = DecodeOnceMore(map);
  const std::optional<int32_t> index = UserIndexOf(decoded.GetValue("username"));
  if (!index) return false;
  const std::string login_name = decoded.GetValue("loginname");
  const std::string password = decoded.GetValue("password");
  const std::string full_name = decoded.GetValue("fullname");
  const bool is_new = *index == -1;
  // A refusal says why, so the page can tell the administrator what to change.
  std::optional<std::string_view> refusal;
  if (!is_new && users_.GetUser(*index) == nullptr) {
    refusal = "This user does not exist any more.";
  } else if (!content::CanStoreAsIs(password) || !content::CanStoreAsIs(full_name)) {
    refusal = "A password or full name cannot hold ';' or a line break.";
  } else {
    refusal = LoginNameRefusal(users_, *index, login_name);
  }
  if (Refused(channel, refusal)) return true;
  const std::string group_indexes = decoded.GetValue("usergroups");
  const std::optional<std::string> failure =
      ChangeTables([&](content::TUsersList& users, const content::TGroupsList& groups) {
        content::TUser& user = is_new ? *users.AddNew() : *users.GetUser(*index);
        user.SetLoginName(login_name);
        // An existing user keeps the password unless a new one is given.
        if (is_new || !password.empty()) user.SetPassword(password);
        user.SetFullName(full_name);
        user.SetGroupsFromIndexes(group_indexes, groups);
      });
  if (!Refused(channel, failure)) ReturnXML(channel, kEmptyReply);
  return true;
}

bool TQuizSession::AdminDeleteUser(TNetStream* channel, content::TRequestMap& map) {
  TMethodLog log("AdminDeleteUser");
  if (!CheckAdminSession(channel, map)) return true;
  const content::TRequestMap decoded = DecodeOnceMore(map);
  const std::optional<int32_t> index = UserIndexOf(decoded.GetValue("username"));
  if (!index) return false;
  if (users_.GetUser(*index) != nullptr) {
    const std::optional<std::string> failure =
        ChangeTables([&](content::TUsersList& users, content::TGroupsList&) { users.Delete(*index); });
    if (Refused(channel, failure)) return true;
  }
  ReturnAdminGroups(channel, decoded);
  return true;
}

}  // namespace server
