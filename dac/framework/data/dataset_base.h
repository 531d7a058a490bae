// TDataSetBase: the side of a dataset that its fields see. Fields reach
// their values only through these virtual operations; the dataset proper
// (TDataSet) derives from this class and supplies them from its records.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dac/framework/classes/component.h"
#include "dac/framework/classes/streams.h"
#include "dac/framework/data/dataset_types.h"
#include "dac/framework/data/field_defs.h"
#include "dac/framework/data/field_type.h"
#include "dac/framework/data/fields.h"
#include "dac/framework/values/variant.h"

namespace dac {

class TField;

class TDataSetBase : public TComponent {
  DAC_DECLARE_CLASS();

 public:
  explicit TDataSetBase(TComponent* owner);

  // ---- field data ----
  // The field's value of the current record in the native form (the record
  // store's, sized by the field's DataSize) into buffer; false when it has
  // none. A null buffer only asks whether there is a value.
  virtual bool GetFieldData(TField* field, void* buffer) = 0;
  // By field number: the base finds the field and reads its native value.
  virtual bool GetFieldData(int field_no, void* buffer);
  // Either form; the base converts the native value through DataConvert.
  virtual bool GetFieldData(TField* field, void* buffer, bool native_format);
  // Writes the native value; a null buffer makes the field null.
  virtual void SetFieldData(TField* field, const void* buffer) = 0;
  virtual void SetFieldData(TField* field, const void* buffer, bool native_format);
  // Native form to value form of a field and back. The value forms: a
  // DateTime (double) for dates and times, a WideString object for wide
  // strings; every other type exchanges its native form unchanged.
  // EConvertError for a date that no native form holds.
  virtual void DataConvert(TField* field, const void* source, void* dest, bool to_native);
  // The source's own text of the field's value in the current record (the
  // one the field reads), when the field's type cannot hold that value
  // exactly and the record still holds it as read; false otherwise, and
  // always in the base. Text and number fields give it as their AsString.
  virtual bool GetFieldExactText(TField* /*field*/, std::string& /*text*/) { return false; }

  // ---- state ----
  virtual TDataSetState GetState() const = 0;
  virtual bool GetActive() const = 0;
  // Whether records may be changed; true in the base.
  virtual bool GetCanModify() { return true; }
  // The field's value as it is in another state (old, new, current value).
  virtual Variant GetStateFieldValue(TDataSetState state, TField* field) = 0;
  virtual void SetStateFieldValue(TDataSetState state, TField* field, const Variant& value) = 0;

  // ---- blobs and events ----
  // A stream over the field's blob in the current record, owned by the caller.
  virtual std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode) = 0;
  // An event for the dataset's sources and links; fields send deFieldChange
  // (info: the field) and deFocusControl (info: the field).
  virtual void DataEvent(TDataEvent event, intptr_t info) = 0;

  // ---- definitions and lookups ----
  // Brings FieldDefs up to date; asked by TFieldDefs::Update. Nothing in the base.
  virtual void InitFieldDefs() {}
  // Brings index definitions up to date; asked by TIndexDefs::Update. Nothing in the base.
  virtual void UpdateIndexDefs() {}
  // The value of result_fields in the first record whose key_fields hold
  // key_values; "Operation not supported" in the base.
  virtual Variant Lookup(const std::string& key_fields, const Variant& key_values, const std::string& result_fields);
  // The class of fields made for a type; nullptr for a type no field holds.
  virtual const TComponentClass* GetFieldClass(TFieldType type) const;

  TFields& Fields() { return fields_; }
  const TFields& Fields() const { return fields_; }
  TFieldDefs& FieldDefs() { return field_defs_; }
  TField* FindField(const std::string& name) const { return fields_.FindField(name); }
  // EDatabaseError "Field %s not found", naming this dataset.
  TField* FieldByName(const std::string& name) const { return fields_.FieldByName(name); }
  // EDatabaseError "Cannot perform this operation on an open dataset" while active.
  virtual void CheckInactive();

 protected:
  ~TDataSetBase() override;
  // Detaches the fields, which may outlive the dataset.
  void BeforeDestruction() override;

 private:
  TFields fields_;
  TFieldDefs field_defs_;
};

}  // namespace dac
