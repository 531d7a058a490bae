// Writing back the tables that administrator requests change.
#include "content/groups.h"
#include "content/users.h"
#include "platform/files.h"
#include "server/quiz_session.h"

namespace server {
namespace {

// Both tables are "all.*.csv" in the data folder; the loader finds that
// name first, whatever other letter cases lie beside it.
constexpr char kTablesName[] = "all";

std::string TablesBase(const std::string& data_folder) {
  if (data_folder.empty()) throw plat::FileError(kTablesName, "no content is open");
  return data_folder + kTablesName;
}

}  // namespace

void TQuizSession::SaveUsersTable() const { users_.SaveToFile(TablesBase(data_folder_)); }

void TQuizSession::SaveGroupsTable() const { groups_.SaveToFile(TablesBase(data_folder_)); }

bool TQuizSession::RemoveGroupFromUsers(int32_t id) {
  bool removed = false;
  for (int u = 0; u < users_.Count(); ++u) {
    content::TUser& user = *users_.GetUser(u);
    // Every line of it: a table edited by hand may hold one twice.
    for (; user.IsInGroup(id); removed = true) user.RemoveGroup(id);
  }
  return removed;
}

}  // namespace server
