// The users table: who may log in, their groups and their score records.
//
// File base + ".users.csv", one record per line ending with "\r\n": login
// name; password; reserved text; group ids; full name. The group ids are the
// id lines, each followed by "\r\n", the whole text percent-encoded; the
// other fields stand as they are.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "content/project_element.h"
#include "content/score_records.h"
#include "content/text_lists.h"
#include "platform/date_time.h"

namespace content {

class TGroupsList;
class TXORFileStream;

class TUser : public TBaseProjectElement {
 public:
  TUser() = default;
  TUser(const TUser&) = delete;
  TUser& operator=(const TUser&) = delete;

  int32_t GetType() const override { return kUserElement; }

  const std::string& GetLoginName() const { return login_name_; }
  const std::string& GetPassword() const { return password_; }
  const std::string& GetReservedText() const { return reserved_text_; }
  const std::string& GetFullName() const { return full_name_; }
  bool GetModified() const { return modified_ != 0; }
  // These mark the user modified only when the value changes.
  void SetLoginName(std::string_view name);
  void SetPassword(std::string_view password);
  void SetFullName(std::string_view name);

  // The group-id lines, in the order added.
  const TStringList& GetGroupIds() const { return group_ids_; }
  int GetGroupCount() const { return static_cast<int>(group_ids_.size()); }
  // The i-th line as a number; -1 when it is not one or i lies outside the list.
  int32_t GetGroupId(int i) const;
  bool IsInGroup(int32_t id) const;
  // Appends id unless the user is already in that group.
  void AddGroup(int32_t id);
  // Removes the first line that reads as id.
  void RemoveGroup(int32_t id);
  // The lines of text become the group-id list; an empty last line is dropped,
  // empty lines inside stay (and match no group).
  void SetGroupsText(std::string_view text);
  // Every id line followed by "\r\n".
  std::string GetGroupsText() const;
  // text holds group positions in groups, one per line; the ids of the groups
  // at the valid positions, in line order, become the group-id list.
  void SetGroupsFromIndexes(std::string_view text, const TGroupsList& groups);

  // Results per subject, refilled by the statistics.
  TSubjects& GetSubjects() { return subjects_; }
  const TSubjects& GetSubjects() const { return subjects_; }

  // True when login name, password, reserved text and full name can stand in
  // the record as they are (see CanStoreAsIs).
  bool CanSave() const;
  std::string SaveToString() const;
  // Fields missing at the end read as empty; modified is left alone.
  void LoadFromString(std::string_view record);

 private:
  int32_t modified_ = 0;
  std::string login_name_;
  std::string password_;
  std::string reserved_text_;
  std::string full_name_;
  TStringList group_ids_;
  TSubjects subjects_;
};

class TUsersList : public TBaseProjectElement {
 public:
  TUsersList() = default;
  TUsersList(const TUsersList&) = delete;
  TUsersList& operator=(const TUsersList&) = delete;

  int32_t GetType() const override { return kUsersListElement; }

  void Clear();
  int Count() const { return static_cast<int>(users_.size()); }
  // Null outside the list.
  TUser* GetUser(int i) const;
  // A new empty user, appended.
  TUser* AddNew();
  // Deletes the user at i; nothing outside the list.
  void Delete(int i);
  // Some user's login name equals name without regard to ASCII case.
  bool HasLoginName(std::string_view name) const;

  // The day the statistics were last computed; 0 until then. Loading and
  // saving leave it alone.
  plat::DateTime GetStatsDate() const { return stats_date_; }
  void SetStatsDate(plat::DateTime date) { stats_date_ = date; }

  // The text SaveToFile writes. Throws RecordFieldError when a user's
  // unencoded field holds ';', a line break or NUL.
  std::string SaveToText() const;
  // Writes base + ".users.csv". Throws RecordFieldError, before anything is
  // written, when a user's unencoded field holds ';', a line break or NUL;
  // plat::FileError when the file cannot be written. Either way the old file stays.
  void SaveToFile(const std::string& base) const;
  // Replaces the table with base + ".users.csv"; a missing file gives an
  // empty table. Throws plat::FileError when the file exists but cannot be
  // read (the table is then unchanged).
  void LoadFromFile(const std::string& base);
  // Replaces the table with the package's entry base + ".users.csv"; an
  // absent or empty entry gives an empty table.
  void LoadFromPackage(const std::string& base, const TXORFileStream& package);
  // Replaces the table with the records of a table file's text (for a file
  // found under another letter case).
  void LoadFromText(std::string_view text);
  // Why a table read from the text would not hold all of it (see
  // TableTextFault); nullopt when it would.
  static std::optional<std::string> TextFault(std::string_view text);

 private:

  std::vector<std::unique_ptr<TUser>> users_;
  plat::DateTime stats_date_ = 0;
};

}  // namespace content
