// TFields: the ordered fields of a dataset (or of an object field), looked
// up by name without ASCII case. The list does not own its fields; Clear
// frees them.
#pragma once

#include <string>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/values/variant.h"

namespace dac {

class TDataSetBase;
class TField;
class TObjectField;

class TFields {
 public:
  // dataset: the dataset the fields belong to; parent: the object field
  // whose children they are (none for a dataset's own fields).
  explicit TFields(TDataSetBase* dataset, TObjectField* parent = nullptr) : dataset_(dataset), parent_(parent) {}
  TFields(const TFields&) = delete;
  TFields& operator=(const TFields&) = delete;

  int Count() const { return static_cast<int>(fields_.size()); }
  // EListError "List index out of bounds (%d)".
  TField* Fields(int index) const {
    if (index < 0 || index >= Count()) ListIndexError(index);
    return fields_[static_cast<size_t>(index)];
  }
  // The fields in order, for loops that read every one.
  const std::vector<TField*>& List() const { return fields_; }
  // Whether a field is Required, or has a DefaultExpression: an insert and a
  // post look for them only when there are some.
  bool AnyRequired() const { return required_count_ != 0; }
  bool AnyDefaultExpression() const { return default_count_ != 0; }
  int IndexOf(const TField* field) const;
  // By field name, or by full name ("parent.child") through object fields.
  TField* FindField(const std::string& name) const;
  // EDatabaseError "Field %s not found", naming the dataset.
  TField* FieldByName(const std::string& name) const;
  TField* FieldByNumber(int field_no) const;
  // The fields of a ";" list, in its order (FieldByName for each name).
  std::vector<TField*> GetFieldList(const std::string& names) const;
  // One name: the field's Value; several: a Variant array of their values.
  Variant GetValues(const std::string& names) const;
  // The reverse: one value, or one element per field.
  void SetValues(const std::string& names, const Variant& values) const;

  // EDatabaseError "Duplicate field name '%s'" when another field has the name.
  void CheckFieldName(const std::string& name, const TField* except = nullptr) const;
  void Add(TField* field);
  void Remove(TField* field);
  void SetFieldIndex(TField* field, int index);
  // Frees every field, last first.
  void Clear();
  // Forgets the fields without freeing them, each told it has no dataset.
  void Detach();

  TDataSetBase* DataSet() const;
  TObjectField* Parent() const { return parent_; }

 private:
  friend class TField;
  void Changed();
  void Tally(const TField* field, int sign);

  TDataSetBase* dataset_;
  TObjectField* parent_;
  std::vector<TField*> fields_;
  // Kept by Add, Remove, Detach and the fields' setters.
  int required_count_ = 0;
  int default_count_ = 0;
};

// The name from one-based pos to the next ";" (or the end), trimmed; pos
// moves past the ";". A loop runs while pos <= names.size().
std::string ExtractFieldName(const std::string& names, size_t& pos);

// The values of what a ";" list names, by_name finding each (and raising
// for an unknown name): a name without ";" gives its Value, a list a
// Variant array of them.
template <typename ByName>
Variant GetListValues(const std::string& names, ByName&& by_name) {
  if (names.find(';') == std::string::npos) return by_name(names)->Value();
  std::vector<Variant> values;
  for (size_t pos = 1; pos <= names.size();) values.push_back(by_name(ExtractFieldName(names, pos))->Value());
  return Variant(std::move(values));
}

// The reverse: one value, or one array element for each name in turn.
template <typename ByName>
void SetListValues(const std::string& names, const Variant& values, ByName&& by_name) {
  if (names.find(';') == std::string::npos) {
    by_name(names)->SetValue(values);
    return;
  }
  size_t index = 0;
  for (size_t pos = 1; pos <= names.size();) by_name(ExtractFieldName(names, pos))->SetValue(values.ArrayElement(index++));
}

}  // namespace dac
