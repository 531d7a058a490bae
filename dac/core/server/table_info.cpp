#include "dac/core/server/table_info.h"

#include <algorithm>

#include "dac/framework/classes/exceptions.h"
#include "platform/ascii.h"

namespace dac {

DAC_DEFINE_CLASS(TDKTableInfo, TObject, TDKTableInfoClassOf<TDKTableInfo>)

namespace {

bool IsNameChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool NameLess(const std::string& a, const std::string& b) { return plat::CompareText(a, b) < 0; }

// Inside the quotes, each right quote doubled: whatever the name holds, it
// stays one name.
std::string Enclosed(std::string_view value, char left_quote, char right_quote) {
  std::string out(1, left_quote);
  for (char c : value) {
    out += c;
    if (c == right_quote) out += c;
  }
  out += right_quote;
  return out;
}

}  // namespace

// ---- Quoting rules ----

std::string TDKTableInfoClass::NormalizeName(std::string_view value, bool quote_names) const {
  return NormalizeName(value, LeftQuote(), RightQuote(), quote_names);
}

std::string TDKTableInfoClass::NormalizeName(std::string_view value, char left_quote, char right_quote,
                                             bool quote_names) const {
  if (value.empty()) return std::string();
  const size_t point = FindSeparator(value);
  if (point != std::string_view::npos)
    return NormalizeName(value.substr(0, point), quote_names) + "." +
           NormalizeName(value.substr(point + 1), quote_names);
  if (quote_names || QuotesNeeded(value)) return Quote(value, left_quote, right_quote);
  return UnQuote(value);
}

size_t TDKTableInfoClass::FindSeparator(std::string_view value) const {
  bool quoted = false;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (quoted) {
      quoted = c != RightQuote();
    } else if (c == LeftQuote()) {
      quoted = true;
    } else if (c == '.') {
      return i;
    }
  }
  return std::string_view::npos;
}

bool TDKTableInfoClass::IsQuoted(std::string_view value) const {
  if (value.size() < 2 || value.front() != LeftQuote() || value.back() != RightQuote()) return false;
  for (size_t i = 1; i + 1 < value.size(); ++i) {
    if (value[i] != RightQuote()) continue;
    if (i + 2 >= value.size() || value[i + 1] != RightQuote()) return false;
    ++i;
  }
  return true;
}

bool TDKTableInfoClass::QuotesNeeded(std::string_view value) const {
  const std::string name = UnQuote(value);
  return !std::all_of(name.begin(), name.end(), IsNameChar);
}

std::string TDKTableInfoClass::QuoteIdentifier(std::string_view bare, bool quote_names) const {
  if (bare.empty() || (!quote_names && std::all_of(bare.begin(), bare.end(), IsNameChar))) return std::string(bare);
  return Enclosed(bare, LeftQuote(), RightQuote());
}

std::string TDKTableInfoClass::Quote(std::string_view value, char left_quote, char right_quote) const {
  if (IsQuoted(value)) return std::string(value);
  return Enclosed(value, left_quote, right_quote);
}

std::string TDKTableInfoClass::UnQuote(std::string_view value) const {
  if (!IsQuoted(value)) return std::string(value);
  std::string out;
  for (size_t i = 1; i + 1 < value.size(); ++i) {
    out += value[i];
    if (value[i] == RightQuote()) ++i;
  }
  return out;
}

// ---- Entries ----

const TDKTableInfoClass& TDKTableInfo::GetInfoClass() const {
  const auto* cls = dynamic_cast<const TDKTableInfoClass*>(&ClassType());
  DAC_ASSERT(cls != nullptr, ClassName() + " has no table-information class");
  return *cls;
}

void TDKTableInfo::SetTableName(std::string value) {
  table_name_ = std::move(value);
  if (owner_) owner_->TableNameChanged();
}

void TDKTableInfo::SetTableAlias(std::string value) {
  table_alias_ = std::move(value);
  if (owner_) owner_->TableAliasChanged();
}

// ---- The list ----

TDKTablesInfo::TDKTablesInfo(const TDKTableInfoClass& table_info_class) : table_info_class_(&table_info_class) {}

void TDKTablesInfo::SetTableInfoClass(const TDKTableInfoClass& table_info_class) {
  if (table_info_class_ == &table_info_class) return;
  DAC_ASSERT(items_.empty(), "The class of a table list changes only while it is empty");
  table_info_class_ = &table_info_class;
}

