// The value of a structured column: a shared object that providers
// supporting objects derive from. A record slot holds one reference.
#pragma once

#include <cstddef>
#include <string>

#include "dac/store/record/object_type.h"
#include "dac/store/runtime/shared_object.h"

namespace dac {

class TDBObject : public TSharedObject {
  DAC_DECLARE_CLASS();

 public:
  TDBObject() = default;

  TObjectType* GetObjectType() const { return object_type_; }
  // Releases the old type's reference and takes one on the new.
  void SetObjectType(TObjectType* value);

  // name is the attribute path below the column (TData::GetChildFieldInfo).
  // The value is written in the form TData::GetFieldData gives for the
  // attribute's type, with these differences: dtExtString, dtExtVarBytes
  // and dtExtWideString values in place like dtString, dtVarBytes and
  // dtWideString; dates as dfMSecs milliseconds; dtInt8 as one byte; a
  // dtVariant value assigned to the Variant dest points to; a blob as its
  // TBlob pointer. Never more than dest_size bytes: longer text is cut and
  // terminated. dest may be null: then only is_blank is reported. The base
  // reports a blank value.
  virtual void GetAttributeValue(const std::string& name, void* dest, size_t dest_size, bool& is_blank);
  // source in the same form; null sets the attribute null. The base ignores it.
  virtual void SetAttributeValue(const std::string& name, const void* source);

 protected:
  ~TDBObject() override;

 private:
  TObjectType* object_type_ = nullptr;
};

}  // namespace dac
