#include "content/groups.h"

#include <optional>
#include <unordered_set>

#include "content/debug_log.h"
#include "content/record_fields.h"
#include "content/table_file.h"
#include "content/text_lines.h"
#include "platform/ascii.h"

namespace content {
namespace {
constexpr std::string_view kGroupsFileSuffix = ".groups.csv";
// The id and the title.
constexpr size_t kGroupFieldCount = 2;
}  // namespace

void TGroup::SetTitle(std::string_view title) {
  if (title_ == title) return;
  title_ = title;
  modified_ = 1;
}

void TGroup::SetId(int32_t id) {
  if (id_ == id) return;
  id_ = id;
  modified_ = 1;
}

std::string TGroup::SaveToString() const {
  TRecordBuilder record;
  record.AddNumber(id_);
  record.AddAsIs(title_);
  return record.Separated();
}

void TGroup::LoadFromString(std::string_view record) {
  const TRecordFields fields(record);
  const std::optional<int32_t> id = plat::ParseInt(fields.Text(1));
  if (!id) throw RecordFieldError("'" + fields.Text(1) + "' is not a valid group id");
  id_ = *id;
  title_ = fields.Text(2);
}

void TGroupsList::Clear() { groups_.clear(); }

TGroup* TGroupsList::GetGroup(int i) const {
  return i >= 0 && i < Count() ? groups_[static_cast<size_t>(i)].get() : nullptr;
}

void TGroupsList::Delete(int i) {
  if (i < 0 || i >= Count()) return;
  groups_.erase(groups_.begin() + i);
}

int32_t TGroupsList::NextGroupId() const {
  // Past the highest id in table order, wrapping to 1 above the limit.
  int64_t candidate = 1;
  for (const auto& group : groups_) {
    if (candidate > group->GetId()) continue;
    candidate = int64_t{group->GetId()} + 1;
    if (candidate > kMaxGroupId) candidate = 1;
  }
  // After a wrap the candidate may belong to a group earlier in the table;
  // two groups sharing an id would share their members, so move on to a free one.
  std::unordered_set<int32_t> used;
  for (const auto& group : groups_) used.insert(group->GetId());
  for (int32_t tries = 0; tries < kMaxGroupId && used.count(static_cast<int32_t>(candidate)) != 0; ++tries) {
    candidate = candidate >= kMaxGroupId ? 1 : candidate + 1;
  }
  return static_cast<int32_t>(candidate);
}

TGroup* TGroupsList::AddGroup() {
  auto group = std::make_unique<TGroup>();
  group->SetId(NextGroupId());
  groups_.push_back(std::move(group));
  return groups_.back().get();
}

TGroup* TGroupsList::FindById(int32_t id) const { return GetGroup(IndexOfId(id)); }

int TGroupsList::IndexOfId(int32_t id) const {
  for (int i = 0; i < Count(); ++i) {
    if (groups_[static_cast<size_t>(i)]->GetId() == id) return i;
  }
  return -1;
}

std::string TGroupsList::SaveToText() const {
  TStringList records;
  for (const auto& group : groups_) {
    if (!CanStoreAsIs(group->GetTitle())) {
      throw RecordFieldError("The title of group " + std::to_string(group->GetId()) +
                             " holds ';', a line break or NUL");
    }
    records.push_back(group->SaveToString());
  }
  return TableText(records);
}

void TGroupsList::SaveToFile(const std::string& base) const {
  WriteTableFile(base + std::string(kGroupsFileSuffix), SaveToText());
}

std::optional<std::string> TGroupsList::TextFault(std::string_view text) {
  return TableTextFault(text, kGroupFieldCount, [](std::string_view record) -> const char* {
    return plat::ParseInt(TRecordFields(record).Text(1)) ? nullptr : "does not begin with a group id";
  });
}

void TGroupsList::LoadFromText(std::string_view text) {
  groups_.clear();
  for (const std::string& line : NonEmptyLines(text)) {
    auto group = std::make_unique<TGroup>();
    try {
      group->LoadFromString(line);
    } catch (const RecordFieldError& error) {
      LogMessage("Groups table: skipped a line: %s", error.what());
      continue;
    }
    groups_.push_back(std::move(group));
  }
}

void TGroupsList::LoadFromFile(const std::string& base) {
  const std::optional<std::string> text = ReadTableFile(base + std::string(kGroupsFileSuffix));
  LoadFromText(text.value_or(""));
}

void TGroupsList::LoadFromPackage(const std::string& base, const TXORFileStream& package) {
  LoadFromText(ReadTablePackageEntry(base + std::string(kGroupsFileSuffix), package));
}

}  // namespace content
