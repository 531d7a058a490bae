// Changing the tables that administrator requests edit, so that a change
// is stored or not made, and writing them back.
#include <string>

#include "content/groups.h"
#include "content/record_fields.h"
#include "content/user_notice.h"
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

std::string TableName(const content::TUsersList&) { return "users"; }
std::string TableName(const content::TGroupsList&) { return "groups"; }

}  // namespace

void TQuizSession::ReportTableFaults() const {
  for (const auto& [table, fault] : {std::pair{"users", &users_fault_}, {"groups", &groups_fault_}}) {
    if (!fault->has_value()) continue;
    content::NoticeToUser(
        "The %s table %s cannot be read whole (%s): it is used as far as it could be read, and no change to the "
        "learners or groups is stored until it is mended.",
        table, (*fault)->path.c_str(), (*fault)->reason.c_str());
  }
}

std::optional<std::string> TQuizSession::ChangeTables(const TTablesChange& change) {
  for (const auto& [table, fault] : {std::pair{"users", &users_fault_}, {"groups", &groups_fault_}}) {
    if (fault->has_value()) {
      return std::string("No change can be stored while the ") + table + " table cannot be read whole (" +
             (*fault)->reason + "). Mend " + (*fault)->path + ", then start the player again.";
    }
  }
  try {
    content::TUsersList users;
    content::TGroupsList groups;
    users.LoadFromText(users_.SaveToText());
    groups.LoadFromText(groups_.SaveToText());
    change(users, groups);
    StoreChangedTables(users, groups);
  } catch (const plat::FileError& e) {
    return "The change could not be stored: " + e.reason() + ".";
  } catch (const content::RecordFieldError& e) {
    // The requests refuse such values before they change anything.
    content::NoticeToUser("A table could not be stored, so the change was not made: %s", e.what());
    return std::string("The change could not be stored: ") + e.what() + ".";
  }
  change(users_, groups_);
  return std::nullopt;
}

void TQuizSession::StoreChangedTables(const content::TUsersList& users, const content::TGroupsList& groups) const {
  const std::string base = TablesBase(data_folder_);
  // Writes the table over its file; a failure is said (naming the table
  // whose change caused it) and raised.
  const auto store = [&](const auto& table) {
    try {
      table.SaveToFile(base);
    } catch (const plat::FileError& e) {
      SayNotStored("The " + TableName(table) + " table could not be stored, so the change was not made", e);
      throw;
    }
  };
  const bool users_changed = users.SaveToText() != users_.SaveToText();
  // The users first: a groups file may get an id back that a stale users
  // file still names, whose members would then join the new group.
  if (users_changed) store(users);
  if (groups.SaveToText() == groups_.SaveToText()) return;
  try {
    store(groups);
  } catch (const plat::FileError&) {
    // Neither change is made: the users file goes back to the table's own.
    if (users_changed) {
      try {
        users_.SaveToFile(base);
      } catch (const plat::FileError& e) {
        content::NoticeToUser("The users table could not be put back as it was: %s", e.what());
      }
    }
    throw;
  }
}

void TQuizSession::RemoveGroupFromUsers(content::TUsersList& users, int32_t id) {
  for (int u = 0; u < users.Count(); ++u) {
    content::TUser& user = *users.GetUser(u);
    // Every line of it: a table edited by hand may hold one twice.
    while (user.IsInGroup(id)) user.RemoveGroup(id);
  }
}

}  // namespace server
