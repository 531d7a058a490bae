// Class references: one static metaclass object per class, holding the class
// name and the parent's metaclass, with a virtual Create. Objects report
// theirs through the virtual ClassType. Hierarchies whose constructors take
// arguments derive their own metaclass with a Create of that shape.
#pragma once

#include <string>

namespace dac {

class TObject;

class TMetaClass {
 public:
  TMetaClass(const char* class_name, const TMetaClass* parent) : class_name_(class_name), parent_(parent) {}
  virtual ~TMetaClass() = default;
  TMetaClass(const TMetaClass&) = delete;
  TMetaClass& operator=(const TMetaClass&) = delete;

  const std::string& ClassName() const { return class_name_; }
  const TMetaClass* ClassParent() const { return parent_; }
  // This class or one of its ancestors, by identity.
  bool InheritsFrom(const TMetaClass& other) const;
  // A new instance owned by the caller; classes without a default form raise NotSupportedException.
  virtual TObject* Create() const;

 private:
  std::string class_name_;
  const TMetaClass* parent_;
};

// The metaclass of a default-constructible class.
template <typename T>
class TMetaClassOf : public TMetaClass {
 public:
  using TMetaClass::TMetaClass;
  TObject* Create() const override { return new T(); }
};

// Root of the library's class trees.
class TObject {
 public:
  TObject() = default;
  virtual ~TObject() = default;
  TObject(const TObject&) = default;
  TObject& operator=(const TObject&) = default;

  static const TMetaClass& ClassInfo();
  virtual const TMetaClass& ClassType() const { return ClassInfo(); }
  const std::string& ClassName() const { return ClassType().ClassName(); }
  bool InheritsFrom(const TMetaClass& cls) const { return ClassType().InheritsFrom(cls); }
};

// True when obj's class, or one of its ancestors, has cls's class name (exact
// and case-sensitive), so that a class reference from another module matches.
bool IsClass(const TObject* obj, const TMetaClass& cls);

}  // namespace dac

// In a class body: declares the class's metaclass and its ClassType.
#define DAC_DECLARE_CLASS()                        \
 public:                                           \
  static const ::dac::TMetaClass& ClassInfo();     \
  const ::dac::TMetaClass& ClassType() const override

// In a source file: defines them. MetaType is the metaclass type, e.g.
// ::dac::TMetaClass or ::dac::TMetaClassOf<Name>.
#define DAC_DEFINE_CLASS(Name, Parent, MetaType)                                  \
  const ::dac::TMetaClass& Name::ClassInfo() {                                    \
    static const MetaType meta(#Name, &Parent::ClassInfo());                      \
    return meta;                                                                  \
  }                                                                               \
  const ::dac::TMetaClass& Name::ClassType() const { return Name::ClassInfo(); }
