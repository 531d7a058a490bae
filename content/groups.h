// The groups table: numbered groups that users belong to.
//
// File base + ".groups.csv", one record per line ending with "\r\n": the id in
// decimal, ';', the title as is.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "content/project_element.h"

namespace content {

class TXORFileStream;

class TGroup : public TBaseProjectElement {
 public:
  TGroup() = default;

  int32_t GetType() const override { return kGroupElement; }

  const std::string& GetTitle() const { return title_; }
  int32_t GetId() const { return id_; }
  bool GetModified() const { return modified_ != 0; }
  // These mark the group modified only when the value changes.
  void SetTitle(std::string_view title);
  void SetId(int32_t id);

  std::string SaveToString() const;
  // Throws RecordFieldError when the id is not a decimal int32; the group is
  // then unchanged. A missing title reads as "".
  void LoadFromString(std::string_view record);

 private:
  int32_t modified_ = 0;
  std::string title_;
  int32_t id_ = 0;
};

class TGroupsList : public TBaseProjectElement {
 public:
  // Group ids stay at or below this; the next id wraps to 1 beyond it.
  static constexpr int32_t kMaxGroupId = 2000000;

  TGroupsList() = default;
  TGroupsList(const TGroupsList&) = delete;
  TGroupsList& operator=(const TGroupsList&) = delete;

  int32_t GetType() const override { return kGroupsListElement; }

  void Clear();
  int Count() const { return static_cast<int>(groups_.size()); }
  // Null outside the list.
  TGroup* GetGroup(int i) const;
  // Deletes the group at i; nothing outside the list.
  void Delete(int i);
  // A new group with the next free id (see NextGroupId), appended.
  TGroup* AddGroup();
  // The first group with that id, or null / -1.
  TGroup* FindById(int32_t id) const;
  int IndexOfId(int32_t id) const;

  // Writes base + ".groups.csv". Throws RecordFieldError, before anything is
  // written, when a title holds ';', a line break or NUL; plat::FileError
  // when the file cannot be written. Either way the old file stays.
  void SaveToFile(const std::string& base) const;
  // The text SaveToFile writes. Throws RecordFieldError as it does.
  std::string SaveToText() const;
  // Replaces the table with base + ".groups.csv"; a missing file gives an
  // empty table. Throws plat::FileError when the file exists but cannot be
  // read (the table is then unchanged).
  void LoadFromFile(const std::string& base);
  // Replaces the table with the package's entry base + ".groups.csv"; an
  // absent or empty entry gives an empty table.
  void LoadFromPackage(const std::string& base, const TXORFileStream& package);
  // Replaces the table with the records of a table file's text (for a file
  // found under another letter case): one group per non-empty line; a line
  // whose id is not a number is logged and skipped, so one bad line does not
  // lose the rest of the table.
  void LoadFromText(std::string_view text);
  // Why a table read from the text would not hold all of it (see
  // TableTextFault; a line skipped for its id is one); nullopt when it would.
  static std::optional<std::string> TextFault(std::string_view text);

 private:
  int32_t NextGroupId() const;

  std::vector<std::unique_ptr<TGroup>> groups_;
};

}  // namespace content