// Entries are freed without telling this list.
TDKTablesInfo::~TDKTablesInfo() {
  for (auto& entry : items_) entry->owner_ = nullptr;
}

TDKTableInfo* TDKTablesInfo::Add() {
  std::unique_ptr<TDKTableInfo> entry(table_info_class_->Create(this));
  entry->owner_ = this;
  entry->index_ = Count();
  items_.push_back(std::move(entry));
  return items_.back().get();
}

void TDKTablesInfo::Clear() {
  normalized_ = false;
  if (items_.empty()) return;
  for (auto& entry : items_) entry->owner_ = nullptr;
  items_.clear();
  Changed();
}

TDKTableInfo* TDKTablesInfo::Items(int index) const {
  if (index < 0 || index >= Count()) ListIndexError(index);
  return items_[static_cast<size_t>(index)].get();
}

bool TDKTablesInfo::SetItems(int index, TDKTableInfo* entry) {
  if (index < 0 || index >= Count() || items_[static_cast<size_t>(index)].get() == entry) return false;
  DAC_ASSERT(entry != nullptr, "A table list holds no null entry");
  DAC_ASSERT(IndexOf(entry) < 0, "The entry already has a slot in this list");
  DAC_ASSERT(entry->owner_ == nullptr || entry->owner_ == this, "The entry belongs to another list");
  items_[static_cast<size_t>(index)]->owner_ = nullptr;
  items_[static_cast<size_t>(index)].reset(entry);
  entry->owner_ = this;
  entry->index_ = index;
  Changed();
  return true;
}

int TDKTablesInfo::IndexOf(const TDKTableInfo* entry) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == entry) return static_cast<int>(i);
  return -1;
}

int TDKTablesInfo::IndexByName(std::string_view name) const { return Find(names_, &TDKTableInfo::GetTableName, name); }

int TDKTablesInfo::IndexByAlias(std::string_view alias) const {
  return Find(aliases_, &TDKTableInfo::GetTableAlias, alias);
}

TDKTableInfo* TDKTablesInfo::FindByName(std::string_view name) const {
  const int index = IndexByName(name);
  return index < 0 ? nullptr : Items(index);
}

int TDKTablesInfo::Find(const Lookup& lookup, NameOf name_of, std::string_view name) const {
  const std::string searched = normalized_ ? table_info_class_->NormalizeName(name, false) : std::string(name);
  if (update_count_ > 0) {
    for (const auto& entry : items_)
      if (plat::SameText((entry.get()->*name_of)(), searched)) return entry->index_;
    return -1;
  }
  auto found = std::lower_bound(lookup.begin(), lookup.end(), searched,
                                [](const auto& item, const std::string& key) { return NameLess(item.first, key); });
  if (found == lookup.end() || !plat::SameText(found->first, searched)) return -1;
  return found->second->index_;
}

void TDKTablesInfo::EndUpdate() {
  --update_count_;
  Changed();
}

void TDKTablesInfo::TableNameChanged() { Rebuild(names_, &TDKTableInfo::GetTableName); }

void TDKTablesInfo::TableAliasChanged() { Rebuild(aliases_, &TDKTableInfo::GetTableAlias); }

void TDKTablesInfo::Changed() {
  TableNameChanged();
  TableAliasChanged();
}

void TDKTablesInfo::Rebuild(Lookup& lookup, NameOf name_of) {
  if (update_count_ > 0) return;
  lookup.clear();
  for (const auto& entry : items_) lookup.emplace_back((entry.get()->*name_of)(), entry.get());
  // Stable: of equal names the first in list order comes first.
  std::stable_sort(lookup.begin(), lookup.end(),
                   [](const auto& a, const auto& b) { return NameLess(a.first, b.first); });
}

void TDKTablesInfo::Normalize() {
  BeginUpdate();
  try {
    for (const auto& entry : items_) {
      entry->SetTableName(table_info_class_->NormalizeName(entry->GetTableName(), false));
      entry->SetTableAlias(table_info_class_->NormalizeName(entry->GetTableAlias(), false));
      entry->SetTableNameFull(table_info_class_->NormalizeName(entry->GetTableNameFull(), false));
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  normalized_ = true;
  EndUpdate();
}

}  // namespace dac
