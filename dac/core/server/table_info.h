// Table information: one entry per table (or other named object) a record
// set's columns come from, with its name, alias and, for a provider, its
// fully qualified name; and the list of them with lookup by name and alias.
//
// The class of an entry carries the identifier quoting rules of a server
// dialect, called on the class without an entry. A dialect derives its entry
// class and gives it a metaclass derived from TDKTableInfoClassOf<its class>
// that overrides the rules.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dac/framework/classes/meta_class.h"

namespace dac {

class TDKTableInfo;
class TDKTablesInfo;

class TDKTableInfoClass : public TMetaClass {
 public:
  using TMetaClass::Create;
  using TMetaClass::TMetaClass;
  // A new entry of this class, owned by the caller (or by owner once added).
  virtual TDKTableInfo* Create(TDKTablesInfo* owner) const = 0;

  // The name with the class's own quote characters.
  virtual std::string NormalizeName(std::string_view value, bool quote_names) const;
  // Each point-separated part of the name (points inside a quoted part do
  // not separate) quoted when quote_names is set or the part needs quotes,
  // otherwise unquoted. Parts after the first point go through the
  // two-argument form.
  virtual std::string NormalizeName(std::string_view value, char left_quote, char right_quote, bool quote_names) const;
  virtual char LeftQuote() const { return '"'; }
  virtual char RightQuote() const { return '"'; }
  // One quoted name: longer than one character, opened and closed by the
  // class's quotes, every right quote inside it doubled.
  virtual bool IsQuoted(std::string_view value) const;
  // Unquoted, the name holds something besides ASCII letters, digits and '_'.
  virtual bool QuotesNeeded(std::string_view value) const;
  // A name as the server gives it (a column's, a table's), written as one
  // identifier: quoted when quote_names is set or it needs quotes, never
  // split at points and never taken as quoted already.
  virtual std::string QuoteIdentifier(std::string_view bare, bool quote_names) const;

  // The name as it is when already quoted, else inside the given quotes
  // with each right quote in it doubled.
  std::string Quote(std::string_view value, char left_quote, char right_quote) const;
  // The name without its quotes (doubled ones single again) when it is quoted.
  std::string UnQuote(std::string_view value) const;

 private:
  // The first point outside the class's quotes; npos when none.
  size_t FindSeparator(std::string_view value) const;
};

template <typename T>
class TDKTableInfoClassOf : public TDKTableInfoClass {
 public:
  using TDKTableInfoClass::Create;
  using TDKTableInfoClass::TDKTableInfoClass;
  TDKTableInfo* Create(TDKTablesInfo* owner) const override { return new T(owner); }
};

class TDKTableInfo : public TObject {
  DAC_DECLARE_CLASS();

 public:
  // A free entry when owner is null; an owner hears of renames.
  explicit TDKTableInfo(TDKTablesInfo* owner) : owner_(owner) {}
  TDKTableInfo(const TDKTableInfo&) = delete;
  TDKTableInfo& operator=(const TDKTableInfo&) = delete;

  // The class's quoting rules.
  static const TDKTableInfoClass& InfoClass() { return static_cast<const TDKTableInfoClass&>(ClassInfo()); }
  const TDKTableInfoClass& GetInfoClass() const;

  // The base knows no fully qualified name: the table name, and setting it does nothing.
  virtual std::string GetTableNameFull() const { return table_name_; }
  virtual void SetTableNameFull(const std::string&) {}

  const std::string& GetTableName() const { return table_name_; }
  void SetTableName(std::string value);
  const std::string& GetTableAlias() const { return table_alias_; }
  void SetTableAlias(std::string value);
  // Set by a provider when it adds the entry for a column whose table is aliased.
  bool GetAliased() const { return aliased_; }
  void SetAliased(bool value) { aliased_ = value; }
  TDKTablesInfo* GetOwner() const { return owner_; }
  // The position in the owning list; -1 until added.
  int32_t GetIndex() const { return index_; }

 private:
  friend class TDKTablesInfo;

  TDKTablesInfo* owner_;
  int32_t index_ = -1;
  std::string table_name_;
  std::string table_alias_;
  bool aliased_ = false;
};

// Owns its entries. Lookups compare names without regard to case and never
// raise.
class TDKTablesInfo : public TObject {
 public:
  explicit TDKTablesInfo(const TDKTableInfoClass& table_info_class);
  ~TDKTablesInfo() override;
  TDKTablesInfo(const TDKTablesInfo&) = delete;
  TDKTablesInfo& operator=(const TDKTablesInfo&) = delete;

  // A new entry of the list's class, appended.
  TDKTableInfo* Add();
  // Frees every entry; the list is no longer normalized.
  void Clear();
  int Count() const { return static_cast<int>(items_.size()); }
  // EListError "List index out of bounds (%d)" outside 0 .. Count - 1.
  TDKTableInfo* Items(int index) const;
  // Replaces slot index by entry, which the list then owns; the replaced
  // entry is freed. Ignored (false, ownership stays with the caller) outside
  // the range or when the entry is already in that slot. An entry of another
  // list, or one this list holds in another slot, is an assertion failure.
  bool SetItems(int index, TDKTableInfo* entry);
  // The position of that very entry; -1 when absent.
  int IndexOf(const TDKTableInfo* entry) const;
  // The index of an entry so named (aliased); -1 when none. After Normalize
  // the name is normalized first. Of several equal names the first in list
  // order wins.
  int IndexByName(std::string_view name) const;
  int IndexByAlias(std::string_view alias) const;
  TDKTableInfo* FindByName(std::string_view name) const;

  // While updates are open the lookup lists stand still and lookups search
  // the entries one by one; the last EndUpdate rebuilds them.
  virtual void BeginUpdate() { ++update_count_; }
  virtual void EndUpdate();
  void TableNameChanged();
  void TableAliasChanged();
  void Changed();
  // Normalizes every entry's name, alias and full name (without forced
  // quotes); lookups then normalize the searched name too.
  void Normalize();
  bool GetNormalized() const { return normalized_; }
  const TDKTableInfoClass& TableInfoClass() const { return *table_info_class_; }
  // The class of the entries made from now on (the quoting rules of the
  // session the names come from); only while the list is empty.
  void SetTableInfoClass(const TDKTableInfoClass& table_info_class);

 private:
  using Lookup = std::vector<std::pair<std::string, TDKTableInfo*>>;
  using NameOf = const std::string& (TDKTableInfo::*)() const;

  void Rebuild(Lookup& lookup, NameOf name_of);
  int Find(const Lookup& lookup, NameOf name_of, std::string_view name) const;

  std::vector<std::unique_ptr<TDKTableInfo>> items_;
  int32_t update_count_ = 0;
  const TDKTableInfoClass* table_info_class_;
  Lookup names_;
  Lookup aliases_;
  bool normalized_ = false;
};

}  // namespace dac
