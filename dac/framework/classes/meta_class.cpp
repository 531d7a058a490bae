#include "dac/framework/classes/meta_class.h"

#include "dac/framework/classes/exceptions.h"

namespace dac {

bool TMetaClass::InheritsFrom(const TMetaClass& other) const {
  for (const TMetaClass* c = this; c; c = c->ClassParent()) {
    if (c == &other) return true;
  }
  return false;
}

TObject* TMetaClass::Create() const { throw NotSupportedException("Cannot create an instance of " + class_name_); }

const TMetaClass& TObject::ClassInfo() {
  static const TMetaClassOf<TObject> meta("TObject", nullptr);
  return meta;
}

bool IsClass(const TObject* obj, const TMetaClass& cls) {
  if (!obj) return false;
  for (const TMetaClass* c = &obj->ClassType(); c; c = c->ClassParent()) {
    if (c->ClassName() == cls.ClassName()) return true;
  }
  return false;
}

}  // namespace dac
