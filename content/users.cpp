#include "content/users.h"

#include <algorithm>
#include <optional>

#include "content/groups.h"
#include "content/percent_codec.h"
#include "content/record_fields.h"
#include "content/table_file.h"
#include "content/text_lines.h"
#include "platform/ascii.h"

namespace content {
namespace {

constexpr std::string_view kUsersFileSuffix = ".users.csv";
// Login name, password, reserved text, group ids, full name.
constexpr size_t kUserFieldCount = 5;

int32_t GroupIdOfLine(const std::string& line) { return plat::ParseIntOr(line, -1); }

void SetAndMark(std::string& field, std::string_view value, int32_t& modified) {
  if (field == value) return;
  field = value;
  modified = 1;
}

}  // namespace

void TUser::SetLoginName(std::string_view name) { SetAndMark(login_name_, name, modified_); }
void TUser::SetPassword(std::string_view password) { SetAndMark(password_, password, modified_); }
void TUser::SetFullName(std::string_view name) { SetAndMark(full_name_, name, modified_); }

int32_t TUser::GetGroupId(int i) const {
  if (i < 0 || i >= GetGroupCount()) return -1;
  return GroupIdOfLine(group_ids_[static_cast<size_t>(i)]);
}

bool TUser::IsInGroup(int32_t id) const {
  return std::any_of(group_ids_.begin(), group_ids_.end(),
                     [id](const std::string& line) { return GroupIdOfLine(line) == id; });
}

void TUser::AddGroup(int32_t id) {
  if (!IsInGroup(id)) group_ids_.push_back(std::to_string(id));
}

void TUser::RemoveGroup(int32_t id) {
  const auto it = std::find_if(group_ids_.begin(), group_ids_.end(),
                               [id](const std::string& line) { return GroupIdOfLine(line) == id; });
  if (it != group_ids_.end()) group_ids_.erase(it);
}

void TUser::SetGroupsText(std::string_view text) {
  group_ids_ = SplitLines(text);
  if (!group_ids_.empty() && group_ids_.back().empty()) group_ids_.pop_back();
}

std::string TUser::GetGroupsText() const {
  std::string text;
  for (const std::string& line : group_ids_) {
    text += line;
    text += "\r\n";
  }
  return text;
}

void TUser::SetGroupsFromIndexes(std::string_view text, const TGroupsList& groups) {
  std::string ids;
  for (const std::string& line : SplitLines(text)) {
    const std::optional<int32_t> index = plat::ParseInt(line);
    if (!index) continue;
    if (const TGroup* group = groups.GetGroup(*index)) ids += std::to_string(group->GetId()) + "\r\n";
  }
  SetGroupsText(ids);
}

bool TUser::CanSave() const {
  return CanStoreAsIs(login_name_) && CanStoreAsIs(password_) && CanStoreAsIs(reserved_text_) &&
         CanStoreAsIs(full_name_);
}

std::string TUser::SaveToString() const {
  TRecordBuilder record;
  record.AddAsIs(login_name_);
  record.AddAsIs(password_);
  record.AddAsIs(reserved_text_);
  record.AddEncoded(GetGroupsText());
  record.AddAsIs(full_name_);
  return record.Separated();
}

void TUser::LoadFromString(std::string_view record) {
  const TRecordFields fields(record);
  login_name_ = fields.Text(1);
  password_ = fields.Text(2);
  reserved_text_ = fields.Text(3);
  SetGroupsText(fields.Decoded(4));
  full_name_ = fields.Text(5);
}

void TUsersList::Clear() { users_.clear(); }

TUser* TUsersList::GetUser(int i) const {
  return i >= 0 && i < Count() ? users_[static_cast<size_t>(i)].get() : nullptr;
}

TUser* TUsersList::AddNew() {
  users_.push_back(std::make_unique<TUser>());
  return users_.back().get();
}

void TUsersList::Delete(int i) {
  if (i < 0 || i >= Count()) return;
  users_.erase(users_.begin() + i);
}

bool TUsersList::HasLoginName(std::string_view name) const {
  return std::any_of(users_.begin(), users_.end(),
                     [name](const auto& user) { return plat::SameText(user->GetLoginName(), name); });
}

std::string TUsersList::SaveToText() const {
  TStringList records;
  for (int i = 0; i < Count(); ++i) {
    const TUser& user = *users_[static_cast<size_t>(i)];
    if (!user.CanSave()) {
      throw RecordFieldError("User " + std::to_string(i) + " holds ';', a line break or NUL in a plain field");
    }
    records.push_back(user.SaveToString());
  }
  return TableText(records);
}

void TUsersList::SaveToFile(const std::string& base) const {
  // The table holds the learners' passwords.
  WriteTableFile(base + std::string(kUsersFileSuffix), SaveToText(), plat::FileAccess::kPrivate);
}

void TUsersList::LoadFromText(std::string_view text) {
  users_.clear();
  for (const std::string& line : NonEmptyLines(text)) AddNew()->LoadFromString(line);
}

std::optional<std::string> TUsersList::TextFault(std::string_view text) {
  return TableTextFault(text, kUserFieldCount);
}

void TUsersList::LoadFromFile(const std::string& base) {
  const std::optional<std::string> text = ReadTableFile(base + std::string(kUsersFileSuffix));
  LoadFromText(text.value_or(""));
}

void TUsersList::LoadFromPackage(const std::string& base, const TXORFileStream& package) {
  LoadFromText(ReadTablePackageEntry(base + std::string(kUsersFileSuffix), package));
}

}  // namespace content
