// Field definitions: what a dataset's columns are (name, type, size,
// attributes, child definitions of structured types), from which fields
// are made.
#pragma once

#include <memory>
#include <string>

#include "dac/framework/data/dataset_types.h"
#include "dac/framework/data/def_collection.h"
#include "dac/framework/data/field_type.h"

namespace dac {

class TComponent;
class TComponentClass;
class TField;
class TFieldDefs;
class TObjectField;

class TFieldDef : public TNamedItem {
  DAC_DECLARE_CLASS();

 public:
  TFieldDef();
  ~TFieldDef() override;

  TFieldType DataType() const { return data_type_; }
  void SetDataType(TFieldType type);
  int Size() const { return size_; }
  void SetSize(int size);
  int Precision() const { return precision_; }
  void SetPrecision(int precision);
  TFieldAttributes Attributes() const { return attributes_; }
  void SetAttributes(TFieldAttributes attributes);
  bool Required() const { return attributes_.Contains(faRequired); }
  void SetRequired(bool value);
  int FieldNo() const { return field_no_; }
  void SetFieldNo(int field_no) { field_no_ = field_no; }

  // The definitions of an object or array type's members, made on first use.
  TFieldDefs& ChildDefs();
  bool HasChildDefs() const;
  // The definition whose ChildDefs hold this one, if any.
  TFieldDef* ParentDef() const;
  // "parent.child" for a child definition.
  std::string FullName() const;
  TDataSetBase* DataSet() const;

  // The dataset's field class for the type (the default one without a dataset).
  const TComponentClass* FieldClass() const;
  // A field of FieldClass owned by owner, named field_name (else the
  // definition's name), joined to parent or else to the dataset, with child
  // fields for the child definitions. EDatabaseError
  // "Field '%s' is of an unsupported type" for a type no field holds.
  TField* CreateField(TComponent* owner, TObjectField* parent = nullptr, const std::string& field_name = "",
                      bool create_children = true);

  // From another definition: its settings and child definitions.
  void Assign(const TPersistent* source) override;

 private:
  TFieldType data_type_ = ftUnknown;
  int size_ = 0;
  int precision_ = 0;
  TFieldAttributes attributes_;
  int field_no_ = 0;
  std::unique_ptr<TFieldDefs> child_defs_;
};

class TFieldDefs : public TDefCollection {
  DAC_DECLARE_CLASS();

 public:
  // The definitions of a dataset, or the child definitions of parent.
  explicit TFieldDefs(TDataSetBase* dataset);
  explicit TFieldDefs(TFieldDef* parent);

  TFieldDef* Items(int index) const { return static_cast<TFieldDef*>(TCollection::Items(index)); }
  TFieldDef* AddFieldDef() { return static_cast<TFieldDef*>(Add()); }
  // EDatabaseError "Field name missing" for an empty name. Field number: the
  // count before the addition + 1.
  TFieldDef* Add(const std::string& name, TFieldType type, int size = 0, bool required = false);
  using TCollection::Add;
  // By name, or by full name ("parent.child") through child definitions;
  // EDatabaseError "Field %s not found" naming the dataset.
  TFieldDef* Find(const std::string& name) const;
  // The same, nullptr when absent.
  TFieldDef* FindFullName(const std::string& name) const;
  TFieldDef* ParentDef() const { return parent_; }
  TDataSetBase* DataSet() const override;
  // Asks the dataset to bring the definitions up to date (InitFieldDefs).
  void Update();

 protected:
  using TDefCollection::Update;

 private:
  TFieldDef* parent_ = nullptr;
};

}  // namespace dac
