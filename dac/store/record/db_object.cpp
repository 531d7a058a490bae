#include "dac/store/record/db_object.h"

namespace dac {

DAC_DEFINE_CLASS(TDBObject, TSharedObject, ::dac::TMetaClassOf<TDBObject>)

TDBObject::~TDBObject() { FreeShared(object_type_); }

void TDBObject::SetObjectType(TObjectType* value) {
  if (value == object_type_) return;
  FreeShared(object_type_);
  object_type_ = value;
  if (value) value->AddRef();
}

void TDBObject::GetAttributeValue(const std::string&, void*, size_t, bool& is_blank) { is_blank = true; }

void TDBObject::SetAttributeValue(const std::string&, const void*) {}

}  // namespace dac
