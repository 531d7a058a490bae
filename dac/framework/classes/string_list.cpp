#include "dac/framework/classes/string_list.h"

#include <algorithm>
#include <numeric>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/classes/update_pair.h"
#include "platform/ascii.h"

namespace dac {

DAC_DEFINE_CLASS(TStringList, TPersistent, ::dac::TMetaClassOf<TStringList>)

const std::string& TStringList::Strings(int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].text;
}

void TStringList::Put(int index, std::string text) {
  CheckUnsorted();
  CheckIndex(index);
  Changing();
  items_[static_cast<size_t>(index)].text = std::move(text);
  Changed();
}

void* TStringList::Objects(int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].object;
}

void TStringList::PutObject(int index, void* object) {
  CheckIndex(index);
  Changing();
  items_[static_cast<size_t>(index)].object = object;
  Changed();
}

int TStringList::AddObject(std::string text, void* object) {
  int index = Count();
  if (sorted_ && Find(text, index)) {
    if (duplicates_ == dupIgnore) return index;
    if (duplicates_ == dupError) throw EListError("List does not allow duplicates");
  }
  Changing();
  items_.insert(items_.begin() + index, Item{std::move(text), object});
  Changed();
  return index;
}

void TStringList::InsertObject(int index, std::string text, void* object) {
  CheckUnsorted();
  if (index < 0 || index > Count()) ListIndexError(index);
  Changing();
  items_.insert(items_.begin() + index, Item{std::move(text), object});
  Changed();
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  Changing();
  items_.erase(items_.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  items_.clear();
  Changed();
}

void TStringList::AddStrings(const TStringList& lines) {
  // A copy first: lines may be this list.
  const std::vector<Item> copy = lines.items_;
  WithinUpdate(*this, [this, &copy] {
    for (const Item& item : copy) AddObject(item.text, item.object);
  });
}

int TStringList::IndexOf(std::string_view text) const {
  if (sorted_) {
    int index = 0;
    return Find(text, index) ? index : -1;
  }
  for (int i = 0; i < Count(); ++i) {
    if (Compare(items_[static_cast<size_t>(i)].text, text) == 0) return i;
  }
  return -1;
}

int TStringList::IndexOfObject(const void* object) const {
  for (int i = 0; i < Count(); ++i) {
    if (items_[static_cast<size_t>(i)].object == object) return i;
  }
  return -1;
}

bool TStringList::Find(std::string_view text, int& index) const {
  // The first of equal lines, so that dupAccept keeps them together.
  int low = 0;
  int high = Count();
  while (low < high) {
    const int mid = low + (high - low) / 2;
    if (Compare(items_[static_cast<size_t>(mid)].text, text) < 0) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  index = low;
  return low < Count() && Compare(items_[static_cast<size_t>(low)].text, text) == 0;
}

void TStringList::Sort() {
  CustomSort([](const TStringList& list, int a, int b) { return list.Compare(list.Strings(a), list.Strings(b)); });
}

void TStringList::CustomSort(const TCompare& compare) {
  if (Count() < 2) return;
  std::vector<int> order(items_.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(*this, a, b) < 0; });
  std::vector<Item> sorted;
  sorted.reserve(items_.size());
  for (int i : order) sorted.push_back(std::move(items_[static_cast<size_t>(i)]));
  Changing();
  items_ = std::move(sorted);
  Changed();
}

void TStringList::SetSorted(bool value) {
  if (value == sorted_) return;
  if (value) Sort();
  sorted_ = value;
}

void TStringList::SetCaseSensitive(bool value) {
  if (value == case_sensitive_) return;
  case_sensitive_ = value;
  if (sorted_) Sort();
}

std::string TStringList::Text() const {
  std::string out;
  for (const Item& item : items_) {
    out += item.text;
    out += "\r\n";
  }
  return out;
}

void TStringList::SetText(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  WithinUpdate(*this, [this, &lines] {
    items_.clear();
    for (std::string& line : lines) AddObject(std::move(line), nullptr);
  });
}

void TStringList::BeginUpdate() {
  if (update_count_ == 0) Changing();
  ++update_count_;
}

void TStringList::EndUpdate() {
  if (update_count_ > 0 && --update_count_ == 0) Changed();
}

void TStringList::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TStringList*>(source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  if (other == this) return;
  WithinUpdate(*this, [this, other] {
    items_.clear();
    AddStrings(*other);
  });
}

int TStringList::Compare(std::string_view a, std::string_view b) const {
  if (case_sensitive_) return a.compare(b);
  return plat::CompareText(a, b);
}

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) ListIndexError(index);
}

void TStringList::CheckUnsorted() const {
  if (sorted_) throw EListError("Operation not allowed on sorted list");
}

void TStringList::Changing() {
  if (update_count_ == 0 && on_changing_) on_changing_(this);
}

void TStringList::Changed() {
  if (update_count_ == 0 && on_change_) on_change_(this);
}

}  // namespace dac
