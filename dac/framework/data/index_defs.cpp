#include "dac/framework/data/index_defs.h"

#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/update_pair.h"
#include "dac/framework/data/dataset_base.h"

namespace dac {

DAC_DEFINE_CLASS(TIndexDef, TNamedItem, ::dac::TMetaClassOf<TIndexDef>)
DAC_DEFINE_CLASS(TIndexDefs, TDefCollection, ::dac::TMetaClass)

void TIndexDef::SetFields(const std::string& fields) {
  fields_ = fields;
  Changed(false);
}

void TIndexDef::SetDescFields(const std::string& fields) {
  desc_fields_ = fields;
  Changed(false);
}

void TIndexDef::SetCaseInsFields(const std::string& fields) {
  case_ins_fields_ = fields;
  Changed(false);
}

void TIndexDef::SetExpression(const std::string& expression) {
  expression_ = expression;
  Changed(false);
}

void TIndexDef::SetOptions(TIndexOptions options) {
  options_ = options;
  Changed(false);
}

void TIndexDef::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TIndexDef*>(source);
  if (!other) {
    TNamedItem::Assign(source);
    return;
  }
  if (other == this) return;
  SetName(other->Name());
  fields_ = other->fields_;
  desc_fields_ = other->desc_fields_;
  case_ins_fields_ = other->case_ins_fields_;
  expression_ = other->expression_;
  options_ = other->options_;
  Changed(false);
}

TIndexDefs::TIndexDefs(TDataSetBase* dataset) : TDefCollection(TIndexDef::ClassInfo(), dataset, dataset) {}

TIndexDef* TIndexDefs::Add(const std::string& name, const std::string& fields, TIndexOptions options) {
  CheckName(name);
  TIndexDef* def = nullptr;
  WithinUpdate(*this, [&] {
    def = AddIndexDef();
    def->SetName(name);
    def->SetFields(fields);
    def->SetOptions(options);
  });
  return def;
}

TIndexDef* TIndexDefs::Find(const std::string& name) const {
  auto* def = static_cast<TIndexDef*>(FindItem(name));
  if (!def) DatabaseErrorFmt(DataSet(), "Index '%s' not found", name.c_str());
  return def;
}

void TIndexDefs::Update() {
  if (TDataSetBase* dataset = DataSet()) dataset->UpdateIndexDefs();
  SetUpdated(true);
}

}  // namespace dac
