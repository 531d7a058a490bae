// Index definitions: the indexes of a table as a dataset reports them.
#pragma once

#include <string>

#include "dac/framework/data/dataset_types.h"
#include "dac/framework/data/def_collection.h"

namespace dac {

class TIndexDef : public TNamedItem {
  DAC_DECLARE_CLASS();

 public:
  // ";"-separated field names.
  const std::string& Fields() const { return fields_; }
  void SetFields(const std::string& fields);
  // The fields of Fields sorted descending.
  const std::string& DescFields() const { return desc_fields_; }
  void SetDescFields(const std::string& fields);
  const std::string& CaseInsFields() const { return case_ins_fields_; }
  void SetCaseInsFields(const std::string& fields);
  const std::string& Expression() const { return expression_; }
  void SetExpression(const std::string& expression);
  TIndexOptions Options() const { return options_; }
  void SetOptions(TIndexOptions options);

  void Assign(const TPersistent* source) override;

 private:
  std::string fields_;
  std::string desc_fields_;
  std::string case_ins_fields_;
  std::string expression_;
  TIndexOptions options_;
};

class TIndexDefs : public TDefCollection {
  DAC_DECLARE_CLASS();

 public:
  explicit TIndexDefs(TDataSetBase* dataset);

  TIndexDef* Items(int index) const { return static_cast<TIndexDef*>(TCollection::Items(index)); }
  TIndexDef* AddIndexDef() { return static_cast<TIndexDef*>(Add()); }
  TIndexDef* Add(const std::string& name, const std::string& fields, TIndexOptions options);
  using TCollection::Add;
  // EDatabaseError "Index '%s' not found" naming the dataset.
  TIndexDef* Find(const std::string& name) const;
  // Asks the dataset (UpdateIndexDefs), which fills the definitions, then
  // marks them up to date.
  void Update();

 protected:
  using TDefCollection::Update;
};

}  // namespace dac
