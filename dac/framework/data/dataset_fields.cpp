// Fields of the dataset: making and binding them, calculated and lookup
// values, values in other states, and the filter settings.
#include "dac/framework/data/dataset.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/object_fields.h"

namespace dac {

namespace {

// Types whose fields hold child fields.
bool IsObjectType(TFieldType type) { return type == ftADT || type == ftArray || type == ftReference || type == ftDataSet; }

bool MakesField(const TFieldDef* def) {
  return def->DataType() != ftUnknown && !def->Attributes().Contains(faHiddenCol);
}

// The types that stand for one another when fields meet their definitions.
TFieldType BaseType(TFieldType type) {
  if (type == ftAutoInc) return ftInteger;
  if (type == ftFixedChar) return ftString;
  return type;
}

}  // namespace

// ---- making and binding ----

void TDataSet::CreateFields() {
  if (!object_view_) {
    CreateFlatFields(FieldDefs());
    return;
  }
  for (int i = 0; i < FieldDefs().Count(); ++i) {
    TFieldDef* def = FieldDefs().Items(i);
    if (MakesField(def)) def->CreateField(this);
  }
}

// Without the object view the members of structures are fields of their
// own, named by their full names.
void TDataSet::CreateFlatFields(TFieldDefs& defs) {
  for (int i = 0; i < defs.Count(); ++i) {
    TFieldDef* def = defs.Items(i);
    if (!MakesField(def)) continue;
    if (def->DataType() == ftADT || def->DataType() == ftArray) {
      if (def->HasChildDefs()) CreateFlatFields(def->ChildDefs());
    } else if (!IsObjectType(def->DataType())) {
      def->CreateField(this, nullptr, def->FullName());
    }
  }
}

void TDataSet::BindFields(bool binding) {
  calc_fields_size_ = 0;
  internal_calc_fields_ = false;
  // Known again however the binding ends: a failure leaves the fields bound so far.
  struct Summarise {
    TDataSet& dataset;
    ~Summarise() { dataset.computes_fields_ = dataset.calc_fields_size_ != 0 || dataset.internal_calc_fields_; }
  } summarise{*this};
  BindFieldList(Fields(), binding);
}

void TDataSet::BindFieldList(TFields& fields, bool binding) {
  for (int i = 0; i < fields.Count(); ++i) {
    TField* field = fields.Fields(i);
    const TFieldKind kind = field->FieldKind();
    if (!binding) {
      field->SetFieldNo(0);
    } else if (kind == fkCalculated || kind == fkLookup) {
      // A lookup into its own dataset would look itself up without end.
      if (kind == fkLookup && field->LookupDataSet() == this) DatabaseError("Circular datalinks are not allowed", this);
      field->SetFieldNo(-1);
      field->SetOffset(calc_fields_size_);
      calc_fields_size_ += field->DataSize() + 1;
    } else if (kind != fkAggregate) {
      TFieldDef* def = FieldDefs().FindFullName(field->FullName());
      if (!def) DatabaseErrorFmt(this, "Field %s not found", field->DisplayName().c_str());
      field->SetFieldNo(def->FieldNo());
      CheckFieldCompatibility(field, def);
      if (kind == fkInternalCalc) internal_calc_fields_ = true;
    }
    if (auto* object = dynamic_cast<TObjectField*>(field)) BindFieldList(object->Fields(), binding);
  }
}

void TDataSet::CheckFieldCompatibility(TField* field, TFieldDef* def) {
  if (BaseType(field->DataType()) == BaseType(def->DataType())) return;
  DatabaseErrorFmt(this, "Type mismatch for field '%s', expecting: %s actual: %s", field->DisplayName().c_str(),
                   FieldTypeName(field->DataType()).c_str(), FieldTypeName(def->DataType()).c_str());
}

// ---- calculated and lookup values ----

void TDataSet::CalculateFields(TRecordBuffer buffer) {
  if (!computes_fields_) return;
  // Neither the state nor the calculation buffer outlives the calculation.
  struct RestoreBuffer {
    TDataSet& dataset;
    TRecordBuffer saved;
    ~RestoreBuffer() { dataset.calc_buffer_ = saved; }
  } restore{*this, calc_buffer_};
  TTempState calculating(*this, dsCalcFields);
  calc_buffer_ = buffer;
  ClearCalcFields(buffer);
  CalcLookupValues();
  DoOnCalcFields();
}

void TDataSet::CalcLookupValues() {
  // Reaching here again while looking up means the lookups run in a circle.
  if (calculating_lookups_) DatabaseError("Circular datalinks are not allowed", this);
  calculating_lookups_ = true;
  try {
    for (int i = 0; i < Fields().Count(); ++i) {
      TField* field = Fields().Fields(i);
      TDataSetBase* lookup = field->FieldKind() == fkLookup ? field->LookupDataSet() : nullptr;
      if (!lookup || !lookup->GetActive()) continue;
      const Variant keys = GetFieldValues(field->KeyFields());
      field->SetValue(lookup->Lookup(field->LookupKeyFields(), keys, field->LookupResultField()));
    }
  } catch (...) {
    calculating_lookups_ = false;
    throw;
  }
  calculating_lookups_ = false;
}

// ---- values in other states ----

Variant TDataSet::GetStateFieldValue(TDataSetState state, TField* field) {
  if (field->FieldKind() != fkData && field->FieldKind() != fkInternalCalc) return Variant::Null();
  TTempState temp(*this, state);
  return field->AsVariant();
}

void TDataSet::SetStateFieldValue(TDataSetState state, TField* field, const Variant& value) {
  if (field->FieldKind() != fkData) return;
  TTempState temp(*this, state);
  field->SetAsVariant(value);
}

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField*, TBlobStreamMode) {
  DatabaseError("Operation not supported", this);
}

// ---- searching and filters ----

bool TDataSet::Locate(const std::string&, const Variant&, TLocateOptions) {
  DatabaseError("Operation not supported", this);
}

void TDataSet::ReadFromFirst() {
  if (GetActive()) First();
}

void TDataSet::SetFiltered(bool value) {
  if (value == filtered_) return;
  if (GetActive()) CheckBrowseMode();
  filtered_ = value;
  ReadFromFirst();
}

void TDataSet::SetFilterText(const std::string& text) {
  if (text == filter_text_) return;
  if (GetActive()) CheckBrowseMode();
  filter_text_ = text;
  if (filtered_) ReadFromFirst();
}

void TDataSet::SetFilterOptions(TFilterOptions options) {
  if (options == filter_options_) return;
  if (GetActive()) CheckBrowseMode();
  filter_options_ = options;
  if (filtered_) ReadFromFirst();
}

void TDataSet::SetOnFilterRecord(TFilterRecordEvent handler) {
  if (GetActive()) CheckBrowseMode();
  on_filter_record_ = std::move(handler);
  if (filtered_) ReadFromFirst();
}

}  // namespace dac
