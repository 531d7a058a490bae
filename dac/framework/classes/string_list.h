// TStringList: a list of 8-bit lines, each with a pointer-sized value that
// the list never owns. Kept in order of insertion, or sorted (Sorted), where
// Duplicates decides what a second equal line does. Lines compare without
// ASCII case unless CaseSensitive; case-sensitive comparison is by bytes.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "dac/framework/classes/persistent.h"

namespace dac {

enum TDuplicates : uint8_t { dupIgnore, dupAccept, dupError };

class TStringList : public TPersistent {
  DAC_DECLARE_CLASS();

 public:
  // Order of two lines given by index: negative, 0 or positive.
  using TCompare = std::function<int(const TStringList& list, int a, int b)>;

  TStringList() = default;
  TStringList(const TStringList&) = delete;
  TStringList& operator=(const TStringList&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  // EListError "List index out of bounds (%d)" outside 0 .. Count - 1.
  const std::string& Strings(int index) const;
  void Put(int index, std::string text);  // EListError on a sorted list
  void* Objects(int index) const;
  void PutObject(int index, void* object);

  // The new line's index. On a sorted list an equal line is ignored (its
  // index returned), accepted, or refused with EListError "List does not
  // allow duplicates", as Duplicates says.
  int Add(std::string text) { return AddObject(std::move(text), nullptr); }
  int AddObject(std::string text, void* object);
  void Insert(int index, std::string text) { InsertObject(index, std::move(text), nullptr); }
  void InsertObject(int index, std::string text, void* object);  // EListError on a sorted list
  void Delete(int index);
  void Clear();
  void AddStrings(const TStringList& lines);

  int IndexOf(std::string_view text) const;
  int IndexOfObject(const void* object) const;
  // Binary search of a sorted list: true and the index when found, else
  // false and the index where the line would go.
  bool Find(std::string_view text, int& index) const;

  void Sort();
  void CustomSort(const TCompare& compare);
  bool Sorted() const { return sorted_; }
  void SetSorted(bool value);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates value) { duplicates_ = value; }
  bool CaseSensitive() const { return case_sensitive_; }
  void SetCaseSensitive(bool value);

  // Every line followed by CR LF, the last one too.
  std::string Text() const;
  // Lines split at CR LF, LF or CR; a break at the end adds no empty line.
  void SetText(std::string_view text);

  // Counted; OnChanging runs at the first BeginUpdate, OnChange at the last EndUpdate.
  void BeginUpdate();
  void EndUpdate();
  void SetOnChange(TNotifyEvent handler) { on_change_ = std::move(handler); }
  void SetOnChanging(TNotifyEvent handler) { on_changing_ = std::move(handler); }

  // From another string list: its lines and values, in one change.
  void Assign(const TPersistent* source) override;

 private:
  struct Item {
    std::string text;
    void* object = nullptr;
  };
  int Compare(std::string_view a, std::string_view b) const;
  void CheckIndex(int index) const;
  void CheckUnsorted() const;
  void Changing();
  void Changed();

  std::vector<Item> items_;
  bool sorted_ = false;
  bool case_sensitive_ = false;
  TDuplicates duplicates_ = dupIgnore;
  int update_count_ = 0;
  TNotifyEvent on_change_;
  TNotifyEvent on_changing_;
};

// The class library's name for string lists in interfaces.
using TStrings = TStringList;

}  // namespace dac
